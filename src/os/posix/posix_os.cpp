// The operating-system layer on Linux and other POSIX systems, with the
// meanings of the Win32 calls it stands in for.
#include <iconv.h>
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
#include "os/wide_tables.h"

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

// The system code page Windows gives a locale, by language and, where the
// language alone does not decide, territory. Every other locale, C and
// POSIX included, gets 1252.
struct LocaleCodePage {
  const char* language;
  const char* territory;  // null: any
  unsigned code_page;
};

constexpr LocaleCodePage kLocaleCodePages[] = {
    {"ja", nullptr, 932},  {"zh", "TW", 950},     {"zh", "HK", 950},     {"zh", "MO", 950},
    {"zh", nullptr, 936},  {"ko", nullptr, 949},  {"th", nullptr, 874},  {"cs", nullptr, 1250},
    {"hu", nullptr, 1250}, {"pl", nullptr, 1250}, {"ro", nullptr, 1250}, {"hr", nullptr, 1250},
    {"sk", nullptr, 1250}, {"sl", nullptr, 1250}, {"sq", nullptr, 1250}, {"bs", nullptr, 1250},
    {"ru", nullptr, 1251}, {"uk", nullptr, 1251}, {"be", nullptr, 1251}, {"bg", nullptr, 1251},
    {"mk", nullptr, 1251}, {"sr", nullptr, 1251}, {"kk", nullptr, 1251}, {"ky", nullptr, 1251},
    {"tt", nullptr, 1251}, {"mn", nullptr, 1251}, {"tg", nullptr, 1251}, {"el", nullptr, 1253},
    {"tr", nullptr, 1254}, {"az", nullptr, 1254}, {"uz", nullptr, 1254}, {"he", nullptr, 1255},
    {"yi", nullptr, 1255}, {"ar", nullptr, 1256}, {"fa", nullptr, 1256}, {"ur", nullptr, 1256},
    {"et", nullptr, 1257}, {"lv", nullptr, 1257}, {"lt", nullptr, 1257}, {"vi", nullptr, 1258},
};

// The code pages a caller may name in RKVTPS32_ACP.
constexpr unsigned kAnsiCodePages[] = {874,  932,  936,  949,  950,  1250, 1251,
                                       1252, 1253, 1254, 1255, 1256, 1257, 1258};

// "ja_JP.UTF-8@mod": the part before '_', '.' or '@' is the language, the
// part after '_' up to '.' or '@' the territory. Compares without copying.
bool LocaleMatches(const char* locale, const LocaleCodePage& row) {
  const size_t language_length = std::strcspn(locale, "_.@");
  if (std::strlen(row.language) != language_length ||
      std::strncmp(locale, row.language, language_length) != 0) {
    return false;
  }
  if (row.territory == nullptr) return true;
  if (locale[language_length] != '_') return false;
  const char* territory = locale + language_length + 1;
  const size_t territory_length = std::strcspn(territory, ".@");
  return std::strlen(row.territory) == territory_length &&
         std::strncmp(territory, row.territory, territory_length) == 0;
}

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

// The ANSI code page Windows would choose for the environment's locale
// (LC_ALL, then LC_CTYPE, then LANG, as setlocale reads them), whatever its
// codeset: a printer reads 932 or 1252 bytes, never UTF-8. RKVTPS32_ACP
// names it outright, for programs whose locale is not the printer's (a print
// filter). Read on every call, without allocating: the cut asks for it once
// per character.
unsigned AnsiCodePage() {
  if (const char* forced = std::getenv("RKVTPS32_ACP")) {
    const unsigned long asked = std::strtoul(forced, nullptr, 10);
    for (unsigned code_page : kAnsiCodePages) {
      if (asked == code_page) return code_page;
    }
  }
  const char* locale = nullptr;
  for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    locale = std::getenv(variable);
    if (locale != nullptr && locale[0] != '\0') break;
  }
  if (locale == nullptr) return 1252;
  for (const LocaleCodePage& row : kLocaleCodePages) {
    if (LocaleMatches(locale, row)) return row.code_page;
  }
  return 1252;
}

bool IsAnsiLeadByte(uint8_t byte) {
  switch (AnsiCodePage()) {
    case 932:
      return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    case 936:
    case 949:
    case 950:
      return byte >= 0x81 && byte <= 0xFE;
    default:
      return false;
  }
}

namespace {

// 1252 and 932: Windows' own answers, unit by unit, from the captured table.
int ConvertByTable(unsigned code_page, const RK_WCHAR* wide, int count, char* out, int capacity) {
  int written = 0;
  for (int i = 0; i < count; ++i) {
    char bytes[2];
    const int n = MapWideUnit(code_page, static_cast<uint16_t>(wide[i]), bytes);
    if (written + n > capacity) return 0;  // all or nothing, as WideCharToMultiByte
    std::memcpy(out + written, bytes, static_cast<size_t>(n));
    written += n;
  }
  return written;
}

// Other code pages through iconv: each unit it cannot convert, a surrogate
// paired or not, gives one default character, as on Windows.
int ConvertByIconv(unsigned code_page, const RK_WCHAR* wide, int count, char* out, int capacity) {
  char target[16];
  std::snprintf(target, sizeof target, "CP%u", code_page);
  const uint16_t probe = 1;
  const bool little_endian = *reinterpret_cast<const uint8_t*>(&probe) == 1;
  iconv_t converter = iconv_open(target, little_endian ? "UTF-16LE" : "UTF-16BE");
  if (converter == reinterpret_cast<iconv_t>(-1)) return 0;

  char* next = out;
  size_t out_left = static_cast<size_t>(capacity);
  bool complete = true;
  for (int i = 0; i < count && complete; ++i) {
    char* in = const_cast<char*>(reinterpret_cast<const char*>(wide + i));
    size_t in_left = sizeof(RK_WCHAR);
    if (iconv(converter, &in, &in_left, &next, &out_left) != static_cast<size_t>(-1)) continue;
    if (errno == E2BIG || out_left == 0) {
      complete = false;
    } else {
      *next++ = '?';
      --out_left;
      iconv(converter, nullptr, nullptr, nullptr, nullptr);  // forget any half character
    }
  }
  iconv_close(converter);
  return complete ? static_cast<int>(next - out) : 0;
}

}  // namespace

int ConvertWideToAnsi(const RK_WCHAR* wide, int count, char* out, int capacity) {
  const unsigned code_page = AnsiCodePage();
  if (code_page == 1252 || code_page == 932) {
    return ConvertByTable(code_page, wide, count, out, capacity);
  }
  return ConvertByIconv(code_page, wide, count, out, capacity);
}

void* AllocateZeroedBlock(size_t bytes) { return std::calloc(1, bytes); }

void FreeBlock(void* block) { std::free(block); }

// ---- The sockets "library" ---------------------------------------------------
// Windows binds Ws2_32 by name; here the same names lead to the C library's
// resolver calls, with the few Winsock-only calls given their Linux meaning.

namespace {

int RK_WSAAPI StartSockets(uint16_t, StartupRecord* record) {
  std::memset(record, 0, sizeof *record);
  record->wVersion = 0x0202;
  record->wHighVersion = 0x0202;
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
