#pragma once

#include <cstdint>

namespace rk {

// Longest encoding (24 bytes in) and its NUL.
constexpr int kBase85OutputCapacity = 31;

// Encodes 1 to 24 bytes of `text` as Ascii85 digits ("!".."u"): five digits
// per four bytes, a short last group as its leading digits, no delimiters
// and no shorthand. `output` has room for kBase85OutputCapacity bytes.
// False, with `output` untouched, for an empty text or one longer than 24
// bytes.
[[nodiscard]] bool EncodeBase85(const char* text, char* output);

}  // namespace rk
