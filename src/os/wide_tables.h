// What WideCharToMultiByte gives for each UTF-16 unit in code pages 1252
// and 932, captured under Wine (tools/capture-codepages). Pure data: the
// Linux provider converts with it, and a test under Wine holds it to the
// live call.
#pragma once

#include <cstddef>
#include <cstdint>

namespace rk::os {

struct WideMapping {
  uint16_t unit;
  uint16_t bytes;  // below 0x100 one byte; otherwise lead << 8 | trail
};

// Sorted by unit; every unit not listed gives the default character '?'.
extern const WideMapping kCp1252Mappings[];
extern const size_t kCp1252MappingCount;
extern const WideMapping kCp932Mappings[];
extern const size_t kCp932MappingCount;

// The bytes of `unit` in code page 1252 or 932 into `out`: 1 or 2. Each
// unit converts on its own, surrogates included (each gives '?'), as
// WideCharToMultiByte does.
int MapWideUnit(unsigned code_page, uint16_t unit, char* out);

}  // namespace rk::os
