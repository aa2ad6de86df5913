// Conversion in a code page the caller names, on Linux and other POSIX
// systems. The ANSI version in os/os.h is this with AnsiCodePage(); the
// library's private entry hands it to the project's programs, which convert
// for a printer's code page, not for the process's.
#pragma once

#include "rkvtps32.h"

namespace rk::os {

// WideCharToMultiByte(code_page, 0, wide, count, out, capacity, nullptr,
// nullptr): the bytes written, or 0 when nothing could be converted
// (including when the result does not fit, or the code page is unknown).
// Unrepresentable characters become '?'. No NUL is added.
int ConvertWideToCodePage(unsigned code_page, const RK_WCHAR* wide, int count, char* out,
                          int capacity);

}  // namespace rk::os
