#include "commands/code_pages.h"

namespace rk {
namespace {

struct LeadByteRange {
  unsigned code_page;
  uint8_t low;
  uint8_t high;
};

// clang-format off
constexpr LeadByteRange kLeadByteRanges[] = {
//   code page  first  last
    {932,       0x81,  0x9F},  // Shift JIS
    {932,       0xE0,  0xFC},
    {936,       0x81,  0xFE},  // GBK
    {949,       0x81,  0xFE},  // Unified Hangul Code
    {950,       0x81,  0xFE},  // Big5
};
// clang-format on

}  // namespace

bool IsLeadByte(unsigned code_page, uint8_t byte) {
  for (const LeadByteRange& range : kLeadByteRanges) {
    if (range.code_page == code_page && byte >= range.low && byte <= range.high) return true;
  }
  return false;
}

}  // namespace rk
