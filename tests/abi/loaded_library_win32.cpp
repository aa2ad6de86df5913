#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "loaded_library.h"

HMODULE LoadedModule() {
  static HMODULE module = [] {
    HMODULE m = LoadLibraryA("rkvtps32.dll");
    if (m == nullptr) {
      std::fprintf(stderr, "LoadLibraryA(rkvtps32.dll) failed: %lu\n", GetLastError());
      std::abort();
    }
    return m;
  }();
  return module;
}

void* FindExport(const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(LoadedModule(), name));
}

std::string ComputerName() {
  char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = sizeof name;
  if (!GetComputerNameA(name, &size)) return "";
  return name;
}
