#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "fake_os.h"
#include "rkvtps32.h"

namespace {

constexpr uint16_t kColumnKey = 1;  // column 0
constexpr uint16_t kRowKey = 5;     // row 5: tag "C"

struct Call {
  int32_t result = -1;
  int16_t status = 99;
  uint16_t size = 0;
  std::string command;  // what the buffer holds afterwards
};

// Calls through an exact-size heap buffer so that a sanitizer sees any
// write past it; the buffer starts as "untouched" when it has room for it.
template <typename F>
Call WithBuffer(uint16_t capacity, bool null_buffer, F call) {
  std::vector<char> buffer(capacity > 10 ? capacity : 10, '\0');
  std::memcpy(buffer.data(), "untouched", 10);
  Call out;
  out.size = capacity;
  out.result = call(null_buffer ? nullptr : buffer.data(), &out.size, &out.status);
  out.command = buffer.data();
  return out;
}

Call FromInput(uint16_t code_type, const char* owner, const char* address = nullptr,
               uint16_t mask = 0, uint16_t capacity = 128, bool null_buffer = false,
               uint16_t column = kColumnKey, uint16_t row = kRowKey) {
  return WithBuffer(capacity, null_buffer, [&](char* buffer, uint16_t* size, int16_t* status) {
    return RKGetVTPSStringOfJobOwnerFromInputWithIPExA(code_type, owner, column, row, buffer,
                                                       address, size, mask, status);
  });
}

Call FromWide(uint16_t code_type, const std::u16string& owner, uint16_t mask = 0,
              uint16_t capacity = 128, bool null_buffer = false) {
  std::vector<RK_WCHAR> text(owner.begin(), owner.end());
  text.push_back(0);
  return WithBuffer(capacity, null_buffer, [&](char* buffer, uint16_t* size, int16_t* status) {
    return RKGetVTPSStringOfJobOwnerFromInputExW(code_type, text.data(), kColumnKey, kRowKey,
                                                 buffer, size, mask, status);
  });
}

Call FromUserHost(uint16_t code_type, const char* address = nullptr, uint16_t mask = 0,
                  uint16_t capacity = 128, bool null_buffer = false) {
  return WithBuffer(capacity, null_buffer, [&](char* buffer, uint16_t* size, int16_t* status) {
    return RKGetVTPSStringOfJobOwnerStringFromUserHostNameWithIPEx(
        code_type, kColumnKey, kRowKey, buffer, address, size, mask, status);
  });
}

class OwnerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    rk::fake::Reset();
    rk::fake::script().ipv4_addresses = {{192, 168, 0, 1}};
  }
  void TearDown() override { EXPECT_EQ(rk::fake::OutstandingResources(), 0); }
  static void NoDiscovery() { rk::fake::script().module = 0; }
};

void ExpectDelivered(const Call& call, const std::string& command) {
  EXPECT_EQ(call.result, 1);
  EXPECT_EQ(call.status, RK_STATUS_OK);
  EXPECT_EQ(call.command, command);
  EXPECT_EQ(call.size, command.size());
}

void ExpectNothing(const Call& call, int32_t result, int16_t status, uint16_t size = 128) {
  EXPECT_EQ(call.result, result);
  EXPECT_EQ(call.status, status);
  EXPECT_EQ(call.command, "untouched");
  EXPECT_EQ(call.size, size);
}

// ---- Composition -----------------------------------------------------------------

