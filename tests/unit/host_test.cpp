#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "fake_os.h"
#include "host/discovery.h"
#include "rkvtps32.h"

#ifdef _WIN32
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#endif

namespace {

using rk::fake::AddressEntry;
using rk::fake::Ipv4;
using rk::fake::Ipv6;

Ipv6 V6Bytes(const char* text) {
  Ipv6 bytes{};
  EXPECT_EQ(inet_pton(AF_INET6, text, bytes.data()), 1) << text;
  return bytes;
}

AddressEntry Six(const char* text) {
  AddressEntry entry;
  entry.family = AF_INET6;
  entry.bytes = V6Bytes(text);
  return entry;
}

AddressEntry Four(uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
  AddressEntry entry;
  entry.family = AF_INET;
  entry.bytes = {a, b, c, d};
  return entry;
}

class HostTest : public ::testing::Test {
 protected:
  void SetUp() override { rk::fake::Reset(); }
  void TearDown() override { ExpectBalanced(); }
  static void ExpectBalanced() {
    const rk::fake::Counters& c = rk::fake::counters();
    EXPECT_EQ(c.loads, c.unloads);
    EXPECT_EQ(c.startups, c.cleanups);
    EXPECT_EQ(c.lists_obtained, c.lists_released);
  }
};

// ---- IPv4 walk -----------------------------------------------------------------

struct Ipv4Case {
  const char* name;
  std::vector<Ipv4> addresses;
  int32_t result;
  int16_t status;
  const char* digits;
};

// Printed by name: the byte dump GoogleTest would make reads padding.
void PrintTo(const Ipv4Case& c, std::ostream* os) { *os << c.name; }

class Ipv4WalkTest : public ::testing::TestWithParam<Ipv4Case> {
 protected:
  void SetUp() override { rk::fake::Reset(); }
};

TEST_P(Ipv4WalkTest, AddressListInDigitsOut) {
  const Ipv4Case& c = GetParam();
  rk::fake::script().ipv4_addresses = c.addresses;
  char output[9];
  std::memcpy(output, "previous", 9);
  int16_t status = 99;
  EXPECT_EQ(rk::GetIPv4AddressHex(output, &status), c.result);
  EXPECT_EQ(status, c.status);
  EXPECT_STREQ(output, c.digits);
  EXPECT_EQ(rk::fake::counters().startups, 1);
  EXPECT_EQ(rk::fake::counters().cleanups, 1);
  EXPECT_EQ(rk::fake::counters().unloads, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Walks, Ipv4WalkTest,
    ::testing::Values(
        Ipv4Case{"single", {{10, 0, 0, 5}}, 1, RK_STATUS_OK, "0A000005"},
        Ipv4Case{"loopback_passed_over",
                 {{127, 0, 0, 1}, {192, 168, 1, 10}},
                 1,
                 RK_STATUS_OK,
                 "C0A8010A"},
        Ipv4Case{"loopback_only", {{127, 0, 0, 1}}, 0, RK_STATUS_LOOPBACK_ONLY, ""},
        Ipv4Case{
            "loopback_twice", {{127, 0, 0, 1}, {127, 0, 0, 1}}, 0, RK_STATUS_LOOPBACK_ONLY, ""},
        Ipv4Case{"link_local_for_loopback",
                 {{169, 254, 3, 4}, {127, 0, 0, 1}},
                 1,
                 RK_STATUS_OK,
                 "A9FE0304"},
        Ipv4Case{"loopback_then_link_local",
                 {{127, 0, 0, 1}, {169, 254, 3, 4}},
                 1,
                 RK_STATUS_OK,
                 "A9FE0304"},
        Ipv4Case{"link_local_only", {{169, 254, 3, 4}}, 1, RK_STATUS_OK, "A9FE0304"},
        Ipv4Case{"second_link_local_is_a_candidate",
                 {{169, 254, 3, 4}, {169, 254, 9, 9}, {10, 0, 0, 5}},
                 1,
                 RK_STATUS_OK,
                 "A9FE0909"},
        Ipv4Case{"routable_beats_link_local",
                 {{169, 254, 3, 4}, {10, 0, 0, 5}},
                 1,
                 RK_STATUS_OK,
                 "0A000005"},
        Ipv4Case{
            "first_routable_wins", {{10, 0, 0, 5}, {192, 168, 1, 10}}, 1, RK_STATUS_OK, "0A000005"},
        Ipv4Case{"other_127_is_a_candidate", {{127, 0, 0, 2}}, 1, RK_STATUS_OK, "7F000002"},
        Ipv4Case{"empty_list", {}, 0, RK_STATUS_GENERAL_ERROR, ""},
        Ipv4Case{"broadcast_accepted", {{255, 255, 255, 255}}, 1, RK_STATUS_OK, "FFFFFFFF"},
        Ipv4Case{"169_not_254", {{169, 253, 1, 1}}, 1, RK_STATUS_OK, "A9FD0101"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Binding failures ------------------------------------------------------------

struct BindingCase {
  const char* name;
  void (*arrange)(rk::fake::Script&);
  int16_t status;
  int startups;  // successful start-ups, each of which must be cleaned up
  int unloads;
};

const BindingCase kBindingCases[] = {
    {"no_library", [](rk::fake::Script& s) { s.module = 0; }, RK_STATUS_NO_WINSOCK, 0, 0},
    {"handle_32_is_an_error", [](rk::fake::Script& s) { s.module = 32; }, RK_STATUS_NO_WINSOCK, 0,
     0},
    {"handle_33_is_a_handle",
     [](rk::fake::Script& s) {
       s.module = 33;
       s.ipv4_addresses = {{10, 0, 0, 5}};
     },
     RK_STATUS_OK, 1, 1},
    {"startup_fails", [](rk::fake::Script& s) { s.startup_result = 10091; },
     RK_STATUS_WINSOCK_STARTUP, 0, 1},
    {"version_1_2", [](rk::fake::Script& s) { s.granted_version = 0x0201; },
     RK_STATUS_WINSOCK_STARTUP, 1, 1},
    {"version_2_1", [](rk::fake::Script& s) { s.granted_version = 0x0102; },
     RK_STATUS_WINSOCK_STARTUP, 1, 1},
    {"no_host_name", [](rk::fake::Script& s) { s.host_name_fails = true; }, RK_STATUS_NO_HOST_NAME,
     1, 1},
};

TEST_F(HostTest, Ipv4BindingFailures) {
  for (const BindingCase& c : kBindingCases) {
    rk::fake::Reset();
    rk::fake::script().ipv4_addresses = {{10, 0, 0, 5}};
    c.arrange(rk::fake::script());
    char output[9] = "previous";
    int16_t status = 99;
    EXPECT_EQ(rk::GetIPv4AddressHex(output, &status), c.status == RK_STATUS_OK ? 1 : 0) << c.name;
    EXPECT_EQ(status, c.status) << c.name;
    if (c.status != RK_STATUS_OK) {
      EXPECT_STREQ(output, "") << c.name;
    }
    EXPECT_EQ(rk::fake::counters().startups, c.startups) << c.name;
    EXPECT_EQ(rk::fake::counters().unloads, c.unloads) << c.name;
    ExpectBalanced();
  }
}

TEST_F(HostTest, Ipv6BindingFailures) {
  for (const BindingCase& c : kBindingCases) {
    rk::fake::Reset();
    rk::fake::script().addrinfo_entries = {Six("fd00::5")};
    c.arrange(rk::fake::script());
    char output[33] = "previous";
    int16_t status = 99;
    EXPECT_EQ(rk::GetIPv6AddressHex(output, &status), c.status == RK_STATUS_OK ? 1 : 0) << c.name;
    EXPECT_EQ(status, c.status) << c.name;
    if (c.status != RK_STATUS_OK) {
      EXPECT_STREQ(output, "") << c.name;
    }
    EXPECT_EQ(rk::fake::counters().startups, c.startups) << c.name;
    EXPECT_EQ(rk::fake::counters().unloads, c.unloads) << c.name;
    ExpectBalanced();
  }
}

TEST_F(HostTest, EveryMissingEntryPointIsNoWinsockWithoutStartup) {
  const struct {
    bool ipv6;
    const char* entry;
  } cases[] = {{false, "WSAStartup"},    {false, "WSACleanup"}, {false, "gethostname"},
               {false, "gethostbyname"}, {false, "inet_ntoa"},  {false, "inet_addr"},
               {true, "WSAStartup"},     {true, "WSACleanup"},  {true, "gethostname"},
               {true, "getaddrinfo"},    {true, "getnameinfo"}, {true, "freeaddrinfo"}};
  for (const auto& c : cases) {
    rk::fake::Reset();
    rk::fake::script().missing_entry_points = {c.entry};
    char output[33] = "previous";
    int16_t status = 99;
    const int32_t result =
        c.ipv6 ? rk::GetIPv6AddressHex(output, &status) : rk::GetIPv4AddressHex(output, &status);
    EXPECT_EQ(result, 0) << c.entry;
    EXPECT_EQ(status, RK_STATUS_NO_WINSOCK) << c.entry;
    EXPECT_STREQ(output, "") << c.entry;
    EXPECT_EQ(rk::fake::counters().entry_lookups, 6) << "every name looked up first: " << c.entry;
    EXPECT_EQ(rk::fake::counters().startups, 0) << c.entry;
    EXPECT_EQ(rk::fake::counters().cleanups, 0) << c.entry;
    EXPECT_EQ(rk::fake::counters().unloads, 1) << c.entry;
  }
}

TEST_F(HostTest, Ipv4ResolutionFailures) {
  rk::fake::script().host_entry_missing = true;
  char output[9] = "previous";
  int16_t status = 99;
  EXPECT_EQ(rk::GetIPv4AddressHex(output, &status), 0);
  EXPECT_EQ(status, RK_STATUS_NO_HOST_ENTRY);
  EXPECT_STREQ(output, "");
  EXPECT_EQ(rk::fake::counters().cleanups, 1);

  rk::fake::Reset();
  rk::fake::script().ipv4_addresses = {{10, 0, 0, 5}};
  rk::fake::script().inet_addr_fails = true;
  std::memcpy(output, "previous", 9);
  EXPECT_EQ(rk::GetIPv4AddressHex(output, &status), 0);
  EXPECT_EQ(status, RK_STATUS_BAD_ADDRESS);
  EXPECT_STREQ(output, "");
  EXPECT_EQ(rk::fake::counters().cleanups, 1);
}

// ---- IPv6 walk -----------------------------------------------------------------

struct Ipv6Case {
  const char* name;
  std::vector<AddressEntry> entries;
  std::vector<const char*> unnamed;  // getnameinfo fails on these
  int32_t result;
  int16_t status;
  const char* digits;
};

// Printed by name: the byte dump GoogleTest would make reads padding.
void PrintTo(const Ipv6Case& c, std::ostream* os) { *os << c.name; }

class Ipv6WalkTest : public ::testing::TestWithParam<Ipv6Case> {
 protected:
  void SetUp() override { rk::fake::Reset(); }
};

TEST_P(Ipv6WalkTest, AddressListInDigitsOut) {
  const Ipv6Case& c = GetParam();
  rk::fake::script().addrinfo_entries = c.entries;
  for (const char* text : c.unnamed) rk::fake::script().unnamed_addresses.insert(V6Bytes(text));
  char output[33];
  std::memcpy(output, "previous", 9);
  int16_t status = 99;
  EXPECT_EQ(rk::GetIPv6AddressHex(output, &status), c.result);
  EXPECT_EQ(status, c.status);
  EXPECT_STREQ(output, c.digits);
  const rk::fake::Counters& counters = rk::fake::counters();
  EXPECT_EQ(counters.lists_obtained, counters.lists_released);
  EXPECT_EQ(counters.lists_obtained, c.result == 1 ? 2 : 1);
  EXPECT_EQ(counters.cleanups, 1);
  EXPECT_EQ(counters.unloads, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Walks, Ipv6WalkTest,
    ::testing::Values(
        Ipv6Case{"unique_local",
                 {Six("fd00::5"), Six("fe80::a")},
                 {},
                 1,
                 RK_STATUS_OK,
                 "fd000000000000000000000000000005"},
        Ipv6Case{"unique_local_after_link_local",
                 {Six("fe80::a"), Six("fd00::5")},
                 {},
                 1,
                 RK_STATUS_OK,
                 "fd000000000000000000000000000005"},
        Ipv6Case{"link_local_for_loopback",
                 {Six("::1"), Six("fe80::a")},
                 {},
                 1,
                 RK_STATUS_OK,
                 "fe80000000000000000000000000000a"},
        Ipv6Case{"first_link_local_kept",
                 {Six("fe80::a"), Six("fe80::b")},
                 {},
                 1,
                 RK_STATUS_OK,
                 "fe80000000000000000000000000000a"},
        Ipv6Case{"excluded_then_link_local",
                 {Six("fe80::1"), Six("fe80::a")},
                 {},
                 1,
                 RK_STATUS_OK,
                 "fe80000000000000000000000000000a"},
        Ipv6Case{"excluded_one_only", {Six("fe80::1")}, {}, 0, RK_STATUS_LOOPBACK_ONLY, ""},
        Ipv6Case{"excluded_fffd_only",
                 {Six("fe80::ffff:ffff:fffd")},
                 {},
                 0,
                 RK_STATUS_LOOPBACK_ONLY,
                 ""},
        Ipv6Case{"loopback_only", {Six("::1")}, {}, 0, RK_STATUS_LOOPBACK_ONLY, ""},
        Ipv6Case{"loopback_and_excluded",
                 {Six("::1"), Six("fe80::1")},
                 {},
                 0,
                 RK_STATUS_LOOPBACK_ONLY,
                 ""},
        Ipv6Case{"ipv4_only", {Four(10, 0, 0, 5)}, {}, 0, RK_STATUS_GENERAL_ERROR, ""},
        Ipv6Case{"ipv4_entries_passed_over",
                 {Four(10, 0, 0, 5), Six("2001:db8::7")},
                 {},
                 1,
                 RK_STATUS_OK,
                 "20010db8000000000000000000000007"},
        Ipv6Case{"febf_is_not_link_local",
                 {Six("febf::1")},
                 {},
                 1,
                 RK_STATUS_OK,
                 "febf0000000000000000000000000001"},
        Ipv6Case{"fe81_is_not_link_local",
                 {Six("fe81::1"), Six("fd00::5")},
                 {},
                 1,
                 RK_STATUS_OK,
                 "fe810000000000000000000000000001"},
        Ipv6Case{"unnamed_entry_passed_over",
                 {Six("fd00::5"), Six("fd00::6")},
                 {"fd00::5"},
                 1,
                 RK_STATUS_OK,
                 "fd000000000000000000000000000006"},
        Ipv6Case{"unnamed_link_local_not_kept",
                 {Six("fe80::a"), Six("fe80::b")},
                 {"fe80::a"},
                 1,
                 RK_STATUS_OK,
                 "fe80000000000000000000000000000b"},
        Ipv6Case{"unnamed_only", {Six("fd00::5")}, {"fd00::5"}, 0, RK_STATUS_GENERAL_ERROR, ""},
        Ipv6Case{"loopback_kept_over_unnamed",
                 {Six("::1"), Six("fd00::5")},
                 {"fd00::5"},
                 0,
                 RK_STATUS_LOOPBACK_ONLY,
                 ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(HostTest, Ipv6ResolutionHintsAndFailures) {
  rk::fake::script().addrinfo_entries = {Six("fd00::5")};
  char output[33];
  int16_t status = 99;
  ASSERT_EQ(rk::GetIPv6AddressHex(output, &status), 1);
  const rk::fake::Observed& seen = rk::fake::observed();
  ASSERT_EQ(seen.addrinfo_flags.size(), 2u);
  EXPECT_EQ(seen.addrinfo_flags[0], AI_PASSIVE);
  EXPECT_EQ(seen.addrinfo_families[0], AF_UNSPEC);
  EXPECT_EQ(seen.addrinfo_nodes[0], "pc01");
  EXPECT_EQ(seen.addrinfo_flags[1], AI_PASSIVE | AI_NUMERICHOST);
  EXPECT_EQ(seen.addrinfo_families[1], AF_INET6);
  EXPECT_EQ(seen.addrinfo_nodes[1], "fd00::5");

  for (bool second : {false, true}) {
    rk::fake::Reset();
    rk::fake::script().addrinfo_entries = {Six("fd00::5")};
    (second ? rk::fake::script().second_addrinfo_result
            : rk::fake::script().first_addrinfo_result) = EAI_FAIL;
    std::memcpy(output, "previous", 9);
    status = 99;
    EXPECT_EQ(rk::GetIPv6AddressHex(output, &status), 0);
    EXPECT_EQ(status, RK_STATUS_ADDRINFO_FAILED);
    EXPECT_STREQ(output, "");
    EXPECT_EQ(rk::fake::counters().lists_obtained, second ? 1 : 0);
    ExpectBalanced();
  }
}

// ---- Host address command ------------------------------------------------------

struct AddressCommandCase {
  const char* name;
  std::vector<Ipv4> ipv4;
  std::vector<AddressEntry> ipv6;
  bool no_library;
  int32_t result;
  int16_t status;  // the caller left 42
  const char* command;
  int loads;
};

// Printed by name: the byte dump GoogleTest would make reads padding.
void PrintTo(const AddressCommandCase& c, std::ostream* os) { *os << c.name; }

class HostAddressTest : public ::testing::TestWithParam<AddressCommandCase> {
 protected:
  void SetUp() override { rk::fake::Reset(); }
};

TEST_P(HostAddressTest, FallsBackToIpv6AndReportsTheIpv4Reason) {
  const AddressCommandCase& c = GetParam();
  rk::fake::script().ipv4_addresses = c.ipv4;
  rk::fake::script().addrinfo_entries = c.ipv6;
  if (c.no_library) rk::fake::script().module = 0;
  char buffer[64] = "untouched";
  uint16_t size = sizeof buffer;
  int16_t status = 42;
  EXPECT_EQ(RKGetVTPSStringOfHostAddress(buffer, &size, &status), c.result);
  EXPECT_EQ(status, c.status);
  EXPECT_STREQ(buffer, c.command);
  EXPECT_EQ(size, c.result == 1 ? std::strlen(c.command) : sizeof buffer);
  EXPECT_EQ(rk::fake::counters().loads, c.loads);
  EXPECT_EQ(rk::fake::counters().loads, rk::fake::counters().unloads);
  EXPECT_EQ(rk::fake::counters().startups, rk::fake::counters().cleanups);
  EXPECT_EQ(rk::fake::counters().lists_obtained, rk::fake::counters().lists_released);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, HostAddressTest,
    ::testing::Values(
        AddressCommandCase{
            "ipv4", {{10, 0, 0, 5}}, {Six("fd00::5")}, false, 1, 42, "@HOAD=I0A000005", 1},
        AddressCommandCase{"ipv6_fallback",
                           {{127, 0, 0, 1}},
                           {Six("fd00::5")},
                           false,
                           1,
                           42,
                           "@HOAD=6fd000000000000000000000000000005",
                           2},
        AddressCommandCase{"both_loopback",
                           {{127, 0, 0, 1}},
                           {Six("::1")},
                           false,
                           0,
                           RK_STATUS_LOOPBACK_ONLY,
                           "untouched",
                           2},
        AddressCommandCase{"ipv6_reason_never_reported",
                           {},
                           {Six("fe80::1")},
                           false,
                           0,
                           RK_STATUS_GENERAL_ERROR,
                           "untouched",
                           2},
        AddressCommandCase{"no_sockets_library",
                           {{10, 0, 0, 5}},
                           {Six("fd00::5")},
                           true,
                           0,
                           RK_STATUS_NO_WINSOCK,
                           "untouched",
                           0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(HostTest, HostAddressSizeQueriesAndNullBuffer) {
  const struct {
    std::vector<Ipv4> ipv4;
    uint16_t needed;
  } cases[] = {{{{10, 0, 0, 5}}, 16}, {{}, 40}};
  for (const auto& c : cases) {
    rk::fake::Reset();
    rk::fake::script().ipv4_addresses = c.ipv4;
    rk::fake::script().addrinfo_entries = {Six("fd00::5")};
    uint16_t size = 0;
    int16_t status = 42;
    EXPECT_EQ(RKGetVTPSStringOfHostAddress(nullptr, &size, &status), 0);
    EXPECT_EQ(status, RK_STATUS_BUFFER_TOO_SMALL);
    EXPECT_EQ(size, c.needed);
    EXPECT_EQ(RKGetVTPSStringOfHostAddress(nullptr, &size, &status), 0);
    EXPECT_EQ(status, RK_STATUS_GENERAL_ERROR);
    EXPECT_EQ(size, c.needed);
    std::vector<char> exact(size);
    status = 42;
    EXPECT_EQ(RKGetVTPSStringOfHostAddress(exact.data(), &size, &status), 1);
    EXPECT_EQ(status, 42);
    EXPECT_EQ(size, c.needed - 1);
  }
}

// ---- Client name command -------------------------------------------------------

struct NameCase {
  const char* name;
  bool name_fails;
  std::string computer_name;
  unsigned code_page;
  uint16_t code_type;
  uint16_t mask;
  int16_t status;  // the caller left 42
  std::string command;
};

// Printed by name: the byte dump GoogleTest would make reads padding.
void PrintTo(const NameCase& c, std::ostream* os) { *os << c.name; }

class HostNameTest : public ::testing::TestWithParam<NameCase> {
 protected:
  void SetUp() override { rk::fake::Reset(); }
};

TEST_P(HostNameTest, SubstitutesWarnsAndCuts) {
  const NameCase& c = GetParam();
  rk::fake::script().computer_name_fails = c.name_fails;
  rk::fake::script().computer_name = c.computer_name;
  rk::fake::script().code_page = c.code_page;
  std::vector<char> buffer(c.command.size() + 1, '#');  // exactly L + 1
  uint16_t size = static_cast<uint16_t>(buffer.size());
  int16_t status = 42;
  EXPECT_EQ(RKGetVTPSStringOfHostNameEx(c.code_type, buffer.data(), &size, c.mask, &status), 1);
  EXPECT_EQ(status, c.status);
  EXPECT_EQ(std::string(buffer.data()), c.command);
  EXPECT_EQ(size, c.command.size());
  EXPECT_EQ(rk::fake::observed().name_capacities, std::vector<uint32_t>{40});
}

const std::string kTwentyBytes = "ABCDEFGHIJKLMN\x82\xA0WXYZ";  // double-byte at 15-16

INSTANTIATE_TEST_SUITE_P(
    Names, HostNameTest,
    ::testing::Values(
        NameCase{"plain", false, "PC01", 1252, 1, 0, 42, "@CNAM=PC01"},
        NameCase{"unknown_code_type", false, "PC01", 1252, 6, 0, RK_STATUS_BAD_CHARACTER,
                 "@CNAM=UnknownHost"},
        NameCase{"code_type_zero", false, "PC01", 1252, 0, 0, RK_STATUS_BAD_CHARACTER,
                 "@CNAM=UnknownHost"},
        NameCase{"refused_by_mask", false, "PC01", 1252, 1, RK_CHARSET_HALFWIDTH_KANA,
                 RK_STATUS_BAD_CHARACTER, "@CNAM=UnknownHost"},
        NameCase{"unreadable", true, "", 1252, 1, 0, RK_STATUS_NO_HOST_NAME, "@CNAM=UnknownHost"},
        NameCase{"unreadable_and_substitute_refused", true, "", 1252, 1, RK_CHARSET_DOUBLE_BYTE,
                 RK_STATUS_BAD_CHARACTER, "@CNAM=UnknownHost"},
        NameCase{"cut_at_limit_932", false, kTwentyBytes, 932, 4, 0, 42, "@CNAM=ABCDEFGHIJKLMN"},
        NameCase{"cut_at_limit_1252", false, kTwentyBytes, 1252, 4, 0, 42,
                 "@CNAM=ABCDEFGHIJKLMN\x82"},
        NameCase{"no_check_whole", false, kTwentyBytes, 932, 4, RK_CHARSET_NO_CHECK, 42,
                 "@CNAM=" + kTwentyBytes},
        NameCase{"longest_name_whole", false, std::string(39, 'N'), 1252, 1, RK_CHARSET_NO_CHECK,
                 42, "@CNAM=" + std::string(39, 'N')},
        NameCase{"code_type_5_keeps_39_bytes", false, std::string(39, 'N'), 1252, 5, 0, 42,
                 "@CNAM=" + std::string(39, 'N')}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(HostTest, HostNameSizeWordBoundaries) {
  char buffer[16] = "untouched";
  uint16_t size = 10;  // "@CNAM=PC01" needs 11
  int16_t status = 42;
  EXPECT_EQ(RKGetVTPSStringOfHostNameEx(1, buffer, &size, 0, &status), 0);
  EXPECT_EQ(status, RK_STATUS_BUFFER_TOO_SMALL);
  EXPECT_EQ(size, 11);
  EXPECT_STREQ(buffer, "untouched");
  status = 42;
  EXPECT_EQ(RKGetVTPSStringOfHostNameEx(1, nullptr, &size, 0, &status), 0);
  EXPECT_EQ(status, RK_STATUS_GENERAL_ERROR);
  EXPECT_EQ(size, 11);
}

TEST_F(HostTest, NullPointersReturnZeroAndTouchNothing) {
  char buffer[16] = "untouched";
  uint16_t size = sizeof buffer;
  int16_t status = 42;
  EXPECT_EQ(RKGetVTPSStringOfHostNameEx(1, buffer, nullptr, 0, &status), 0);
  EXPECT_EQ(RKGetVTPSStringOfHostNameEx(1, buffer, &size, 0, nullptr), 0);
  EXPECT_EQ(RKGetVTPSStringOfHostAddress(buffer, nullptr, &status), 0);
  EXPECT_EQ(RKGetVTPSStringOfHostAddress(buffer, &size, nullptr), 0);
  EXPECT_EQ(status, 42);
  EXPECT_EQ(size, sizeof buffer);
  EXPECT_STREQ(buffer, "untouched");
  EXPECT_EQ(rk::fake::counters().loads, 0);
  EXPECT_EQ(rk::fake::counters().computer_name_reads, 0);
}

}  // namespace
