#include "owner/owner_sources.h"

#include <cstring>

#include "facts/command_facts.h"
#include "frame/text.h"
#include "host/computer_name.h"
#include "os/os.h"
#include "owner/owner_command.h"
#include "rkvtps32.h"
#include "validation/validation.h"

namespace rk {
namespace {

constexpr char kWinlogonKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\";
constexpr char kDefaultUserValue[] = "DefaultUserName";
constexpr uint32_t kNameCapacity = 40;
constexpr size_t kJoinedLimit = 67;  // user, "\" and computer never exceed this

// The Winlogon default user name into `name` (kNameCapacity bytes), or
// "UnknownUser". The key is closed on every path that opened it.
void ReadDefaultUserName(char* name) {
  os::RegistryKey key = nullptr;
  if (os::OpenMachineKey(kWinlogonKey, &key) != 0) {
    CopyText(name, kNameCapacity, kUnknownUser);
    return;
  }
  std::memset(name, 0, kNameCapacity);
  uint32_t size = kNameCapacity;
  const long result =
      os::QueryKeyValue(key, kDefaultUserValue, reinterpret_cast<uint8_t*>(name), &size);
  os::CloseKey(key);
  // A value that fills the whole area without a terminator is as unusable
  // as one that does not fit.
  if (result != 0 || std::memchr(name, '\0', kNameCapacity) == nullptr) {
    CopyText(name, kNameCapacity, kUnknownUser);
  }
}

// The logged-on user's name, or under the system account (or when it
// cannot be read) the machine's default logon user.
void ReadOwnerUserName(char* name) {
  uint32_t size = kNameCapacity;
  if (os::ReadUserName(name, &size)) {
    name[kNameCapacity - 1] = '\0';
    if (!TextEquals(name, "System") && !TextEquals(name, "SYSTEM")) return;
  }
  ReadDefaultUserName(name);
}

// "user\computer", the computer name limited so the joined text stays
// within kJoinedLimit, then cut to the code type's limit. Cuts and
// refusals are silent here: the caller learns nothing of them.
void JoinUserAndComputer(const CodeType& type, uint16_t mask, const char* user, char* owner) {
  char computer[kComputerNameCapacity];
  const char* source = ReadComputerNameInto(computer) ? computer : kUnknownHost;
  char validated[kOwnerAreaCapacity];
  // At most 39 bytes: never too long for the area.
  CopyValidatedOrSubstitute(&type, source, validated, sizeof validated, mask, kUnknownHost);
  const size_t user_length = std::strlen(user);
  const size_t room = kJoinedLimit - 1 - user_length;  // user is shorter than limit <= 63
  if (std::strlen(validated) > room) validated[room] = '\0';

  CopyText(owner, kOwnerAreaCapacity, user);
  AppendText(owner, kOwnerAreaCapacity, "\\");
  AppendText(owner, kOwnerAreaCapacity, validated);
  TruncateToBytes(type.byte_limit, owner);
}

}  // namespace

int32_t OwnerCommandFromInput(uint16_t code_type, const char* owner_text, uint16_t tag_column_key,
                              uint16_t tag_row_key, char* buffer, const char* address_text,
                              uint16_t* size, uint16_t mask, int16_t* status) {
  const CodeType* type = FindCodeType(code_type);
  char owner[kOwnerAreaCapacity];
  if (CopyValidatedOrSubstitute(type, owner_text, owner, sizeof owner, mask, kUnknownUser) ==
      CopyOutcome::kTooLong) {
    // Only an unchecked text longer than the owner area gets here: it is
    // carried whole or not at all.
    *status = RK_STATUS_TOO_LONG;
    return 0;
  }
  return ComposeOwnerCommand(type, owner, sizeof owner, tag_column_key, tag_row_key, buffer,
                             address_text, size, status);
}

int32_t OwnerCommandFromUserHost(uint16_t code_type, uint16_t tag_column_key, uint16_t tag_row_key,
                                 char* buffer, const char* address_text, uint16_t* size,
                                 uint16_t mask, int16_t* status) {
  char user[kNameCapacity];
  ReadOwnerUserName(user);

  // Resolved after the user name is read, as callers have seen it done.
  const CodeType* type = FindCodeType(code_type);
  if (type == nullptr) {
    *status = RK_STATUS_GENERAL_ERROR;
    return 0;
  }
  char validated_user[kOwnerAreaCapacity];
  // At most 39 bytes: never too long for the area.
  CopyValidatedOrSubstitute(type, user, validated_user, sizeof validated_user, mask, kUnknownUser);

  char owner[kOwnerAreaCapacity];
  if (type->joins_computer && std::strlen(validated_user) < type->byte_limit) {
    JoinUserAndComputer(*type, mask, validated_user, owner);
  } else {
    CopyText(owner, sizeof owner, validated_user);
  }
  return ComposeOwnerCommand(type, owner, sizeof owner, tag_column_key, tag_row_key, buffer,
                             address_text, size, status);
}

}  // namespace rk