TEST_F(OwnerTest, FormsOfEveryCodeTypeForGuest1) {
  const struct {
    uint16_t code_type;
    const char* address;
    bool discovery_fails;
    const char* command;
  } cases[] = {
      {1, nullptr, false, "@JOAU=@guest1"},
      {2, nullptr, false, "@JOAU=$B6@d,F>3"},
      {3, nullptr, false, "@JOAU=#CB6@d,F>3"},
      {4, nullptr, false, "@JOAU=#CB6@d,F>8530L7ZP0JG3"},
      {255, nullptr, false, "@JOAU=#CB6@d,F>8530L7ZP0JG3"},
      {4, nullptr, true, "@JOAU=#CB6@d,F>84e+<VdL+<Vd"},
      {4, "C0A80001", true, "@JOAU=#CB6@d,F>6-:5r^PP0JN"},
      {255, "C0A80001", true, "@JOAU=#CB6@d,F>6-:5r^PP0JN"},
      {4, "~C0A80001", true, "@JOAU=#CB6@d,F>8530L7ZP0JG3"},
      {255, "", true, "@JOAU=#CB6@d,F>3"},
      {5, nullptr, false, "@JOAU=guest1"},
      {1, "ignored", true, "@JOAU=@guest1"},
      {2, "ignored", true, "@JOAU=$B6@d,F>3"},
  };
  for (const auto& c : cases) {
    SetUp();
    if (c.discovery_fails) NoDiscovery();
    SCOPED_TRACE(std::to_string(c.code_type) + " " + (c.address ? c.address : "(null)"));
    ExpectDelivered(FromInput(c.code_type, "guest1", c.address), c.command);
    // An address text means no network at all.
    if (c.address != nullptr) {
      EXPECT_EQ(rk::fake::counters().loads, 0);
    }
    EXPECT_EQ(rk::fake::OutstandingResources(), 0);
  }
}

TEST_F(OwnerTest, CodeTypesWithoutAFormAreRefused) {
  for (uint16_t code_type : {0, 6, 32, 254, 256, 65535}) {
    SCOPED_TRACE(code_type);
    ExpectNothing(FromInput(code_type, "guest1"), 0, RK_STATUS_GENERAL_ERROR);
  }
}

TEST_F(OwnerTest, CodeType255EndsWhenDiscoveryFails) {
  const struct {
    void (*arrange)(rk::fake::Script&);
    int16_t status;
  } cases[] = {
      {[](rk::fake::Script& s) { s.module = 0; }, RK_STATUS_NO_WINSOCK},
      {[](rk::fake::Script& s) {
         s.ipv4_addresses = {{127, 0, 0, 1}};
       },
       RK_STATUS_LOOPBACK_ONLY},
      {[](rk::fake::Script& s) { s.startup_result = 1; }, RK_STATUS_WINSOCK_STARTUP},
      {[](rk::fake::Script& s) { s.host_entry_missing = true; }, RK_STATUS_NO_HOST_ENTRY},
  };
  for (const auto& c : cases) {
    SetUp();
    c.arrange(rk::fake::script());
    ExpectNothing(FromInput(255, "guest1"), 0, c.status);
    ExpectNothing(FromUserHost(255), 0, c.status);
    // Code type 4 goes on with eight blanks and a clean status.
    EXPECT_EQ(FromInput(4, "guest1").command, "@JOAU=#CB6@d,F>84e+<VdL+<Vd");
  }
}

TEST_F(OwnerTest, TagColumnAndRowKeys) {
  const struct {
    uint16_t column_key;
    uint16_t row_key;
    char tag;
  } cases[] = {
      {1, 0, ' '},     {2, 0, '!'},    {3, 0, '"'},    {4, 0, '"'},  {5, 0, '#'},
      {8, 0, '#'},     {0, 0, '$'},    {9, 0, '$'},    {99, 0, '$'}, {101, 0, '$'},
      {65535, 0, '$'}, {100, 0, '%'},  {1, 5, 'C'},    {1, 10, 'f'}, {1, 11, 'm'},
      {1, 65535, 'm'}, {100, 11, 'r'}, {100, 10, 'k'}, {5, 1, '*'},
  };
  for (const auto& c : cases) {
    const Call call = FromInput(3, "guest1", nullptr, 0, 128, false, c.column_key, c.row_key);
    ASSERT_EQ(call.result, 1);
    EXPECT_EQ(call.command, std::string("@JOAU=#") + c.tag + "B6@d,F>3")
        << "column key " << c.column_key << ", row key " << c.row_key;
  }
  // Code type 2 reads neither key.
  EXPECT_EQ(FromInput(2, "guest1", nullptr, 0, 128, false, 100, 11).command, "@JOAU=$B6@d,F>3");
}

