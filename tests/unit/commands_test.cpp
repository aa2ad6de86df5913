// The command logic on its own: what each composition reports it did with
// every text, checked against what the command it composed carries. The
// system's answers are values here (GivenSystemFacts): no fake provider.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "ascii85.h"
#include "commands/code_pages.h"
#include "commands/host_commands.h"
#include "commands/nup.h"
#include "commands/owner_command.h"
#include "commands/system_facts.h"
#include "facts/command_facts.h"
#include "rkvtps32.h"

namespace {

using rk::TextFate;
using rk::TextReason;

// Counts what the composition asked, so that a test sees the system asked
// only when it must be.
struct CountingFacts : rk::GivenSystemFacts {
  mutable int code_page_asks = 0;
  mutable int computer_asks = 0;
  mutable int address_asks = 0;
  rk::GivenSystemFacts answers;  // the given answers, asked through

  static const CountingFacts& Self(const rk::SystemFacts& self) {
    return static_cast<const CountingFacts&>(self);
  }
  CountingFacts() {
    ansi_code_page = [](const rk::SystemFacts& self) {
      ++Self(self).code_page_asks;
      return Self(self).code_page;
    };
    computer_name = [](const rk::SystemFacts& self, char* name) {
      ++Self(self).computer_asks;
      return Self(self).answers.computer_name(self, name);
    };
    ipv4_digits = [](const rk::SystemFacts& self, char* digits, int16_t* status) {
      ++Self(self).address_asks;
      return Self(self).answers.ipv4_digits(self, digits, status);
    };
  }
};

// The bytes an owner command carries behind its form mark and tag, decoded
// apart from the library's encoder.
std::string CarriedBy(const rk::OwnerComposition& c) {
  const rk::CodeType* type = nullptr;
  const std::string command(c.command, c.length);
  const size_t body = rk::kCommandStartLength;
  for (const rk::CodeType& row : rk::kCodeTypes) {
    if (row.has_command && row.form_mark != '\0' && command[body] == row.form_mark) type = &row;
  }
  if (type == nullptr) return command.substr(body);  // code type 5: no mark, plain text
  const size_t start = body + 1 + (type->tagged ? 1 : 0);
  return type->encoded ? DecodeAscii85(command.substr(start)) : command.substr(start);
}

// ---- Owner text given -----------------------------------------------------------

struct OwnerCase {
  const char* name;
  uint16_t code_type;
  std::string text;
  uint16_t mask;
  unsigned code_page;
  const char* address_text;  // code types 4 and 255
  const char* digits;        // the host's IPv4 digits; null: discovery fails
  int16_t status;
  TextFate owner;
  uint16_t owner_carried;
  TextFate address;
  std::string carried;  // what the command carries, before encoding
};

void PrintTo(const OwnerCase& c, std::ostream* os) { *os << c.name; }

class OwnerFromTextTest : public ::testing::TestWithParam<OwnerCase> {};

TEST_P(OwnerFromTextTest, ReportsWhatTheCommandCarries) {
  const OwnerCase& c = GetParam();
  CountingFacts system;
  system.code_page = c.code_page;
  system.ipv4_digits_text = c.digits;
  system.ipv4_failure = RK_STATUS_NO_HOST_ENTRY;
  rk::OwnerSettings settings;
  settings.code_type = c.code_type;
  settings.tag_column_key = 1;
  settings.tag_row_key = 5;
  settings.mask = c.mask;
  settings.address_text = c.address_text;
  const rk::OwnerComposition result = rk::ComposeOwnerFromText(settings, c.text.c_str(), system);

  EXPECT_EQ(result.status, c.status);
  EXPECT_EQ(result.owner.fate, c.owner);
  EXPECT_EQ(result.owner.carried, c.owner_carried);
  EXPECT_EQ(result.address.fate, c.address);
  EXPECT_EQ(result.composed, c.status == RK_STATUS_OK);
  if (!result.composed) return;
  EXPECT_EQ(std::strlen(result.command), result.length);
  EXPECT_EQ(std::string(result.carried), c.carried);
  EXPECT_EQ(CarriedBy(result), c.carried);
  const rk::CodeType* type = rk::FindCodeType(c.code_type);
  if (type->tagged) {
    EXPECT_EQ(result.command[rk::kCommandStartLength + 1], result.tag);
  }
  // The code page is asked for only to cut; the address only when no text
  // stands for it.
  EXPECT_EQ(system.code_page_asks, c.owner == TextFate::kCut ? 1 : 0);
  const bool discovers = type->address_part && c.address_text == nullptr;
  EXPECT_EQ(system.address_asks, discovers ? 1 : 0);
}

const std::string k14 = "abcdefghijklmn";

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    EveryCodeType, OwnerFromTextTest,
    ::testing::Values(
//   name                        code text        mask  cp    address  digits      status                   owner                   bytes  address                carried
    OwnerCase{"type1_plain",      1,  "alice",     0, 1252, nullptr, nullptr,   RK_STATUS_OK,            TextFate::kWhole,       5,  TextFate::kNotGiven,   "alice"},
    OwnerCase{"type2_base85",     2,  "alice",     0, 1252, nullptr, nullptr,   RK_STATUS_OK,            TextFate::kWhole,       5,  TextFate::kNotGiven,   "alice"},
    OwnerCase{"type3_tagged",     3,  "alice",     0, 1252, nullptr, nullptr,   RK_STATUS_OK,            TextFate::kWhole,       5,  TextFate::kNotGiven,   "alice"},
    OwnerCase{"type4_discovered", 4,  "alice",     0, 1252, nullptr, "C0A80001", RK_STATUS_OK,           TextFate::kWhole,       5,  TextFate::kWhole,      "alice~C0A80001"},
    OwnerCase{"type4_blanks",     4,  "alice",     0, 1252, nullptr, nullptr,   RK_STATUS_OK,            TextFate::kWhole,       5,  TextFate::kSubstituted, "alice~        "},
    OwnerCase{"type255_fails",    255, "alice",    0, 1252, nullptr, nullptr,   RK_STATUS_NO_HOST_ENTRY, TextFate::kWhole,       5,  TextFate::kRefused,    ""},
    OwnerCase{"type255_text",     255, "alice",    0, 1252, "~10.0.0.1", nullptr, RK_STATUS_OK,          TextFate::kWhole,       5,  TextFate::kWhole,      "alice~10.0.0.1"},
    OwnerCase{"type4_text_long",  4,  "alice",     0, 1252, "~0123456789abcdefghi", nullptr, RK_STATUS_TOO_LONG, TextFate::kWhole, 5, TextFate::kRefused, ""},
    OwnerCase{"type5_plain",      5,  "alice",     0, 1252, nullptr, nullptr,   RK_STATUS_OK,            TextFate::kWhole,       5,  TextFate::kNotGiven,   "alice"},
    OwnerCase{"type32_no_command", 32, "alice",    0, 1252, nullptr, nullptr,   RK_STATUS_GENERAL_ERROR, TextFate::kWhole,       5,  TextFate::kNotGiven,   ""},
    OwnerCase{"unknown_type",     9,  "alice",     0, 1252, nullptr, nullptr,   RK_STATUS_GENERAL_ERROR, TextFate::kSubstituted, 0,  TextFate::kNotGiven,   ""},
    OwnerCase{"cut_1252",         4,  k14 + "op",  0, 1252, nullptr, "0A000001", RK_STATUS_OK,           TextFate::kCut,         15, TextFate::kWhole,      k14 + "o~0A000001"},
    OwnerCase{"cut_932_keeps_pair", 255, k14 + "\x82\xA0", RK_CHARSET_DEFAULT | RK_CHARSET_DOUBLE_BYTE, 932, nullptr, "0A000001",
                                                                                RK_STATUS_OK,            TextFate::kCut,         14, TextFate::kWhole,      k14 + "~0A000001"},
    OwnerCase{"cut_1252_splits_pair", 255, k14 + "\x82\xA0", RK_CHARSET_DEFAULT | RK_CHARSET_DOUBLE_BYTE, 1252, nullptr, "0A000001",
                                                                                RK_STATUS_OK,            TextFate::kCut,         15, TextFate::kWhole,      k14 + "\x82~0A000001"},
    OwnerCase{"refused_control",  2,  "al\x01" "ce",  0, 1252, nullptr, nullptr,   RK_STATUS_OK,            TextFate::kSubstituted, 0,  TextFate::kNotGiven,   "UnknownUser"},
    OwnerCase{"refused_blanks",   1,  "   ",       0, 1252, nullptr, nullptr,   RK_STATUS_OK,            TextFate::kSubstituted, 0,  TextFate::kNotGiven,   "UnknownUser"},
    OwnerCase{"unchecked_too_long", 2, std::string(30, 'x'), RK_CHARSET_NO_CHECK, 1252, nullptr, nullptr,
                                                                                RK_STATUS_TOO_LONG,      TextFate::kRefused,     0,  TextFate::kNotGiven,   ""},
    OwnerCase{"unchecked_past_area", 1, std::string(100, 'x'), RK_CHARSET_NO_CHECK, 1252, nullptr, nullptr,
                                                                                RK_STATUS_TOO_LONG,      TextFate::kRefused,     0,  TextFate::kNotGiven,   ""}));
