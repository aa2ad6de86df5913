#include "commands/validation.h"
#include "commands/system_facts.h"
#include "facts/command_facts.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "fake_os.h"
#include "rkvtps32.h"

namespace {

class ValidationTest : public ::testing::Test {
 protected:
  void SetUp() override { rk::fake::Reset(); }
  void TearDown() override { EXPECT_EQ(rk::fake::OutstandingResources(), 0); }
};

// ---- Byte limits -------------------------------------------------------------

TEST_F(ValidationTest, LimitOfEveryCodeType) {
  const struct {
    uint16_t code_type;
    bool known;
    uint16_t limit;  // 777: left as it was
  } cases[] = {{1, true, 31},     {2, true, 24},       {3, true, 24},    {4, true, 15},
               {5, true, 63},     {32, true, 32},      {255, true, 15},  {0, false, 777},
               {6, false, 777},   {31, false, 777},    {33, false, 777}, {254, false, 777},
               {256, false, 777}, {0xFFFF, false, 777}};
  for (const auto& c : cases) {
    uint16_t limit = 777;
    EXPECT_EQ(rk::GetOwnerLengthLimit(c.code_type, &limit), c.known) << c.code_type;
    EXPECT_EQ(limit, c.limit) << c.code_type;
  }
}

// ---- Character test ----------------------------------------------------------

struct CharacterCase {
  const char* name;
  std::string text;
  uint16_t mask;
  rk::CharacterVerdict result;
};

constexpr rk::CharacterVerdict kAccepted = rk::CharacterVerdict::kAccepted;
constexpr rk::CharacterVerdict kRefused = rk::CharacterVerdict::kRefused;
constexpr rk::CharacterVerdict kNoClass = rk::CharacterVerdict::kNoClass;

// Printed by name: the byte dump GoogleTest would make reads padding.
void PrintTo(const CharacterCase& c, std::ostream* os) { *os << c.name; }

class CharacterTest : public ::testing::TestWithParam<CharacterCase> {};

TEST_P(CharacterTest, ClassesOfTheMask) {
  const CharacterCase& c = GetParam();
  bool too_long = true;
  EXPECT_EQ(rk::ValidateTextCharacters(c.text.c_str(), 63, c.mask, &too_long), c.result);
  if (c.result == kAccepted) {
    EXPECT_FALSE(too_long);
  }
}

constexpr uint16_t kDefault = RK_CHARSET_DEFAULT;
constexpr uint16_t kAscii = RK_CHARSET_ASCII;
constexpr uint16_t kLatin1 = RK_CHARSET_LATIN1;
constexpr uint16_t kAny = RK_CHARSET_ANY_BYTE;
constexpr uint16_t kKana = RK_CHARSET_HALFWIDTH_KANA;
constexpr uint16_t kDouble = RK_CHARSET_DOUBLE_BYTE;

INSTANTIATE_TEST_SUITE_P(
    ByteEdges, CharacterTest,
    ::testing::Values(
        // Default: printable ASCII, half-width kana, double-byte, under 932.
        CharacterCase{"default_1F", "a\x1F", kDefault, kRefused},
        CharacterCase{"default_20_7E", "a \x7E", kDefault, kAccepted},
        CharacterCase{"default_7F", "a\x7F", kDefault, kRefused},
        CharacterCase{"default_80", "a\x80", kDefault, kRefused},
        CharacterCase{"default_A0", "a\xA0", kDefault, kRefused},
        CharacterCase{"default_A1_DF", "\xA1\xDF", kDefault, kAccepted},
        CharacterCase{"default_FD", "a\xFD", kDefault, kRefused},
        CharacterCase{"default_FF", "a\xFF", kDefault, kRefused},
        CharacterCase{"default_lead_81_trail_7F", "\x81\x7F", kDefault, kAccepted},
        CharacterCase{"default_lead_9F_trail_40", "\x9F\x40", kDefault, kAccepted},
        CharacterCase{"default_lead_E0_trail_FC", "\xE0\xFC", kDefault, kAccepted},
        CharacterCase{"default_lead_FC_trail_FC", "\xFC\xFC", kDefault, kAccepted},
        CharacterCase{"default_trail_3F", "\x81\x3F", kDefault, kRefused},
        CharacterCase{"default_trail_FD", "\x81\xFD", kDefault, kRefused},
        CharacterCase{"default_lead_before_nul", "ab\x81", kDefault, kRefused},
        // ASCII alone reads code page 1252: no lead bytes, nothing from 0x80.
        CharacterCase{"ascii_letters", "Guest 1~", kAscii, kAccepted},
        CharacterCase{"ascii_7F", "a\x7F", kAscii, kRefused},
        CharacterCase{"ascii_80", "a\x80", kAscii, kRefused},
        CharacterCase{"ascii_A1", "a\xA1", kAscii, kRefused},
        CharacterCase{"ascii_double_byte", "\x82\xA0", kAscii, kRefused},
        // Latin-1 adds 0xA0-0xFF but not the C1 range.
        CharacterCase{"latin1_9F", "a\x9F", kLatin1, kRefused},
        CharacterCase{"latin1_A0_FF", "\xA0\xE9\xFF", kLatin1, kAccepted},
        CharacterCase{"latin1_control", "a\x1F", kLatin1, kRefused},
        // Any byte: 0x20-0xFF, 0x7F included.
        CharacterCase{"any_7F_80_FF", "\x7F\x80\xFF", kAny, kAccepted},
        CharacterCase{"any_1F", "a\x1F", kAny, kRefused},
        // Half-width kana alone: 0xA1-0xDF, read under 932.
        CharacterCase{"kana_A1_DF", "\xA1\xB1\xDF", kKana, kAccepted},
        CharacterCase{"kana_A0", "\xA1\xA0", kKana, kRefused},
        CharacterCase{"kana_E0", "\xA1\xE0\x40", kKana, kNoClass},
        CharacterCase{"kana_ascii", "\xA1z", kKana, kRefused},
        CharacterCase{"kana_double_byte", "\x82\xA0", kKana, kNoClass},
        // Double-byte alone: any single byte, blank included, is refused.
        CharacterCase{"double_hiragana", "\x82\xA0\x82\xA2", kDouble, kAccepted},
        CharacterCase{"double_letter", "\x82\xA0z", kDouble, kNoClass},
        CharacterCase{"double_blank", "\x82\xA0 ", kDouble, kNoClass},
        // Any byte with double-byte: 0x81 begins a character under 932.
        CharacterCase{"any_double_lead", "\x81\x40\x80", kAny | kDouble, kAccepted},
        // Masks without a class bit allow nothing; bits above 0x10 are ignored.
        CharacterCase{"mask_20", "a", 0x20, kNoClass},
        CharacterCase{"mask_20_empty", "", 0x20, kRefused},
        CharacterCase{"mask_0100", "a", 0x0100, kNoClass},
        CharacterCase{"mask_0100_empty", "", 0x0100, kRefused},
        CharacterCase{"mask_zero_as_given", "a", 0, kNoClass},
        CharacterCase{"mask_high_bits_ignored", "a\xA1", 0xFF00 | kDefault, kAccepted},
        // Blanks: 0x20 and the ideographic space 0x81 0x40.
        CharacterCase{"empty", "", kDefault, kRefused},
        CharacterCase{"blanks", "   ", kDefault, kRefused},
        CharacterCase{"ideographic_spaces", "\x81\x40\x81\x40", kDefault, kRefused},
        CharacterCase{"mixed_blanks", " \x81\x40 ", kDefault, kRefused},
        CharacterCase{"blank_and_letter", " a ", kDefault, kAccepted},
        CharacterCase{"any_byte_blanks", "  ", kAny, kRefused},
        // No check: anything, even control bytes and the empty text.
        CharacterCase{"no_check_controls", "\x01\x1F\x7F", RK_CHARSET_NO_CHECK, kAccepted},
        CharacterCase{"no_check_empty", "", RK_CHARSET_NO_CHECK, kAccepted}),
    [](const auto& info) { return std::string(info.param.name); });

// Every byte alone under each single-byte class, against the ranges the
// public header gives each class. Under half-width kana the text reads as
// code page 932, whose lead bytes need the double-byte class.
TEST_F(ValidationTest, EveryByteUnderEachSingleByteClass) {
  const struct {
    uint16_t mask;
    uint8_t low, high;            // the class's range
    uint8_t also_low, also_high;  // a second range, or 0, 0
  } classes[] = {
      {RK_CHARSET_ASCII, 0x20, 0x7E, 0, 0},
      {RK_CHARSET_LATIN1, 0x20, 0x7E, 0xA0, 0xFF},
      {RK_CHARSET_ANY_BYTE, 0x20, 0xFF, 0, 0},
      {RK_CHARSET_HALFWIDTH_KANA, 0xA1, 0xDF, 0, 0},
  };
  for (const auto& c : classes) {
    for (unsigned byte = 1; byte <= 0xFF; ++byte) {
      const bool in_class = (byte >= c.low && byte <= c.high) ||
                            (c.also_high != 0 && byte >= c.also_low && byte <= c.also_high);
      // One blank alone is refused like any text of blanks alone.
      const bool accepted = in_class && byte != 0x20;
      const char text[] = {static_cast<char>(byte), '\0'};
      EXPECT_EQ(rk::JudgeOwnerText(1, text, c.mask).accepted, accepted ? 1 : 0)
          << "mask " << c.mask << " byte " << byte;
    }
  }
}

TEST_F(ValidationTest, ScanStopsAtTheCharacterThatPassesTheLimit) {
  const struct {
    const char* name;
    std::string text;
    rk::CharacterVerdict result;
    bool too_long;
  } cases[] = {
      {"15_letters", std::string(15, 'a'), kAccepted, false},
      {"16_letters", std::string(16, 'a'), kAccepted, true},
      {"15_letters_then_control", std::string(15, 'a') + "\x01", kRefused, false},
      {"16_letters_then_control", std::string(16, 'a') + "\x01", kAccepted, true},
      {"15_blanks_then_letter", std::string(15, ' ') + "a", kAccepted, true},
      {"16_blanks_then_letter", std::string(16, ' ') + "a", kRefused, false},
      {"14_letters_then_double_byte", std::string(14, 'a') + "\x82\xA0", kAccepted, true},
      {"14_letters_then_bad_trail", std::string(14, 'a') + "\x82\x20", kRefused, false},
  };
  for (const auto& c : cases) {
    bool too_long = false;
    EXPECT_EQ(rk::ValidateTextCharacters(c.text.c_str(), 15, kDefault, &too_long), c.result)
        << c.name;
    if (c.result == kAccepted) {
      EXPECT_EQ(too_long, c.too_long) << c.name;
    }
  }
}

// ---- Cut -------------------------------------------------------------------

TEST_F(ValidationTest, CutFollowsTheAnsiCodePageInForce) {
  const std::string fourteen(14, 'a');
  const struct {
    const char* name;
    unsigned code_page;
    std::string text;
    uint16_t limit;
    std::string expected;
  } cases[] = {
      {"932_keeps_double_byte_whole", 932, fourteen + "\x82\xA0", 15, fourteen},
      {"1252_cuts_at_the_byte", 1252, fourteen + "\x82\xA0", 15, fourteen + "\x82"},
      {"932_fits_exactly", 932, fourteen + "\x82\xA0", 16, fourteen + "\x82\xA0"},
      {"932_lead_byte_at_end_counts_two", 932, "ab\x82", 3, "ab"},
      {"932_lead_byte_at_end_fits", 932, "ab\x82", 4, "ab\x82"},
      {"within_limit_unchanged", 1252, "abc", 15, "abc"},
      {"limit_zero", 1252, "abc", 0, ""},
      {"empty", 932, "", 5, ""},
  };
  for (const auto& c : cases) {
    std::vector<char> text(c.text.begin(), c.text.end());
    text.push_back('\0');
    rk::TruncateToBytes(c.limit, text.data(), c.code_page);
    EXPECT_EQ(std::string(text.data()), c.expected) << c.name;
  }
}

// ---- Validated copy ------------------------------------------------------------

struct CopyCase {
  const char* name;
  uint16_t code_type;
  std::string source;
  uint16_t mask;
  unsigned code_page;
  size_t capacity;
  rk::CopyOutcome outcome;
  std::string delivered;  // when copied
};

// Printed by name: the byte dump GoogleTest would make reads padding.
void PrintTo(const CopyCase& c, std::ostream* os) { *os << c.name; }

class CopyTest : public ::testing::TestWithParam<CopyCase> {
 protected:
  void SetUp() override { rk::fake::Reset(); }
};

TEST_P(CopyTest, DeliversTheValidatedTextOrNothing) {
  const CopyCase& c = GetParam();
  rk::GivenSystemFacts system;
  system.code_page = c.code_page;
  std::vector<char> destination(c.capacity, '#');  // exact size: overruns show
  const std::vector<char> before = destination;
  EXPECT_EQ(rk::CheckAndCopyOwnerText(rk::FindCodeType(c.code_type), c.source.c_str(),
                                      destination.data(), destination.size(), c.mask, system),
            c.outcome);
  if (c.outcome == rk::CopyOutcome::kWhole || c.outcome == rk::CopyOutcome::kCut) {
    EXPECT_EQ(std::string(destination.data()), c.delivered);
  } else {
    EXPECT_EQ(destination, before);
  }
}

const std::string kMegabyte(1 << 20, 'm');

INSTANTIATE_TEST_SUITE_P(
    Rules, CopyTest,
    ::testing::Values(
        CopyCase{"fits", 4, std::string(15, 'a'), 0, 1252, 64, rk::CopyOutcome::kWhole,
                 std::string(15, 'a')},
        CopyCase{"cut", 4, std::string(16, 'a'), 0, 1252, 64, rk::CopyOutcome::kCut,
                 std::string(15, 'a')},
        CopyCase{"blanks_then_letter", 4, std::string(15, ' ') + "a", 0, 1252, 64,
                 rk::CopyOutcome::kCut, std::string(15, ' ')},
        CopyCase{"all_blank_in_scan", 4, std::string(16, ' ') + "a", 0, 1252, 64,
                 rk::CopyOutcome::kRefused, ""},
        CopyCase{"control_in_scan", 4, std::string(15, 'a') + "\x01", 0, 1252, 64,
                 rk::CopyOutcome::kRefused, ""},
        CopyCase{"control_past_scan", 4, std::string(16, 'a') + "\x01", 0, 1252, 64,
                 rk::CopyOutcome::kCut, std::string(15, 'a')},
        CopyCase{"cut_932", 4, std::string(14, 'a') + "\x82\xA0", 0, 932, 64, rk::CopyOutcome::kCut,
                 std::string(14, 'a')},
        CopyCase{"cut_1252", 4, std::string(14, 'a') + "\x82\xA0", 0, 1252, 64,
                 rk::CopyOutcome::kCut, std::string(14, 'a') + "\x82"},
        CopyCase{"mask_zero_is_default", 1, "\xB1\xB2", 0, 1252, 64, rk::CopyOutcome::kWhole,
                 "\xB1\xB2"},
        CopyCase{"ascii_mask_refuses_kana", 1, "\xB1\xB2", kAscii, 1252, 64,
                 rk::CopyOutcome::kRefused, ""},
        CopyCase{"empty", 1, "", 0, 1252, 64, rk::CopyOutcome::kRefused, ""},
        CopyCase{"no_check_whole", 4, std::string(40, 'x'), RK_CHARSET_NO_CHECK, 1252, 64,
                 rk::CopyOutcome::kWhole, std::string(40, 'x')},
        CopyCase{"no_check_empty", 4, "", RK_CHARSET_NO_CHECK, 1252, 64, rk::CopyOutcome::kWhole,
                 ""},
        CopyCase{"no_check_exactly_fills", 4, std::string(63, 'x'), RK_CHARSET_NO_CHECK, 1252, 64,
                 rk::CopyOutcome::kWhole, std::string(63, 'x')},
        CopyCase{"no_check_one_past", 4, std::string(64, 'x'), RK_CHARSET_NO_CHECK, 1252, 64,
                 rk::CopyOutcome::kTooLong, ""},
        CopyCase{"no_check_megabyte", 1, kMegabyte, RK_CHARSET_NO_CHECK, 1252, 80,
                 rk::CopyOutcome::kTooLong, ""},
        CopyCase{"megabyte_checked_is_cut", 5, kMegabyte, 0, 1252, 64, rk::CopyOutcome::kCut,
                 std::string(63, 'm')},
        CopyCase{"unknown_code_type", 6, "abc", 0, 1252, 64, rk::CopyOutcome::kRefused, ""},
        CopyCase{"unknown_code_type_no_check", 0, "abc", RK_CHARSET_NO_CHECK, 1252, 64,
                 rk::CopyOutcome::kRefused, ""}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Exports -----------------------------------------------------------------

struct JudgeCase {
  const char* name;
  uint16_t code_type;
  const char* text;
  uint16_t mask;
  int32_t result;
  int16_t status;
};

// Printed by name: the byte dump GoogleTest would make reads padding.
void PrintTo(const JudgeCase& c, std::ostream* os) { *os << c.name; }

class NarrowExportTest : public ::testing::TestWithParam<JudgeCase> {};

TEST_P(NarrowExportTest, OutcomesInTheirOrder) {
  const JudgeCase& c = GetParam();
  rk::fake::Reset();
  int16_t status = 99;
  EXPECT_EQ(RKIsValidJobOwnerStringCodeAndLengthExA(c.code_type, c.text, c.mask, &status),
            c.result);
  EXPECT_EQ(status, c.status);
  if (c.mask == 0) {
    status = 99;
    EXPECT_EQ(RKIsValidJobOwnerStringCodeAndLengthA(c.code_type, c.text, &status), c.result);
    EXPECT_EQ(status, c.status);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Order, NarrowExportTest,
    ::testing::Values(JudgeCase{"accepted", 4, "guest1", 0, 1, RK_STATUS_OK},
                      JudgeCase{"accepted_at_limit", 4, "abcdefghijklmno", 0, 1, RK_STATUS_OK},
                      JudgeCase{"null_text", 4, nullptr, 0, 0, RK_STATUS_GENERAL_ERROR},
                      JudgeCase{"unknown_code_type", 6, "guest1", 0, 0, RK_STATUS_GENERAL_ERROR},
                      JudgeCase{"unknown_code_type_before_length", 0,
                                "abcdefghijklmnopqrstuvwxyz0123456789", 0, 0,
                                RK_STATUS_GENERAL_ERROR},
                      JudgeCase{"too_long", 4, "abcdefghijklmnop", 0, 0, RK_STATUS_TOO_LONG},
                      JudgeCase{"too_long_before_bad_character", 4, "abcdefghijklmno\x01", 0, 0,
                                RK_STATUS_TOO_LONG},
                      JudgeCase{"bad_character", 4, "gu\x01st", 0, 0, RK_STATUS_BAD_CHARACTER},
                      JudgeCase{"empty", 4, "", 0, 0, RK_STATUS_BAD_CHARACTER},
                      JudgeCase{"blank", 4, " \x81\x40", 0, 0, RK_STATUS_BAD_CHARACTER},
                      JudgeCase{"no_check_blank", 4, "   ", RK_CHARSET_NO_CHECK, 1, RK_STATUS_OK},
                      JudgeCase{"no_check_empty", 4, "", RK_CHARSET_NO_CHECK, 1, RK_STATUS_OK},
                      JudgeCase{"no_check_still_limited", 4, "abcdefghijklmnop",
                                RK_CHARSET_NO_CHECK, 0, RK_STATUS_TOO_LONG},
                      JudgeCase{"code_type_32", 32, "guest1", kAscii, 1, RK_STATUS_OK}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ValidationTest, NullStatusPointerReturnsZero) {
  const RK_WCHAR wide[] = {'a', 0};
  EXPECT_EQ(RKIsValidJobOwnerStringCodeAndLengthA(1, "a", nullptr), 0);
  EXPECT_EQ(RKIsValidJobOwnerStringCodeAndLengthExA(1, "a", 0, nullptr), 0);
  EXPECT_EQ(RKIsValidJobOwnerStringCodeAndLengthW(1, wide, nullptr), 0);
  EXPECT_EQ(RKIsValidJobOwnerStringCodeAndLengthExW(1, wide, 0, nullptr), 0);
  EXPECT_EQ(rk::fake::counters().blocks_allocated, 0);
}

struct WideCase {
  const char* name;
  unsigned code_page;
  uint16_t code_type;
  std::u16string text;
  uint16_t mask;
  int32_t result;
  int16_t status;
};

// Printed by name: the byte dump GoogleTest would make reads padding.
void PrintTo(const WideCase& c, std::ostream* os) { *os << c.name; }

class WideExportTest : public ::testing::TestWithParam<WideCase> {
 protected:
  void SetUp() override { rk::fake::Reset(); }
};

TEST_P(WideExportTest, JudgesTheConvertedTextAndReleasesTheBlockOnce) {
  const WideCase& c = GetParam();
  rk::fake::script().code_page = c.code_page;
  std::vector<RK_WCHAR> text(c.text.begin(), c.text.end());
  text.push_back(0);
  int16_t status = 99;
  EXPECT_EQ(RKIsValidJobOwnerStringCodeAndLengthExW(c.code_type, text.data(), c.mask, &status),
            c.result);
  EXPECT_EQ(status, c.status);
  EXPECT_EQ(rk::fake::counters().blocks_allocated, 1);
  EXPECT_EQ(rk::fake::counters().blocks_freed, 1);
}

const std::u16string kEightHiragana = u"\u3042\u3044\u3046\u3048\u304A\u304B\u304D\u304F";

INSTANTIATE_TEST_SUITE_P(
    CodePages, WideExportTest,
    ::testing::Values(
        WideCase{"accepted", 1252, 4, u"guest1", 0, 1, RK_STATUS_OK},
        WideCase{"sixteen_bytes_under_932", 932, 4, kEightHiragana, 0, 0, RK_STATUS_TOO_LONG},
        WideCase{"eight_defaults_under_1252", 1252, 4, kEightHiragana, 0, 1, RK_STATUS_OK},
        WideCase{"fits_under_932_with_code_type_3", 932, 3, kEightHiragana, 0, 1, RK_STATUS_OK},
        WideCase{"empty", 1252, 4, u"", 0, 0, RK_STATUS_BAD_CHARACTER},
        WideCase{"ideographic_space_under_932", 932, 4, u"\u3000", 0, 0, RK_STATUS_BAD_CHARACTER},
        WideCase{"unknown_code_type_after_conversion", 1252, 6, u"guest1", 0, 0,
                 RK_STATUS_GENERAL_ERROR},
        WideCase{"bad_character", 1252, 4, u"a\u0001", 0, 0, RK_STATUS_BAD_CHARACTER}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ValidationTest, WideExportsReportAFailedAllocation) {
  rk::fake::script().allocation_fails = true;
  const RK_WCHAR text[] = {'g', 'u', 'e', 's', 't', 0};
  int16_t status = 99;
  EXPECT_EQ(RKIsValidJobOwnerStringCodeAndLengthW(4, text, &status), 0);
  EXPECT_EQ(status, RK_STATUS_GENERAL_ERROR);
  status = 99;
  EXPECT_EQ(RKIsValidJobOwnerStringCodeAndLengthExW(4, text, RK_CHARSET_NO_CHECK, &status), 0);
  EXPECT_EQ(status, RK_STATUS_GENERAL_ERROR);
  EXPECT_EQ(rk::fake::counters().blocks_freed, 0);
}

TEST_F(ValidationTest, WideNullTextIsRefusedBeforeAnyAllocation) {
  int16_t status = 99;
  EXPECT_EQ(RKIsValidJobOwnerStringCodeAndLengthW(4, nullptr, &status), 0);
  EXPECT_EQ(status, RK_STATUS_GENERAL_ERROR);
  EXPECT_TRUE(rk::fake::observed().block_sizes.empty());
}

}  // namespace
