// The tool on Linux and other POSIX systems.
#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform.h"

std::vector<std::string> ArgumentsAsUtf8(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

FILE* OpenInput(const std::string& path) {
  return path == "-" ? stdin : std::fopen(path.c_str(), "rb");
}

std::string LoadedLibraryVersion() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&RKGetVTPSStringOfNup), &info) == 0 ||
      info.dli_fname == nullptr) {
    return "unknown";
  }
  // The SONAME link leads to the file named with the full version.
  char real[PATH_MAX];
  const char* path = realpath(info.dli_fname, real) != nullptr ? real : info.dli_fname;
  const char* so = std::strstr(path, ".so.");
  const std::string version = so != nullptr ? so + 4 : "unknown";
  return version + " (" + path + ")";
}
