// The built library as a caller sees it, on the real operating system:
// the same checks on Linux and under Wine.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "exports_table.h"
#include "loaded_library.h"
#include "rkvtps32.h"

// UTF-16 literals as the header's wide type on every platform.
#define u16(text) reinterpret_cast<const RK_WCHAR*>(u##text)

namespace {

TEST(Library, EveryExportResolvesByName) {
  for (const ExportRow& row : kExports) EXPECT_NE(FindExport(row.name), nullptr) << row.name;
}

TEST(Library, NupCommand) {
  auto* nup = RK_EXPORT_OF(RKGetVTPSStringOfNup);
  ASSERT_NE(nup, nullptr);
  char buffer[16] = {};
  uint16_t size = sizeof buffer;
  int16_t status = -1;
  ASSERT_EQ(nup(12, buffer, &size, &status), 1);
  EXPECT_STREQ(buffer, "@NLPP=N32");
  EXPECT_EQ(size, 9);
  EXPECT_EQ(status, RK_STATUS_OK);
}

struct Answer {
  int32_t result;
  int16_t status;
  std::string command;
  bool operator==(const Answer& other) const {
    return result == other.result && status == other.status && command == other.command;
  }
};

Answer HostAddress() {
  auto* host_address = RK_EXPORT_OF(RKGetVTPSStringOfHostAddress);
  char buffer[64] = {};
  uint16_t size = sizeof buffer;
  int16_t status = RK_STATUS_OK;
  const int32_t result = host_address(buffer, &size, &status);
  return {result, status, result == 1 ? std::string(buffer) : std::string()};
}

Answer ClientName(uint16_t code_type, uint16_t mask) {
  auto* host_name = RK_EXPORT_OF(RKGetVTPSStringOfHostNameEx);
  char buffer[128] = {};
  uint16_t size = sizeof buffer;
  int16_t status = RK_STATUS_OK;
  const int32_t result = host_name(code_type, buffer, &size, mask, &status);
  return {result, status, result == 1 ? std::string(buffer) : std::string()};
}

TEST(Library, HostAddressNamesAnAddressThisHostHas) {
  const Answer answer = HostAddress();
  const std::set<std::string> ipv4 = HostIPv4Digits();
  const std::set<std::string> ipv6 = HostIPv6Digits();
  std::string seen;
  for (const auto& a : ipv4) seen += " " + a;
  for (const auto& a : ipv6) seen += " " + a;
  if (answer.result == 1) {
    ASSERT_GE(answer.command.size(), 15u) << answer.command;
    const std::string digits = answer.command.substr(7);
    if (answer.command.compare(0, 7, "@HOAD=I") == 0) {
      EXPECT_EQ(digits.size(), 8u);
      EXPECT_EQ(ipv4.count(digits), 1u) << digits << " is not among" << seen;
    } else {
      ASSERT_EQ(answer.command.compare(0, 7, "@HOAD=6"), 0) << answer.command;
      EXPECT_EQ(digits.size(), 32u);
      EXPECT_EQ(ipv6.count(digits), 1u) << digits << " is not among" << seen;
    }
  } else {
    // Only a host without a usable address may fail, and then with the
    // IPv4 discovery's reason.
    const std::set<int16_t> ipv4_reasons = {5, 6, 7, 8, 9, 10, 112};
    EXPECT_EQ(ipv4_reasons.count(answer.status), 1u) << answer.status;
    for (const std::string& digits : ResolvedIPv4Digits()) {
      EXPECT_EQ(digits.compare(0, 2, "7F"), 0) << "the name resolves to " << digits;
    }
    std::printf("host address: none usable here (status %d; host has%s)\n", answer.status,
                seen.c_str());
  }
}

TEST(Library, ClientNameCarriesTheComputerName) {
  const std::string name = ComputerName();
  ASSERT_FALSE(name.empty());
  const Answer answer = ClientName(5, RK_CHARSET_NO_CHECK);
  EXPECT_EQ(answer.result, 1);
  EXPECT_EQ(answer.status, RK_STATUS_OK);
  EXPECT_EQ(answer.command, "@CNAM=" + name);
}

// The library keeps no state, so calls on many threads at once must each
// get the answer a lone call gets.
TEST(Library, EightThreadsGetTheSameAnswers) {
  const Answer address = HostAddress();
  const Answer name = ClientName(1, 0);
  constexpr int kThreads = 8;
  constexpr int kCalls = 1000;
  std::vector<int> mismatches(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kCalls; ++i) {
        if (!(HostAddress() == address)) ++mismatches[t];
        if (!(ClientName(1, 0) == name)) ++mismatches[t];
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(mismatches[t], 0) << "thread " << t;
}

// ---- Host identification of another machine ------------------------------------

Answer AddressFromText(const char* text, uint16_t capacity = 64) {
  auto* from_text = RK_EXPORT_OF(RKGetVTPSStringOfHostAddressFromInputA);
  char buffer[64] = {};
  uint16_t size = capacity;
  int16_t status = 42;
  const int32_t result = from_text(text, buffer, &size, &status);
  return {result, status, result == 1 ? std::string(buffer) : std::to_string(size)};
}

TEST(Library, HostAddressFromText) {
  const struct {
    const char* text;
    Answer answer;
  } cases[] = {
      {"192.168.1.10", {1, 42, "@HOAD=IC0A8010A"}},
      {"fd00::5", {1, 42, "@HOAD=6fd000000000000000000000000000005"}},
      {"fe80::1%2", {1, 42, "@HOAD=6fe800000000000000000000000000001"}},
      {"::ffff:192.168.1.10", {1, 42, "@HOAD=IC0A8010A"}},
      {"localhost", {0, RK_STATUS_BAD_ADDRESS, "64"}},
      {"1.2.3", {0, RK_STATUS_BAD_ADDRESS, "64"}},
      {"256.1.1.1", {0, RK_STATUS_BAD_ADDRESS, "64"}},
      {"", {0, RK_STATUS_BAD_ADDRESS, "64"}},
      {"10.0.0.1x", {0, RK_STATUS_BAD_ADDRESS, "64"}},
      {nullptr, {0, RK_STATUS_GENERAL_ERROR, "64"}},
  };
  for (const auto& c : cases) {
    const Answer answer = AddressFromText(c.text);
    EXPECT_TRUE(answer == c.answer) << (c.text ? c.text : "(null)") << ": " << answer.result << " "
                                    << answer.status << " " << answer.command;
  }
  // The size rule: 15 bytes offered, 16 needed.
  const Answer small = AddressFromText("192.168.1.10", 15);
  EXPECT_EQ(small.result, 0);
  EXPECT_EQ(small.status, RK_STATUS_BUFFER_TOO_SMALL);
  EXPECT_EQ(small.command, "16");
}

// What the ANSI code page in force makes of two hiragana, told apart by how
// the wide validation judges eight of them for code type 4 (limit 15):
// 16 Shift_JIS bytes are too long (932), eight default characters pass
// (1252), and 24 UTF-8 bytes do not fit the conversion block (a UTF-8
// locale on Linux) and leave an empty text.
std::string TwoHiraganaInAnsi() {
  auto* validate = RK_EXPORT_OF(RKIsValidJobOwnerStringCodeAndLengthW);
  int16_t status = 0;
  validate(4, u16("\u3042\u3044\u3046\u3048\u304A\u304B\u304D\u304F"), &status);
  if (status == RK_STATUS_TOO_LONG) return "\x82\xA0\x82\xA2";
  if (status == RK_STATUS_OK) return "??";
  return "\xE3\x81\x82\xE3\x81\x84";
}

TEST(Library, ClientNameFromInput) {
  auto* narrow = RK_EXPORT_OF(RKGetVTPSStringOfHostNameFromInputExA);
  auto* wide = RK_EXPORT_OF(RKGetVTPSStringOfHostNameFromInputExW);
  const struct {
    uint16_t code_type;
    const char* name;
    uint16_t mask;
    Answer answer;
  } cases[] = {
      {1, "client7", 0, {1, 42, "@CNAM=client7"}},
      {4, "abcdefghijklmnopqrst", 0, {1, 42, "@CNAM=abcdefghijklmno"}},
      {1, "pc\t1", 0, {1, RK_STATUS_BAD_CHARACTER, "@CNAM=UnknownHost"}},
      {4, "abcdefghijklmnopqrst", RK_CHARSET_NO_CHECK, {1, 42, "@CNAM=abcdefghijklmnopqrst"}},
      {1, nullptr, 0, {0, RK_STATUS_GENERAL_ERROR, ""}},
  };
  for (const auto& c : cases) {
    char buffer[80] = {};
    uint16_t size = sizeof buffer;
    int16_t status = 42;
    const int32_t result = narrow(c.code_type, c.name, buffer, &size, c.mask, &status);
    const Answer answer{result, status, result == 1 ? std::string(buffer) : std::string()};
    EXPECT_TRUE(answer == c.answer) << (c.name ? c.name : "(null)") << ": " << answer.result << " "
                                    << answer.status << " " << answer.command;
  }

  // Wide: converted to the ANSI code page in force, then checked.
  char buffer[80] = {};
  uint16_t size = sizeof buffer;
  int16_t status = 42;
  ASSERT_EQ(wide(5, u16("\u3042\u3044pc"), buffer, &size, RK_CHARSET_NO_CHECK, &status), 1);
  EXPECT_EQ(status, 42);
  EXPECT_EQ(std::string(buffer), "@CNAM=" + TwoHiraganaInAnsi() + "pc");
  size = sizeof buffer;
  EXPECT_EQ(wide(5, nullptr, buffer, &size, 0, &status), 0);
  EXPECT_EQ(status, RK_STATUS_GENERAL_ERROR);

  // Null size or status pointers: 0, nothing written.
  status = 42;
  EXPECT_EQ(narrow(1, "pc", buffer, nullptr, 0, &status), 0);
  EXPECT_EQ(wide(1, u16("pc"), buffer, &size, 0, nullptr), 0);
  EXPECT_EQ(status, 42);
}

}  // namespace
