// The operating-system layer on Linux and other POSIX systems, with the
// meanings of the Win32 calls it stands in for.
#include <ifaddrs.h>
#include <net/if.h>
#include <pwd.h>
#include <strings.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "os/os.h"

namespace rk::os {
namespace {

// Copies a name into a Win32-style sized buffer: false when it does not fit.
bool DeliverName(const char* name, char* buffer, uint32_t* size) {
  const size_t length = std::strlen(name);
  if (length + 1 > *size) {
    *size = static_cast<uint32_t>(length + 1);
    return false;
  }
  std::memcpy(buffer, name, length + 1);
  *size = static_cast<uint32_t>(length);
  return true;
}

// ERROR_FILE_NOT_FOUND: there is no registry here.
constexpr long kNoSuchKey = 2;

constexpr size_t kNetBiosNameLength = 15;

}  // namespace

// The NetBIOS form of the host name, as GetComputerNameA gives it on a
// Windows client: the name up to its first dot, upper case, 15 bytes at most.
bool ReadComputerName(char* buffer, uint32_t* size) {
  char host[256] = {};
  if (gethostname(host, sizeof host - 1) != 0) return false;
  char netbios[kNetBiosNameLength + 1] = {};
  for (size_t i = 0; i < kNetBiosNameLength && host[i] != '\0' && host[i] != '.'; ++i) {
    const char c = host[i];
    netbios[i] = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
  }
  if (netbios[0] == '\0') return false;
  return DeliverName(netbios, buffer, size);
}

bool ReadUserName(char* buffer, uint32_t* size) {
  passwd entry{};
  passwd* found = nullptr;
  char scratch[4096];
  if (getpwuid_r(geteuid(), &entry, scratch, sizeof scratch, &found) != 0 || found == nullptr) {
    return false;
  }
  return DeliverName(found->pw_name, buffer, size);
}

long OpenMachineKey(const char*, RegistryKey* key) {
  *key = nullptr;
  return kNoSuchKey;
}

long QueryKeyValue(RegistryKey, const char*, uint8_t*, uint32_t*) { return kNoSuchKey; }

void CloseKey(RegistryKey) {}

void* AllocateZeroedBlock(size_t bytes) { return std::calloc(1, bytes); }

void FreeBlock(void* block) { std::free(block); }

// ---- The sockets "library" ---------------------------------------------------
// Windows binds Ws2_32 by name; here the same names lead to the C library's
// resolver calls, with the few Winsock-only calls given their Linux meaning.

namespace {

int RK_WSAAPI StartSockets(uint16_t, StartupRecord* record) {
  record->wVersion = 0x0202;
  return 0;
}

int RK_WSAAPI CleanUpSockets() { return 0; }

int RK_WSAAPI ReadHostName(char* name, int length) {
  if (length <= 0) return -1;
  if (gethostname(name, static_cast<size_t>(length)) != 0) return -1;
  name[length - 1] = '\0';
  return 0;
}

// ---- The host's own name answers from its interfaces --------------------------
// Windows answers a look-up of its own name with the addresses of its
// interfaces, never from a hosts file (which on Linux often maps the name to
// 127.0.1.1 or 127.0.0.1 only). So does this provider: the addresses of the
// interfaces that are up, in the order the system lists them, each
// interface's addresses in order; loopback ones only when the family has no
// other.

bool IsOwnHostName(const char* name) {
  char host[256] = {};
  if (name == nullptr || gethostname(host, sizeof host - 1) != 0) return false;
  return strcasecmp(name, host) == 0;
}

bool IsLoopback(const sockaddr* address) {
  if (address->sa_family == AF_INET) {
    const auto* v4 = reinterpret_cast<const sockaddr_in*>(address);
    return (ntohl(v4->sin_addr.s_addr) >> 24) == 127;
  }
  const auto* v6 = reinterpret_cast<const sockaddr_in6*>(address);
  return IN6_IS_ADDR_LOOPBACK(&v6->sin6_addr);
}

// Calls visit(address, interface_name) for each address of `family`
// (AF_INET, AF_INET6, or AF_UNSPEC for both) by the rule above. False when
// the interfaces cannot be listed.
template <typename Visit>
bool ForEachInterfaceAddress(int family, Visit visit) {
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return false;
  auto usable = [family](const ifaddrs* entry) {
    if (entry->ifa_addr == nullptr || (entry->ifa_flags & IFF_UP) == 0) return false;
    const int f = entry->ifa_addr->sa_family;
    return (f == AF_INET || f == AF_INET6) && (family == AF_UNSPEC || family == f);
  };
  bool has_other[2] = {false, false};  // IPv4, IPv6
  for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
    if (usable(entry) && !IsLoopback(entry->ifa_addr)) {
      has_other[entry->ifa_addr->sa_family == AF_INET6] = true;
    }
  }
  for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
    if (!usable(entry)) continue;
    if (IsLoopback(entry->ifa_addr) && has_other[entry->ifa_addr->sa_family == AF_INET6]) continue;
    visit(entry->ifa_addr, entry->ifa_name);
  }
  freeifaddrs(list);
  return true;
}

constexpr int kMaxHostAddresses = 32;

