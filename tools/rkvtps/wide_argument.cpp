#include "wide_argument.h"

#include <cstdint>

namespace {

void AppendCodePoint(std::basic_string<RK_WCHAR>* out, uint32_t code_point) {
  if (code_point < 0x10000) {
    out->push_back(static_cast<RK_WCHAR>(code_point));
    return;
  }
  code_point -= 0x10000;
  out->push_back(static_cast<RK_WCHAR>(0xD800 + (code_point >> 10)));
  out->push_back(static_cast<RK_WCHAR>(0xDC00 + (code_point & 0x3FF)));
}

}  // namespace

std::basic_string<RK_WCHAR> WideFromUtf8(const std::string& text) {
  std::basic_string<RK_WCHAR> out;
  size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<uint8_t>(text[i]);
    size_t extra = 0;
    uint32_t code_point = lead;
    if (lead >= 0xF0 && lead <= 0xF4) {
      extra = 3;
      code_point = lead & 0x07;
    } else if (lead >= 0xE0) {
      extra = 2;
      code_point = lead & 0x0F;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      extra = 1;
      code_point = lead & 0x1F;
    }
    bool valid = lead < 0x80 || extra > 0;
    if (extra > 0 && i + extra < text.size() + 0) {
      for (size_t k = 1; k <= extra; ++k) {
        const auto next = static_cast<uint8_t>(text[i + k]);
        if ((next & 0xC0) != 0x80) {
          valid = false;
          break;
        }
        code_point = (code_point << 6) | (next & 0x3F);
      }
    } else if (extra > 0) {
      valid = false;
    }
    if (valid && extra > 0 &&
        (code_point > 0x10FFFF || (code_point >= 0xD800 && code_point <= 0xDFFF))) {
      valid = false;
    }
    if (!valid) {
      AppendCodePoint(&out, lead);
      i += 1;
      continue;
    }
    AppendCodePoint(&out, code_point);
    i += extra + 1;
  }
  return out;
}
