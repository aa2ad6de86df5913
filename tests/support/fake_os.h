// A scripted operating system for the unit tests. A test sets what each
// operation answers and reads back how often resources were taken and
// returned, so that every failure path and every balance can be checked.
#pragma once

#include <array>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "os/os.h"

namespace rk::fake {

using Ipv4 = std::array<uint8_t, 4>;
using Ipv6 = std::array<uint8_t, 16>;

struct AddressEntry {
  int family = AF_INET6;  // AF_INET6 or AF_INET
  Ipv6 bytes{};           // for AF_INET, the first four bytes
};

struct Counters {
  int computer_name_reads = 0;
  int user_name_reads = 0;
  int keys_opened = 0;
  int keys_closed = 0;
  int blocks_allocated = 0;
  int blocks_freed = 0;
  int loads = 0;
  int unloads = 0;
  int startups = 0;
  int cleanups = 0;
  int host_entries = 0;
  int entry_lookups = 0;
  int lists_obtained = 0;
  int lists_released = 0;
};

struct Script {
  // Names.
  bool computer_name_fails = false;
  std::string computer_name = "PC01";
  bool user_name_fails = false;
  std::string user_name = "guest1";

  // Registry: the Winlogon key and its DefaultUserName value.
  long open_key_result = 0;
  long query_value_result = 0;
  std::string default_user_name = "admin";
  bool default_user_name_terminated = true;  // false: the data has no NUL

  // Code page and conversion block.
  unsigned code_page = 1252;
  bool allocation_fails = false;

  // Sockets library.
  os::ModuleHandle module = 0x1000;
  std::set<std::string> missing_entry_points;
  int startup_result = 0;
  uint16_t granted_version = 0x0202;
  bool host_name_fails = false;
  std::string host_name = "pc01";
  bool host_entry_missing = false;
  bool inet_addr_fails = false;
  std::vector<Ipv4> ipv4_addresses;
  int first_addrinfo_result = 0;
  std::vector<AddressEntry> addrinfo_entries;
  std::set<Ipv6> unnamed_addresses;  // getnameinfo fails on these
  int second_addrinfo_result = 0;
};

// What the library last passed to getaddrinfo, for checking its hints.
struct Observed {
  std::vector<int> addrinfo_flags;
  std::vector<int> addrinfo_families;
  std::vector<std::string> addrinfo_nodes;
  std::vector<std::string> subkeys_opened;
  std::vector<std::string> values_queried;
  std::vector<uint32_t> name_capacities;
  std::vector<int> converter_capacities;
  std::vector<size_t> block_sizes;
};

Script& script();
Counters& counters();
Observed& observed();

// Restores the default script and clears counters and observations.
void Reset();

// Blocks still held and address lists not yet released, for balance checks.
int OutstandingResources();

}  // namespace rk::fake
