#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t length) {
  FuzzedDataProvider in(data, length);
  rk::fake::Reset();
  const uint16_t selector = in.ConsumeIntegral<uint16_t>();
  rk::fuzz::CheckBuilderCall(in, [&](char* b, uint16_t* s, int16_t* st) {
    return RKGetVTPSStringOfNup(selector, b, s, st);
  });
  return 0;
}