TEST_F(OwnerTest, SubstitutesAndCutsAreSilent) {
  ExpectDelivered(FromInput(2, "gu\x01st"), "@JOAU=$<GlSiDg-)!F(K@");  // UnknownUser
  ExpectDelivered(FromInput(1, ""), "@JOAU=@UnknownUser");
  ExpectDelivered(FromInput(1, "   "), "@JOAU=@UnknownUser");
  ExpectDelivered(FromInput(1, std::string(40, 'a').c_str()), "@JOAU=@" + std::string(31, 'a'));
  ExpectDelivered(FromInput(1, "ab\xB1", nullptr, RK_CHARSET_ASCII), "@JOAU=@UnknownUser");
}

// ---- Whole or nothing without the character test ----------------------------------

TEST_F(OwnerTest, UncheckedTextIsCarriedWholeOrNotAtAll) {
  const uint16_t kNoCheck = RK_CHARSET_NO_CHECK;
  const std::string megabyte(1 << 20, 'm');
  ExpectDelivered(FromInput(1, std::string(72, 'x').c_str(), nullptr, kNoCheck),
                  "@JOAU=@" + std::string(72, 'x'));
  ExpectNothing(FromInput(1, std::string(73, 'x').c_str(), nullptr, kNoCheck), 0,
                RK_STATUS_TOO_LONG);
  ExpectDelivered(FromInput(5, std::string(73, 'x').c_str(), nullptr, kNoCheck),
                  "@JOAU=" + std::string(73, 'x'));
  ExpectNothing(FromInput(5, std::string(74, 'x').c_str(), nullptr, kNoCheck), 0,
                RK_STATUS_TOO_LONG);
  ExpectNothing(FromInput(5, megabyte.c_str(), nullptr, kNoCheck), 0, RK_STATUS_TOO_LONG);
  EXPECT_EQ(FromInput(2, std::string(24, 'x').c_str(), nullptr, kNoCheck).result, 1);
  ExpectNothing(FromInput(2, std::string(25, 'x').c_str(), nullptr, kNoCheck), 0,
                RK_STATUS_TOO_LONG);
  ExpectNothing(FromInput(3, std::string(25, 'x').c_str(), nullptr, kNoCheck), 0,
                RK_STATUS_TOO_LONG);

  // The address part counts too, and a text too long for it is refused
  // before any network call.
  EXPECT_EQ(FromInput(4, std::string(15, 'x').c_str(), nullptr, kNoCheck).result, 1);
  SetUp();
  ExpectNothing(FromInput(4, std::string(16, 'x').c_str(), nullptr, kNoCheck), 0,
                RK_STATUS_TOO_LONG);
  ExpectNothing(FromInput(255, std::string(16, 'x').c_str(), nullptr, kNoCheck), 0,
                RK_STATUS_TOO_LONG);
  EXPECT_EQ(rk::fake::counters().loads, 0);
  EXPECT_EQ(FromInput(4, "guest1", std::string(18, 'a').c_str()).result, 1);
  ExpectNothing(FromInput(4, "guest1", std::string(19, 'a').c_str()), 0, RK_STATUS_TOO_LONG);
  ExpectNothing(FromInput(255, "guest1", megabyte.c_str()), 0, RK_STATUS_TOO_LONG);

  // Nothing to encode: an empty encoded part.
  ExpectDelivered(FromInput(1, "", nullptr, kNoCheck), "@JOAU=@");
  ExpectDelivered(FromInput(5, "", nullptr, kNoCheck), "@JOAU=");
  ExpectDelivered(FromInput(2, "", nullptr, kNoCheck), "@JOAU=$");

  // The wide exports keep their result 1.
  const Call wide = FromWide(5, std::u16string(100, u'w'), kNoCheck);
  ExpectNothing(wide, 1, RK_STATUS_TOO_LONG);
}

