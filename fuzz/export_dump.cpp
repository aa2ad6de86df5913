// Every export's answer, as text, for each input file on the command line:
// the scripted operating system and the arguments drawn from the file as
// the fuzz targets draw them, in code page 1252 and then 932. Two builds
// that print the same for the fuzz corpora answer alike; see
// scripts/compare-exports.sh.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz_support.h"

namespace {

// RESULT STATUS SIZE and the buffer's bytes in hexadecimal up to the size
// offered: what a caller can see of one call.
template <typename Call>
void Dump(const char* name, uint16_t capacity, Call call) {
  std::vector<char> buffer(static_cast<size_t>(capacity) + 1, '\xA5');
  uint16_t size = capacity;
  int16_t status = 77;
  const int32_t result = call(buffer.data(), &size, &status);
  std::printf("%s %d %d %u ", name, result, status, static_cast<unsigned>(size));
  for (char c : buffer) std::printf("%02X", static_cast<unsigned char>(c));
  std::printf("\n");
}

void DumpAll(FuzzedDataProvider& in, unsigned code_page) {
  rk::fuzz::ScriptFromInput(in);
  rk::fake::script().code_page = code_page;
  const rk::fuzz::OwnerKeys k = rk::fuzz::OwnerKeysFromInput(in);
  const std::string text = rk::fuzz::TextFromInput(in);
  std::vector<RK_WCHAR> wide = rk::fuzz::WideFromInput(in);
  wide.push_back(0);
  const std::string address = in.ConsumeRandomLengthString(32);
  const char* address_text = in.ConsumeBool() ? address.c_str() : nullptr;
  const uint16_t capacity = in.ConsumeBool() ? 128 : in.ConsumeIntegralInRange<uint16_t>(0, 40);
  const uint16_t selector = in.ConsumeIntegralInRange<uint16_t>(0, 15);
  const char* t = text.c_str();
  const RK_WCHAR* w = wide.data();
  Dump("FromInputA", capacity, [&](char* b, uint16_t* s, int16_t* st) {
    return RKGetVTPSStringOfJobOwnerFromInputA(k.code_type, t, k.column, k.row, b, s, st);
  });
  Dump("FromInputExA", capacity, [&](char* b, uint16_t* s, int16_t* st) {
    return RKGetVTPSStringOfJobOwnerFromInputExA(k.code_type, t, k.column, k.row, b, s, k.mask, st);
  });
  Dump("FromInputWithIPA", capacity, [&](char* b, uint16_t* s, int16_t* st) {
    return RKGetVTPSStringOfJobOwnerFromInputWithIPA(k.code_type, t, k.column, k.row, b,
                                                     address_text, s, st);
  });
  Dump("FromInputWithIPExA", capacity, [&](char* b, uint16_t* s, int16_t* st) {
    return RKGetVTPSStringOfJobOwnerFromInputWithIPExA(k.code_type, t, k.column, k.row, b,
                                                       address_text, s, k.mask, st);
  });
  Dump("FromInputW", capacity, [&](char* b, uint16_t* s, int16_t* st) {
    return RKGetVTPSStringOfJobOwnerFromInputW(k.code_type, w, k.column, k.row, b, s, st);
  });
  Dump("FromInputExW", capacity, [&](char* b, uint16_t* s, int16_t* st) {
    return RKGetVTPSStringOfJobOwnerFromInputExW(k.code_type, w, k.column, k.row, b, s, k.mask, st);
  });
  Dump("FromUserHost", capacity, [&](char* b, uint16_t* s, int16_t* st) {
    return RKGetVTPSStringOfJobOwnerStringFromUserHostName(k.code_type, k.column, k.row, b, s, st);
  });
  Dump("FromUserHostEx", capacity, [&](char* b, uint16_t* s, int16_t* st) {
    return RKGetVTPSStringOfJobOwnerStringFromUserHostNameEx(k.code_type, k.column, k.row, b, s,
                                                             k.mask, st);
  });
  Dump("FromUserHostWithIP", capacity, [&](char* b, uint16_t* s, int16_t* st) {
    return RKGetVTPSStringOfJobOwnerStringFromUserHostNameWithIP(k.code_type, k.column, k.row, b,
                                                                 address_text, s, st);
  });
  Dump("FromUserHostWithIPEx", capacity, [&](char* b, uint16_t* s, int16_t* st) {
    return RKGetVTPSStringOfJobOwnerStringFromUserHostNameWithIPEx(k.code_type, k.column, k.row, b,
                                                                   address_text, s, k.mask, st);
  });
  Dump("HostNameEx", capacity, [&](char* b, uint16_t* s, int16_t* st) {
    return RKGetVTPSStringOfHostNameEx(k.code_type, b, s, k.mask, st);
  });
  Dump("HostAddress", capacity,
       [&](char* b, uint16_t* s, int16_t* st) { return RKGetVTPSStringOfHostAddress(b, s, st); });
  Dump("HostAddressFromInputA", capacity, [&](char* b, uint16_t* s, int16_t* st) {
    return RKGetVTPSStringOfHostAddressFromInputA(t, b, s, st);
  });
  Dump("HostNameFromInputExA", capacity, [&](char* b, uint16_t* s, int16_t* st) {
    return RKGetVTPSStringOfHostNameFromInputExA(k.code_type, t, b, s, k.mask, st);
  });
  Dump("HostNameFromInputExW", capacity, [&](char* b, uint16_t* s, int16_t* st) {
    return RKGetVTPSStringOfHostNameFromInputExW(k.code_type, w, b, s, k.mask, st);
  });
  Dump("Nup", capacity,
       [&](char* b, uint16_t* s, int16_t* st) { return RKGetVTPSStringOfNup(selector, b, s, st); });
  const auto verdict = [](const char* name, auto call) {
    int16_t status = 77;
    const int32_t result = call(&status);
    std::printf("%s %d %d\n", name, result, status);
  };
  verdict("ValidA",
          [&](int16_t* st) { return RKIsValidJobOwnerStringCodeAndLengthA(k.code_type, t, st); });
  verdict("ValidExA", [&](int16_t* st) {
    return RKIsValidJobOwnerStringCodeAndLengthExA(k.code_type, t, k.mask, st);
  });
  verdict("ValidW",
          [&](int16_t* st) { return RKIsValidJobOwnerStringCodeAndLengthW(k.code_type, w, st); });
  verdict("ValidExW", [&](int16_t* st) {
    return RKIsValidJobOwnerStringCodeAndLengthExW(k.code_type, w, k.mask, st);
  });
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    std::ifstream file(argv[i], std::ios::binary);
    const std::string data((std::istreambuf_iterator<char>(file)),
                           std::istreambuf_iterator<char>());
    for (unsigned code_page : {1252u, 932u}) {
      std::printf("== %s %u\n", argv[i], code_page);
      FuzzedDataProvider in(reinterpret_cast<const uint8_t*>(data.data()), data.size());
      DumpAll(in, code_page);
    }
  }
  return 0;
}
