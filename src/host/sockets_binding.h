// Run-time binding of the Windows sockets library. The library is never
// linked at build time: each discovery loads Ws2_32 by name, finds the entry
// points it needs, starts it, does its work, cleans up and unloads it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "os/os.h"

namespace rk {

// The host-name buffer both discoveries hand to gethostname.
constexpr int kHostNameCapacity = 260;

// Every binding set begins with these two.
constexpr size_t kStartupEntry = 0;
constexpr size_t kCleanupEntry = 1;
constexpr size_t kMaxEntryPoints = 8;

// The discovery between start-up and clean-up; `entries` holds the entry
// points in the order of the names given to RunWithSockets. It reports a
// failure through `status`, which is RK_STATUS_OK on entry.
using SocketsWork = void (*)(const os::EntryPoint* entries, void* context, int16_t* status);

// Sets *status to RK_STATUS_OK, binds `names` (at most kMaxEntryPoints,
// "WSAStartup" and "WSACleanup" first), and runs `work` if the library
// loaded, has every entry point and started with version 2.2. Every
// successful start-up gets exactly one clean-up; the library is unloaded on
// every path that loaded it. Returns true when *status is still OK.
bool RunWithSockets(const char* const* names, size_t count, SocketsWork work, void* context,
                    int16_t* status);

// Room for the digits a discovery writes, its context for RunWithSockets.
struct AddressDigits {
  char text[48];
};

// A whole discovery: RunWithSockets with `work` writing into an
// AddressDigits, then the digits (and their NUL, `digit_count` + 1 bytes)
// into `output`, or the empty string there on failure. 1 or 0.
int32_t DiscoverAddressDigits(const char* const* names, size_t count, SocketsWork work,
                              size_t digit_count, char* output, int16_t* status);

}  // namespace rk