// clang-format on

TEST(OwnerFromText, ASubstituteSaysWhatAndWhy) {
  const rk::GivenSystemFacts system;
  rk::OwnerSettings settings;
  settings.code_type = 3;
  const rk::OwnerComposition result = rk::ComposeOwnerFromText(settings, "a\tb", system);
  ASSERT_TRUE(result.composed);
  EXPECT_EQ(result.owner.why, TextReason::kBadCharacter);
  EXPECT_STREQ(result.owner.substitute, rk::kUnknownUser);
}

TEST(OwnerFromText, TagFollowsTheKeys) {
  const rk::GivenSystemFacts system;
  rk::OwnerSettings settings;
  settings.code_type = 3;
  settings.tag_column_key = 100;  // column 5
  settings.tag_row_key = 40;      // row 11
  const rk::OwnerComposition result = rk::ComposeOwnerFromText(settings, "bob", system);
  EXPECT_EQ(result.tag, static_cast<char>(rk::kTagFirstCode + rk::kTagRowStride * 11 + 5));
}

// ---- User and computer -----------------------------------------------------------

struct UserHostCase {
  const char* name;
  uint16_t code_type;
  const char* user;
  const char* computer;  // null: cannot be read
  TextFate user_fate;
  TextFate computer_fate;
  TextReason computer_why;
  std::string carried;
};

