#include "commands/base85.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "ascii85.h"

namespace {

std::string Encode(const std::string& text) {
  std::vector<char> output(rk::kBase85OutputCapacity, '#');  // exact size
  EXPECT_TRUE(rk::EncodeBase85(text.c_str(), output.data())) << text;
  return std::string(output.data());
}

TEST(Base85, KnownVectors) {
  const struct {
    std::string text;
    std::string encoded;
  } cases[] = {
      {"a", "@/"},
      {"ab", "@:B"},
      {"abc", "@:E^"},
      {"abcd", "@:E_W"},
      {"\xFF\xFF\xFF\xFF", "s8W-!"},
      {"\x82\xA0", "JtN"},
      {"UnknownUser", "<GlSiDg-)!F(K@"},
      {"guest1", "B6@d,F>3"},
  };
  for (const auto& c : cases) EXPECT_EQ(Encode(c.text), c.encoded) << c.text;
}

TEST(Base85, OutputLengthOfEveryInputLength) {
  for (size_t n = 1; n <= 24; ++n) {
    const std::string encoded = Encode(std::string(n, 'x'));
    EXPECT_EQ(encoded.size(), n + (n + 3) / 4) << n;
  }
  EXPECT_EQ(Encode(std::string(24, '\xFF')).size(), 30u);
}

TEST(Base85, RefusalLeavesTheOutputAreaAsItWas) {
  for (const std::string& text : {std::string(), std::string(25, 'a'), std::string(4096, 'a')}) {
    std::vector<char> output(rk::kBase85OutputCapacity, '#');
    const std::vector<char> before = output;
    EXPECT_FALSE(rk::EncodeBase85(text.c_str(), output.data())) << text.size();
    EXPECT_EQ(output, before);
  }
}

TEST(Base85, RandomTextsRoundTripWithinTheAlphabet) {
  std::mt19937 random(20261209);
  std::uniform_int_distribution<int> length(1, 24);
  std::uniform_int_distribution<int> byte(1, 255);
  for (int i = 0; i < 5000; ++i) {
    std::string text(static_cast<size_t>(length(random)), ' ');
    for (char& c : text) c = static_cast<char>(byte(random));
    const std::string encoded = Encode(text);
    ASSERT_EQ(encoded.size(), text.size() + (text.size() + 3) / 4);
    for (char c : encoded) {
      ASSERT_GE(c, '!');
      ASSERT_LE(c, 'u');
    }
    ASSERT_EQ(DecodeAscii85(encoded), text);
  }
}

}  // namespace
