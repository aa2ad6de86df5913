#include <cstring>

#include "commands/host_commands.h"
#include "commands/text.h"
#include "host/discovery.h"
#include "host/sockets_binding.h"
#include "rkvtps32.h"

namespace rk {
namespace {

const char* const kIPv4Names[] = {"WSAStartup",    "WSACleanup", "gethostname",
                                  "gethostbyname", "inet_ntoa",  "inet_addr"};
enum { kGetHostName = 2, kGetHostByName, kInetNtoa, kInetAddr };

constexpr size_t kDottedCapacity = 40;

bool IsLinkLocal(const uint8_t* address) { return address[0] == 169 && address[1] == 254; }

// The dotted text of one address; the sockets library's own storage is
// copied at once, before the next call can reuse it.
void CopyDotted(os::InetNtoaFn ntoa, const uint8_t* bytes, char* out) {
  in_addr address;
  std::memcpy(&address, bytes, 4);
  const char* dotted = ntoa(address);
  if (dotted == nullptr || !CopyText(out, kDottedCapacity, dotted)) out[0] = '\0';
}

void FindIPv4Address(const os::EntryPoint* entries, void* context, int16_t* status) {
  const auto get_host_name = reinterpret_cast<os::GetHostNameFn>(entries[kGetHostName]);
  const auto get_host_by_name = reinterpret_cast<os::GetHostByNameFn>(entries[kGetHostByName]);
  const auto ntoa = reinterpret_cast<os::InetNtoaFn>(entries[kInetNtoa]);
  const auto inet_address = reinterpret_cast<os::InetAddrFn>(entries[kInetAddr]);

  char host[kHostNameCapacity];
  if (get_host_name(host, kHostNameCapacity) != 0) {
    *status = RK_STATUS_NO_HOST_NAME;
    return;
  }
  host[kHostNameCapacity - 1] = '\0';
  const hostent* entry = get_host_by_name(host);
  if (entry == nullptr) {
    *status = RK_STATUS_NO_HOST_ENTRY;
    return;
  }

  // The first address that is neither "127.0.0.1" nor the first link-local
  // one wins. The first 169.254.x.x is kept aside in case nothing else turns
  // up; a later one is an ordinary candidate.
  char chosen[kDottedCapacity] = "";
  char fallback[kDottedCapacity] = "";
  bool have_fallback = false;
  const bool ipv4_entry = entry->h_addrtype == AF_INET && entry->h_length == 4;
  for (char** item = ipv4_entry ? entry->h_addr_list : nullptr; item != nullptr && *item != nullptr;
       ++item) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(*item);
    if (!have_fallback && IsLinkLocal(bytes)) {
      CopyDotted(ntoa, bytes, fallback);
      have_fallback = true;
      continue;
    }
    CopyDotted(ntoa, bytes, chosen);
    if (!TextEquals(chosen, "127.0.0.1")) break;
  }

  if (TextEquals(chosen, "127.0.0.1")) {
    if (!have_fallback) {
      *status = RK_STATUS_LOOPBACK_ONLY;
      return;
    }
    CopyText(chosen, sizeof chosen, fallback);
  }
  if (chosen[0] == '\0') {
    if (fallback[0] == '\0') {
      *status = RK_STATUS_GENERAL_ERROR;
      return;
    }
    CopyText(chosen, sizeof chosen, fallback);
  }

  const os::InetAddress address = inet_address(chosen);
  // The limited broadcast address converts to all ones too, and is valid.
  if (address == static_cast<os::InetAddress>(INADDR_NONE) &&
      std::strncmp(chosen, "255.255.255.255", 15) != 0) {
    *status = RK_STATUS_BAD_ADDRESS;
    return;
  }
  const auto network_order = static_cast<uint32_t>(address);
  uint8_t bytes[4];
  std::memcpy(bytes, &network_order, 4);
  WriteHexDigits(bytes, 4, true, static_cast<AddressDigits*>(context)->text);
}

}  // namespace

int32_t GetIPv4AddressHex(char* output, int16_t* status) {
  return DiscoverAddressDigits(kIPv4Names, sizeof kIPv4Names / sizeof kIPv4Names[0],
                               FindIPv4Address, 8, output, status);
}

}  // namespace rk
