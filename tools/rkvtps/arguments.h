// Text arguments on their way to the library: UTF-8 from the command line,
// converted as the export it goes to expects.
#pragma once

#include <string>

#include "platform.h"

enum class TextMode {
  kAnsi,  // the narrow export, in the library's ANSI code page
  kWide,  // the W export, as UTF-16
  kRaw,   // the narrow export, the bytes exactly as given
};

struct PreparedText {
  std::string narrow;   // kAnsi, kRaw
  WideText wide;        // kWide
  std::string sent;     // the bytes the library will work with, in any mode
  size_t unmapped = 0;  // characters the code page has no form for (sent as '?')
};

// False, with a message naming `what` and the byte offset, when the text is
// not valid UTF-8 and the mode needs it decoded.
bool PrepareText(const std::string& utf8, TextMode mode, const std::string& what,
                 PreparedText* prepared, std::string* message);
