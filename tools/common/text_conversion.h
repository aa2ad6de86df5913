// Text on its way to the library: UTF-8 from a command line or a print
// job, converted as the export it goes to expects, and the bytes the
// library will work with in the code page the caller names.
#pragma once

#include <cstddef>
#include <string>

#include "utf16_text.h"

// UTF-16 of UTF-8 text. False for invalid UTF-8 (overlong forms, surrogates,
// bytes F5-FF, a sequence cut short), with the offset of the first byte of
// the offending sequence.
bool DecodeUtf8(const std::string& text, WideText* wide, size_t* bad_offset);

// The ANSI code page the library's exports convert wide text to in this
// process (the locale's, or the override the library reads from its
// environment).
unsigned LibraryAnsiCodePage();

// The bytes the library makes of `wide` in `code_page` (by the library's
// own code on Linux, by the system's on Windows): a character with no form
// there becomes '?'. Empty for an unknown code page.
std::string ConvertToCodePage(unsigned code_page, const WideText& wide);

// The '?' count of a conversion: characters of `wide` that are not '?' but
// came out as '?' in `bytes`.
size_t CountUnmapped(const WideText& wide, const std::string& bytes);

enum class TextMode {
  kAnsi,  // the narrow export, in the code page the text is prepared for
  kWide,  // the W export, as UTF-16
  kRaw,   // the narrow export, the bytes exactly as given
};

struct PreparedText {
  std::string narrow;   // kAnsi, kRaw
  WideText wide;        // kWide
  std::string sent;     // the bytes the library will work with, in any mode
  size_t unmapped = 0;  // characters the code page has no form for (sent as '?')
};

// `utf8` for an export whose text the library works with in `code_page`.
// False, with a message naming `what` and the byte offset, when the text is
// not valid UTF-8 and the mode needs it decoded.
bool PrepareText(const std::string& utf8, TextMode mode, unsigned code_page,
                 const std::string& what, PreparedText* prepared, std::string* message);
