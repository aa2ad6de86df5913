#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "loaded_library.h"

namespace {

void* Library() {
  // Loaded once for the whole program and left loaded, as a driver does.
  static void* handle = [] {
    void* h = dlopen(RKVTPS32_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    if (h == nullptr) {
      std::fprintf(stderr, "dlopen %s: %s\n", RKVTPS32_LIBRARY_PATH, dlerror());
      std::abort();
    }
    return h;
  }();
  return handle;
}

}  // namespace

void* FindExport(const char* name) { return dlsym(Library(), name); }

std::string ComputerName() {
  char host[256] = {};
  gethostname(host, sizeof host - 1);
  char* dot = std::strchr(host, '.');
  if (dot != nullptr) *dot = '\0';
  return host;
}