void PrintTo(const UserHostCase& c, std::ostream* os) { *os << c.name; }

class OwnerFromUserHostTest : public ::testing::TestWithParam<UserHostCase> {};

TEST_P(OwnerFromUserHostTest, JoinsAndReportsBothNames) {
  const UserHostCase& c = GetParam();
  CountingFacts system;
  system.computer_name_text = c.computer;
  system.ipv4_digits_text = "7F000001";
  rk::OwnerSettings settings;
  settings.code_type = c.code_type;
  const rk::OwnerComposition result = rk::ComposeOwnerFromUserHost(settings, c.user, system);
  ASSERT_TRUE(result.composed) << result.status;
  EXPECT_EQ(result.owner.fate, c.user_fate);
  EXPECT_EQ(result.computer.fate, c.computer_fate);
  EXPECT_EQ(result.computer.why, c.computer_why);
  EXPECT_EQ(std::string(result.carried), c.carried);
  EXPECT_EQ(CarriedBy(result), c.carried);
  // The computer is asked for only when its name is joined.
  EXPECT_EQ(system.computer_asks, c.computer_fate == TextFate::kNotGiven ? 0 : 1);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Names, OwnerFromUserHostTest,
    ::testing::Values(
//   name                   code  user            computer       user fate             computer fate          why                       carried
    UserHostCase{"joined",     1, "alice",        "PC1",         TextFate::kWhole,       TextFate::kWhole,       TextReason::kNone,        "alice\\PC1"},
    UserHostCase{"computer_cut", 4, "alice",      "WORKSTATION7", TextFate::kWhole,      TextFate::kCut,         TextReason::kNone,        "alice\\WORKSTATI~7F000001"},
    UserHostCase{"unreadable", 2, "alice",        nullptr,       TextFate::kWhole,       TextFate::kSubstituted, TextReason::kUnreadable,  "alice\\UnknownHost"},
    UserHostCase{"refused_pc", 1, "alice",        "P\x01",       TextFate::kWhole,       TextFate::kSubstituted, TextReason::kBadCharacter, "alice\\UnknownHost"},
    UserHostCase{"not_joined", 5, "alice",        "PC1",         TextFate::kWhole,       TextFate::kNotGiven,    TextReason::kNone,        "alice"},
    UserHostCase{"address",    4, "bob",          "PC",          TextFate::kWhole,       TextFate::kWhole,       TextReason::kNone,        "bob\\PC~7F000001"},
    UserHostCase{"user_fills", 4, "abcdefghijklmnop", "PC",      TextFate::kCut,         TextFate::kNotGiven,    TextReason::kNone,        "abcdefghijklmno~7F000001"}));
// clang-format on

