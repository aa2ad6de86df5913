#include "fuzz_support.h"

// The four job-owner exports from the user and the host.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t length) {
  FuzzedDataProvider in(data, length);
  rk::fuzz::ScriptFromInput(in);
  const uint16_t code_type = in.ConsumeBool() ? in.ConsumeIntegral<uint16_t>()
                                              : in.PickValueInArray<uint16_t>({1, 2, 3, 4, 5, 32, 255});
  const uint16_t column = in.ConsumeIntegral<uint16_t>();
  const uint16_t row = in.ConsumeIntegral<uint16_t>();
  const uint16_t mask = in.ConsumeBool() ? in.ConsumeIntegral<uint16_t>() : in.PickValueInArray<uint16_t>({0, 0xFFFF});
  const bool has_address = in.ConsumeBool();
  const std::string address = rk::fuzz::TextFromInput(in);
  rk::fuzz::CheckBuilderCall(in, [&](char* b, uint16_t* s, int16_t* st) {
    return RKGetVTPSStringOfJobOwnerStringFromUserHostNameWithIPEx(code_type, column, row, b,
                                                                  has_address ? address.c_str() : nullptr, s,
                                                                  mask, st);
  });
  return 0;
}
