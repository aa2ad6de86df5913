// An Ascii85 decoder for the tests, written apart from the library's
// encoder so that encoded commands can be checked by what they carry.
#pragma once

#include <cstdint>
#include <string>

// Decodes digits "!".."u" without delimiters; a short last group of k + 1
// digits gives k bytes.
inline std::string DecodeAscii85(const std::string& digits) {
  std::string bytes;
  for (size_t start = 0; start < digits.size(); start += 5) {
    const size_t k = digits.size() - start < 5 ? digits.size() - start : 5;
    uint64_t value = 0;
    for (size_t i = 0; i < 5; ++i) {
      value = value * 85 + static_cast<uint64_t>(i < k ? digits[start + i] - 33 : 84);
    }
    const size_t produced = k == 5 ? 4 : k - 1;
    for (size_t i = 0; i < produced; ++i) {
      bytes.push_back(static_cast<char>((value >> (24 - 8 * i)) & 0xFF));
    }
  }
  return bytes;
}
