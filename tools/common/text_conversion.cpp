#include "text_conversion.h"

namespace {

bool IsAscii(const std::string& text) {
  for (unsigned char c : text) {
    if (c >= 0x80) return false;
  }
  return true;
}

}  // namespace

size_t CountUnmapped(const WideText& wide, const std::string& bytes) {
  // A character with no form in the code page becomes the default '?'.
  size_t asked = 0, got = 0;
  for (RK_WCHAR unit : wide) asked += unit == u'?';
  for (char byte : bytes) got += byte == '?';
  return got > asked ? got - asked : 0;
}

bool PrepareText(const std::string& utf8, TextMode mode, unsigned code_page,
                 const std::string& what, PreparedText* prepared, std::string* message) {
  if (mode == TextMode::kRaw || (mode == TextMode::kAnsi && IsAscii(utf8))) {
    prepared->narrow = prepared->sent = utf8;
    return true;
  }
  size_t bad = 0;
  WideText wide;
  if (!DecodeUtf8(utf8, &wide, &bad)) {
    *message = what + ": invalid UTF-8 at byte offset " + std::to_string(bad);
    if (mode == TextMode::kAnsi) *message += " (--raw passes bytes unchanged)";
    return false;
  }
  prepared->sent = ConvertToCodePage(code_page, wide);
  prepared->unmapped = CountUnmapped(wide, prepared->sent);
  if (mode == TextMode::kWide) {
    prepared->wide = wide;
  } else {
    prepared->narrow = prepared->sent;
  }
  return true;
}
