#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace rk {

// Longest encoding (24 bytes in) and its NUL.
constexpr int kBase85OutputCapacity = 31;

// Encodes 1 to 24 bytes of `text` as Ascii85 digits ("!".."u"): five digits
// per four bytes, a short last group as its leading digits, no delimiters
// and no shorthand. `output` has room for kBase85OutputCapacity bytes.
// False, with `output` untouched, for an empty text or one longer than 24
// bytes.
[[nodiscard]] bool EncodeBase85(const char* text, char* output);

// Ascii85 digits to bytes; false with the offset (within `digits`) and a
// message for a digit outside "!".."u", a group above 2^32 - 1, a last
// group of a single digit, or a last group no encoder writes (its digits
// must be those of its bytes, so that every accepted text has one meaning
// and encodes back to itself).
bool DecodeBase85(std::string_view digits, std::string* bytes, size_t* bad_offset,
                  std::string* message);

}  // namespace rk
