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

// Calls per thread: fewer where an emulator runs this program (x86 under
// qemu is some hundred times slower); eight threads all the same.
int CallsPerThread() { return std::getenv("RKVTPS32_X86_EMULATED") != nullptr ? 40 : 1000; }

// The library keeps no state, so calls on many threads at once must each
// get the answer a lone call gets.
TEST(Library, EightThreadsGetTheSameAnswers) {
  const Answer address = HostAddress();
  const Answer name = ClientName(1, 0);
  constexpr int kThreads = 8;
  const int kCalls = CallsPerThread();
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

}  // namespace
