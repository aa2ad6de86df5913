#pragma once

#include <cstdint>

namespace rk {

// "@CNAM=" and the computer name, validated for `code_type` and `mask`
// ("UnknownHost" in its place when it cannot be read or is refused, with
// the warning RK_STATUS_NO_HOST_NAME or RK_STATUS_BAD_CHARACTER). The
// status is written only when something is wrong.
int32_t ComposeHostNameCommand(uint16_t code_type, char* buffer, uint16_t* size, uint16_t mask,
                               int16_t* status);

// "@CNAM=" and the validated copy of `name` (not null), as above;
// "UnknownHost" with RK_STATUS_BAD_CHARACTER for a refused name, and 0 with
// RK_STATUS_TOO_LONG for an unchecked name longer than the command carries.
int32_t ComposeClientNameCommand(uint16_t code_type, const char* name, char* buffer, uint16_t* size,
                                 uint16_t mask, int16_t* status);

// "@HOAD=" and the digits of a numeric address text of another machine:
// 0 with RK_STATUS_GENERAL_ERROR for a null text, RK_STATUS_BAD_ADDRESS for
// a text that is not such an address.
int32_t ComposeHostAddressFromText(const char* address_text, char* buffer, uint16_t* size,
                                   int16_t* status);

// "@HOAD=" and "I" with the IPv4 digits, or "6" with the IPv6 digits when
// no IPv4 address can be found. When neither is found: 0 with the IPv4
// discovery's reason. The status is written only when something is wrong.
int32_t ComposeHostAddressCommand(char* buffer, uint16_t* size, int16_t* status);

}  // namespace rk