TEST_F(OwnerTest, CallerTextsAreNeverWritten) {
  const std::string owner = "guest1";
  const std::string address = "C0A80001";
  std::vector<char> owner_copy(owner.begin(), owner.end());
  owner_copy.push_back('\0');
  std::vector<char> address_copy(address.begin(), address.end());
  address_copy.push_back('\0');
  for (uint16_t code_type : {4, 255}) {
    ASSERT_EQ(FromInput(code_type, owner_copy.data(), address_copy.data()).result, 1);
    ASSERT_EQ(FromInput(code_type, owner_copy.data()).result, 1);
  }
  EXPECT_EQ(std::string(owner_copy.data()), owner);
  EXPECT_EQ(std::string(address_copy.data()), address);
}

// ---- Result and status by path, for the three families ----------------------------

struct PathCase {
  const char* name;
  void (*arrange)(rk::fake::Script&);
  uint16_t code_type;
  uint16_t capacity;
  bool null_buffer;
  int32_t result;  // narrow and user-and-host; the wide exports give 1
  int16_t status;
  int16_t size_after;  // -1: the command's length
};

// Printed by name: the byte dump GoogleTest would make reads padding.
void PrintTo(const PathCase& c, std::ostream* os) { *os << c.name; }

void Nothing(rk::fake::Script&) {}

class PathTest : public ::testing::TestWithParam<PathCase> {
 protected:
  void SetUp() override {
    rk::fake::Reset();
    rk::fake::script().ipv4_addresses = {{192, 168, 0, 1}};
    GetParam().arrange(rk::fake::script());
  }
  static void Check(const Call& call, int32_t result, const char* family) {
    const PathCase& c = GetParam();
    SCOPED_TRACE(family);
    EXPECT_EQ(call.result, result);
    EXPECT_EQ(call.status, c.status);
    if (c.size_after == -2) {
      EXPECT_GT(call.size, 7);  // the needed size; exact values in SizeQueries
    } else if (c.size_after < 0) {
      EXPECT_EQ(call.size, call.command.size());
      EXPECT_EQ(call.command.compare(0, 6, "@JOAU="), 0);
    } else {
      EXPECT_EQ(call.size, c.size_after);
      if (!c.null_buffer) {
        EXPECT_EQ(call.command, "untouched");
      }
    }
    EXPECT_EQ(rk::fake::OutstandingResources(), 0);
  }
};

TEST_P(PathTest, Narrow) {
  const PathCase& c = GetParam();
  Check(FromInput(c.code_type, "guest1", nullptr, 0, c.capacity, c.null_buffer), c.result,
        "narrow");
}

TEST_P(PathTest, Wide) {
  const PathCase& c = GetParam();
  Check(FromWide(c.code_type, u"guest1", 0, c.capacity, c.null_buffer), 1, "wide");
}

TEST_P(PathTest, UserAndHost) {
  const PathCase& c = GetParam();
  Check(FromUserHost(c.code_type, nullptr, 0, c.capacity, c.null_buffer), c.result,
        "user and host");
}

INSTANTIATE_TEST_SUITE_P(
    Paths, PathTest,
    ::testing::Values(
        PathCase{"delivered", Nothing, 3, 128, false, 1, RK_STATUS_OK, -1},
        PathCase{"unknown_code_type", Nothing, 6, 128, false, 0, RK_STATUS_GENERAL_ERROR, 128},
        PathCase{"code_type_0", Nothing, 0, 128, false, 0, RK_STATUS_GENERAL_ERROR, 128},
        PathCase{"code_type_32", Nothing, 32, 128, false, 0, RK_STATUS_GENERAL_ERROR, 128},
        PathCase{"code_type_4_no_address", [](rk::fake::Script& s) { s.module = 0; }, 4, 128, false,
                 1, RK_STATUS_OK, -1},
        PathCase{"code_type_255_no_address", [](rk::fake::Script& s) { s.module = 0; }, 255, 128,
                 false, 0, RK_STATUS_NO_WINSOCK, 128},
        PathCase{"size_query", Nothing, 1, 0, true, 0, RK_STATUS_BUFFER_TOO_SMALL, -2},
        PathCase{"null_buffer", Nothing, 1, 128, true, 0, RK_STATUS_GENERAL_ERROR, 128}),
    [](const auto& info) { return std::string(info.param.name); });