// The IPv4 addresses of the host's own name, as Winsock's gethostbyname
// gives them, in storage of the calling thread (Winsock keeps it per thread).
hostent* OwnHostEntry(const char* name) {
  thread_local hostent entry;
  thread_local char host_name[256];
  thread_local char* no_aliases[1] = {nullptr};
  thread_local in_addr addresses[kMaxHostAddresses];
  thread_local char* address_list[kMaxHostAddresses + 1];
  int count = 0;
  const bool listed = ForEachInterfaceAddress(AF_INET, [&](const sockaddr* address, const char*) {
    if (count == kMaxHostAddresses) return;
    addresses[count] = reinterpret_cast<const sockaddr_in*>(address)->sin_addr;
    address_list[count] = reinterpret_cast<char*>(&addresses[count]);
    ++count;
  });
  if (!listed || count == 0) return nullptr;
  address_list[count] = nullptr;
  std::snprintf(host_name, sizeof host_name, "%s", name);
  entry.h_name = host_name;
  entry.h_aliases = no_aliases;
  entry.h_addrtype = AF_INET;
  entry.h_length = 4;
  entry.h_addr_list = address_list;
  return &entry;
}

// gethostbyname keeps its answer in storage shared by the whole process;
// Winsock keeps it per thread. Other names go to the resolver through the
// reentrant call into per-thread storage, which keeps the resolver's order.
hostent* RK_WSAAPI LookUpHostEntry(const char* name) {
  if (IsOwnHostName(name)) return OwnHostEntry(name);
  thread_local hostent entry;
  thread_local char storage[16384];
  hostent* found = nullptr;
  int error = 0;
  if (gethostbyname_r(name, &entry, storage, sizeof storage, &found, &error) != 0) return nullptr;
  if (found == nullptr || found->h_addrtype != AF_INET) return nullptr;
  return found;
}

// One entry of the C library's own making for a numeric address, so that
// its freeaddrinfo releases the list like any other.
addrinfo* NumericEntry(const sockaddr* address, const char* interface_name, const addrinfo* hints) {
  char text[INET6_ADDRSTRLEN + IF_NAMESIZE + 2] = {};
  const void* bytes =
      address->sa_family == AF_INET
          ? static_cast<const void*>(&reinterpret_cast<const sockaddr_in*>(address)->sin_addr)
          : static_cast<const void*>(&reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr);
  if (inet_ntop(address->sa_family, bytes, text, INET6_ADDRSTRLEN) == nullptr) return nullptr;
  if (address->sa_family == AF_INET6 &&
      reinterpret_cast<const sockaddr_in6*>(address)->sin6_scope_id != 0) {
    std::strcat(text, "%");  // link-local: the scope travels with the address
    std::strncat(text, interface_name, IF_NAMESIZE);
  }
  addrinfo numeric{};
  numeric.ai_flags = AI_NUMERICHOST | (hints != nullptr ? (hints->ai_flags & AI_PASSIVE) : 0);
  numeric.ai_family = address->sa_family;
  numeric.ai_socktype =
      hints != nullptr && hints->ai_socktype != 0 ? hints->ai_socktype : SOCK_STREAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(text, nullptr, &numeric, &found) != 0 || found == nullptr) return nullptr;
  ::freeaddrinfo(found->ai_next);  // one entry an address, as on Windows
  found->ai_next = nullptr;
  return found;
}

int RK_WSAAPI LookUpAddresses(const char* node, const char* service, const addrinfo* hints,
                              addrinfo** list) {
  if (!IsOwnHostName(node)) return ::getaddrinfo(node, service, hints, list);
  addrinfo* first = nullptr;
  addrinfo** tail = &first;
  const int family = hints != nullptr ? hints->ai_family : AF_UNSPEC;
  ForEachInterfaceAddress(family, [&](const sockaddr* address, const char* interface_name) {
    addrinfo* entry = NumericEntry(address, interface_name, hints);
    if (entry == nullptr) return;
    *tail = entry;
    tail = &entry->ai_next;
  });
  if (first == nullptr) return EAI_NONAME;
  *list = first;
  return 0;
}

struct NamedEntry {
  const char* name;
  EntryPoint entry;
};

template <typename F>
EntryPoint AsEntry(F function) {
  return reinterpret_cast<EntryPoint>(function);
}

const NamedEntry kSocketsEntries[] = {
    {"WSAStartup", AsEntry(&StartSockets)},  {"WSACleanup", AsEntry(&CleanUpSockets)},
    {"gethostname", AsEntry(&ReadHostName)}, {"gethostbyname", AsEntry(&LookUpHostEntry)},
    {"inet_ntoa", AsEntry(&inet_ntoa)},  // glibc keeps its text per thread
    {"inet_addr", AsEntry(&inet_addr)},      {"getaddrinfo", AsEntry(&LookUpAddresses)},
    {"getnameinfo", AsEntry(&getnameinfo)},  {"freeaddrinfo", AsEntry(&freeaddrinfo)},
};

}  // namespace

ModuleHandle LoadModule(const char* name) {
  if (strcasecmp(name, "Ws2_32") != 0 && strcasecmp(name, "Ws2_32.dll") != 0) return 0;
  return reinterpret_cast<ModuleHandle>(&kSocketsEntries);
}

EntryPoint FindEntryPoint(ModuleHandle module, const char* name) {
  if (module != reinterpret_cast<ModuleHandle>(&kSocketsEntries)) return nullptr;
  for (const NamedEntry& named : kSocketsEntries) {
    if (std::strcmp(named.name, name) == 0) return named.entry;
  }
  return nullptr;
}

void UnloadModule(ModuleHandle) {}

}  // namespace rk::os
