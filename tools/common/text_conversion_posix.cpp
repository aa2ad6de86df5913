// Text conversion on Linux and other POSIX systems: iconv for UTF-8, the
// library's own code-page objects for the ANSI bytes, so a program sees
// exactly the bytes the library will.
#include <iconv.h>

#include <cstdint>

#include "os/os.h"
#include "text_conversion.h"

namespace {

// iconv's UTF-8 reader refuses overlong forms, surrogates and code points
// above U+10FFFF, and says where: the reason to use it over a hand-written
// one.
iconv_t OpenUtf8ToUtf16() {
  const uint16_t probe = 1;
  const bool little_endian = *reinterpret_cast<const uint8_t*>(&probe) == 1;
  return iconv_open(little_endian ? "UTF-16LE" : "UTF-16BE", "UTF-8");
}

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

unsigned LibraryAnsiCodePage() { return rk::os::AnsiCodePage(); }

std::string ConvertToAnsi(const WideText& wide) {
  if (wide.empty()) return std::string();
  std::string bytes(wide.size() * 2, '\0');  // at most two bytes a unit
  const int written = rk::os::ConvertWideToAnsi(wide.data(), static_cast<int>(wide.size()),
                                                &bytes[0], static_cast<int>(bytes.size()));
  bytes.resize(written > 0 ? static_cast<size_t>(written) : 0);
  return bytes;
}
