#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "exports/sized_output.h"
#include "exports/wide_text.h"
#include "fake_os.h"
#include "rkvtps32.h"

namespace {

constexpr char kCommand[] = "@NLPP=N16";  // L = 9
constexpr uint16_t kLength = 9;

struct DeliveryCase {
  const char* name;
  uint16_t size_in;
  bool null_buffer;
  int32_t result;
  int16_t status;  // the caller left 6 (a warning) before the call
  uint16_t size_out;
};

// Printed by name: the byte dump GoogleTest would make reads padding.
void PrintTo(const DeliveryCase& c, std::ostream* os) { *os << c.name; }

class DeliveryTest : public ::testing::TestWithParam<DeliveryCase> {};

TEST_P(DeliveryTest, FollowsTheSizeWordContract) {
  const DeliveryCase& c = GetParam();
  // An exact-size heap block, so a sanitizer sees any write past it.
  std::vector<char> buffer(c.size_in > 0 ? c.size_in : 1, 'x');
  const std::vector<char> before = buffer;
  uint16_t size = c.size_in;
  int16_t status = RK_STATUS_NO_HOST_NAME;
  const int32_t result =
      rk::DeliverCommand(kCommand, c.null_buffer ? nullptr : buffer.data(), &size, &status);
  EXPECT_EQ(result, c.result);
  EXPECT_EQ(status, c.status);
  EXPECT_EQ(size, c.size_out);
  if (result == 1) {
    EXPECT_STREQ(buffer.data(), kCommand);
  } else {
    EXPECT_EQ(buffer, before);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Boundaries, DeliveryTest,
    ::testing::Values(
        DeliveryCase{"exact", kLength + 1, false, 1, RK_STATUS_NO_HOST_NAME, kLength},
        DeliveryCase{"roomy", 64, false, 1, RK_STATUS_NO_HOST_NAME, kLength},
        DeliveryCase{"one_short", kLength, false, 0, RK_STATUS_BUFFER_TOO_SMALL, kLength + 1},
        DeliveryCase{"size_query", 0, false, 0, RK_STATUS_BUFFER_TOO_SMALL, kLength + 1},
        DeliveryCase{"size_query_null", 0, true, 0, RK_STATUS_BUFFER_TOO_SMALL, kLength + 1},
        DeliveryCase{"null_buffer", 64, true, 0, RK_STATUS_GENERAL_ERROR, 64},
        DeliveryCase{"null_buffer_max", 65535, true, 0, RK_STATUS_GENERAL_ERROR, 65535}),
    [](const auto& info) { return std::string(info.param.name); });

class WideTextTest : public ::testing::Test {
 protected:
  void SetUp() override { rk::fake::Reset(); }
  void TearDown() override { EXPECT_EQ(rk::fake::OutstandingResources(), 0); }
};

TEST_F(WideTextTest, TextNeedingEveryByteOfTheBlockIsConvertedWhole) {
  rk::fake::script().code_page = 932;
  const RK_WCHAR hiragana[] = {0x3042, 0x3044, 0x3046, 0x3048, 0};  // 4 characters, 8 bytes
  {
    rk::AnsiText narrow(hiragana);
    ASSERT_NE(narrow.text(), nullptr);
    EXPECT_EQ(std::string(narrow.text()), "\x82\xA0\x82\xA2\x82\xA4\x82\xA6");
    ASSERT_EQ(rk::fake::observed().block_sizes, std::vector<size_t>{9});
    EXPECT_EQ(rk::fake::observed().converter_capacities, std::vector<int>{8});
  }
  EXPECT_EQ(rk::fake::counters().blocks_allocated, 1);
  EXPECT_EQ(rk::fake::counters().blocks_freed, 1);
}

TEST_F(WideTextTest, NarrowTextIsTerminatedRightAfterTheConvertedBytes) {
  // Under 1252 each character takes one byte, so half of the block stays
  // unused; the text must end after the converted bytes, not at the block.
  const RK_WCHAR text[] = {'a', 'b', 'c', 0};
  rk::AnsiText narrow(text);
  ASSERT_NE(narrow.text(), nullptr);
  EXPECT_EQ(std::strlen(narrow.text()), 3u);
  EXPECT_STREQ(narrow.text(), "abc");
}

TEST_F(WideTextTest, UnrepresentableCharactersBecomeTheDefaultCharacter) {
  const RK_WCHAR text[] = {'a', 0x3042, 'b', 0};
  rk::AnsiText narrow(text);
  ASSERT_NE(narrow.text(), nullptr);
  EXPECT_STREQ(narrow.text(), "a?b");
}

TEST_F(WideTextTest, EmptyTextGivesEmptyNarrowText) {
  const RK_WCHAR text[] = {0};
  rk::AnsiText narrow(text);
  ASSERT_NE(narrow.text(), nullptr);
  EXPECT_STREQ(narrow.text(), "");
  EXPECT_EQ(rk::fake::observed().block_sizes, std::vector<size_t>{1});
}

TEST_F(WideTextTest, FailedAllocationGivesNoTextAndFreesNothing) {
  rk::fake::script().allocation_fails = true;
  const RK_WCHAR text[] = {'a', 0};
  {
    rk::AnsiText narrow(text);
    EXPECT_EQ(narrow.text(), nullptr);
  }
  EXPECT_EQ(rk::fake::counters().blocks_freed, 0);
  EXPECT_TRUE(rk::fake::observed().converter_capacities.empty());
}

}  // namespace
