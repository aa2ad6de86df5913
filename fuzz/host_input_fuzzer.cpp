#include <arpa/inet.h>

#include "commands/address_text.h"
#include "fuzz_support.h"

namespace {

// The address reader against the C library's own: whatever one accepts,
// the other accepts with the same bytes. The C library has no "%scope" and
// no IPv4-mapped folding, so those are set aside before comparing.
void CompareWithInetPton(const std::string& text) {
  rk::ParsedAddress ours{};
  const bool accepted = rk::ParseAddressText(text.c_str(), &ours);
  if (text.find('%') != std::string::npos) return;
  uint8_t v4[4], v6[16];
  const bool libc4 = inet_pton(AF_INET, text.c_str(), v4) == 1;
  const bool libc6 = !libc4 && inet_pton(AF_INET6, text.c_str(), v6) == 1;
  if (accepted != (libc4 || libc6))
    rk::fuzz::Violated("address accepted differently from inet_pton");
  if (!accepted) return;
  static const uint8_t kMapped[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
  const uint8_t* expected = libc4 ? v4 : v6;
  size_t count = libc4 ? 4 : 16;
  if (libc6 && std::memcmp(v6, kMapped, 12) == 0) {
    expected = v6 + 12;
    count = 4;
  }
  if (ours.ipv4 != (count == 4) || std::memcmp(ours.bytes, expected, count) != 0) {
    rk::fuzz::Violated("address bytes differ from inet_pton");
  }
}

}  // namespace

// The host-address and client-name exports for another machine.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t length) {
  FuzzedDataProvider in(data, length);
  rk::fuzz::ScriptFromInput(in);
  const int which = in.ConsumeIntegralInRange(0, 2);
  const uint16_t code_type = in.ConsumeBool() ? in.ConsumeIntegral<uint16_t>()
                                              : in.PickValueInArray<uint16_t>({1, 4, 5, 255});
  const uint16_t mask = in.ConsumeBool() ? in.ConsumeIntegral<uint16_t>()
                                         : in.PickValueInArray<uint16_t>({0, 0xFFFF});
  if (which == 0) {
    const std::string text = rk::fuzz::TextFromInput(in);
    const std::string copy = text;
    CompareWithInetPton(text);
    rk::fuzz::CheckBuilderCall(in, [&](char* b, uint16_t* s, int16_t* st) {
      return RKGetVTPSStringOfHostAddressFromInputA(text.c_str(), b, s, st);
    });
    if (text != copy) rk::fuzz::Violated("the caller's address text was written");
  } else if (which == 1) {
    const std::string name = rk::fuzz::TextFromInput(in);
    const std::string copy = name;
    rk::fuzz::CheckBuilderCall(in, [&](char* b, uint16_t* s, int16_t* st) {
      return RKGetVTPSStringOfHostNameFromInputExA(code_type, name.c_str(), b, s, mask, st);
    });
    if (name != copy) rk::fuzz::Violated("the caller's name was written");
  } else {
    const std::vector<RK_WCHAR> wide = rk::fuzz::WideFromInput(in);
    rk::fuzz::CheckBuilderCall(in, [&](char* b, uint16_t* s, int16_t* st) {
      return RKGetVTPSStringOfHostNameFromInputExW(code_type, wide.data(), b, s, mask, st);
    });
  }
  if (rk::fake::counters().loads != 0) rk::fuzz::Violated("a given address or name was looked up");
  if (rk::fake::OutstandingResources() != 0) rk::fuzz::Violated("a resource was not released");
  return 0;
}
