// Host facts both platforms gather the same way: through the resolver the
// test program links itself, not through the library under test.
#include <cstdio>
#include <cstring>

#include "loaded_library.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <ifaddrs.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

std::string HexDigits(const unsigned char* bytes, int count, bool upper_case) {
  std::string out;
  char two[3];
  for (int i = 0; i < count; ++i) {
    std::snprintf(two, sizeof two, upper_case ? "%02X" : "%02x", bytes[i]);
    out += two;
  }
  return out;
}

namespace {

void AddAddress(const sockaddr* address, std::set<std::string>* v4, std::set<std::string>* v6) {
  if (address == nullptr) return;
  if (address->sa_family == AF_INET) {
    sockaddr_in in{};
    std::memcpy(&in, address, sizeof in);
    v4->insert(HexDigits(reinterpret_cast<const unsigned char*>(&in.sin_addr), 4, true));
  } else if (address->sa_family == AF_INET6) {
    sockaddr_in6 in6{};
    std::memcpy(&in6, address, sizeof in6);
    v6->insert(HexDigits(reinterpret_cast<const unsigned char*>(&in6.sin6_addr), 16, false));
  }
}

void GatherAddresses(bool with_interfaces, std::set<std::string>* v4, std::set<std::string>* v6) {
#ifdef _WIN32
  WSADATA data;
  if (WSAStartup(0x0202, &data) != 0) return;
#endif
  char host[260] = {};
  if (gethostname(host, sizeof host - 1) == 0) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    addrinfo* list = nullptr;
    if (getaddrinfo(host, nullptr, &hints, &list) == 0) {
      for (addrinfo* entry = list; entry != nullptr; entry = entry->ai_next) {
        AddAddress(entry->ai_addr, v4, v6);
      }
      freeaddrinfo(list);
    }
#ifdef _WIN32
    // Winsock answers the local host's own name from its interfaces.
    const hostent* entry = gethostbyname(host);
    for (char** item = entry ? entry->h_addr_list : nullptr; item && *item; ++item) {
      v4->insert(HexDigits(reinterpret_cast<const unsigned char*>(*item), 4, true));
    }
#endif
  }
#ifdef _WIN32
  WSACleanup();
  (void)with_interfaces;
#else
  ifaddrs* interfaces = nullptr;
  if (with_interfaces && getifaddrs(&interfaces) == 0) {
    for (ifaddrs* item = interfaces; item != nullptr; item = item->ifa_next) {
      AddAddress(item->ifa_addr, v4, v6);
    }
    freeifaddrs(interfaces);
  }
#endif
}

}  // namespace

std::set<std::string> HostIPv4Digits() {
  std::set<std::string> v4, v6;
  GatherAddresses(true, &v4, &v6);
  return v4;
}

std::set<std::string> HostIPv6Digits() {
  std::set<std::string> v4, v6;
  GatherAddresses(true, &v4, &v6);
  return v6;
}

std::set<std::string> ResolvedIPv4Digits() {
  std::set<std::string> v4, v6;
  GatherAddresses(false, &v4, &v6);
  return v4;
}
