// What the tool needs of the system it runs on, one file per platform
// (platform_posix.cpp, platform_win32.cpp).
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include "rkvtps32.h"
#include "text_conversion.h"

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