// size_after -2 above: the needed size, which differs by family; checked here.
TEST_F(OwnerTest, SizeQueriesReportTheNeededSize) {
  const Call narrow = FromInput(1, "guest1", nullptr, 0, 13);
  ExpectNothing(narrow, 0, RK_STATUS_BUFFER_TOO_SMALL, 14);
  ExpectDelivered(FromInput(1, "guest1", nullptr, 0, 14), "@JOAU=@guest1");
  ExpectNothing(FromWide(1, u"guest1", 0, 0), 1, RK_STATUS_BUFFER_TOO_SMALL, 14);
  ExpectNothing(FromUserHost(1, nullptr, 0, 0), 0, RK_STATUS_BUFFER_TOO_SMALL, 19);  // guest1\PC01
}

TEST_F(OwnerTest, NullPointers) {
  ExpectNothing(FromInput(1, nullptr), 0, RK_STATUS_GENERAL_ERROR);
  uint16_t size = 64;
  int16_t status = 42;
  char buffer[64] = "untouched";
  EXPECT_EQ(RKGetVTPSStringOfJobOwnerFromInputW(1, nullptr, 1, 5, buffer, &size, &status), 0);
  EXPECT_EQ(status, RK_STATUS_GENERAL_ERROR);
  status = 42;
  // No size or status pointer: 0, nothing written, for every family.
  const RK_WCHAR wide[] = {'g', 0};
  EXPECT_EQ(RKGetVTPSStringOfJobOwnerFromInputA(1, "g", 1, 5, buffer, nullptr, &status), 0);
  EXPECT_EQ(RKGetVTPSStringOfJobOwnerFromInputA(1, "g", 1, 5, buffer, &size, nullptr), 0);
  EXPECT_EQ(RKGetVTPSStringOfJobOwnerFromInputW(1, wide, 1, 5, buffer, nullptr, &status), 0);
  EXPECT_EQ(RKGetVTPSStringOfJobOwnerFromInputExW(1, wide, 1, 5, buffer, &size, 0, nullptr), 0);
  EXPECT_EQ(RKGetVTPSStringOfJobOwnerStringFromUserHostName(1, 1, 5, buffer, nullptr, &status), 0);
  EXPECT_EQ(RKGetVTPSStringOfJobOwnerStringFromUserHostNameEx(1, 1, 5, buffer, &size, 0, nullptr),
            0);
  EXPECT_EQ(status, 42);
  EXPECT_EQ(size, 64);
  EXPECT_STREQ(buffer, "untouched");
  EXPECT_EQ(rk::fake::counters().user_name_reads, 0);
}

