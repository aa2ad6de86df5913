// The tool's decoder against commands the library composes, and against
// damaged ones.
#include "commands/decode.h"

#include <gtest/gtest.h>

#include <algorithm>
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

rk::DecodedCommand DecodeOne(const std::string& text) {
  const std::vector<rk::DecodedCommand> found = rk::DecodeCommands(text, kKeywords);
  EXPECT_EQ(found.size(), 1u) << text;
  return found.empty() ? rk::DecodedCommand{} : found.front();
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
    const rk::DecodedCommand decoded = DecodeOne(command);
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
  // A CRLF header after a PJL prefix, a document, then a header without a
  // separator (a blank before the next command is the address's) and one
  // more command after a NUL.
  const std::string stream =
      std::string("\x1b%-12345X@PJL\r\n") + "@JOAU=@guest1\r\n@NLPP=N16\r\n%!PS\n\x1b%-12345X" +
      "@HOAD=IC0A8010A @CNAM=PC01" + std::string("\0", 1) + "@JOAU=#CB6@d,F>84e+<VdL+<Vd";
  const std::vector<rk::DecodedCommand> found = rk::DecodeCommands(stream, kKeywords);
  ASSERT_EQ(found.size(), 5u);
  EXPECT_EQ(found[0].owner, "guest1");
  EXPECT_EQ(found[0].offset, 15u);
  EXPECT_EQ(found[1].selector, 6);
  EXPECT_EQ(found[2].address, "192.168.1.10");
  EXPECT_EQ(found[3].owner, "PC01");
  EXPECT_EQ(found[4].address, "no address");
  EXPECT_EQ(found[4].code_types, std::vector<uint16_t>{4});
  for (const rk::DecodedCommand& c : found) EXPECT_TRUE(c.ok) << c.text << ": " << c.error;
}

// Headers as encoders write them, with every separator and what may follow
// them, decode without a fault.
TEST(Decode, HeadersAnEncoderWritesAreAccepted) {
  const struct {
    std::string input;
    size_t commands;
  } cases[] = {
      {"@JOAU=@guest1\n@CNAM=PC01\n@HOAD=IC0A80001\n@NLPP=N4\n", 4},
      {"@JOAU=@guest1\r\n@CNAM=PC01\r\n@HOAD=IC0A80001\r\n@NLPP=N4\r\n", 4},
      {"@JOAU=@guest1@CNAM=PC01@HOAD=IC0A80001@NLPP=N4", 4},
      {"@NLPP=N4\n@HOAD=6fd000000000000000000000000000005\n@CNAM=PC01\n@JOAU=$87cUR\n", 4},
      // Then a document: printer language, text, or nothing but a line end.
      {"@JOAU=@guest1\n@NLPP=N4\n\x1b%-12345X@PJL ENTER LANGUAGE=PCL\r\n", 2},
      {"@JOAU=@guest1\r\n@NLPP=N4\r\n\x1b%-12345X", 2},
      {"@JOAU=@guest1\n@NLPP=N4\n%!PS-Adobe-3.0\nshowpage\n", 2},
      {"@JOAU=@guest1\r\n@NLPP=N4\r\n\n", 2},
      {"@JOAU=@guest1@NLPP=N4\x1b%-12345X", 2},
      {"@NLPP=1\x1b%-12345X@PJL\r\n", 1},
      {"@CNAM=PC01\t(a document that starts with a tab)", 1},
      // Without a separator, a base-85 owner spelling a command is a header
      // of two commands: nothing tells the two apart.
      {"@JOAU=$87cUR@HOAD=I29000140@NLPP=N4", 3},
      // A command text in the document is another header, of its own.
      {"@JOAU=@guest1\n@NLPP=N4\n%!PS\n@JOAU=@root\n%%Title: @CNAM=PC02\n", 4},
      // Jobs back to back, each with its header.
      {"@JOAU=@ann\n@NLPP=1\nfirst\x0c@JOAU=@bob\n@NLPP=1\nsecond", 4},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input);
    const std::vector<rk::DecodedCommand> found = rk::DecodeCommands(c.input, kKeywords);
    EXPECT_EQ(found.size(), c.commands);
    for (const rk::DecodedCommand& d : found) EXPECT_TRUE(d.ok) << d.text << ": " << d.error;
  }
}

