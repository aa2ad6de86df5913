#pragma once

#include <cstdint>

namespace rk {

// "@CNAM=" and the computer name, validated for `code_type` and `mask`
// ("UnknownHost" in its place when it cannot be read or is refused, with
// the warning RK_STATUS_NO_HOST_NAME or RK_STATUS_BAD_CHARACTER). The
// status is written only when something is wrong.
int32_t ComposeHostNameCommand(uint16_t code_type, char* buffer, uint16_t* size, uint16_t mask,
                               int16_t* status);

// "@HOAD=" and "I" with the IPv4 digits, or "6" with the IPv6 digits when
// no IPv4 address can be found. When neither is found: 0 with the IPv4
// discovery's reason. The status is written only when something is wrong.
int32_t ComposeHostAddressCommand(char* buffer, uint16_t* size, int16_t* status);

}  // namespace rk
