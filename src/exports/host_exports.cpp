// The five host exports: the computer name, a given client name, the
// host's own address and a given address, as commands.
#include "commands/host_commands.h"
#include "exports/os_facts.h"
#include "exports/sized_output.h"
#include "exports/wide_text.h"
#include "host/discovery.h"
#include "rkvtps32.h"

namespace rk {
namespace {

// "@HOAD=" and "I" with the IPv4 digits, or "6" with the IPv6 digits when
// no IPv4 address can be found. When neither is found: 0 with the IPv4
// discovery's reason; the IPv6 fallback's own status stays internal.
int32_t DeliverHostAddress(char* buffer, uint16_t* size, int16_t* status) {
  int16_t ipv4_status = RK_STATUS_OK;
  int16_t ipv6_status = RK_STATUS_OK;
  char ipv4[kIPv4DigitsCapacity];
  char ipv6[kIPv6DigitsCapacity];
  if (GetIPv4AddressHex(ipv4, &ipv4_status)) {
    return DeliverComposition(ComposeHostAddress(kIPv4Form, ipv4), buffer, size, status);
  }
  if (GetIPv6AddressHex(ipv6, &ipv6_status)) {
    return DeliverComposition(ComposeHostAddress(kIPv6Form, ipv6), buffer, size, status);
  }
  *status = ipv4_status;
  return 0;
}

}  // namespace
}  // namespace rk

extern "C" {

RK_EXPORT int32_t RK_API RKGetVTPSStringOfHostNameEx(uint16_t code_type, char* buffer,
                                                     uint16_t* size, uint16_t mask,
                                                     int16_t* status) {
  if (!rk::HasResultPointers(size, status)) return 0;
  return rk::DeliverComposition(rk::ComposeComputerName(code_type, mask, rk::OsSystemFacts()),
                                buffer, size, status);
}

RK_EXPORT int32_t RK_API RKGetVTPSStringOfHostAddress(char* buffer, uint16_t* size,
                                                      int16_t* status) {
  if (!rk::HasResultPointers(size, status)) return 0;
  return rk::DeliverHostAddress(buffer, size, status);
}

RK_EXPORT int32_t RK_API RKGetVTPSStringOfHostAddressFromInputA(const char* address_text,
                                                                char* buffer, uint16_t* size,
                                                                int16_t* status) {
  if (!rk::HasResultPointers(size, status)) return 0;
  if (address_text == nullptr) {
    *status = RK_STATUS_GENERAL_ERROR;
    return 0;
  }
  return rk::DeliverComposition(rk::ComposeHostAddressFromText(address_text), buffer, size, status);
}

RK_EXPORT int32_t RK_API RKGetVTPSStringOfHostNameFromInputExA(uint16_t code_type, const char* name,
                                                               char* buffer, uint16_t* size,
                                                               uint16_t mask, int16_t* status) {
  if (!rk::HasResultPointers(size, status)) return 0;
  if (name == nullptr) {
    *status = RK_STATUS_GENERAL_ERROR;
    return 0;
  }
  return rk::DeliverComposition(rk::ComposeClientName(code_type, name, mask, rk::OsSystemFacts()),
                                buffer, size, status);
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
  return rk::DeliverComposition(
      rk::ComposeClientName(code_type, narrow.text(), mask, rk::OsSystemFacts()), buffer, size,
      status);
}

}  // extern "C"