TEST(OwnerFromUserHost, ComputerCutReportsItsBytes) {
  const rk::GivenSystemFacts system = [] {
    rk::GivenSystemFacts facts;
    facts.computer_name_text = "WORKSTATION7";
    return facts;
  }();
  rk::OwnerSettings settings;
  settings.code_type = 3;  // 24 bytes: "alice\" and 18 of the computer's
  const rk::OwnerComposition result = rk::ComposeOwnerFromUserHost(settings, "alice", system);
  EXPECT_EQ(result.computer.carried, std::strlen("WORKSTATION7"));
  settings.code_type = 4;  // 15 bytes: "alice\" and 9
  EXPECT_EQ(rk::ComposeOwnerFromUserHost(settings, "alice", system).computer.carried, 9);
}

// ---- Client name, address, N-up --------------------------------------------------

TEST(ClientName, CarriesRefusesAndStandsIn) {
  rk::GivenSystemFacts system;
  const struct {
    const char* name;
    uint16_t mask;
    int16_t status;
    TextFate fate;
    const char* command;
  } cases[] = {
      {"host-1", 0, RK_STATUS_OK, TextFate::kWhole, "@CNAM=host-1"},
      {"ho\x1bst", 0, RK_STATUS_BAD_CHARACTER, TextFate::kSubstituted, "@CNAM=UnknownHost"},
      {"", RK_CHARSET_NO_CHECK, RK_STATUS_OK, TextFate::kWhole, "@CNAM="},
  };
  for (const auto& c : cases) {
    const rk::ClientNameComposition result = rk::ComposeClientName(5, c.name, c.mask, system);
    EXPECT_EQ(result.status, c.status) << c.name;
    EXPECT_EQ(result.name.fate, c.fate) << c.name;
    EXPECT_STREQ(result.command, c.command) << c.name;
  }
  const std::string long_name(64, 'n');
  const rk::ClientNameComposition refused =
      rk::ComposeClientName(5, long_name.c_str(), RK_CHARSET_NO_CHECK, system);
  EXPECT_FALSE(refused.composed);
  EXPECT_EQ(refused.status, RK_STATUS_TOO_LONG);
  EXPECT_EQ(refused.name.fate, TextFate::kRefused);
}

TEST(ClientName, UnreadableComputerIsAWarning) {
  const rk::GivenSystemFacts system;  // no computer name
  const rk::ClientNameComposition result = rk::ComposeComputerName(5, 0, system);
  EXPECT_TRUE(result.composed);
  EXPECT_EQ(result.status, RK_STATUS_NO_HOST_NAME);
  EXPECT_EQ(result.name.why, TextReason::kUnreadable);
  EXPECT_STREQ(result.command, "@CNAM=UnknownHost");
}

TEST(HostAddress, FromText) {
  EXPECT_STREQ(rk::ComposeHostAddressFromText("192.168.0.1").command, "@HOAD=IC0A80001");
  EXPECT_STREQ(rk::ComposeHostAddressFromText("::ffff:10.0.0.1").command, "@HOAD=I0A000001");
  EXPECT_STREQ(rk::ComposeHostAddressFromText("fe80::1%eth0").command,
               "@HOAD=6fe800000000000000000000000000001");
  const rk::Composition bad = rk::ComposeHostAddressFromText("printer.local");
  EXPECT_FALSE(bad.composed);
  EXPECT_EQ(bad.status, RK_STATUS_BAD_ADDRESS);
}

TEST(Nup, EverySelectorAndPastTheEnd) {
  for (uint16_t selector = 0; rk::NupKeyword(selector) != nullptr; ++selector) {
    const rk::Composition result = rk::ComposeNup(selector);
    EXPECT_EQ(std::string(result.command, result.length),
              std::string(rk::kNupCommand) + rk::NupKeyword(selector));
  }
  EXPECT_EQ(rk::ComposeNup(14).status, RK_STATUS_BAD_NUP);
}

TEST(CodePages, LeadBytesOfTheDoubleByteCodePages) {
  const struct {
    unsigned code_page;
    uint8_t byte;
    bool lead;
  } cases[] = {
      {932, 0x80, false}, {932, 0x81, true}, {932, 0x9F, true},   {932, 0xA0, false},
      {932, 0xDF, false}, {932, 0xE0, true}, {932, 0xFC, true},   {932, 0xFD, false},
      {936, 0x80, false}, {936, 0x81, true}, {936, 0xFE, true},   {936, 0xFF, false},
      {949, 0xA1, true},  {950, 0xFE, true}, {1252, 0x81, false}, {1252, 0xE0, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(rk::IsLeadByte(c.code_page, c.byte), c.lead) << c.code_page << " " << +c.byte;
  }
}

}  // namespace
