#include "validation/validation.h"

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
    int32_t result;
    uint16_t limit;  // 777: left as it was
  } cases[] = {{1, 1, 31},   {2, 1, 24},    {3, 1, 24},    {4, 1, 15},      {5, 1, 63},
               {32, 1, 32},  {255, 1, 15},  {0, 0, 777},   {6, 0, 777},     {31, 0, 777},
               {33, 0, 777}, {254, 0, 777}, {256, 0, 777}, {0xFFFF, 0, 777}};
  for (const auto& c : cases) {
    uint16_t limit = 777;
    EXPECT_EQ(rk::GetOwnerLengthLimit(c.code_type, &limit), c.result) << c.code_type;
    EXPECT_EQ(limit, c.limit) << c.code_type;
  }
}

// ---- Character test ----------------------------------------------------------

struct CharacterCase {
  const char* name;
  std::string text;
  uint16_t mask;
  int32_t result;
};

// Printed by name: the byte dump GoogleTest would make reads padding.
void PrintTo(const CharacterCase& c, std::ostream* os) { *os << c.name; }

class CharacterTest : public ::testing::TestWithParam<CharacterCase> {};

TEST_P(CharacterTest, ClassesOfTheMask) {
  const CharacterCase& c = GetParam();
  int16_t too_long = 7;
  EXPECT_EQ(rk::ValidateTextCharacters(c.text.c_str(), 63, c.mask, &too_long), c.result);
  if (c.result == 1) {
    EXPECT_EQ(too_long, 0);
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
        CharacterCase{"default_1F", "a\x1F", kDefault, 0},
        CharacterCase{"default_20_7E", "a \x7E", kDefault, 1},
        CharacterCase{"default_7F", "a\x7F", kDefault, 0},
        CharacterCase{"default_80", "a\x80", kDefault, 0},
        CharacterCase{"default_A0", "a\xA0", kDefault, 0},
        CharacterCase{"default_A1_DF", "\xA1\xDF", kDefault, 1},
        CharacterCase{"default_FD", "a\xFD", kDefault, 0},
        CharacterCase{"default_FF", "a\xFF", kDefault, 0},
        CharacterCase{"default_lead_81_trail_7F", "\x81\x7F", kDefault, 1},
        CharacterCase{"default_lead_9F_trail_40", "\x9F\x40", kDefault, 1},
        CharacterCase{"default_lead_E0_trail_FC", "\xE0\xFC", kDefault, 1},
        CharacterCase{"default_lead_FC_trail_FC", "\xFC\xFC", kDefault, 1},
        CharacterCase{"default_trail_3F", "\x81\x3F", kDefault, 0},
        CharacterCase{"default_trail_FD", "\x81\xFD", kDefault, 0},
        CharacterCase{"default_lead_before_nul", "ab\x81", kDefault, 0},
        // ASCII alone reads code page 1252: no lead bytes, nothing from 0x80.
        CharacterCase{"ascii_letters", "Guest 1~", kAscii, 1},
        CharacterCase{"ascii_7F", "a\x7F", kAscii, 0},
        CharacterCase{"ascii_80", "a\x80", kAscii, 0},
        CharacterCase{"ascii_A1", "a\xA1", kAscii, 0},
        CharacterCase{"ascii_double_byte", "\x82\xA0", kAscii, 0},
        // Latin-1 adds 0xA0-0xFF but not the C1 range.
        CharacterCase{"latin1_9F", "a\x9F", kLatin1, 0},
        CharacterCase{"latin1_A0_FF", "\xA0\xE9\xFF", kLatin1, 1},
        CharacterCase{"latin1_control", "a\x1F", kLatin1, 0},
        // Any byte: 0x20-0xFF, 0x7F included.
        CharacterCase{"any_7F_80_FF", "\x7F\x80\xFF", kAny, 1},
        CharacterCase{"any_1F", "a\x1F", kAny, 0},
        // Half-width kana alone: 0xA1-0xDF, read under 932.
        CharacterCase{"kana_A1_DF", "\xA1\xB1\xDF", kKana, 1},
        CharacterCase{"kana_A0", "\xA1\xA0", kKana, 0},
        CharacterCase{"kana_E0", "\xA1\xE0\x40", kKana, -1},
        CharacterCase{"kana_ascii", "\xA1z", kKana, 0},
        CharacterCase{"kana_double_byte", "\x82\xA0", kKana, -1},
        // Double-byte alone: any single byte, blank included, is refused.
        CharacterCase{"double_hiragana", "\x82\xA0\x82\xA2", kDouble, 1},
        CharacterCase{"double_letter", "\x82\xA0z", kDouble, -1},
        CharacterCase{"double_blank", "\x82\xA0 ", kDouble, -1},
        // Any byte with double-byte: 0x81 begins a character under 932.
        CharacterCase{"any_double_lead", "\x81\x40\x80", kAny | kDouble, 1},
        // Masks without a class bit allow nothing; bits above 0x10 are ignored.
        CharacterCase{"mask_20", "a", 0x20, -1}, CharacterCase{"mask_20_empty", "", 0x20, 0},
        CharacterCase{"mask_0100", "a", 0x0100, -1},
        CharacterCase{"mask_0100_empty", "", 0x0100, 0},
        CharacterCase{"mask_zero_as_given", "a", 0, -1},
        CharacterCase{"mask_high_bits_ignored", "a\xA1", 0xFF00 | kDefault, 1},
        // Blanks: 0x20 and the ideographic space 0x81 0x40.
        CharacterCase{"empty", "", kDefault, 0}, CharacterCase{"blanks", "   ", kDefault, 0},
        CharacterCase{"ideographic_spaces", "\x81\x40\x81\x40", kDefault, 0},
        CharacterCase{"mixed_blanks", " \x81\x40 ", kDefault, 0},
        CharacterCase{"blank_and_letter", " a ", kDefault, 1},
        CharacterCase{"any_byte_blanks", "  ", kAny, 0},
        // No check: anything, even control bytes and the empty text.
        CharacterCase{"no_check_controls", "\x01\x1F\x7F", RK_CHARSET_NO_CHECK, 1},
        CharacterCase{"no_check_empty", "", RK_CHARSET_NO_CHECK, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ValidationTest, ScanStopsAtTheCharacterThatPassesTheLimit) {
  const struct {
    const char* name;
    std::string text;
    int32_t result;
    int16_t too_long;
  } cases[] = {
      {"15_letters", std::string(15, 'a'), 1, 0},
      {"16_letters", std::string(16, 'a'), 1, 1},
      {"15_letters_then_control", std::string(15, 'a') + "\x01", 0, 0},
      {"16_letters_then_control", std::string(16, 'a') + "\x01", 1, 1},
      {"15_blanks_then_letter", std::string(15, ' ') + "a", 1, 1},
      {"16_blanks_then_letter", std::string(16, ' ') + "a", 0, 0},
      {"14_letters_then_double_byte", std::string(14, 'a') + "\x82\xA0", 1, 1},
      {"14_letters_then_bad_trail", std::string(14, 'a') + "\x82\x20", 0, 0},
  };
  for (const auto& c : cases) {
    int16_t too_long = 0;
    EXPECT_EQ(rk::ValidateTextCharacters(c.text.c_str(), 15, kDefault, &too_long), c.result)
        << c.name;
    if (c.result == 1) {
      EXPECT_EQ(too_long, c.too_long) << c.name;
    }
  }
}

TEST_F(ValidationTest, CharacterTestRefusesNullPointersWritingNothing) {
  int16_t too_long = 7;
  EXPECT_EQ(rk::ValidateTextCharacters(nullptr, 15, kDefault, &too_long), -2);
  EXPECT_EQ(too_long, 7);
  EXPECT_EQ(rk::ValidateTextCharacters("a", 15, kDefault, nullptr), -2);
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
    rk::fake::script().code_page = c.code_page;
    std::vector<char> text(c.text.begin(), c.text.end());
    text.push_back('\0');
    EXPECT_EQ(rk::TruncateToBytes(c.limit, text.data()), 1) << c.name;
    EXPECT_EQ(std::string(text.data()), c.expected) << c.name;
  }
  EXPECT_EQ(rk::TruncateToBytes(15, nullptr), 0);
}

// ---- Validated copy ------------------------------------------------------------

struct CopyCase {
  const char* name;
  uint16_t code_type;
  std::string source;
  uint16_t mask;
  unsigned code_page;
  size_t capacity;
  int32_t result;
  int16_t status;
  std::string delivered;  // when result is 1
};

// Printed by name: the byte dump GoogleTest would make reads padding.
void PrintTo(const CopyCase& c, std::ostream* os) { *os << c.name; }

class CopyTest : public ::testing::TestWithParam<CopyCase> {
 protected:
  void SetUp() override { rk::fake::Reset(); }
};

TEST_P(CopyTest, DeliversTheValidatedTextOrNothing) {
  const CopyCase& c = GetParam();
  rk::fake::script().code_page = c.code_page;
  std::vector<char> destination(c.capacity, '#');  // exact size: overruns show
  const std::vector<char> before = destination;
  int16_t status = 99;
  EXPECT_EQ(rk::CheckAndCopyOwnerText(c.code_type, c.source.c_str(), destination.data(),
                                      destination.size(), c.mask, &status),
            c.result);
  EXPECT_EQ(status, c.status);
  if (c.result == 1) {
    EXPECT_EQ(std::string(destination.data()), c.delivered);
  } else {
    EXPECT_EQ(destination, before);
  }
}

const std::string kMegabyte(1 << 20, 'm');

INSTANTIATE_TEST_SUITE_P(
    Rules, CopyTest,
    ::testing::Values(
        CopyCase{"fits", 4, std::string(15, 'a'), 0, 1252, 64, 1, RK_STATUS_OK,
                 std::string(15, 'a')},
        CopyCase{"cut", 4, std::string(16, 'a'), 0, 1252, 64, 1, RK_STATUS_TOO_LONG,
                 std::string(15, 'a')},
        CopyCase{"blanks_then_letter", 4, std::string(15, ' ') + "a", 0, 1252, 64, 1,
                 RK_STATUS_TOO_LONG, std::string(15, ' ')},
        CopyCase{"all_blank_in_scan", 4, std::string(16, ' ') + "a", 0, 1252, 64, 0,
                 RK_STATUS_BAD_CHARACTER, ""},
        CopyCase{"control_in_scan", 4, std::string(15, 'a') + "\x01", 0, 1252, 64, 0,
                 RK_STATUS_BAD_CHARACTER, ""},
        CopyCase{"control_past_scan", 4, std::string(16, 'a') + "\x01", 0, 1252, 64, 1,
                 RK_STATUS_TOO_LONG, std::string(15, 'a')},
        CopyCase{"cut_932", 4, std::string(14, 'a') + "\x82\xA0", 0, 932, 64, 1, RK_STATUS_TOO_LONG,
                 std::string(14, 'a')},
        CopyCase{"cut_1252", 4, std::string(14, 'a') + "\x82\xA0", 0, 1252, 64, 1,
                 RK_STATUS_TOO_LONG, std::string(14, 'a') + "\x82"},
        CopyCase{"mask_zero_is_default", 1, "\xB1\xB2", 0, 1252, 64, 1, RK_STATUS_OK, "\xB1\xB2"},
        CopyCase{"ascii_mask_refuses_kana", 1, "\xB1\xB2", kAscii, 1252, 64, 0,
                 RK_STATUS_BAD_CHARACTER, ""},
        CopyCase{"empty", 1, "", 0, 1252, 64, 0, RK_STATUS_BAD_CHARACTER, ""},
        CopyCase{"no_check_whole", 4, std::string(40, 'x'), RK_CHARSET_NO_CHECK, 1252, 64, 1,
                 RK_STATUS_OK, std::string(40, 'x')},
        CopyCase{"no_check_empty", 4, "", RK_CHARSET_NO_CHECK, 1252, 64, 1, RK_STATUS_OK, ""},
        CopyCase{"no_check_exactly_fills", 4, std::string(63, 'x'), RK_CHARSET_NO_CHECK, 1252, 64,
                 1, RK_STATUS_OK, std::string(63, 'x')},
        CopyCase{"no_check_one_past", 4, std::string(64, 'x'), RK_CHARSET_NO_CHECK, 1252, 64, 0,
                 RK_STATUS_TOO_LONG, ""},
        CopyCase{"no_check_megabyte", 1, kMegabyte, RK_CHARSET_NO_CHECK, 1252, 80, 0,
                 RK_STATUS_TOO_LONG, ""},
        CopyCase{"megabyte_checked_is_cut", 5, kMegabyte, 0, 1252, 64, 1, RK_STATUS_TOO_LONG,
                 std::string(63, 'm')},
        CopyCase{"unknown_code_type", 6, "abc", 0, 1252, 64, 0, RK_STATUS_GENERAL_ERROR, ""},
        CopyCase{"unknown_code_type_no_check", 0, "abc", RK_CHARSET_NO_CHECK, 1252, 64, 0,
                 RK_STATUS_GENERAL_ERROR, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ValidationTest, CopyRefusesNullPointers) {
  char destination[64] = "untouched";
  int16_t status = 99;
  EXPECT_EQ(rk::CheckAndCopyOwnerText(1, nullptr, destination, 64, 0, &status), 0);
  EXPECT_EQ(status, RK_STATUS_GENERAL_ERROR);
  status = 99;
  EXPECT_EQ(rk::CheckAndCopyOwnerText(1, "abc", nullptr, 64, 0, &status), 0);
  EXPECT_EQ(status, RK_STATUS_GENERAL_ERROR);
  EXPECT_EQ(rk::CheckAndCopyOwnerText(1, "abc", destination, 64, 0, nullptr), 0);
  EXPECT_STREQ(destination, "untouched");
}

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
