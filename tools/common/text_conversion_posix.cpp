// Text conversion on Linux and other POSIX systems: iconv for UTF-8, the
// library's private entry for the code-page bytes, so a program sees
// exactly the bytes the library will without a copy of its tables.
#include <iconv.h>

#include "rkvtps32_private.h"
#include "text_conversion.h"

namespace {

// iconv's UTF-8 reader refuses overlong forms, surrogates and code points
// above U+10FFFF, and says where: the reason to use it over a hand-written
// one.
iconv_t OpenUtf8ToUtf16() { return iconv_open(RKVTPS32_UTF16_CHARSET, "UTF-8"); }

}  // namespace

bool DecodeUtf8(const std::string& text, WideText* wide, size_t* bad_offset) {
  wide->assign(text.size(), u'\0');  // never more units than bytes
  iconv_t converter = OpenUtf8ToUtf16();
  if (converter == reinterpret_cast<iconv_t>(-1)) {
    *bad_offset = 0;
    return false;
  }
  char* in = const_cast<char*>(text.data());
  size_t in_left = text.size();
  char* out = reinterpret_cast<char*>(&(*wide)[0]);
  size_t out_left = wide->size() * sizeof(RK_WCHAR);
  const size_t result = iconv(converter, &in, &in_left, &out, &out_left);
  iconv_close(converter);
  wide->resize(wide->size() - out_left / sizeof(RK_WCHAR));
  if (result == static_cast<size_t>(-1)) {
    *bad_offset = static_cast<size_t>(in - text.data());
    return false;
  }
  return true;
}

unsigned LibraryAnsiCodePage() { return rkvtps32_private_ansi_code_page(); }

std::string ConvertToCodePage(unsigned code_page, const WideText& wide) {
  if (wide.empty()) return std::string();
  std::string bytes(wide.size() * 2, '\0');  // at most two bytes a unit
  const int written =
      rkvtps32_private_convert_wide(code_page, wide.data(), static_cast<int>(wide.size()),
                                    &bytes[0], static_cast<int>(bytes.size()));
  bytes.resize(written > 0 ? static_cast<size_t>(written) : 0);
  return bytes;
}
