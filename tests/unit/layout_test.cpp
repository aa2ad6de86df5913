#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "rkvtps32.h"

namespace {

struct NupRow {
  uint16_t selector;
  const char* command;
};

// Printed by name: the byte dump GoogleTest would make reads padding.
void PrintTo(const NupRow& c, std::ostream* os) { *os << c.selector; }

class NupTableTest : public ::testing::TestWithParam<NupRow> {};

TEST_P(NupTableTest, SelectorGivesItsKeyword) {
  const NupRow& row = GetParam();
  const std::string expected = row.command;
  std::vector<char> buffer(expected.size() + 1, 'x');  // exactly L + 1
  uint16_t size = static_cast<uint16_t>(buffer.size());
  int16_t status = RK_STATUS_TOO_LONG;  // must be reset
  ASSERT_EQ(RKGetVTPSStringOfNup(row.selector, buffer.data(), &size, &status), 1);
  EXPECT_EQ(std::string(buffer.data()), expected);
  EXPECT_EQ(size, expected.size());
  EXPECT_EQ(status, RK_STATUS_OK);
}

INSTANTIATE_TEST_SUITE_P(
    AllRows, NupTableTest,
    ::testing::Values(NupRow{0, "@NLPP=1"}, NupRow{1, "@NLPP=N2"}, NupRow{2, "@NLPP=N4"},
                      NupRow{3, "@NLPP=N6"}, NupRow{4, "@NLPP=N8"}, NupRow{5, "@NLPP=N9"},
                      NupRow{6, "@NLPP=N16"}, NupRow{7, "@NLPP=P2"}, NupRow{8, "@NLPP=P4"},
                      NupRow{9, "@NLPP=P8"}, NupRow{10, "@NLPP=P9"}, NupRow{11, "@NLPP=P16"},
                      NupRow{12, "@NLPP=N32"}, NupRow{13, "@NLPP=P3"}),
    [](const auto& info) { return "selector_" + std::to_string(info.param.selector); });

TEST(NupTest, SelectorsPastTheTableAreRefusedWithoutTouchingOutputs) {
  for (uint16_t selector : {uint16_t{14}, uint16_t{255}, uint16_t{65535}}) {
    char buffer[16] = "untouched";
    uint16_t size = sizeof buffer;
    int16_t status = RK_STATUS_OK;
    EXPECT_EQ(RKGetVTPSStringOfNup(selector, buffer, &size, &status), 0) << selector;
    EXPECT_EQ(status, RK_STATUS_BAD_NUP);
    EXPECT_EQ(size, sizeof buffer);
    EXPECT_STREQ(buffer, "untouched");
  }
}

TEST(NupTest, SizeWordBoundariesOfTheLongestCommand) {
  char buffer[16] = "untouched";
  uint16_t size = 9;  // "@NLPP=N16" needs 10 with its NUL
  int16_t status = RK_STATUS_OK;
  EXPECT_EQ(RKGetVTPSStringOfNup(6, buffer, &size, &status), 0);
  EXPECT_EQ(status, RK_STATUS_BUFFER_TOO_SMALL);
  EXPECT_EQ(size, 10);
  EXPECT_STREQ(buffer, "untouched");

  EXPECT_EQ(RKGetVTPSStringOfNup(6, buffer, &size, &status), 1);
  EXPECT_EQ(status, RK_STATUS_OK);
  EXPECT_EQ(size, 9);
  EXPECT_STREQ(buffer, "@NLPP=N16");
}

TEST(NupTest, SizeQueryWithNullBufferThenNullBufferWithRoom) {
  uint16_t size = 0;
  int16_t status = RK_STATUS_OK;
  EXPECT_EQ(RKGetVTPSStringOfNup(0, nullptr, &size, &status), 0);
  EXPECT_EQ(status, RK_STATUS_BUFFER_TOO_SMALL);
  EXPECT_EQ(size, 8);
  EXPECT_EQ(RKGetVTPSStringOfNup(0, nullptr, &size, &status), 0);
  EXPECT_EQ(status, RK_STATUS_GENERAL_ERROR);
  EXPECT_EQ(size, 8);
}

TEST(NupTest, NullSizeOrStatusPointerReturnsZeroAndWritesNothing) {
  char buffer[16] = "untouched";
  uint16_t size = sizeof buffer;
  int16_t status = 77;
  EXPECT_EQ(RKGetVTPSStringOfNup(1, buffer, nullptr, &status), 0);
  EXPECT_EQ(status, 77);
  EXPECT_EQ(RKGetVTPSStringOfNup(1, buffer, &size, nullptr), 0);
  EXPECT_EQ(size, sizeof buffer);
  EXPECT_STREQ(buffer, "untouched");
}

}  // namespace
