#include <algorithm>

#include "os/wide_tables.h"

namespace rk::os {

int MapWideUnit(unsigned code_page, uint16_t unit, char* out) {
  const WideMapping* begin = code_page == 932 ? kCp932Mappings : kCp1252Mappings;
  const WideMapping* end = begin + (code_page == 932 ? kCp932MappingCount : kCp1252MappingCount);
  const WideMapping* found = std::lower_bound(
      begin, end, unit, [](const WideMapping& m, uint16_t u) { return m.unit < u; });
  if (found == end || found->unit != unit) {
    out[0] = '?';
    return 1;
  }
  if (found->bytes < 0x100) {
    out[0] = static_cast<char>(found->bytes);
    return 1;
  }
  out[0] = static_cast<char>(found->bytes >> 8);
  out[1] = static_cast<char>(found->bytes & 0xFF);
  return 2;
}

}  // namespace rk::os
