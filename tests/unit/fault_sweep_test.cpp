// Every export against every failure the scripted operating system knows:
// the outcome the rules give, and every resource handed back.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "fake_os.h"
#include "rkvtps32.h"

namespace {

struct Fault {
  const char* name;
  std::function<void(rk::fake::Script&)> arrange;
  int16_t ipv4_status;  // what the IPv4 discovery reports under it
  bool ipv6_fails;      // whether the IPv6 discovery fails under it too
};

const std::vector<Fault>& Faults() {
  using S = rk::fake::Script;
  static const std::vector<Fault> faults = {
      {"none", [](S&) {}, RK_STATUS_OK, false},
      {"no_library", [](S& s) { s.module = 0; }, RK_STATUS_NO_WINSOCK, true},
      {"handle_32", [](S& s) { s.module = 32; }, RK_STATUS_NO_WINSOCK, true},
      {"no_startup_entry", [](S& s) { s.missing_entry_points = {"WSAStartup"}; },
       RK_STATUS_NO_WINSOCK, true},
      {"no_cleanup_entry", [](S& s) { s.missing_entry_points = {"WSACleanup"}; },
       RK_STATUS_NO_WINSOCK, true},
      {"no_inet_addr", [](S& s) { s.missing_entry_points = {"inet_addr"}; }, RK_STATUS_NO_WINSOCK,
       false},
      {"no_gethostbyname", [](S& s) { s.missing_entry_points = {"gethostbyname"}; },
       RK_STATUS_NO_WINSOCK, false},
      {"no_getaddrinfo", [](S& s) { s.missing_entry_points = {"getaddrinfo"}; }, RK_STATUS_OK,
       true},
      {"no_freeaddrinfo", [](S& s) { s.missing_entry_points = {"freeaddrinfo"}; }, RK_STATUS_OK,
       true},
      {"startup_fails", [](S& s) { s.startup_result = 10091; }, RK_STATUS_WINSOCK_STARTUP, true},
      {"version_1_1", [](S& s) { s.granted_version = 0x0101; }, RK_STATUS_WINSOCK_STARTUP, true},
      {"no_host_name", [](S& s) { s.host_name_fails = true; }, RK_STATUS_NO_HOST_NAME, true},
      {"no_host_entry", [](S& s) { s.host_entry_missing = true; }, RK_STATUS_NO_HOST_ENTRY, false},
      {"loopback_only",
       [](S& s) {
         s.ipv4_addresses = {{127, 0, 0, 1}};
       },
       RK_STATUS_LOOPBACK_ONLY, false},
      {"no_ipv4_address", [](S& s) { s.ipv4_addresses.clear(); }, RK_STATUS_GENERAL_ERROR, false},
      {"bad_address", [](S& s) { s.inet_addr_fails = true; }, RK_STATUS_BAD_ADDRESS, false},
      {"first_addrinfo_fails", [](S& s) { s.first_addrinfo_result = EAI_FAIL; }, RK_STATUS_OK,
       true},
      {"second_addrinfo_fails", [](S& s) { s.second_addrinfo_result = EAI_FAIL; }, RK_STATUS_OK,
       true},
      {"ipv6_nameless", [](S& s) { s.unnamed_addresses = {s.addrinfo_entries[0].bytes}; },
       RK_STATUS_OK, true},
      {"computer_name_fails", [](S& s) { s.computer_name_fails = true; }, RK_STATUS_OK, false},
      {"user_name_fails", [](S& s) { s.user_name_fails = true; }, RK_STATUS_OK, false},
      {"winlogon_key_missing", [](S& s) { s.open_key_result = 2; }, RK_STATUS_OK, false},
      {"default_user_missing", [](S& s) { s.query_value_result = 2; }, RK_STATUS_OK, false},
      {"allocation_fails", [](S& s) { s.allocation_fails = true; }, RK_STATUS_OK, false},
  };
  return faults;
}

bool Is(const Fault& f, const char* name) { return std::strcmp(f.name, name) == 0; }

struct Outcome {
  int32_t result;
  int16_t status;
  std::string command;
};

// One export with the outcome the rules give under a fault.
struct ExportCase {
  const char* name;
  std::function<int32_t(char*, uint16_t*, int16_t*)> call;
  std::function<Outcome(const Fault&)> expected;  // command "" means: any command
};

const RK_WCHAR kWideGuest[] = {'g', 'u', 'e', 's', 't', '1', 0};

Outcome OwnerWith255(const Fault& f) {
  if (f.ipv4_status != RK_STATUS_OK) return {0, f.ipv4_status, ""};
  return {1, RK_STATUS_OK, ""};
}

const std::vector<ExportCase>& Exports() {
  static const std::vector<ExportCase> exports = {
      {"Nup", [](char* b, uint16_t* s, int16_t* st) { return RKGetVTPSStringOfNup(6, b, s, st); },
       [](const Fault&) {
         return Outcome{1, 0, "@NLPP=N16"};
       }},
      {"ValidA",
       [](char*, uint16_t*, int16_t* st) {
         return RKIsValidJobOwnerStringCodeAndLengthA(4, "guest1", st);
       },
       [](const Fault&) {
         return Outcome{1, 0, "-"};
       }},
      {"ValidExW",
       [](char*, uint16_t*, int16_t* st) {
         return RKIsValidJobOwnerStringCodeAndLengthExW(4, kWideGuest, 0, st);
       },
       [](const Fault& f) {
         return Is(f, "allocation_fails") ? Outcome{0, 9, "-"} : Outcome{1, 0, "-"};
       }},
      {"HostAddress",
       [](char* b, uint16_t* s, int16_t* st) { return RKGetVTPSStringOfHostAddress(b, s, st); },
       [](const Fault& f) {
         if (f.ipv4_status == RK_STATUS_OK) return Outcome{1, 42, "@HOAD=I0A000005"};
         if (!f.ipv6_fails) return Outcome{1, 42, "@HOAD=6fd000000000000000000000000000005"};
         return Outcome{0, f.ipv4_status, ""};
       }},
      {"HostName",
       [](char* b, uint16_t* s, int16_t* st) {
         return RKGetVTPSStringOfHostNameEx(1, b, s, 0, st);
       },
       [](const Fault& f) {
         return Is(f, "computer_name_fails") ? Outcome{1, 6, "@CNAM=UnknownHost"}
                                             : Outcome{1, 42, "@CNAM=PC01"};
       }},
      {"FromInputA_4",
       [](char* b, uint16_t* s, int16_t* st) {
         return RKGetVTPSStringOfJobOwnerFromInputA(4, "guest1", 1, 5, b, s, st);
       },
       [](const Fault& f) {
         return Outcome{1, 0, f.ipv4_status == RK_STATUS_OK ? "" : "@JOAU=#CB6@d,F>84e+<VdL+<Vd"};
       }},
      {"FromInputExA_255",
       [](char* b, uint16_t* s, int16_t* st) {
         return RKGetVTPSStringOfJobOwnerFromInputExA(255, "guest1", 1, 5, b, s, 0, st);
       },
       OwnerWith255},
      {"FromInputWithIPA_255",
       [](char* b, uint16_t* s, int16_t* st) {
         return RKGetVTPSStringOfJobOwnerFromInputWithIPA(255, "guest1", 1, 5, b, "C0A80001", s,
                                                          st);
       },
       [](const Fault&) {
         return Outcome{1, 0, "@JOAU=#CB6@d,F>6-:5r^PP0JN"};
       }},
      {"FromInputWithIPExA_3",
       [](char* b, uint16_t* s, int16_t* st) {
         return RKGetVTPSStringOfJobOwnerFromInputWithIPExA(3, "guest1", 1, 5, b, nullptr, s, 0,
                                                            st);
       },
       [](const Fault&) {
         return Outcome{1, 0, "@JOAU=#CB6@d,F>3"};
       }},
      {"FromInputW_2",
       [](char* b, uint16_t* s, int16_t* st) {
         return RKGetVTPSStringOfJobOwnerFromInputW(2, kWideGuest, 1, 5, b, s, st);
       },
       [](const Fault& f) {
         return Outcome{1, 0,
                        Is(f, "allocation_fails") ? "@JOAU=$<GlSiDg-)!F(K@" : "@JOAU=$B6@d,F>3"};
       }},
      {"FromInputExW_255",
       [](char* b, uint16_t* s, int16_t* st) {
         return RKGetVTPSStringOfJobOwnerFromInputExW(255, kWideGuest, 1, 5, b, s, 0, st);
       },
       [](const Fault& f) {
         return Outcome{1, OwnerWith255(f).status, ""};
       }},
      {"UserHost_1",
       [](char* b, uint16_t* s, int16_t* st) {
         return RKGetVTPSStringOfJobOwnerStringFromUserHostName(1, 1, 5, b, s, st);
       },
       [](const Fault& f) {
         // The account is "SYSTEM", so the name comes from the registry.
         const bool unknown_user = Is(f, "winlogon_key_missing") || Is(f, "default_user_missing");
         const std::string user = unknown_user ? "UnknownUser" : "admin";
         const std::string host = Is(f, "computer_name_fails") ? "UnknownHost" : "PC01";
         return Outcome{1, 0, "@JOAU=@" + user + "\\" + host};
       }},
      {"UserHostEx_255",
       [](char* b, uint16_t* s, int16_t* st) {
         return RKGetVTPSStringOfJobOwnerStringFromUserHostNameEx(255, 1, 5, b, s, 0, st);
       },
       OwnerWith255},
      {"UserHostWithIP_4",
       [](char* b, uint16_t* s, int16_t* st) {
         return RKGetVTPSStringOfJobOwnerStringFromUserHostNameWithIP(4, 1, 5, b, "~C0A80001", s,
                                                                      st);
       },
       [](const Fault&) {
         return Outcome{1, 0, ""};
       }},
      {"UserHostWithIPEx_5",
       [](char* b, uint16_t* s, int16_t* st) {
         return RKGetVTPSStringOfJobOwnerStringFromUserHostNameWithIPEx(5, 1, 5, b, nullptr, s, 0,
                                                                        st);
       },
       [](const Fault& f) {
         const bool unknown_user = Is(f, "winlogon_key_missing") || Is(f, "default_user_missing");
         return Outcome{1, 0, unknown_user ? "@JOAU=UnknownUser" : "@JOAU=admin"};
       }},
  };
  return exports;
}

TEST(FaultSweep, EveryExportUnderEveryFault) {
  for (const ExportCase& e : Exports()) {
    for (const Fault& f : Faults()) {
      rk::fake::Reset();
      rk::fake::Script& s = rk::fake::script();
      s.user_name = "SYSTEM";
      s.ipv4_addresses = {{10, 0, 0, 5}};
      rk::fake::AddressEntry v6;
      v6.bytes = {0xFD, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5};
      s.addrinfo_entries = {v6};
      f.arrange(s);
      SCOPED_TRACE(std::string(e.name) + " under " + f.name);

      char buffer[96] = "untouched";
      uint16_t size = sizeof buffer;
      int16_t status = 42;
      const int32_t result = e.call(buffer, &size, &status);
      const Outcome expected = e.expected(f);
      EXPECT_EQ(result, expected.result);
      EXPECT_EQ(status, expected.status);
      // The wide job-owner exports answer 1 either way; their status tells.
      const bool wide_owner = std::strstr(e.name, "W_") != nullptr;
      const bool delivered =
          result == 1 && expected.command != "-" && !(wide_owner && status != RK_STATUS_OK);
      if (delivered) {
        EXPECT_EQ(size, std::strlen(buffer));
        if (!expected.command.empty()) {
          EXPECT_EQ(std::string(buffer), expected.command);
        }
      } else if (expected.command != "-") {
        EXPECT_STREQ(buffer, "untouched");
        EXPECT_EQ(size, sizeof buffer);
      }
      const rk::fake::Counters& c = rk::fake::counters();
      EXPECT_EQ(c.loads, c.unloads);
      EXPECT_EQ(c.startups, c.cleanups);
      EXPECT_EQ(c.keys_opened, c.keys_closed);
      EXPECT_EQ(c.blocks_allocated, c.blocks_freed);
      EXPECT_EQ(c.lists_obtained, c.lists_released);
    }
  }
}

}  // namespace
