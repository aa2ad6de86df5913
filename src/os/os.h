// Every operating-system call the library makes goes through this header.
//
// Each function carries the meaning of the Win32 call it stands for, so the
// command logic reads the same on every platform. One provider per platform
// defines them (src/os/win32, src/os/posix), and the unit tests link a
// scripted one instead (tests/support/fake_os). The choice is made at link
// time: nothing here is looked up at run time.
#pragma once

#include <cstddef>
#include <cstdint>

#include "rkvtps32.h"

// The sockets entry points are called through pointers found by name, so
// the logic needs the platform's own socket types. This is the one place
// that includes the platform's headers for them.
#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <winsock2.h>
#include <ws2tcpip.h>
#define RK_WSAAPI WSAAPI
#else
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#define RK_WSAAPI
#endif

namespace rk::os {

// ---- Names -----------------------------------------------------------------

// GetComputerNameA: *size is the capacity in bytes, terminator included.
// True with the NUL-terminated name; false when it cannot be read or does
// not fit.
bool ReadComputerName(char* buffer, uint32_t* size);

// GetUserNameA: the same contract, for the account the caller runs as.
bool ReadUserName(char* buffer, uint32_t* size);

// ---- Registry --------------------------------------------------------------

using RegistryKey = void*;

// RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkey, 0, KEY_READ, key): 0 on success.
long OpenMachineKey(const char* subkey, RegistryKey* key);

// RegQueryValueExA(key, name, nullptr, &type, data, size): 0 on success.
// *size is the capacity in, the bytes stored out. The type is not reported:
// the library takes every value's data as 8-bit text.
long QueryKeyValue(RegistryKey key, const char* name, uint8_t* data, uint32_t* size);

// RegCloseKey.
void CloseKey(RegistryKey key);

// ---- ANSI code page ----------------------------------------------------------

// GetACP.
unsigned AnsiCodePage();

// WideCharToMultiByte(CP_ACP, 0, wide, count, out, capacity, nullptr,
// nullptr): the number of bytes written, or 0 when nothing could be
// converted (including when the result does not fit). Unrepresentable
// characters become the code page's default character. No NUL is added.
int ConvertWideToAnsi(const RK_WCHAR* wide, int count, char* out, int capacity);

// GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, bytes) and GlobalFree.
void* AllocateZeroedBlock(size_t bytes);
void FreeBlock(void* block);

// ---- Run-time loading --------------------------------------------------------

using ModuleHandle = uintptr_t;
using EntryPoint = void (*)();  // cast to the real type by the caller

// LoadLibraryA. As with the Win32 call, only a value above 32 is a handle.
ModuleHandle LoadModule(const char* name);

// GetProcAddress: null when the module lacks the name.
EntryPoint FindEntryPoint(ModuleHandle module, const char* name);

// FreeLibrary.
void UnloadModule(ModuleHandle module);

// ---- Sockets types -----------------------------------------------------------
// The shapes of the Windows Sockets 2 entry points the host discovery binds.

#ifdef _WIN32
using StartupRecord = WSADATA;
using NameLength = DWORD;
using InetAddress = unsigned long;
#else
// WSADATA's one field the library reads: the version the start-up granted.
struct StartupRecord {
  uint16_t wVersion;
};
using NameLength = socklen_t;
using InetAddress = in_addr_t;
#endif

using WsaStartupFn = int(RK_WSAAPI*)(uint16_t version, StartupRecord* record);
using WsaCleanupFn = int(RK_WSAAPI*)();
using GetHostNameFn = int(RK_WSAAPI*)(char* name, int length);
using GetHostByNameFn = hostent*(RK_WSAAPI*)(const char* name);
using InetNtoaFn = char*(RK_WSAAPI*)(in_addr address);
using InetAddrFn = InetAddress(RK_WSAAPI*)(const char* text);
using GetAddrInfoFn = int(RK_WSAAPI*)(const char* node, const char* service, const addrinfo* hints,
                                      addrinfo** list);
using GetNameInfoFn = int(RK_WSAAPI*)(const sockaddr* address, socklen_t length, char* host,
                                      NameLength host_length, char* service,
                                      NameLength service_length, int flags);
using FreeAddrInfoFn = void(RK_WSAAPI*)(addrinfo* list);

}  // namespace rk::os
