#include "fake_os.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#ifdef _WIN32
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#endif

namespace rk::fake {
namespace {

Script g_script;
Counters g_counters;
Observed g_observed;

bool Deliver(const std::string& name, char* buffer, uint32_t* size) {
  if (name.size() + 1 > *size) {
    *size = static_cast<uint32_t>(name.size() + 1);
    return false;
  }
  std::memcpy(buffer, name.c_str(), name.size() + 1);
  *size = static_cast<uint32_t>(name.size());
  return true;
}

// Just enough of code page 932 for the tests: ASCII, the ideographic space,
// hiragana and half-width katakana.
int Encode932(RK_WCHAR unit, uint8_t out[2]) {
  if (unit < 0x80) {
    out[0] = static_cast<uint8_t>(unit);
    return 1;
  }
  if (unit == 0x3000) {
    out[0] = 0x81;
    out[1] = 0x40;
    return 2;
  }
  if (unit >= 0x3041 && unit <= 0x3093) {
    out[0] = 0x82;
    out[1] = static_cast<uint8_t>(0x9F + (unit - 0x3041));
    return 2;
  }
  if (unit >= 0xFF61 && unit <= 0xFF9F) {
    out[0] = static_cast<uint8_t>(0xA1 + (unit - 0xFF61));
    return 1;
  }
  out[0] = '?';
  return 1;
}

int Encode1252(RK_WCHAR unit, uint8_t out[2]) {
  out[0] = unit < 0x100 ? static_cast<uint8_t>(unit) : '?';
  return 1;
}

// ---- Sockets entry points ----------------------------------------------------

int RK_WSAAPI FakeStartup(uint16_t, os::StartupRecord* record) {
  if (g_script.startup_result != 0) return g_script.startup_result;
  ++g_counters.startups;
  record->wVersion = g_script.granted_version;
  return 0;
}

int RK_WSAAPI FakeCleanup() {
  ++g_counters.cleanups;
  return 0;
}

int RK_WSAAPI FakeHostName(char* name, int length) {
  if (g_script.host_name_fails) return -1;
  if (static_cast<int>(g_script.host_name.size()) + 1 > length) return -1;
  std::memcpy(name, g_script.host_name.c_str(), g_script.host_name.size() + 1);
  return 0;
}

hostent g_entry;
std::vector<Ipv4> g_entry_addresses;
std::vector<char*> g_entry_list;

hostent* RK_WSAAPI FakeHostByName(const char*) {
  ++g_counters.host_entries;
  if (g_script.host_entry_missing) return nullptr;
  g_entry_addresses = g_script.ipv4_addresses;
  g_entry_list.clear();
  for (Ipv4& address : g_entry_addresses)
    g_entry_list.push_back(reinterpret_cast<char*>(address.data()));
  g_entry_list.push_back(nullptr);
  g_entry = hostent{};
  g_entry.h_addrtype = AF_INET;
  g_entry.h_length = 4;
  g_entry.h_addr_list = g_entry_list.data();
  return &g_entry;
}

char g_dotted[20];

char* RK_WSAAPI FakeNtoa(in_addr address) {
  uint8_t bytes[4];
  std::memcpy(bytes, &address, 4);
  std::snprintf(g_dotted, sizeof g_dotted, "%u.%u.%u.%u", bytes[0], bytes[1], bytes[2], bytes[3]);
  return g_dotted;
}

os::InetAddress RK_WSAAPI FakeInetAddr(const char* text) {
  if (g_script.inet_addr_fails) return static_cast<os::InetAddress>(INADDR_NONE);
  unsigned parts[4];
  char tail = 0;
  if (std::sscanf(text, "%u.%u.%u.%u%c", &parts[0], &parts[1], &parts[2], &parts[3], &tail) != 4)
    return static_cast<os::InetAddress>(INADDR_NONE);
  uint8_t bytes[4];
  for (int i = 0; i < 4; ++i) {
    if (parts[i] > 255) return static_cast<os::InetAddress>(INADDR_NONE);
    bytes[i] = static_cast<uint8_t>(parts[i]);
  }
  uint32_t value = 0;
  std::memcpy(&value, bytes, 4);
  return static_cast<os::InetAddress>(value);
}

struct FakeList {
  std::vector<addrinfo> entries;
  std::vector<sockaddr_storage> addresses;
};

void Link(FakeList* list) {
  for (size_t i = 0; i < list->entries.size(); ++i) {
    list->entries[i].ai_addr = reinterpret_cast<sockaddr*>(&list->addresses[i]);
    list->entries[i].ai_next = i + 1 < list->entries.size() ? &list->entries[i + 1] : nullptr;
  }
}

void AddEntry(FakeList* list, const AddressEntry& entry) {
  addrinfo info{};
  sockaddr_storage storage{};
  info.ai_family = entry.family;
  if (entry.family == AF_INET6) {
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&storage);
    v6->sin6_family = AF_INET6;
    std::memcpy(&v6->sin6_addr, entry.bytes.data(), 16);
    info.ai_addrlen = sizeof(sockaddr_in6);
  } else {
    auto* v4 = reinterpret_cast<sockaddr_in*>(&storage);
    v4->sin_family = AF_INET;
    std::memcpy(&v4->sin_addr, entry.bytes.data(), 4);
    info.ai_addrlen = sizeof(sockaddr_in);
  }
  list->entries.push_back(info);
  list->addresses.push_back(storage);
}

// Each list handed out is remembered by its first entry so freeaddrinfo can
// find it; a list with no entries gets a placeholder entry so it still has
// an address of its own.
std::vector<std::unique_ptr<FakeList>> g_lists;

int RK_WSAAPI FakeGetAddrInfo(const char* node, const char*, const addrinfo* hints,
                              addrinfo** out) {
  g_observed.addrinfo_flags.push_back(hints ? hints->ai_flags : -1);
  g_observed.addrinfo_families.push_back(hints ? hints->ai_family : -1);
  g_observed.addrinfo_nodes.push_back(node ? node : "");
  auto list = std::make_unique<FakeList>();
  const bool numeric = hints != nullptr && (hints->ai_flags & AI_NUMERICHOST) != 0;
  if (!numeric) {
    if (g_script.first_addrinfo_result != 0) return g_script.first_addrinfo_result;
    for (const AddressEntry& entry : g_script.addrinfo_entries) AddEntry(list.get(), entry);
  } else {
    if (g_script.second_addrinfo_result != 0) return g_script.second_addrinfo_result;
    AddressEntry entry;
    if (node == nullptr || inet_pton(AF_INET6, node, entry.bytes.data()) != 1) return EAI_NONAME;
    AddEntry(list.get(), entry);
  }
  if (list->entries.empty()) {
    // getaddrinfo never succeeds with an empty list; an IPv4-only answer is
    // how a list without IPv6 entries looks.
    AddressEntry v4;
    v4.family = AF_INET;
    v4.bytes[0] = 10;
    AddEntry(list.get(), v4);
  }
  Link(list.get());
  *out = list->entries.data();
  ++g_counters.lists_obtained;
  g_lists.push_back(std::move(list));
  return 0;
}

void RK_WSAAPI FakeFreeAddrInfo(addrinfo* list) {
  for (size_t i = 0; i < g_lists.size(); ++i) {
    if (g_lists[i]->entries.data() == list) {
      g_lists.erase(g_lists.begin() + static_cast<std::ptrdiff_t>(i));
      ++g_counters.lists_released;
      return;
    }
  }
  std::fprintf(stderr, "fake freeaddrinfo: a list it never handed out\n");
  std::abort();
}

int RK_WSAAPI FakeGetNameInfo(const sockaddr* address, socklen_t, char* host,
                              os::NameLength host_length, char*, os::NameLength, int) {
  if (address->sa_family != AF_INET6) return EAI_FAMILY;
  const auto* v6 = reinterpret_cast<const sockaddr_in6*>(address);
  Ipv6 bytes;
  std::memcpy(bytes.data(), &v6->sin6_addr, 16);
  if (g_script.unnamed_addresses.count(bytes) != 0) return EAI_NONAME;
  char text[INET6_ADDRSTRLEN];
  if (inet_ntop(AF_INET6, bytes.data(), text, sizeof text) == nullptr) return EAI_FAIL;
  if (std::strlen(text) + 1 > host_length) return EAI_FAIL;
  std::memcpy(host, text, std::strlen(text) + 1);
  return 0;
}

struct NamedEntry {
  const char* name;
  os::EntryPoint entry;
};

template <typename F>
os::EntryPoint AsEntry(F function) {
  return reinterpret_cast<os::EntryPoint>(function);
}

const NamedEntry kEntries[] = {
    {"WSAStartup", AsEntry(&FakeStartup)},
    {"WSACleanup", AsEntry(&FakeCleanup)},
    {"gethostname", AsEntry(&FakeHostName)},
    {"gethostbyname", AsEntry(&FakeHostByName)},
    {"inet_ntoa", AsEntry(&FakeNtoa)},
    {"inet_addr", AsEntry(&FakeInetAddr)},
    {"getaddrinfo", AsEntry(&FakeGetAddrInfo)},
    {"getnameinfo", AsEntry(&FakeGetNameInfo)},
    {"freeaddrinfo", AsEntry(&FakeFreeAddrInfo)},
};

int g_open_keys = 0;
int g_key_token = 0;

}  // namespace

