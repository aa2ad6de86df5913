#include "host/host_commands.h"

#include "facts/command_facts.h"
#include "frame/sized_output.h"
#include "frame/text.h"
#include "frame/wide_text.h"
#include "host/address_text.h"
#include "host/computer_name.h"
#include "host/discovery.h"
#include "host/sockets_binding.h"
#include "rkvtps32.h"
#include "validation/validation.h"

namespace rk {
namespace {

// The validated copy delivers at most 63 bytes under a character test (code
// type 5), or a whole name of at most 39 bytes without one: both fit, so the
// command always carries the name whole.
constexpr size_t kValidatedNameCapacity = 64;
constexpr size_t kHostNameCommandCapacity = kCommandStartLength + kValidatedNameCapacity;
// "@HOAD=", the form letter and the longer (IPv6) digits with their NUL.
constexpr size_t kHostAddressCommandCapacity = kCommandStartLength + 1 + kIPv6DigitsCapacity;

}  // namespace

int32_t ComposeClientNameCommand(uint16_t code_type, const char* name, char* buffer, uint16_t* size,
                                 uint16_t mask, int16_t* status) {
  char validated[kValidatedNameCapacity];
  switch (CopyValidatedOrSubstitute(FindCodeType(code_type), name, validated, sizeof validated,
                                    mask, kUnknownHost)) {
    case CopyOutcome::kTooLong:
      // Only an unchecked name longer than the command carries gets here
      // (never the computer name, at most 39 bytes): whole or not at all.
      *status = RK_STATUS_TOO_LONG;
      return 0;
    case CopyOutcome::kRefused:
      *status = RK_STATUS_BAD_CHARACTER;  // a warning: the substitute is sent
      break;
    case CopyOutcome::kWhole:
    case CopyOutcome::kCut:
      break;
  }

  char command[kHostNameCommandCapacity];
  CopyText(command, sizeof command, kClientNameCommand);
  AppendText(command, sizeof command, validated);
  return DeliverCommand(command, buffer, size, status);
}

int32_t ComposeHostNameCommand(uint16_t code_type, char* buffer, uint16_t* size, uint16_t mask,
                               int16_t* status) {
  char name[kComputerNameCapacity];
  const char* source = name;
  if (!ReadComputerNameInto(name)) {
    *status = RK_STATUS_NO_HOST_NAME;
    source = kUnknownHost;
  }
  return ComposeClientNameCommand(code_type, source, buffer, size, mask, status);
}

namespace {

// "@HOAD=", the form letter ('I' or '6') and the digits.
int32_t DeliverAddressCommand(char form, const char* digits, char* buffer, uint16_t* size,
                              int16_t* status) {
  char command[kHostAddressCommandCapacity];
  CopyText(command, sizeof command, kHostAddressCommand);
  const char form_text[2] = {form, '\0'};
  AppendText(command, sizeof command, form_text);
  AppendText(command, sizeof command, digits);
  return DeliverCommand(command, buffer, size, status);
}

}  // namespace

int32_t ComposeHostAddressCommand(char* buffer, uint16_t* size, int16_t* status) {
  int16_t ipv4_status = RK_STATUS_OK;
  int16_t ipv6_status = RK_STATUS_OK;
  char ipv4[kIPv4DigitsCapacity];
  char ipv6[kIPv6DigitsCapacity];
  if (GetIPv4AddressHex(ipv4, &ipv4_status)) {
    return DeliverAddressCommand(kIPv4Form, ipv4, buffer, size, status);
  }
  if (GetIPv6AddressHex(ipv6, &ipv6_status)) {
    return DeliverAddressCommand(kIPv6Form, ipv6, buffer, size, status);
  }
  // The IPv4 reason is the one callers know; the IPv6 fallback's own
  // status stays internal.
  *status = ipv4_status;
  return 0;
}

int32_t ComposeHostAddressFromText(const char* address_text, char* buffer, uint16_t* size,
                                   int16_t* status) {
  if (address_text == nullptr) {
    *status = RK_STATUS_GENERAL_ERROR;
    return 0;
  }
  ParsedAddress address{};
  if (!ParseAddressText(address_text, &address)) {
    *status = RK_STATUS_BAD_ADDRESS;
    return 0;
  }
  // The same digits the discoveries write for an address of this host.
  char digits[kIPv6DigitsCapacity];
  WriteHexDigits(address.bytes, address.ipv4 ? 4 : 16, address.ipv4, digits);
  return DeliverAddressCommand(address.ipv4 ? kIPv4Form : kIPv6Form, digits, buffer, size, status);
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

RK_EXPORT int32_t RK_API RKGetVTPSStringOfHostAddressFromInputA(const char* address_text,
                                                                char* buffer, uint16_t* size,
                                                                int16_t* status) {
  if (!rk::HasResultPointers(size, status)) return 0;
  return rk::ComposeHostAddressFromText(address_text, buffer, size, status);
}

RK_EXPORT int32_t RK_API RKGetVTPSStringOfHostNameFromInputExA(uint16_t code_type, const char* name,
                                                               char* buffer, uint16_t* size,
                                                               uint16_t mask, int16_t* status) {
  if (!rk::HasResultPointers(size, status)) return 0;
  if (name == nullptr) {
    *status = RK_STATUS_GENERAL_ERROR;
    return 0;
  }
  return rk::ComposeClientNameCommand(code_type, name, buffer, size, mask, status);
}

RK_EXPORT int32_t RK_API RKGetVTPSStringOfHostNameFromInputExW(uint16_t code_type,
                                                               const RK_WCHAR* name, char* buffer,
                                                               uint16_t* size, uint16_t mask,
                                                               int16_t* status) {
  if (!rk::HasResultPointers(size, status)) return 0;
  if (name == nullptr) {
    *status = RK_STATUS_GENERAL_ERROR;
    return 0;
  }
  const rk::AnsiText narrow(name);
  if (narrow.text() == nullptr) {
    *status = RK_STATUS_GENERAL_ERROR;
    return 0;
  }
  return rk::ComposeClientNameCommand(code_type, narrow.text(), buffer, size, mask, status);
}

}  // extern "C"
