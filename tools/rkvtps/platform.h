// What the tool needs of the system it runs on, one file per platform
// (platform_posix.cpp, platform_win32.cpp).
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include "rkvtps32.h"
#include "utf16_text.h"

// UTF-16 of UTF-8 text. False for invalid UTF-8 (overlong forms, surrogates,
// bytes F5-FF, a sequence cut short), with the offset of the first byte of
// the offending sequence.
bool DecodeUtf8(const std::string& text, WideText* wide, size_t* bad_offset);

// The ANSI code page the library converts wide text to, and the bytes it
// would make of `wide` there (the same code as the library's).
unsigned LibraryAnsiCodePage();
std::string ConvertToAnsi(const WideText& wide);

// The program's arguments as UTF-8. On Windows they come from the wide
// command line, so text typed in any code page arrives intact.
std::vector<std::string> ArgumentsAsUtf8(int argc, char** argv);

// A file opened for reading bytes, or standard input for "-"; null with
// errno set.
FILE* OpenInput(const std::string& path);

// The whole of a file, or of standard input for "-". False with the
// system's reason (a directory, unreadable, a read error midway).
bool ReadWholeFile(const std::string& path, std::string* bytes, std::string* reason);

// The version of the library this process loaded and where it came from,
// or "unknown" when the system will not say.
std::string LoadedLibraryVersion();
