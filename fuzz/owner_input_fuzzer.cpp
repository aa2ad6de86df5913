#include "fuzz_support.h"

// The six job-owner exports from caller text, narrow and wide.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t length) {
  FuzzedDataProvider in(data, length);
  rk::fuzz::ScriptFromInput(in);
  const rk::fuzz::OwnerKeys k = rk::fuzz::OwnerKeysFromInput(in);
  const std::string owner = rk::fuzz::TextFromInput(in);
  const bool has_address = in.ConsumeBool();
  const std::string address = rk::fuzz::TextFromInput(in);
  const std::string owner_copy = owner, address_copy = address;
  if (in.ConsumeBool()) {
    rk::fuzz::CheckBuilderCall(in, [&](char* b, uint16_t* s, int16_t* st) {
      return RKGetVTPSStringOfJobOwnerFromInputWithIPExA(
          k.code_type, owner.c_str(), k.column, k.row, b, has_address ? address.c_str() : nullptr,
          s, k.mask, st);
    });
    if (owner != owner_copy || address != address_copy)
      rk::fuzz::Violated("a caller's text was written");
  } else {
    const std::vector<RK_WCHAR> wide = rk::fuzz::WideFromInput(in);
    rk::fuzz::CheckBuilderCall(
        in,
        [&](char* b, uint16_t* s, int16_t* st) {
          return RKGetVTPSStringOfJobOwnerFromInputExW(k.code_type, wide.data(), k.column, k.row, b,
                                                       s, k.mask, st);
        },
        true);
  }
  return 0;
}
