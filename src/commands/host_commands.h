// Composition of the client-name command "@CNAM=" and the host-address
// command "@HOAD=".
#pragma once

#include <cstddef>
#include <cstdint>

#include "commands/composition.h"

namespace rk {

struct SystemFacts;

struct ClientNameComposition : Composition {
  TextReport name;
};

// "@CNAM=" and the validated copy of `name` (not null) for `code_type` and
// `mask`: "UnknownHost" with the warning BAD_CHARACTER for a refused name
// (the command is still composed), and no command with TOO_LONG for an
// unchecked name longer than the command carries.
ClientNameComposition ComposeClientName(uint16_t code_type, const char* name, uint16_t mask,
                                        const SystemFacts& system);

// The same for the computer's own name, "UnknownHost" with the warning
// NO_HOST_NAME when it cannot be read.
ClientNameComposition ComposeComputerName(uint16_t code_type, uint16_t mask,
                                          const SystemFacts& system);

// Writes `count` bytes as two hexadecimal digits each, first byte first,
// and a NUL: 2 * count + 1 bytes of `out`.
void WriteHexDigits(const unsigned char* bytes, size_t count, bool upper_case, char* out);

// "@HOAD=", the form letter ('I' or '6') and the address digits.
Composition ComposeHostAddress(char form, const char* digits);

// "@HOAD=" from a numeric address text of another machine (not null);
// BAD_ADDRESS for a text that is not such an address.
Composition ComposeHostAddressFromText(const char* address_text);

}  // namespace rk
