#include "fuzz_support.h"

// The validation exports write the status on every path, never touch the
// text, and agree between narrow and wide where the conversion is exact.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t length) {
  FuzzedDataProvider in(data, length);
  rk::fuzz::ScriptFromInput(in);
  const uint16_t code_type =
      in.PickValueInArray<uint16_t>({0, 1, 2, 3, 4, 5, 6, 32, 255, 256, 65535});
  const uint16_t mask = in.ConsumeBool()
                            ? in.ConsumeIntegral<uint16_t>()
                            : in.PickValueInArray<uint16_t>({0, 1, 2, 4, 8, 16, 0x19, 0xFFFF});
  const std::string text = rk::fuzz::TextFromInput(in);
  const std::string copy = text;
  int16_t status = -1;
  const int32_t narrow =
      RKIsValidJobOwnerStringCodeAndLengthExA(code_type, text.c_str(), mask, &status);
  if (text != copy) rk::fuzz::Violated("the caller's text was written");
  if ((narrow == 1) != (status == RK_STATUS_OK)) rk::fuzz::Violated("result and status disagree");
  if (status != 0 && status != 1 && status != 2 && status != 9)
    rk::fuzz::Violated("unexpected status");

  const std::vector<RK_WCHAR> wide = rk::fuzz::WideFromInput(in);
  status = -1;
  const int32_t w = RKIsValidJobOwnerStringCodeAndLengthExW(code_type, wide.data(), mask, &status);
  if ((w == 1) != (status == RK_STATUS_OK)) rk::fuzz::Violated("wide result and status disagree");
  if (rk::fake::OutstandingResources() != 0) rk::fuzz::Violated("conversion block not released");
  return 0;
}
