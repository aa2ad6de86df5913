// The lead bytes of the double-byte ANSI code pages, by code page number:
// the one fact about a code page the cut needs. The library asks this table
// on every platform; Windows' own IsDBCSLeadByteEx gives the same ranges for
// these code pages.
#pragma once

#include <cstdint>

namespace rk {

struct LeadByteRange {
  unsigned code_page;
  uint8_t low;
  uint8_t high;
};

// clang-format off
inline constexpr LeadByteRange kLeadByteRanges[] = {
//   code page  first  last
    {932,       0x81,  0x9F},  // Shift JIS
    {932,       0xE0,  0xFC},
    {936,       0x81,  0xFE},  // GBK
    {949,       0x81,  0xFE},  // Unified Hangul Code
    {950,       0x81,  0xFE},  // Big5
};
// clang-format on

// True when `byte` starts a double-byte character in `code_page`; a code
// page with no double-byte characters (1252 and the other single-byte ones)
// has no lead bytes. Constant, so that tables made at compile time (the
// character test's byte classes) read the same ranges.
constexpr bool IsLeadByte(unsigned code_page, uint8_t byte) {
  for (const LeadByteRange& range : kLeadByteRanges) {
    if (range.code_page == code_page && byte >= range.low && byte <= range.high) return true;
  }
  return false;
}

}  // namespace rk
