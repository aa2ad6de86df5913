#include <cstring>

#include "commands/host_commands.h"
#include "commands/text.h"
#include "host/discovery.h"
#include "host/sockets_binding.h"
#include "rkvtps32.h"

namespace rk {
namespace {

const char* const kIPv6Names[] = {"WSAStartup",  "WSACleanup",  "gethostname",
                                  "getaddrinfo", "getnameinfo", "freeaddrinfo"};
enum { kGetHostName = 2, kGetAddrInfo, kGetNameInfo, kFreeAddrInfo };

constexpr size_t kNumericCapacity = 1025;  // NI_MAXHOST

// Two link-local addresses that are never taken, not even as a fallback.
constexpr uint8_t kExcluded[2][16] = {
    {0xFE, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x01},
    {0xFE, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFD},
};

struct IPv6Calls {
  os::GetHostNameFn get_host_name;
  os::GetAddrInfoFn get_addr_info;
  os::GetNameInfoFn get_name_info;
  os::FreeAddrInfoFn free_addr_info;
};

bool IsExcluded(const uint8_t* address) {
  return std::memcmp(address, kExcluded[0], 16) == 0 || std::memcmp(address, kExcluded[1], 16) == 0;
}

// The 16 address bytes of an IPv6 entry; false for any other entry.
bool ReadIPv6Bytes(const addrinfo* entry, uint8_t* bytes) {
  if (entry->ai_family != AF_INET6 || entry->ai_addr == nullptr ||
      static_cast<size_t>(entry->ai_addrlen) < sizeof(sockaddr_in6)) {
    return false;
  }
  sockaddr_in6 address;
  std::memcpy(&address, entry->ai_addr, sizeof address);
  std::memcpy(bytes, &address.sin6_addr, 16);
  return true;
}

// The numeric text of an entry into `out`; `out` keeps its text when the
// conversion fails, so a failed entry never erases an earlier candidate.
bool NameEntry(const IPv6Calls& calls, const addrinfo* entry, char* out) {
  char text[kNumericCapacity];
  if (calls.get_name_info(entry->ai_addr, static_cast<socklen_t>(entry->ai_addrlen), text,
                          kNumericCapacity, nullptr, 0, NI_NUMERICHOST) != 0) {
    return false;
  }
  text[kNumericCapacity - 1] = '\0';
  return CopyText(out, kNumericCapacity, text);
}

// Picks the address text from the host's list: the first address that is
// neither link-local (fe80::/16) nor "::1"; else the first usable link-local
// one; LOOPBACK_ONLY when only loopback or an excluded address was seen.
void PickAddressText(const IPv6Calls& calls, const addrinfo* list, char* chosen, int16_t* status) {
  char fallback[kNumericCapacity] = "";
  bool have_fallback = false;
  bool excluded = false;
  chosen[0] = '\0';
  for (const addrinfo* entry = list; entry != nullptr; entry = entry->ai_next) {
    uint8_t bytes[16];
    if (!ReadIPv6Bytes(entry, bytes)) continue;
    if (bytes[0] == 0xFE && bytes[1] == 0x80) {
      if (have_fallback) continue;
      if (IsExcluded(bytes)) {
        excluded = true;
        continue;
      }
      if (NameEntry(calls, entry, fallback)) {
        have_fallback = true;
        excluded = false;
      }
      continue;
    }
    if (NameEntry(calls, entry, chosen) && !TextEquals(chosen, "::1")) return;
  }
  if (TextEquals(chosen, "::1")) {
    if (!have_fallback) {
      *status = RK_STATUS_LOOPBACK_ONLY;
      return;
    }
    CopyText(chosen, kNumericCapacity, fallback);
  }
  if (chosen[0] == '\0') {
    if (excluded) {
      *status = RK_STATUS_LOOPBACK_ONLY;
    } else if (fallback[0] == '\0') {
      *status = RK_STATUS_GENERAL_ERROR;
    } else {
      CopyText(chosen, kNumericCapacity, fallback);
    }
  }
}

void FindIPv6Address(const os::EntryPoint* entries, void* context, int16_t* status) {
  const IPv6Calls calls = {
      reinterpret_cast<os::GetHostNameFn>(entries[kGetHostName]),
      reinterpret_cast<os::GetAddrInfoFn>(entries[kGetAddrInfo]),
      reinterpret_cast<os::GetNameInfoFn>(entries[kGetNameInfo]),
      reinterpret_cast<os::FreeAddrInfoFn>(entries[kFreeAddrInfo]),
  };
  char host[kHostNameCapacity];
  if (calls.get_host_name(host, kHostNameCapacity) != 0) {
    *status = RK_STATUS_NO_HOST_NAME;
    return;
  }
  host[kHostNameCapacity - 1] = '\0';

  addrinfo hints{};
  hints.ai_flags = AI_PASSIVE;
  hints.ai_family = AF_UNSPEC;
  addrinfo* list = nullptr;
  if (calls.get_addr_info(host, nullptr, &hints, &list) != 0) {
    *status = RK_STATUS_ADDRINFO_FAILED;
    return;
  }
  char chosen[kNumericCapacity];
  PickAddressText(calls, list, chosen, status);
  calls.free_addr_info(list);
  if (*status != RK_STATUS_OK) return;

  // The digits come from resolving the picked text once more, so they are
  // always the address that text denotes.
  addrinfo numeric_hints{};
  numeric_hints.ai_flags = AI_PASSIVE | AI_NUMERICHOST;
  numeric_hints.ai_family = AF_INET6;
  if (calls.get_addr_info(chosen, nullptr, &numeric_hints, &list) != 0) {
    *status = RK_STATUS_ADDRINFO_FAILED;
    return;
  }
  uint8_t bytes[16];
  if (list == nullptr || !ReadIPv6Bytes(list, bytes)) {
    *status = RK_STATUS_ADDRINFO_FAILED;
  } else {
    WriteHexDigits(bytes, 16, false, static_cast<AddressDigits*>(context)->text);
  }
  if (list != nullptr) calls.free_addr_info(list);
}

}  // namespace

int32_t GetIPv6AddressHex(char* output, int16_t* status) {
  return DiscoverAddressDigits(kIPv6Names, sizeof kIPv6Names / sizeof kIPv6Names[0],
                               FindIPv6Address, 32, output, status);
}

}  // namespace rk
