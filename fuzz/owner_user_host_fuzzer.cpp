#include "fuzz_support.h"

// The four job-owner exports from the user and the host.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t length) {
  FuzzedDataProvider in(data, length);
  rk::fuzz::ScriptFromInput(in);
  const rk::fuzz::OwnerKeys k = rk::fuzz::OwnerKeysFromInput(in);
  const bool has_address = in.ConsumeBool();
  const std::string address = rk::fuzz::TextFromInput(in);
  rk::fuzz::CheckBuilderCall(in, [&](char* b, uint16_t* s, int16_t* st) {
    return RKGetVTPSStringOfJobOwnerStringFromUserHostNameWithIPEx(
        k.code_type, k.column, k.row, b, has_address ? address.c_str() : nullptr, s, k.mask, st);
  });
  return 0;
}