// Every owner the library composes, in a header of the four commands in
// any order with any separator, and a document after it.
TEST(Decode, LibraryOwnersInHeadersAreAccepted) {
  std::mt19937 random(2718);
  const uint16_t code_types[] = {1, 2, 3, 4, 5, 255};
  const std::string separators[] = {"", "\n", "\r\n"};
  std::uniform_int_distribution<int> printable(0x21, 0x7E);
  for (int i = 0; i < 600; ++i) {
    const uint16_t code_type = code_types[i % 6];
    std::string owner(1 + random() % 15, ' ');
    for (char& c : owner) c = static_cast<char>(printable(random));
    if (code_type == 5 && (owner[0] == '@' || owner[0] == '$' || owner[0] == '#')) owner[0] = 'x';
    std::vector<std::string> commands = {Compose(code_type, owner, 1, 5, "~C0A80001"), "@CNAM=PC01",
                                         "@HOAD=IC0A80001", "@NLPP=N4"};
    std::shuffle(commands.begin(), commands.end(), random);
    const std::string& separator = separators[i % 3];
    std::string header;
    for (const std::string& command : commands) header += command + separator;
    // With no separator, text would run on into the last command.
    const std::string input =
        header + (separator.empty() || i % 2 == 0 ? "\x1b%-12345X" : "%!PS\n");
    SCOPED_TRACE(input);
    const std::vector<rk::DecodedCommand> found = rk::DecodeCommands(input, kKeywords);
    EXPECT_EQ(found.size(), 4u);
    for (const rk::DecodedCommand& d : found) EXPECT_TRUE(d.ok) << d.text << ": " << d.error;
  }
}

