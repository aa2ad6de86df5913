// The client-name and host-address commands for another machine: the
// caller's name or numeric address text in place of this host's.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "fake_os.h"
#include "rkvtps32.h"

namespace {

// UTF-16 text as the header's wide type, which is wchar_t on Windows.
std::vector<RK_WCHAR> Wide(const std::u16string& text) {
  std::vector<RK_WCHAR> wide(text.begin(), text.end());
  wide.push_back(0);
  return wide;
}

class HostInputTest : public ::testing::Test {
 protected:
  void SetUp() override { rk::fake::Reset(); }
  // Nothing of this host is read and no resource stays out.
  void TearDown() override {
    const rk::fake::Counters& c = rk::fake::counters();
    EXPECT_EQ(c.loads, 0);
    EXPECT_EQ(c.computer_name_reads, 0);
    EXPECT_EQ(c.blocks_allocated, c.blocks_freed);
  }
};

// ---- Host address from text ---------------------------------------------------

struct AddressCase {
  const char* name;
  std::string text;
  int16_t status;       // 42: left as the caller set it
  std::string command;  // empty: result 0
};

void PrintTo(const AddressCase& c, std::ostream* os) { *os << c.name; }

class AddressTextTest : public HostInputTest, public ::testing::WithParamInterface<AddressCase> {};

TEST_P(AddressTextTest, DigitsOrBadAddress) {
  const AddressCase& c = GetParam();
  std::vector<char> buffer(64, '#');
  uint16_t size = static_cast<uint16_t>(buffer.size());
  int16_t status = 42;
  const int32_t result =
      RKGetVTPSStringOfHostAddressFromInputA(c.text.c_str(), buffer.data(), &size, &status);
  EXPECT_EQ(status, c.status);
  if (c.command.empty()) {
    EXPECT_EQ(result, 0);
    EXPECT_EQ(size, 64);
    EXPECT_EQ(buffer[0], '#');
  } else {
    EXPECT_EQ(result, 1);
    EXPECT_EQ(std::string(buffer.data()), c.command);
    EXPECT_EQ(size, c.command.size());
  }
}

const int16_t kBad = RK_STATUS_BAD_ADDRESS;

INSTANTIATE_TEST_SUITE_P(
    Texts, AddressTextTest,
    ::testing::Values(
        AddressCase{"ipv4", "192.168.1.10", 42, "@HOAD=IC0A8010A"},
        AddressCase{"ipv4_edges", "0.0.0.0", 42, "@HOAD=I00000000"},
        AddressCase{"ipv4_broadcast", "255.255.255.255", 42, "@HOAD=IFFFFFFFF"},
        AddressCase{"ipv6", "fd00::5", 42, "@HOAD=6fd000000000000000000000000000005"},
        AddressCase{"ipv6_upper_case", "FD00::A", 42, "@HOAD=6fd00000000000000000000000000000a"},
        AddressCase{"ipv6_full", "2001:db8:1:2:3:4:5:6", 42,
                    "@HOAD=620010db8000100020003000400050006"},
        AddressCase{"ipv6_gap_at_end", "fe80::", 42, "@HOAD=6fe800000000000000000000000000000"},
        AddressCase{"ipv6_unspecified", "::", 42, "@HOAD=600000000000000000000000000000000"},
        AddressCase{"ipv6_loopback", "::1", 42, "@HOAD=600000000000000000000000000000001"},
        AddressCase{"ipv6_scope_dropped", "fe80::1%eth0", 42,
                    "@HOAD=6fe800000000000000000000000000001"},
        AddressCase{"ipv6_numeric_scope", "fe80::2%3", 42,
                    "@HOAD=6fe800000000000000000000000000002"},
        AddressCase{"ipv6_dotted_tail", "64:ff9b::192.0.2.1", 42,
                    "@HOAD=60064ff9b0000000000000000c0000201"},
        AddressCase{"ipv4_mapped", "::ffff:192.168.1.10", 42, "@HOAD=IC0A8010A"},
        AddressCase{"ipv4_mapped_hex", "::FFFF:c0a8:10a", 42, "@HOAD=IC0A8010A"},
        AddressCase{"ipv4_mapped_scoped", "::ffff:10.0.0.1%1", 42, "@HOAD=I0A000001"},
        AddressCase{"name", "printserver", kBad, ""},
        AddressCase{"name_with_digits", "host1.example", kBad, ""},
        AddressCase{"empty", "", kBad, ""}, AddressCase{"three_parts", "1.2.3", kBad, ""},
        AddressCase{"five_parts", "1.2.3.4.5", kBad, ""},
        AddressCase{"part_above_255", "256.1.1.1", kBad, ""},
        AddressCase{"leading_zero", "01.2.3.4", kBad, ""},
        AddressCase{"four_digit_part", "1.2.3.0004", kBad, ""},
        AddressCase{"trailing_blank", "1.2.3.4 ", kBad, ""},
        AddressCase{"trailing_dot", "1.2.3.4.", kBad, ""},
        AddressCase{"leading_blank", " 1.2.3.4", kBad, ""},
        AddressCase{"ipv4_scope", "1.2.3.4%eth0", kBad, ""},
        AddressCase{"sign", "+1.2.3.4", kBad, ""}, AddressCase{"two_gaps", "1::2::3", kBad, ""},
        AddressCase{"triple_colon", ":::", kBad, ""},
        AddressCase{"lone_leading_colon", ":1:2:3:4:5:6:7", kBad, ""},
        AddressCase{"lone_trailing_colon", "1:2:3:4:5:6:7:", kBad, ""},
        AddressCase{"nine_groups", "1:2:3:4:5:6:7:8:9", kBad, ""},
        AddressCase{"seven_groups", "1:2:3:4:5:6:7", kBad, ""},
        AddressCase{"gap_for_no_group", "1:2:3:4:5:6:7:8::", kBad, ""},
        AddressCase{"five_digit_group", "12345::", kBad, ""},
        AddressCase{"not_hex", "fg00::1", kBad, ""},
        AddressCase{"empty_scope", "fe80::1%", kBad, ""},
        AddressCase{"dotted_not_last", "::1.2.3.4:5", kBad, ""},
        AddressCase{"dotted_too_far", "1:2:3:4:5:6:7:1.2.3.4", kBad, ""},
        AddressCase{"short_mapped", "::ffff:1.2.3", kBad, ""}),
    [](const auto& info) { return std::string(info.param.name); });

// A host with these addresses gets the same command from its own discovery.
TEST_F(HostInputTest, SameCommandAsTheDiscoveryOnAHostWithThatAddress) {
  for (const rk::fake::Ipv4& ipv4 :
       {rk::fake::Ipv4{192, 168, 1, 10}, rk::fake::Ipv4{10, 0, 0, 1}}) {
    rk::fake::Reset();
    rk::fake::script().ipv4_addresses = {ipv4};
    char discovered[64] = {};
    uint16_t size = sizeof discovered;
    int16_t status = RK_STATUS_OK;
    ASSERT_EQ(RKGetVTPSStringOfHostAddress(discovered, &size, &status), 1);
    const std::string text = std::to_string(ipv4[0]) + "." + std::to_string(ipv4[1]) + "." +
                             std::to_string(ipv4[2]) + "." + std::to_string(ipv4[3]);
    char given[64] = {};
    size = sizeof given;
    ASSERT_EQ(RKGetVTPSStringOfHostAddressFromInputA(text.c_str(), given, &size, &status), 1);
    EXPECT_STREQ(given, discovered);
  }
  rk::fake::Reset();
}

TEST_F(HostInputTest, AddressSizeRuleAndNullPointers) {
  char buffer[32] = "untouched";
  uint16_t size = 15;  // "@HOAD=IC0A8010A" needs 16
  int16_t status = 42;
  EXPECT_EQ(RKGetVTPSStringOfHostAddressFromInputA("192.168.1.10", buffer, &size, &status), 0);
  EXPECT_EQ(status, RK_STATUS_BUFFER_TOO_SMALL);
  EXPECT_EQ(size, 16);
  EXPECT_STREQ(buffer, "untouched");
  status = 42;
  EXPECT_EQ(RKGetVTPSStringOfHostAddressFromInputA("192.168.1.10", nullptr, &size, &status), 0);
  EXPECT_EQ(status, RK_STATUS_GENERAL_ERROR);

  size = sizeof buffer;
  status = 42;
  EXPECT_EQ(RKGetVTPSStringOfHostAddressFromInputA(nullptr, buffer, &size, &status), 0);
  EXPECT_EQ(status, RK_STATUS_GENERAL_ERROR);
  EXPECT_EQ(size, sizeof buffer);
  status = 42;
  EXPECT_EQ(RKGetVTPSStringOfHostAddressFromInputA("1.2.3.4", buffer, nullptr, &status), 0);
  EXPECT_EQ(RKGetVTPSStringOfHostAddressFromInputA("1.2.3.4", buffer, &size, nullptr), 0);
  EXPECT_EQ(status, 42);
  EXPECT_STREQ(buffer, "untouched");
}

// ---- Client name from input -----------------------------------------------------

struct NameInputCase {
  const char* name;
  std::string text;
  unsigned code_page;
  uint16_t code_type;
  uint16_t mask;
  int32_t result;
  int16_t status;
  std::string command;
};

void PrintTo(const NameInputCase& c, std::ostream* os) { *os << c.name; }

class NameInputTest : public HostInputTest, public ::testing::WithParamInterface<NameInputCase> {};

TEST_P(NameInputTest, ValidatedCopyOfTheGivenName) {
  const NameInputCase& c = GetParam();
  rk::fake::script().code_page = c.code_page;
  char buffer[128];
  std::fill(std::begin(buffer), std::end(buffer), '#');
  uint16_t size = sizeof buffer;
  int16_t status = 42;
  EXPECT_EQ(RKGetVTPSStringOfHostNameFromInputExA(c.code_type, c.text.c_str(), buffer, &size,
                                                  c.mask, &status),
            c.result);
  EXPECT_EQ(status, c.status);
  if (c.result == 1) {
    EXPECT_EQ(std::string(buffer), c.command);
    EXPECT_EQ(size, c.command.size());
  } else {
    EXPECT_EQ(buffer[0], '#');
    EXPECT_EQ(size, sizeof buffer);
  }
}

const std::string kTwenty = "ABCDEFGHIJKLMN\x82\xA0WXYZ";  // double-byte at 15-16

INSTANTIATE_TEST_SUITE_P(
    Names, NameInputTest,
    ::testing::Values(
        NameInputCase{"as_given", "client7", 1252, 1, 0, 1, 42, "@CNAM=client7"},
        NameInputCase{"not_upper_cased", "Laptop-Ann", 1252, 5, 0, 1, 42, "@CNAM=Laptop-Ann"},
        NameInputCase{"address_text_as_name", "192.168.1.10", 1252, 5, 0, 1, 42,
                      "@CNAM=192.168.1.10"},
        NameInputCase{"cut_keeps_double_byte_932", kTwenty, 932, 4, 0, 1, 42,
                      "@CNAM=ABCDEFGHIJKLMN"},
        NameInputCase{"cut_1252", kTwenty, 1252, 4, 0, 1, 42, "@CNAM=ABCDEFGHIJKLMN\x82"},
        NameInputCase{"refused_blank", "   ", 1252, 1, 0, 1, RK_STATUS_BAD_CHARACTER,
                      "@CNAM=UnknownHost"},
        NameInputCase{"refused_control", "pc\t1", 1252, 1, 0, 1, RK_STATUS_BAD_CHARACTER,
                      "@CNAM=UnknownHost"},
        NameInputCase{"unknown_code_type", "client7", 1252, 6, 0, 1, RK_STATUS_BAD_CHARACTER,
                      "@CNAM=UnknownHost"},
        NameInputCase{"no_check_whole", kTwenty, 1252, 4, RK_CHARSET_NO_CHECK, 1, 42,
                      "@CNAM=" + kTwenty},
        NameInputCase{"no_check_63_bytes", std::string(63, 'n'), 1252, 1, RK_CHARSET_NO_CHECK, 1,
                      42, "@CNAM=" + std::string(63, 'n')},
        NameInputCase{"no_check_64_bytes", std::string(64, 'n'), 1252, 1, RK_CHARSET_NO_CHECK, 0,
                      RK_STATUS_TOO_LONG, ""},
        NameInputCase{"long_checked_name_cut", std::string(100000, 'n'), 1252, 5, 0, 1, 42,
                      "@CNAM=" + std::string(63, 'n')}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(HostInputTest, WideNameConvertsToTheAnsiCodePage) {
  struct {
    unsigned code_page;
    std::u16string name;
    std::string command;
  } const cases[] = {
      {932, u"\u3042\u3044pc", "@CNAM=\x82\xA0\x82\xA2pc"},
      {1252, u"caf\u00E9", "@CNAM=caf\xE9"},
  };
  for (const auto& c : cases) {
    rk::fake::script().code_page = c.code_page;
    char buffer[64] = {};
    uint16_t size = sizeof buffer;
    int16_t status = 42;
    EXPECT_EQ(RKGetVTPSStringOfHostNameFromInputExW(5, Wide(c.name).data(), buffer, &size,
                                                    RK_CHARSET_NO_CHECK, &status),
              1);
    EXPECT_EQ(status, 42);
    EXPECT_EQ(std::string(buffer), c.command);
  }
}

TEST_F(HostInputTest, NameNullsAndFailedBlock) {
  char buffer[32] = "untouched";
  uint16_t size = sizeof buffer;
  int16_t status = 42;
  EXPECT_EQ(RKGetVTPSStringOfHostNameFromInputExA(1, nullptr, buffer, &size, 0, &status), 0);
  EXPECT_EQ(status, RK_STATUS_GENERAL_ERROR);
  status = 42;
  EXPECT_EQ(RKGetVTPSStringOfHostNameFromInputExW(1, nullptr, buffer, &size, 0, &status), 0);
  EXPECT_EQ(status, RK_STATUS_GENERAL_ERROR);

  rk::fake::script().allocation_fails = true;
  status = 42;
  EXPECT_EQ(RKGetVTPSStringOfHostNameFromInputExW(1, Wide(u"pc").data(), buffer, &size, 0, &status),
            0);
  EXPECT_EQ(status, RK_STATUS_GENERAL_ERROR);
  rk::fake::script().allocation_fails = false;

  status = 42;
  EXPECT_EQ(RKGetVTPSStringOfHostNameFromInputExA(1, "pc", buffer, nullptr, 0, &status), 0);
  EXPECT_EQ(RKGetVTPSStringOfHostNameFromInputExA(1, "pc", buffer, &size, 0, nullptr), 0);
  EXPECT_EQ(
      RKGetVTPSStringOfHostNameFromInputExW(1, Wide(u"pc").data(), buffer, nullptr, 0, &status), 0);
  EXPECT_EQ(RKGetVTPSStringOfHostNameFromInputExW(1, Wide(u"pc").data(), buffer, &size, 0, nullptr),
            0);
  EXPECT_EQ(status, 42);
  EXPECT_EQ(size, sizeof buffer);
  EXPECT_STREQ(buffer, "untouched");
  EXPECT_EQ(rk::fake::counters().blocks_allocated, 0);
}

}  // namespace
