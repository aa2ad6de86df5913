#include <dlfcn.h>

#include <unistd.h>
#include <cctype>

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

// What GetComputerNameA gives a Windows client of this name: the NetBIOS
// form, the host name up to its first dot, upper case, 15 bytes at most.
std::string ComputerName() {
  char host[256] = {};
  gethostname(host, sizeof host - 1);
  std::string name(host, std::strcspn(host, "."));
  for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return name.substr(0, 15);
}