TEST_F(OwnerTest, ShortVariantsForwardTheirDefaults) {
  char buffer[64];
  uint16_t size = sizeof buffer;
  int16_t status = 42;
  ASSERT_EQ(RKGetVTPSStringOfJobOwnerFromInputA(4, "guest1", 1, 5, buffer, &size, &status), 1);
  EXPECT_STREQ(buffer, "@JOAU=#CB6@d,F>8530L7ZP0JG3");
  size = sizeof buffer;
  ASSERT_EQ(RKGetVTPSStringOfJobOwnerFromInputExA(1, "ab\xB1", 1, 5, buffer, &size,
                                                  RK_CHARSET_ASCII, &status),
            1);
  EXPECT_STREQ(buffer, "@JOAU=@UnknownUser");
  size = sizeof buffer;
  ASSERT_EQ(RKGetVTPSStringOfJobOwnerFromInputWithIPA(4, "guest1", 1, 5, buffer, "C0A80001", &size,
                                                      &status),
            1);
  EXPECT_STREQ(buffer, "@JOAU=#CB6@d,F>6-:5r^PP0JN");
  size = sizeof buffer;
  const RK_WCHAR wide[] = {'g', 'u', 'e', 's', 't', '1', 0};
  ASSERT_EQ(RKGetVTPSStringOfJobOwnerFromInputW(2, wide, 1, 5, buffer, &size, &status), 1);
  EXPECT_STREQ(buffer, "@JOAU=$B6@d,F>3");
  size = sizeof buffer;
  ASSERT_EQ(RKGetVTPSStringOfJobOwnerStringFromUserHostName(1, 1, 5, buffer, &size, &status), 1);
  EXPECT_STREQ(buffer, "@JOAU=@guest1\\PC01");
  size = sizeof buffer;
  ASSERT_EQ(RKGetVTPSStringOfJobOwnerStringFromUserHostNameEx(1, 1, 5, buffer, &size,
                                                              RK_CHARSET_HALFWIDTH_KANA, &status),
            1);
  EXPECT_STREQ(buffer, "@JOAU=@UnknownUser\\UnknownHost");
  size = sizeof buffer;
  ASSERT_EQ(RKGetVTPSStringOfJobOwnerStringFromUserHostNameWithIP(4, 1, 5, buffer, nullptr, &size,
                                                                  &status),
            1);
  EXPECT_STREQ(buffer, "@JOAU=#CB6@d,F>7#s6SL6D6SLec0JG18");
}

// ---- Wide input --------------------------------------------------------------------

TEST_F(OwnerTest, WideInput) {
  rk::fake::script().code_page = 932;
  // Hiragana "あい" is 0x82 0xA0 0x82 0xA2 in code page 932.
  ExpectDelivered(FromWide(1, u"\u3042\u3044"), "@JOAU=@\x82\xA0\x82\xA2");
  ExpectDelivered(FromWide(1, u""), "@JOAU=@UnknownUser");
  rk::fake::script().allocation_fails = true;
  ExpectDelivered(FromWide(1, u"guest1"), "@JOAU=@UnknownUser");
  EXPECT_EQ(rk::fake::counters().blocks_allocated, rk::fake::counters().blocks_freed);
}

// ---- Owner from user and host ------------------------------------------------------

TEST_F(OwnerTest, UserAndHostExamples) {
  ExpectDelivered(FromUserHost(1), "@JOAU=@guest1\\PC01");
  ExpectDelivered(FromUserHost(3), "@JOAU=#CB6@d,F>7#s6SL4");
  ExpectDelivered(FromUserHost(4), "@JOAU=#CB6@d,F>7#s6SL6D6SLec0JG18");
  const int reads = rk::fake::counters().computer_name_reads;
  ExpectDelivered(FromUserHost(5), "@JOAU=guest1");
  EXPECT_EQ(rk::fake::counters().computer_name_reads, reads)
      << "code type 5 reads no computer name";
  // With an address text the joined owner is extended just as a caller's
  // text would be.
  ExpectDelivered(FromUserHost(4, "C0A80001"), FromInput(4, "guest1\\PC01", "C0A80001").command);
  EXPECT_EQ(rk::fake::observed().name_capacities.front(), 40u);
}

TEST_F(OwnerTest, JoinAtTheByteLimit) {
  rk::fake::script().computer_name = "HOST";
  const struct {
    size_t user_length;
    std::string owner;
  } cases[] = {
      {29, std::string(29, 'u') + "\\H"},  {30, std::string(30, 'u') + "\\"},
      {31, std::string(31, 'u')},          {39, std::string(31, 'u')},
      {6, std::string(6, 'u') + "\\HOST"},
  };
  for (const auto& c : cases) {
    rk::fake::script().user_name = std::string(c.user_length, 'u');
    ExpectDelivered(FromUserHost(1), "@JOAU=@" + c.owner);
  }
  // A computer name whose last double-byte character does not fit whole is
  // left out of the join under code page 932.
  rk::fake::script().code_page = 932;
  rk::fake::script().user_name = std::string(28, 'u');
  rk::fake::script().computer_name = "\x82\xA0\x82\xA2";
  ExpectDelivered(FromUserHost(1), "@JOAU=@" + std::string(28, 'u') + "\\\x82\xA0");
}