// What a hostile owner or client name makes of a header: each fault is
// reported on the command it lies in, and every other command is fine.
TEST(Decode, SmuggledCommandsAndBytesAreRefused) {
  struct Fault {
    size_t index;  // of the command, in the order found
    const char* error;
    size_t error_offset;
  };
  const struct {
    std::string input;
    std::vector<Fault> faults;
  } cases[] = {
      // An owner "x@JOAU=@root".
      {"@JOAU=@x@JOAU=@root\n",
       {{0, "a command start inside a command", 8}, {1, "a second JOAU command in one header", 8}}},
      {"@JOAU=@x@JOAU=@root\r\n@NLPP=N4\r\n",
       {{0, "a command start inside a command", 8}, {1, "a second JOAU command in one header", 8}}},
      // A client name "x@HOAD=IC0A80001" before the real address.
      {"@JOAU=@ann\n@CNAM=x@HOAD=IC0A80001\n@HOAD=IC0A80002\n",
       {{1, "a command start inside a command", 18},
        {3, "a second HOAD command in one header", 34}}},
      // A client name "x\x1b%-12345X": printer language in the header.
      {"@JOAU=@ann\n@CNAM=x\x1b%-12345X\n@NLPP=N4\n",
       {{1, "control byte 0x1B inside a command", 18}}},
      {"@JOAU=@ann\n@CNAM=x\x1b%-12345X\n", {{1, "control byte 0x1B inside a command", 18}}},
      {std::string("@JOAU=@ann\n@CNAM=x\0y\n@NLPP=N4\n", 30),
       {{1, "control byte 0x00 inside a command", 18}}},
      {"@JOAU=@a\tb\n@NLPP=N4\n", {{0, "control byte 0x09 inside a command", 8}}},
      {"@JOAU=@a\x7F\n@NLPP=N4\n", {{0, "control byte 0x7F inside a command", 8}}},
      {"@CNAM=a\x7F"
       "b\n@NLPP=N4\n",
       {{0, "control byte 0x7F inside a command", 7}}},
      {"@JOAU=@a\rb\n@NLPP=N4\n", {{0, "control byte 0x0D inside a command", 8}}},
      // A line end other than the header's: a CR in an LF header, a lone LF
      // in a CRLF one.
      {"@JOAU=@a\r\n@NLPP=N4\n@CNAM=c\n", {{0, "control byte 0x0D inside a command", 8}}},
      {"@JOAU=@a\r\n@CNAM=b\n@NLPP=N4\r\n", {{1, "control byte 0x0A inside a command", 17}}},
      {"@JOAU=@a\n@NLPP=N4\r\n", {{1, "control byte 0x0D inside a command", 17}}},
      // A base-85 owner whose digits spell a command.
      {"@JOAU=$87cUR@HOAD=I29000140\n@NLPP=N4\n", {{0, "a command start inside a command", 12}}},
      {"@JOAU=@a@CNAM=b\r\n@NLPP=N4\r\n", {{0, "a command start inside a command", 8}}},
      // The separator after the last command is missing or cut short.
      {"@JOAU=@a\n@NLPP=N4", {{1, "truncated header: no line end after its last command", 17}}},
      {"@JOAU=@a\r\n@NLPP=N4\r", {{1, "truncated header: no line end after its last command", 18}}},
      {"@NLPP=N4\n@NLPP=N2\n", {{1, "a second NLPP command in one header", 9}}},
      {"@CNAM=a@CNAM=b", {{1, "a second CNAM command in one header", 7}}},
      // The first fault in a command is reported; at the end of an empty
      // body, the header's.
      {"@JOAU=@a\n@NLPP=N7\x1b\n@CNAM=b\n", {{1, "unknown N-up keyword", 15}}},
      {"@JOAU=@a\n@CNAM=\x1b%-12345X\n@NLPP=N4\n", {{1, "control byte 0x1B inside a command", 15}}},
      {"@JOAU=$87cUR@JOAU=\n",
       {{0, "a command start inside a command", 12},
        {1, "a second JOAU command in one header", 12}}},
      // Another printer's command keeps its own report.
      {"@JOAU=@a\n@ABCD=x\x1b\n@NLPP=N4\n", {{1, "unknown command", 10}}},
      {"@JOAU=\n@NLPP=N4\n", {{0, "truncated command: no owner", 6}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input);
    const std::vector<rk::DecodedCommand> found = rk::DecodeCommands(c.input, kKeywords);
    size_t next = 0;
    for (size_t i = 0; i < found.size(); ++i) {
      if (next < c.faults.size() && c.faults[next].index == i) {
        const Fault& fault = c.faults[next++];
        EXPECT_FALSE(found[i].ok) << i;
        EXPECT_EQ(found[i].error, fault.error) << i;
        EXPECT_EQ(found[i].error_offset, fault.error_offset) << i;
      } else {
        EXPECT_TRUE(found[i].ok) << i << ": " << found[i].error;
      }
    }
    EXPECT_EQ(next, c.faults.size()) << "commands found: " << found.size();
  }
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
    const rk::DecodedCommand decoded = DecodeOne(c.command);
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
      {std::string("@JOAU=\x7F", 7), "truncated command: no owner", 6},
      {"@JOAU=", "truncated command: no owner", 6},
      {"@JOAU=@", "truncated command: no owner", 7},
      {"@JOAU=$!!!!!", "base-85 text that decodes to a NUL byte", 7},
      {"@JOAU=$87cUR!!", "base-85 text that decodes to a NUL byte", 12},
      {"@JOAU=#C87cUR!!", "base-85 text that decodes to a NUL byte", 13},
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
    const rk::DecodedCommand decoded = DecodeOne(c.input);
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
    for (const rk::DecodedCommand& c : rk::DecodeCommands(input, kKeywords)) {
      ASSERT_LE(c.offset, input.size());
      if (!c.ok) {
        ASSERT_FALSE(c.error.empty());
      }
    }
  }
}

}  // namespace
