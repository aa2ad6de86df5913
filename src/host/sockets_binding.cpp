#include "host/sockets_binding.h"

#include <cstring>

#include "rkvtps32.h"

namespace rk {
namespace {

constexpr uint16_t kVersion22 = 0x0202;  // major in the low byte, minor in the high

// LoadLibrary's old contract: values up to 32 are error codes, not handles.
constexpr os::ModuleHandle kLastErrorHandle = 32;

bool IsVersion22(uint16_t granted) { return (granted & 0xFF) == 2 && (granted >> 8) == 2; }

void StartAndRun(const os::EntryPoint* entries, SocketsWork work, void* context, int16_t* status) {
  const auto startup = reinterpret_cast<os::WsaStartupFn>(entries[kStartupEntry]);
  const auto cleanup = reinterpret_cast<os::WsaCleanupFn>(entries[kCleanupEntry]);
  os::StartupRecord record{};
  if (startup(kVersion22, &record) != 0) {
    *status = RK_STATUS_WINSOCK_STARTUP;
    return;
  }
  if (!IsVersion22(record.wVersion)) {
    *status = RK_STATUS_WINSOCK_STARTUP;
  } else {
    work(entries, context, status);
  }
  cleanup();
}

}  // namespace

bool RunWithSockets(const char* const* names, size_t count, SocketsWork work, void* context,
                    int16_t* status) {
  *status = RK_STATUS_OK;
  if (count > kMaxEntryPoints) {
    *status = RK_STATUS_GENERAL_ERROR;
    return false;
  }
  const os::ModuleHandle module = os::LoadModule("Ws2_32");
  if (module <= kLastErrorHandle) {
    *status = RK_STATUS_NO_WINSOCK;
    return false;
  }
  // Every name is looked up before any is tested, so a library that lacks
  // several reports the same way whichever it lacks.
  os::EntryPoint entries[kMaxEntryPoints] = {};
  for (size_t i = 0; i < count; ++i) entries[i] = os::FindEntryPoint(module, names[i]);
  bool complete = true;
  for (size_t i = 0; i < count; ++i) complete = complete && entries[i] != nullptr;

  if (complete) {
    StartAndRun(entries, work, context, status);
  } else {
    *status = RK_STATUS_NO_WINSOCK;
  }
  os::UnloadModule(module);
  return *status == RK_STATUS_OK;
}

int32_t DiscoverAddressDigits(const char* const* names, size_t count, SocketsWork work,
                              size_t digit_count, char* output, int16_t* status) {
  AddressDigits digits{};
  if (!RunWithSockets(names, count, work, &digits, status)) {
    output[0] = '\0';
    return 0;
  }
  digits.text[digit_count] = '\0';
  std::memcpy(output, digits.text, digit_count + 1);
  return 1;
}

}  // namespace rk