TEST_F(OwnerTest, SystemAccountAndTheRegistry) {
  const std::string kWinlogon = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\";
  const struct {
    const char* name;
    void (*arrange)(rk::fake::Script&);
    const char* owner;
    int keys_opened;
  } cases[] = {
      {"SYSTEM", [](rk::fake::Script& s) { s.user_name = "SYSTEM"; }, "admin\\PC01", 1},
      {"System", [](rk::fake::Script& s) { s.user_name = "System"; }, "admin\\PC01", 1},
      {"system_is_a_user", [](rk::fake::Script& s) { s.user_name = "system"; }, "system\\PC01", 0},
      {"user_name_fails", [](rk::fake::Script& s) { s.user_name_fails = true; }, "admin\\PC01", 1},
      {"user_name_too_long", [](rk::fake::Script& s) { s.user_name = std::string(40, 'u'); },
       "admin\\PC01", 1},
      {"value_missing",
       [](rk::fake::Script& s) {
         s.user_name = "SYSTEM";
         s.query_value_result = 2;
       },
       "UnknownUser\\PC01", 1},
      {"key_missing",
       [](rk::fake::Script& s) {
         s.user_name = "SYSTEM";
         s.open_key_result = 2;
       },
       "UnknownUser\\PC01", 0},
      {"value_fills_area_unterminated",
       [](rk::fake::Script& s) {
         s.user_name = "SYSTEM";
         s.default_user_name = std::string(40, 'd');
         s.default_user_name_terminated = false;
       },
       "UnknownUser\\PC01", 1},
      {"value_too_long",
       [](rk::fake::Script& s) {
         s.user_name = "SYSTEM";
         s.default_user_name = std::string(40, 'd');
       },
       "UnknownUser\\PC01", 1},
      {"value_unterminated_but_short",
       [](rk::fake::Script& s) {
         s.user_name = "SYSTEM";
         s.default_user_name = "short";
         s.default_user_name_terminated = false;
       },
       "short\\PC01", 1},
      {"computer_name_fails", [](rk::fake::Script& s) { s.computer_name_fails = true; },
       "guest1\\UnknownHost", 0},
      {"computer_name_refused", [](rk::fake::Script& s) { s.computer_name = "PC\x01"; },
       "guest1\\UnknownHost", 0},
  };
  for (const auto& c : cases) {
    SetUp();
    c.arrange(rk::fake::script());
    SCOPED_TRACE(c.name);
    ExpectDelivered(FromUserHost(1), std::string("@JOAU=@") + c.owner);
    EXPECT_EQ(rk::fake::counters().keys_opened, c.keys_opened);
    EXPECT_EQ(rk::fake::counters().keys_closed, c.keys_opened);
    if (!rk::fake::observed().subkeys_opened.empty()) {
      EXPECT_EQ(rk::fake::observed().subkeys_opened.front(), kWinlogon);
    }
    if (!rk::fake::observed().values_queried.empty()) {
      EXPECT_EQ(rk::fake::observed().values_queried.front(), "DefaultUserName");
    }
  }
}

TEST_F(OwnerTest, UserAndHostUnknownCodeTypeStillReadsTheUser) {
  rk::fake::script().user_name = "SYSTEM";
  ExpectNothing(FromUserHost(6), 0, RK_STATUS_GENERAL_ERROR);
  EXPECT_EQ(rk::fake::counters().keys_opened, 1);
  EXPECT_EQ(rk::fake::counters().computer_name_reads, 0);
}

TEST_F(OwnerTest, UncheckedUserNameThatCannotBeEncodedWhole) {
  rk::fake::script().user_name = std::string(30, 'u');
  ExpectNothing(FromUserHost(2, nullptr, RK_CHARSET_NO_CHECK), 0, RK_STATUS_TOO_LONG);
  ExpectDelivered(FromUserHost(5, nullptr, RK_CHARSET_NO_CHECK), "@JOAU=" + std::string(30, 'u'));
}

}  // namespace
