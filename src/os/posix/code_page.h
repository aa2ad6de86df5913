// Conversion and the lead-byte test in a code page the caller names, on
// Linux and other POSIX systems. The ANSI versions in os/os.h are these
// with AnsiCodePage(); the library's private entry hands the conversion to
// the project's programs, which convert for a printer's code page, not for
// the process's.
#pragma once

#include <cstdint>

#include "rkvtps32.h"

namespace rk::os {

// IsDBCSLeadByteEx(code_page, byte).
bool IsLeadByte(unsigned code_page, uint8_t byte);

// WideCharToMultiByte(code_page, 0, wide, count, out, capacity, nullptr,
// nullptr): the bytes written, or 0 when nothing could be converted
// (including when the result does not fit, or the code page is unknown).
// Unrepresentable characters become '?'. No NUL is added.
int ConvertWideToCodePage(unsigned code_page, const RK_WCHAR* wide, int count, char* out,
                          int capacity);

}  // namespace rk::os
