// The host's own addresses, as hexadecimal digits in network order.
#pragma once

#include <cstddef>
#include <cstdint>

#include "commands/system_facts.h"

namespace rk {

// One IPv4 address of this host as 8 upper-case hexadecimal digits into
// `output` (kIPv4DigitsCapacity bytes). 1 with status OK, or 0 with an empty output
// and the reason (NO_WINSOCK, WINSOCK_STARTUP, NO_HOST_NAME, NO_HOST_ENTRY,
// LOOPBACK_ONLY, GENERAL_ERROR for no address, BAD_ADDRESS).
int32_t GetIPv4AddressHex(char* output, int16_t* status);

// One IPv6 address of this host as 32 lower-case hexadecimal digits into
// `output` (kIPv6DigitsCapacity bytes). 1 with status OK, or 0 with an empty output
// and the reason (as above, with ADDRINFO_FAILED for a failed resolution).
int32_t GetIPv6AddressHex(char* output, int16_t* status);

}  // namespace rk
