// Text conversion on Windows: the system's own UTF-8 and code-page
// conversions, which the library's wide exports use too.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "text_conversion.h"

namespace {

// The length of the UTF-8 sequence a lead byte starts, 1 for a byte that
// cannot start one (Windows then reports it invalid).
size_t SequenceLength(unsigned char lead) {
  if (lead >= 0xF0) return 4;
  if (lead >= 0xE0) return 3;
  if (lead >= 0xC0) return 2;
  return 1;
}

}  // namespace

bool DecodeUtf8(const std::string& text, WideText* wide, size_t* bad_offset) {
  wide->clear();
  if (text.empty()) return true;
  const int count = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                                        static_cast<int>(text.size()), nullptr, 0);
  if (count > 0) {
    wide->resize(static_cast<size_t>(count));
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                        &(*wide)[0], count);
    return true;
  }
  // Windows does not say where; ask it sequence by sequence.
  for (size_t at = 0; at < text.size();) {
    const size_t length = SequenceLength(static_cast<unsigned char>(text[at]));
    if (at + length > text.size() ||
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data() + at,
                            static_cast<int>(length), nullptr, 0) <= 0) {
      *bad_offset = at;
      return false;
    }
    at += length;
  }
  *bad_offset = 0;
  return false;
}

unsigned LibraryAnsiCodePage() { return GetACP(); }

std::string ConvertToCodePage(unsigned code_page, const WideText& wide) {
  if (wide.empty()) return std::string();
  const int count = static_cast<int>(wide.size());
  const int size =
      WideCharToMultiByte(code_page, 0, wide.data(), count, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return std::string();
  std::string bytes(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(code_page, 0, wide.data(), count, &bytes[0], size, nullptr, nullptr);
  return bytes;
}
