#include "fuzz_support.h"

// The client-name and host-address exports.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t length) {
  FuzzedDataProvider in(data, length);
  rk::fuzz::ScriptFromInput(in);
  if (in.ConsumeBool()) {
    const uint16_t code_type = in.ConsumeIntegral<uint16_t>();
    const uint16_t mask = in.ConsumeIntegral<uint16_t>();
    rk::fuzz::CheckBuilderCall(in, [&](char* b, uint16_t* s, int16_t* st) {
      return RKGetVTPSStringOfHostNameEx(code_type, b, s, mask, st);
    });
  } else {
    rk::fuzz::CheckBuilderCall(in, [&](char* b, uint16_t* s, int16_t* st) {
      return RKGetVTPSStringOfHostAddress(b, s, st);
    });
  }
  return 0;
}
