#include "host/host_commands.h"

#include "frame/sized_output.h"
#include "frame/text.h"
#include "host/computer_name.h"
#include "host/discovery.h"
#include "rkvtps32.h"
#include "validation/validation.h"

namespace rk {
namespace {

// The validated copy delivers at most 63 bytes under a character test (code
// type 5), or a whole name of at most 39 bytes without one: both fit, so the
// command always carries the name whole.
constexpr size_t kValidatedNameCapacity = 64;
constexpr size_t kHostNameCommandCapacity = 6 + kValidatedNameCapacity;
// "@HOAD=", the form letter and the longer (IPv6) digits with their NUL.
constexpr size_t kHostAddressCommandCapacity = 6 + 1 + kIPv6DigitsCapacity;

}  // namespace

int32_t ComposeHostNameCommand(uint16_t code_type, char* buffer, uint16_t* size, uint16_t mask,
                               int16_t* status) {
  char name[kComputerNameCapacity];
  const char* source = name;
  if (!ReadComputerNameInto(name)) {
    *status = RK_STATUS_NO_HOST_NAME;
    source = kUnknownHost;
  }

  char validated[kValidatedNameCapacity];
  int16_t copy_status = RK_STATUS_OK;
  if (!CheckAndCopyOwnerText(code_type, source, validated, sizeof validated, mask, &copy_status)) {
    *status = RK_STATUS_BAD_CHARACTER;
    CopyText(validated, sizeof validated, kUnknownHost);
  }

  char command[kHostNameCommandCapacity] = "@CNAM=";
  AppendText(command, sizeof command, validated);
  return DeliverCommand(command, buffer, size, status);
}

int32_t ComposeHostAddressCommand(char* buffer, uint16_t* size, int16_t* status) {
  int16_t ipv4_status = RK_STATUS_OK;
  int16_t ipv6_status = RK_STATUS_OK;
  char ipv4[kIPv4DigitsCapacity];
  char ipv6[kIPv6DigitsCapacity];
  char command[kHostAddressCommandCapacity] = "@HOAD=";
  if (GetIPv4AddressHex(ipv4, &ipv4_status)) {
    AppendText(command, sizeof command, "I");
    AppendText(command, sizeof command, ipv4);
  } else if (GetIPv6AddressHex(ipv6, &ipv6_status)) {
    AppendText(command, sizeof command, "6");
    AppendText(command, sizeof command, ipv6);
  } else {
    // The IPv4 reason is the one callers know; the IPv6 fallback's own
    // status stays internal.
    *status = ipv4_status;
    return 0;
  }
  return DeliverCommand(command, buffer, size, status);
}

}  // namespace rk

extern "C" {

RK_EXPORT int32_t RK_API RKGetVTPSStringOfHostNameEx(uint16_t code_type, char* buffer,
                                                     uint16_t* size, uint16_t mask,
                                                     int16_t* status) {
  if (!rk::HasResultPointers(size, status)) return 0;
  return rk::ComposeHostNameCommand(code_type, buffer, size, mask, status);
}

RK_EXPORT int32_t RK_API RKGetVTPSStringOfHostAddress(char* buffer, uint16_t* size,
                                                      int16_t* status) {
  if (!rk::HasResultPointers(size, status)) return 0;
  return rk::ComposeHostAddressCommand(buffer, size, status);
}

}  // extern "C"
