// The lead bytes of the double-byte ANSI code pages, by code page number:
// the one fact about a code page the cut needs. The library asks this table
// on every platform; Windows' own IsDBCSLeadByteEx gives the same ranges for
// these code pages.
#pragma once

#include <cstdint>

namespace rk {

// True when `byte` starts a double-byte character in `code_page`; a code
// page with no double-byte characters (1252 and the other single-byte ones)
// has no lead bytes.
bool IsLeadByte(unsigned code_page, uint8_t byte);

}  // namespace rk
