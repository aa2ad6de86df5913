// The tool's decoder against commands the library composes, and against
// damaged ones.
#include "decode.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "rkvtps32.h"

namespace {

const std::vector<std::string> kKeywords = {"1",  "N2", "N4", "N6", "N8",  "N9",  "N16",
                                            "P2", "P4", "P8", "P9", "P16", "N32", "P3"};

// The tag table's column and row for the keys, as documented for callers.
int ExpectedColumn(uint16_t key) {
  if (key == 1) return 0;
  if (key == 2) return 1;
  if (key == 3 || key == 4) return 2;
  if (key >= 5 && key <= 8) return 3;
  if (key == 100) return 5;
  return 4;
}
int ExpectedRow(uint16_t key) { return key > 11 ? 11 : key; }

std::string Compose(uint16_t code_type, const std::string& owner, uint16_t column, uint16_t row,
                    const char* address) {
  char buffer[96] = {};
  uint16_t size = sizeof buffer;
  int16_t status = 0;
  const int32_t result = RKGetVTPSStringOfJobOwnerFromInputWithIPExA(
      code_type, owner.c_str(), column, row, buffer, address, &size, RK_CHARSET_ASCII, &status);
  EXPECT_EQ(result, 1) << owner << " status " << status;
  return buffer;
}

DecodedCommand DecodeOne(const std::string& text) {
  const std::vector<DecodedCommand> found = DecodeCommands(text, kKeywords);
  EXPECT_EQ(found.size(), 1u) << text;
  return found.empty() ? DecodedCommand{} : found.front();
}

TEST(Decode, RandomOwnersRoundTrip) {
  std::mt19937 random(9122026);
  const uint16_t code_types[] = {1, 2, 3, 4, 5, 255};
  const uint16_t limits[] = {31, 24, 24, 15, 63, 15};
  const uint16_t keys[] = {0, 1, 2, 3, 4, 5, 8, 9, 10, 11, 99, 100, 101, 65535};
  std::uniform_int_distribution<int> printable(0x21, 0x7E);
  std::uniform_int_distribution<int> hex(0, 15);
  for (int i = 0; i < 3000; ++i) {
    const size_t which = static_cast<size_t>(i) % 6;
    const uint16_t code_type = code_types[which];
    std::uniform_int_distribution<int> length(1, limits[which]);
    std::string owner(static_cast<size_t>(length(random)), ' ');
    for (char& c : owner) c = static_cast<char>(printable(random));
    // Code type 5 has no form mark: an owner that begins like one reads as
    // that form, so the round trip holds only for the others.
    if (code_type == 5 && (owner[0] == '@' || owner[0] == '$' || owner[0] == '#')) owner[0] = 'x';
    const uint16_t column = keys[random() % 14];
    const uint16_t row = keys[random() % 14];

    std::string address;
    bool discovered_form = false;
    if (code_type == 4 || code_type == 255) {
      discovered_form = random() % 2 == 0;
      if (discovered_form) {
        address = "~";
        for (int d = 0; d < 8; ++d) address += "0123456789ABCDEF"[hex(random)];
      } else {
        std::uniform_int_distribution<int> extra(0, static_cast<int>(24 - owner.size()));
        address.assign(static_cast<size_t>(extra(random)), ' ');
        for (char& c : address) c = static_cast<char>(printable(random));
      }
    }
    const std::string command = Compose(code_type, owner, column, row,
                                        address.empty() && !discovered_form ? "" : address.c_str());
    SCOPED_TRACE(command);
    const DecodedCommand decoded = DecodeOne(command);
    ASSERT_TRUE(decoded.ok) << decoded.error;
    EXPECT_EQ(decoded.name, "JOAU");
    if (code_type == 3 || code_type == 4 || code_type == 255) {
      EXPECT_EQ(decoded.tag_column, ExpectedColumn(column));
      EXPECT_EQ(decoded.tag_row, ExpectedRow(row));
    }
    if (discovered_form) {
      EXPECT_EQ(decoded.owner, owner);
      EXPECT_EQ(decoded.address_part, address);
    } else {
      EXPECT_EQ(decoded.owner + decoded.address_part, owner + address);
    }
    const std::vector<uint16_t> implied = code_type == 1   ? std::vector<uint16_t>{1}
                                          : code_type == 2 ? std::vector<uint16_t>{2}
                                          : code_type == 5 ? std::vector<uint16_t>{5}
                                                           : std::vector<uint16_t>{3, 4, 255};
    EXPECT_EQ(decoded.code_types, implied);
  }
}

TEST(Decode, CommandsAmongOtherBytes) {
  const std::string stream = std::string("\x1b%-12345X@PJL\r\n", 15) + "@JOAU=@guest1\r\n" +
                             std::string("@NLPP=N16\0", 10) + "@HOAD=IC0A8010A @CNAM=PC01\n" +
                             "@JOAU=#CB6@d,F>84e+<VdL+<Vd";
  const std::vector<DecodedCommand> found = DecodeCommands(stream, kKeywords);
  ASSERT_EQ(found.size(), 5u);
  EXPECT_EQ(found[0].owner, "guest1");
  EXPECT_EQ(found[0].offset, 15u);
  EXPECT_EQ(found[1].selector, 6);
  EXPECT_EQ(found[2].address, "192.168.1.10");
  EXPECT_EQ(found[3].owner, "PC01");
  EXPECT_EQ(found[4].address, "no address");
  EXPECT_EQ(found[4].code_types, std::vector<uint16_t>{4});
  for (const DecodedCommand& c : found) EXPECT_TRUE(c.ok) << c.text << ": " << c.error;
}

TEST(Decode, HostAddressTextForms) {
  const struct {
    const char* command;
    const char* address;
  } cases[] = {
      {"@HOAD=I0A000005", "10.0.0.5"},
      {"@HOAD=IFFFFFFFF", "255.255.255.255"},
      {"@HOAD=6fd000000000000000000000000000005", "fd00::5"},
      {"@HOAD=600000000000000000000000000000001", "::1"},
      {"@HOAD=600000000000000000000000000000000", "::"},
      {"@HOAD=6fe8000000000000000fc00fffe000001", "fe80::fc:ff:fe00:1"},
      {"@HOAD=620010db8000000010000000000000001", "2001:db8:0:1::1"},
      {"@HOAD=620010db8000100020003000400050006", "2001:db8:1:2:3:4:5:6"},
      {"@HOAD=620010db8000000010000000000000000", "2001:db8:0:1::"},
  };
  for (const auto& c : cases) {
    const DecodedCommand decoded = DecodeOne(c.command);
    EXPECT_TRUE(decoded.ok) << c.command << ": " << decoded.error;
    EXPECT_EQ(decoded.address, c.address) << c.command;
  }
}

TEST(Decode, MalformedCommandsNameTheFaultAndItsOffset) {
  const struct {
    std::string input;
    const char* error;
    size_t error_offset;
  } cases[] = {
      {"@JOAU=$B6@d,F>{", "bad base-85 digit", 14},
      {"@JOAU=$B6@dv", "bad base-85 digit", 11},
      {"@JOAU=$uuuuu", "base-85 group above 2^32 - 1", 7},
      {"@JOAU=$s8W-\"", "base-85 group above 2^32 - 1", 7},
      {"@JOAU=$B6@d,F", "truncated base-85 group: a single digit", 12},
      {"@JOAU=#", "truncated command: no tag character", 7},
      {"@JOAU=#C", "truncated command: no base-85 text", 8},
      {"@JOAU=#&B6", "unknown tag character", 7},
      {"@JOAU=#sB6", "unknown tag character", 7},
      {"@JOAU=$", "truncated command: no base-85 text", 7},
      {std::string("@JOAU=\x7F", 7), "unknown form mark", 6},
      {"@HOAD=I0A00", "truncated command: 8 digits expected", 11},
      {"@HOAD=I0a000005", "bad digit: upper-case hexadecimal expected", 8},
      {"@HOAD=X", "unknown address form", 6},
      {"@HOAD=", "truncated command: no address form", 6},
      {"@HOAD=I0A000005FF", "unexpected text after the address", 15},
      {"@NLPP=N7", "unknown N-up keyword", 6},
      {"@CNAM=", "truncated command: no name", 6},
      {"@ABCD=x", "unknown command", 1},
      {"@JOAU=$B6@d,F>4", "base-85 group that no encoder writes", 12},
      {"@JOAU=$B6@d,F?", "base-85 group that no encoder writes", 12},
      {"@JOA", "truncated command: no \"=\"", 4},
  };
  for (const auto& c : cases) {
    const DecodedCommand decoded = DecodeOne(c.input);
    EXPECT_FALSE(decoded.ok) << c.input;
    EXPECT_EQ(decoded.error, c.error) << c.input;
    EXPECT_EQ(decoded.error_offset, c.error_offset) << c.input;
  }
}

TEST(Decode, ArbitraryBytesNeverCrash) {
  std::mt19937 random(42);
  std::uniform_int_distribution<int> byte(0, 255);
  const std::string seeds[] = {"@JOAU=", "@HOAD=", "@NLPP=", "@CNAM=", "@JOAU=#", "@JOAU=$"};
  for (int i = 0; i < 20000; ++i) {
    std::string input = seeds[i % 6];
    const int extra = byte(random) % 40;
    for (int k = 0; k < extra; ++k)
      input += static_cast<char>(byte(random) % 3 == 0 ? '!' + byte(random) % 85 : byte(random));
    for (const DecodedCommand& c : DecodeCommands(input, kKeywords)) {
      ASSERT_LE(c.offset, input.size());
      if (!c.ok) {
        ASSERT_FALSE(c.error.empty());
      }
    }
  }
}

}  // namespace
