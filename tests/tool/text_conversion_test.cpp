// The client layer's conversion for a code page it is given: a printer's,
// whatever the process's own (the library's on Linux, the system's on
// Windows).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "command_facts.h"
#include "text_conversion.h"
#include "untrusted_text.h"

namespace {

// RK_WCHAR text from a UTF-16 literal: RK_WCHAR is wchar_t on Windows.
WideText Wide(const std::u16string& text) { return WideText(text.begin(), text.end()); }

TEST(CodePageConversion, BytesOfTheCodePageGiven) {
  struct Case {
    unsigned code_page;
    std::u16string wide;
    std::string bytes;
  } const cases[] = {
      {1252, u"caf\u00E9 \u20AC", "caf\xE9 \x80"},
      {1252, u"\u30B2\u30B9\u30C8", "???"},
      {932, u"\u30B2\u30B9\u30C8", "\x83\x51\x83\x58\x83\x67"},
      {932, u"a\u0E01", "a?"},
      {1251, u"\u041F\u0440\u0438\u0432\u0435\u0442", "\xCF\xF0\xE8\xE2\xE5\xF2"},
      {1251, u"\u0E01\u30B2", "??"},
      {1252, u"", ""},
      {54321, u"abc", ""},  // no such code page: nothing
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ConvertToCodePage(c.code_page, Wide(c.wide)), c.bytes)
        << c.code_page << " " << c.bytes;
  }
}

TEST(CodePageConversion, PreparedForTheCodePageGiven) {
  const std::string katakana = "\xE3\x82\xB2\xE3\x82\xB9\xE3\x83\x88";  // three characters
  const std::string sjis = "\x83\x51\x83\x58\x83\x67";
  struct Case {
    const char* name;
    std::string utf8;
    TextMode mode;
    unsigned code_page;
    std::string narrow;
    std::string sent;
    size_t unmapped;
  } const cases[] = {
      {"in 932", katakana, TextMode::kAnsi, 932, sjis, sjis, 0},
      {"no form in 1252", katakana, TextMode::kAnsi, 1252, "???", "???", 3},
      {"wide, no form in 1252", katakana, TextMode::kWide, 1252, "", "???", 3},
      {"wide in 932", katakana, TextMode::kWide, 932, "", sjis, 0},
      {"a '?' of its own", "a?b", TextMode::kAnsi, 1252, "a?b", "a?b", 0},
      {"1251, and its own '?'", "\xD0\x9F\xD1\x80?", TextMode::kWide, 1251, "", "\xCF\xF0?", 0},
      {"raw bytes as given", "\xE3\x82", TextMode::kRaw, 932, "\xE3\x82", "\xE3\x82", 0},
  };
  for (const Case& c : cases) {
    PreparedText prepared;
    std::string message;
    ASSERT_TRUE(PrepareText(c.utf8, c.mode, c.code_page, "text", &prepared, &message)) << c.name;
    EXPECT_EQ(prepared.narrow, c.narrow) << c.name;
    EXPECT_EQ(prepared.sent, c.sent) << c.name;
    EXPECT_EQ(prepared.unmapped, c.unmapped) << c.name;
    EXPECT_EQ(prepared.wide.empty(), c.mode != TextMode::kWide) << c.name;
  }
  PreparedText prepared;
  std::string message;
  EXPECT_FALSE(PrepareText("ab\xE3\x82", TextMode::kAnsi, 932, "text", &prepared, &message));
  EXPECT_NE(message.find("text: invalid UTF-8 at byte offset 2"), std::string::npos) << message;
}

// Two printers' code pages in one process, one after the other, with no
// environment between them: each job's text in its printer's.
TEST(CodePageConversion, JobTextIsHandedOverInThePrintersCodePage) {
  const std::string user = "\xE3\x82\xB2\xE3\x82\xB9\xE3\x83\x88";
  struct Case {
    unsigned code_page;
    std::string bytes;
    size_t unmapped;
  } const cases[] = {
      {932, "\x83\x51\x83\x58\x83\x67", 0},
      {1252, "???", 3},
      {932, "\x83\x51\x83\x58\x83\x67", 0},
  };
  for (const Case& c : cases) {
    std::vector<std::string> notices;
    const HandedText handed =
        HandOverJobText(user, c.code_page, "@JOAU=", "user", rk::kUnknownUser, &notices);
    EXPECT_TRUE(notices.empty()) << c.code_page;
    EXPECT_EQ(handed.bytes, c.bytes) << c.code_page;
    EXPECT_EQ(handed.unmapped, c.unmapped) << c.code_page;
  }
}

#ifndef _WIN32
// The library's ANSI code page is the library's reading of the environment;
// a conversion for a code page given never looks at it.
TEST(CodePageConversion, TheEnvironmentNamesOnlyTheLibrarysOwnCodePage) {
  const char* saved = std::getenv("RKVTPS32_ACP");
  const std::string before = saved != nullptr ? saved : "";
  for (const char* forced : {"932", "1252"}) {
    setenv("RKVTPS32_ACP", forced, 1);
    EXPECT_EQ(LibraryAnsiCodePage(), static_cast<unsigned>(std::atoi(forced)));
    EXPECT_EQ(ConvertToCodePage(1252, Wide(u"\u00E9\u30B2")), "\xE9?") << forced;
    EXPECT_EQ(ConvertToCodePage(932, Wide(u"\u30B2")), "\x83\x51") << forced;
  }
  if (saved != nullptr) {
    setenv("RKVTPS32_ACP", before.c_str(), 1);
  } else {
    unsetenv("RKVTPS32_ACP");
  }
}
#endif

}  // namespace
