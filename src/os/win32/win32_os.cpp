// The operating-system layer on Windows: each function forwards to the
// Win32 call it is named after in os.h.
#include "os/os.h"

#include <windows.h>

namespace rk::os {

bool ReadComputerName(char* buffer, uint32_t* size) {
  DWORD capacity = *size;
  const BOOL ok = GetComputerNameA(buffer, &capacity);
  *size = capacity;
  return ok != 0;
}

bool ReadUserName(char* buffer, uint32_t* size) {
  DWORD capacity = *size;
  const BOOL ok = GetUserNameA(buffer, &capacity);
  *size = capacity;
  return ok == 1;
}

long OpenMachineKey(const char* subkey, RegistryKey* key) {
  HKEY opened = nullptr;
  const LONG result = RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkey, 0, KEY_READ, &opened);
  *key = opened;
  return result;
}

long QueryKeyValue(RegistryKey key, const char* name, uint8_t* data, uint32_t* size) {
  DWORD type = 0;
  DWORD capacity = *size;
  const LONG result =
      RegQueryValueExA(static_cast<HKEY>(key), name, nullptr, &type, data, &capacity);
  *size = capacity;
  return result;
}

void CloseKey(RegistryKey key) { RegCloseKey(static_cast<HKEY>(key)); }

unsigned AnsiCodePage() { return GetACP(); }

int ConvertWideToAnsi(const RK_WCHAR* wide, int count, char* out, int capacity) {
  return WideCharToMultiByte(CP_ACP, 0, wide, count, out, capacity, nullptr, nullptr);
}

void* AllocateZeroedBlock(size_t bytes) { return GlobalAlloc(GPTR, bytes); }

void FreeBlock(void* block) { GlobalFree(block); }

ModuleHandle LoadModule(const char* name) {
  return reinterpret_cast<ModuleHandle>(LoadLibraryA(name));
}

EntryPoint FindEntryPoint(ModuleHandle module, const char* name) {
  return reinterpret_cast<EntryPoint>(
      reinterpret_cast<void (*)()>(GetProcAddress(reinterpret_cast<HMODULE>(module), name)));
}

void UnloadModule(ModuleHandle module) { FreeLibrary(reinterpret_cast<HMODULE>(module)); }

}  // namespace rk::os

// The module entry accepts every loader notification and does nothing
// else: the library allocates and starts nothing at load time.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