Script& script() { return g_script; }
Counters& counters() { return g_counters; }
Observed& observed() { return g_observed; }

void Reset() {
  g_script = Script{};
  g_counters = Counters{};
  g_observed = Observed{};
  g_lists.clear();
  g_open_keys = 0;
}

int OutstandingResources() {
  return (g_counters.blocks_allocated - g_counters.blocks_freed) +
         (g_counters.lists_obtained - g_counters.lists_released) +
         (g_counters.keys_opened - g_counters.keys_closed) +
         (g_counters.startups - g_counters.cleanups) + (g_counters.loads - g_counters.unloads);
}

}  // namespace rk::fake

namespace rk::os {

using rk::fake::g_counters;
using rk::fake::g_observed;
using rk::fake::g_script;

bool ReadComputerName(char* buffer, uint32_t* size) {
  ++g_counters.computer_name_reads;
  g_observed.name_capacities.push_back(*size);
  if (g_script.computer_name_fails) return false;
  return rk::fake::Deliver(g_script.computer_name, buffer, size);
}

bool ReadUserName(char* buffer, uint32_t* size) {
  ++g_counters.user_name_reads;
  g_observed.name_capacities.push_back(*size);
  if (g_script.user_name_fails) return false;
  return rk::fake::Deliver(g_script.user_name, buffer, size);
}

long OpenMachineKey(const char* subkey, RegistryKey* key) {
  g_observed.subkeys_opened.push_back(subkey);
  if (g_script.open_key_result != 0) return g_script.open_key_result;
  ++g_counters.keys_opened;
  *key = &rk::fake::g_key_token;
  return 0;
}

long QueryKeyValue(RegistryKey key, const char* name, uint8_t* data, uint32_t* size) {
  if (key != &rk::fake::g_key_token) std::abort();
  g_observed.values_queried.push_back(name);
  if (g_script.query_value_result != 0) return g_script.query_value_result;
  const std::string& value = g_script.default_user_name;
  const size_t bytes = value.size() + (g_script.default_user_name_terminated ? 1 : 0);
  if (bytes > *size) {
    *size = static_cast<uint32_t>(bytes);
    return 234;  // ERROR_MORE_DATA
  }
  std::memcpy(data, value.data(), value.size());
  if (g_script.default_user_name_terminated) data[value.size()] = 0;
  *size = static_cast<uint32_t>(bytes);
  return 0;
}

void CloseKey(RegistryKey key) {
  if (key != &rk::fake::g_key_token) std::abort();
  ++g_counters.keys_closed;
}

unsigned AnsiCodePage() { return g_script.code_page; }

int ConvertWideToAnsi(const RK_WCHAR* wide, int count, char* out, int capacity) {
  g_observed.converter_capacities.push_back(capacity);
  int written = 0;
  for (int i = 0; i < count; ++i) {
    uint8_t bytes[2];
    const int n = g_script.code_page == 932 ? rk::fake::Encode932(wide[i], bytes)
                                            : rk::fake::Encode1252(wide[i], bytes);
    if (written + n > capacity) return 0;
    std::memcpy(out + written, bytes, static_cast<size_t>(n));
    written += n;
  }
  return written;
}

void* AllocateZeroedBlock(size_t bytes) {
  g_observed.block_sizes.push_back(bytes);
  if (g_script.allocation_fails) return nullptr;
  ++g_counters.blocks_allocated;
  return std::calloc(1, bytes);
}

void FreeBlock(void* block) {
  ++g_counters.blocks_freed;
  std::free(block);
}

ModuleHandle LoadModule(const char* name) {
  if (std::strcmp(name, "Ws2_32") != 0) return 0;
  if (g_script.module > 32) ++g_counters.loads;
  return g_script.module;
}

EntryPoint FindEntryPoint(ModuleHandle module, const char* name) {
  if (module != g_script.module) std::abort();
  ++g_counters.entry_lookups;
  if (g_script.missing_entry_points.count(name) != 0) return nullptr;
  for (const auto& named : rk::fake::kEntries) {
    if (std::strcmp(named.name, name) == 0) return named.entry;
  }
  return nullptr;
}

void UnloadModule(ModuleHandle module) {
  if (module != g_script.module) std::abort();
  ++g_counters.unloads;
}

}  // namespace rk::os
