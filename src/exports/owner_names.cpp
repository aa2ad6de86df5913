#include "exports/owner_names.h"

#include <cstring>

#include "commands/text.h"
#include "facts/command_facts.h"
#include "os/os.h"

namespace rk {
namespace {

constexpr char kWinlogonKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\";
constexpr char kDefaultUserValue[] = "DefaultUserName";

// The Winlogon default user name into `name` (kUserNameCapacity bytes), or
// "UnknownUser". The key is closed on every path that opened it.
void ReadDefaultUserName(char* name) {
  os::RegistryKey key = nullptr;
  if (os::OpenMachineKey(kWinlogonKey, &key) != 0) {
    CopyText(name, kUserNameCapacity, kUnknownUser);
    return;
  }
  std::memset(name, 0, kUserNameCapacity);
  uint32_t size = kUserNameCapacity;
  const long result =
      os::QueryKeyValue(key, kDefaultUserValue, reinterpret_cast<uint8_t*>(name), &size);
  os::CloseKey(key);
  // A value that fills the whole area without a terminator is as unusable
  // as one that does not fit.
  if (result != 0 || std::memchr(name, '\0', kUserNameCapacity) == nullptr) {
    CopyText(name, kUserNameCapacity, kUnknownUser);
  }
}

}  // namespace

void ReadOwnerUserName(char* name) {
  uint32_t size = kUserNameCapacity;
  if (os::ReadUserName(name, &size)) {
    name[kUserNameCapacity - 1] = '\0';
    if (!TextEquals(name, "System") && !TextEquals(name, "SYSTEM")) return;
  }
  ReadDefaultUserName(name);
}

}  // namespace rk
