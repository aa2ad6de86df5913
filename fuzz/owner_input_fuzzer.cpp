#include "fuzz_support.h"

// The six job-owner exports from caller text, narrow and wide.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t length) {
  FuzzedDataProvider in(data, length);
  rk::fuzz::ScriptFromInput(in);
  const uint16_t code_type = in.ConsumeBool() ? in.ConsumeIntegral<uint16_t>()
                                              : in.PickValueInArray<uint16_t>({1, 2, 3, 4, 5, 32, 255});
  const uint16_t column = in.ConsumeIntegral<uint16_t>();
  const uint16_t row = in.ConsumeIntegral<uint16_t>();
  const uint16_t mask = in.ConsumeBool() ? in.ConsumeIntegral<uint16_t>() : in.PickValueInArray<uint16_t>({0, 0xFFFF});
  const std::string owner = rk::fuzz::TextFromInput(in);
  const bool has_address = in.ConsumeBool();
  const std::string address = rk::fuzz::TextFromInput(in);
  const std::string owner_copy = owner, address_copy = address;
  if (in.ConsumeBool()) {
    rk::fuzz::CheckBuilderCall(in, [&](char* b, uint16_t* s, int16_t* st) {
      return RKGetVTPSStringOfJobOwnerFromInputWithIPExA(code_type, owner.c_str(), column, row, b,
                                                         has_address ? address.c_str() : nullptr, s, mask, st);
    });
    if (owner != owner_copy || address != address_copy) rk::fuzz::Violated("a caller's text was written");
  } else {
    const std::vector<RK_WCHAR> wide = rk::fuzz::WideFromInput(in);
    rk::fuzz::CheckBuilderCall(
        in,
        [&](char* b, uint16_t* s, int16_t* st) {
          return RKGetVTPSStringOfJobOwnerFromInputExW(code_type, wide.data(), column, row, b, s, mask, st);
        },
        true);
  }
  return 0;
}
