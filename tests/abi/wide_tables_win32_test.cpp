// The Linux library's wide-conversion tables against the live
// WideCharToMultiByte they were captured from, so neither drifts: every
// UTF-16 unit alone, and all of them in one text (which shows that each
// unit converts on its own, surrogates included).
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "os/wide_tables.h"

namespace {

std::string Live(UINT code_page, const wchar_t* text, int count) {
  const int needed = WideCharToMultiByte(code_page, 0, text, count, nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<size_t>(needed), '\0');
  WideCharToMultiByte(code_page, 0, text, count, &bytes[0], needed, nullptr, nullptr);
  return bytes;
}

class WideTables : public ::testing::TestWithParam<UINT> {};

TEST_P(WideTables, MatchWideCharToMultiByteForEveryUnit) {
  const UINT code_page = GetParam();
  std::wstring all;
  std::string from_table;
  int mismatches = 0;
  for (unsigned unit = 1; unit <= 0xFFFF; ++unit) {
    const wchar_t wide = static_cast<wchar_t>(unit);
    char bytes[2];
    const int n = rk::os::MapWideUnit(code_page, static_cast<uint16_t>(unit), bytes);
    const std::string mapped(bytes, static_cast<size_t>(n));
    if (mapped != Live(code_page, &wide, 1) && ++mismatches <= 10) {
      ADD_FAILURE() << "code page " << code_page << ", unit " << std::hex << unit;
    }
    all += wide;
    from_table += mapped;
  }
  EXPECT_EQ(mismatches, 0);
  EXPECT_TRUE(Live(code_page, all.data(), static_cast<int>(all.size())) == from_table)
      << "a whole text converts differently from its units one by one";
}

INSTANTIATE_TEST_SUITE_P(CodePages, WideTables, ::testing::Values(1252u, 932u));

}  // namespace
