// The operating-system layer on Linux and other POSIX systems, with the
// meanings of the Win32 calls it stands in for.
#include <iconv.h>
#include <pwd.h>
#include <strings.h>
#include <unistd.h>

#include <cerrno>
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

}  // namespace

bool ReadComputerName(char* buffer, uint32_t* size) {
  char host[256] = {};
  if (gethostname(host, sizeof host - 1) != 0) return false;
  // The computer name is the short host name, as NetBIOS names have no
  // domain part.
  char* dot = std::strchr(host, '.');
  if (dot != nullptr) *dot = '\0';
  if (host[0] == '\0') return false;
  return DeliverName(host, buffer, size);
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

// The ANSI code page is taken from the codeset of the environment's locale
// (LC_ALL, then LC_CTYPE, then LANG, as setlocale reads them), without
// touching the process's own locale and without allocating: the cut asks
// for it once per character.
unsigned AnsiCodePage() {
  const char* name = nullptr;
  for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    name = std::getenv(variable);
    if (name != nullptr && name[0] != '\0') break;
  }
  if (name == nullptr) return 1252;
  const char* dot = std::strchr(name, '.');
  if (dot == nullptr) return 1252;
  // "UTF-8", "utf8", "Shift_JIS", "SJIS" ...: compared without case,
  // dashes or underscores, and without an "@modifier".
  char codeset[16] = {};
  size_t n = 0;
  for (const char* p = dot + 1; *p != '\0' && *p != '@' && n + 1 < sizeof codeset; ++p) {
    if (*p == '-' || *p == '_') continue;
    codeset[n++] = static_cast<char>(*p >= 'A' && *p <= 'Z' ? *p - 'A' + 'a' : *p);
  }
  if (std::strcmp(codeset, "utf8") == 0) return 65001;
  for (const char* japanese : {"sjis", "shiftjis", "cp932", "windows31j"}) {
    if (std::strcmp(codeset, japanese) == 0) return 932;
  }
  return 1252;
}

bool IsAnsiLeadByte(uint8_t byte) {
  if (AnsiCodePage() != 932) return false;
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

int ConvertWideToAnsi(const RK_WCHAR* wide, int count, char* out, int capacity) {
  const unsigned code_page = AnsiCodePage();
  const char* target = code_page == 932 ? "CP932" : code_page == 65001 ? "UTF-8" : "CP1252";
  const uint16_t probe = 1;
  const bool little_endian = *reinterpret_cast<const uint8_t*>(&probe) == 1;
  iconv_t converter = iconv_open(target, little_endian ? "UTF-16LE" : "UTF-16BE");
  if (converter == reinterpret_cast<iconv_t>(-1)) return 0;

  char* in = const_cast<char*>(reinterpret_cast<const char*>(wide));
  size_t in_left = static_cast<size_t>(count) * sizeof(RK_WCHAR);
  char* next = out;
  size_t out_left = static_cast<size_t>(capacity);
  int written = -1;
  while (in_left > 0) {
    if (iconv(converter, &in, &in_left, &next, &out_left) != static_cast<size_t>(-1)) continue;
    if (errno == E2BIG) break;  // WideCharToMultiByte converts all or nothing
    // A character the code page lacks becomes its default character, as
    // WideCharToMultiByte does without a default-character argument.
    const auto unit = *reinterpret_cast<const RK_WCHAR*>(in);
    const size_t skip = (unit >= 0xD800 && unit <= 0xDBFF && in_left >= 4) ? 4 : 2;
    if (out_left == 0) break;
    *next++ = '?';
    --out_left;
    in += skip;
    in_left -= skip;
  }
  if (in_left == 0) written = static_cast<int>(next - out);
  iconv_close(converter);
  return written < 0 ? 0 : written;
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

// gethostbyname keeps its answer in storage shared by the whole process;
// Winsock keeps it per thread. The reentrant call into per-thread storage
// gives Winsock's meaning and keeps the resolver's address order.
hostent* RK_WSAAPI LookUpHostEntry(const char* name) {
  thread_local hostent entry;
  thread_local char storage[16384];
  hostent* found = nullptr;
  int error = 0;
  if (gethostbyname_r(name, &entry, storage, sizeof storage, &found, &error) != 0) return nullptr;
  if (found == nullptr || found->h_addrtype != AF_INET) return nullptr;
  return found;
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
    {"inet_addr", AsEntry(&inet_addr)},      {"getaddrinfo", AsEntry(&getaddrinfo)},
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
