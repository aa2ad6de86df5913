#pragma once

#include <string>

#include "rkvtps32.h"

// UTF-16 of a command-line argument, read as UTF-8; a byte that does not
// begin a valid UTF-8 sequence stands for itself (U+0080..U+00FF).
std::basic_string<RK_WCHAR> WideFromUtf8(const std::string& text);
