// The base-85 decoder, apart from the encoder: the library itself never
// decodes, and the decoder needs the standard library's strings, which the
// library's builds without a C++ runtime do not have.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "commands/base85.h"

namespace rk {
namespace {

uint64_t Power85(size_t exponent) {
  uint64_t value = 1;
  while (exponent-- > 0) value *= 85;
  return value;
}

}  // namespace

bool DecodeBase85(std::string_view digits, std::string* bytes, size_t* bad_offset,
                  std::string* message) {
  bytes->clear();
  for (size_t start = 0; start < digits.size(); start += 5) {
    const size_t k = digits.size() - start < 5 ? digits.size() - start : 5;
    if (k == 1) {
      *bad_offset = start;
      *message = "truncated base-85 group: a single digit";
      return false;
    }
    // A short group is read padded with the highest digit, as Ascii85
    // decoders do; it is out of range only if even the lowest padding is.
    uint64_t value = 0;
    uint64_t lowest = 0;
    for (size_t i = 0; i < 5; ++i) {
      char digit = 'u';
      if (i < k) {
        digit = digits[start + i];
        if (digit < '!' || digit > 'u') {
          *bad_offset = start + i;
          *message = "bad base-85 digit";
          return false;
        }
      }
      value = value * 85 + static_cast<uint64_t>(digit - '!');
      lowest = lowest * 85 + static_cast<uint64_t>(i < k ? digit - '!' : 0);
    }
    if (lowest > 0xFFFFFFFFull) {
      *bad_offset = start;
      *message = "base-85 group above 2^32 - 1";
      return false;
    }
    if (value > 0xFFFFFFFFull) value = 0xFFFFFFFFull;
    const size_t byte_count = k == 5 ? 4 : k - 1;
    uint64_t kept = 0;  // the group's bytes, zero-padded as the encoder pads them
    for (size_t i = 0; i < byte_count; ++i) {
      const uint64_t byte = (value >> (24 - 8 * i)) & 0xFF;
      bytes->push_back(static_cast<char>(byte));
      kept |= byte << (24 - 8 * i);
    }
    if (k < 5 && kept / Power85(5 - k) != lowest / Power85(5 - k)) {
      *bad_offset = start;
      *message = "base-85 group that no encoder writes";
      return false;
    }
  }
  return true;
}

}  // namespace rk
