// The rkvtps decoder on arbitrary captured bytes: every report points
// inside the input, no accepted owner holds a NUL, and every well-formed
// base-85 owner, encoded again by the library, gives back the very command
// it was read from.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "commands/decode.h"
#include "fuzz_support.h"
#include "rkvtps32.h"

namespace {

const std::vector<std::string>& Keywords() {
  static const std::vector<std::string> keywords = [] {
    std::vector<std::string> all;
    char buffer[32];
    for (uint16_t selector = 0;; ++selector) {
      uint16_t size = sizeof buffer;
      int16_t status = 0;
      if (RKGetVTPSStringOfNup(selector, buffer, &size, &status) != 1) break;
      all.push_back(buffer + 6);
    }
    return all;
  }();
  return keywords;
}

// The tag keys that select a decoded row and column.
uint16_t ColumnKey(int column) {
  constexpr uint16_t kKeys[] = {1, 2, 3, 5, 9, 100};
  return kKeys[column];
}

void CheckReEncoding(const rk::DecodedCommand& c) {
  if (c.name != "JOAU" || !c.ok || (c.form_mark != '$' && c.form_mark != '#')) return;
  // Code type 2 is the '$' form, 3 the '#' form; the address part of 4 and
  // 255 is owner text to the encoder.
  const std::string owner = c.owner + c.address_part;
  const uint16_t code_type = c.form_mark == '$' ? 2 : 3;
  // The owner travels as a C string: one holding a NUL could never be sent.
  if (owner.find('\0') != std::string::npos) {
    rk::fuzz::Violated("an accepted owner holds a NUL byte");
  }
  if (owner.empty() || owner.size() > 24 || owner.find_first_not_of(' ') == std::string::npos) {
    return;  // a text the library would cut or refuse, not one it sends
  }
  char buffer[64] = {};
  uint16_t size = sizeof buffer;
  int16_t status = 0;
  const int32_t result = RKGetVTPSStringOfJobOwnerFromInputWithIPExA(
      code_type, owner.c_str(), c.has_tag ? ColumnKey(c.tag_column) : 1,
      c.has_tag ? static_cast<uint16_t>(c.tag_row) : 5, buffer, nullptr, &size, 0xFFFF, &status);
  if (result != 1 || c.text != buffer) {
    rk::fuzz::Violated("a decoded owner encodes to another command");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t length) {
  rk::fake::Reset();
  const std::string input(reinterpret_cast<const char*>(data), length);
  for (const rk::DecodedCommand& c : rk::DecodeCommands(input, Keywords())) {
    if (c.offset >= input.size() || input.compare(c.offset, c.text.size(), c.text) != 0) {
      rk::fuzz::Violated("a command is reported where the input does not hold it");
    }
    if (!c.ok && c.error_offset > input.size()) {
      rk::fuzz::Violated("an error is reported outside the input");
    }
    CheckReEncoding(c);
  }
  return 0;
}
