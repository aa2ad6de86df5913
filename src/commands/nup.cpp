#include "commands/nup.h"

#include <cstring>

#include "facts/command_facts.h"

namespace rk {
namespace {

// The selector values are part of the interface: printers and drivers in
// the field send them, so rows are only ever appended ("N32" and "P3" came
// after the P rows).
constexpr const char* kNupKeywords[] = {
    "1", "N2", "N4", "N6", "N8", "N9", "N16", "P2", "P4", "P8", "P9", "P16", "N32", "P3",
};
constexpr uint16_t kNupRows = sizeof(kNupKeywords) / sizeof(kNupKeywords[0]);

}  // namespace

const char* NupKeyword(uint16_t selector) {
  return selector < kNupRows ? kNupKeywords[selector] : nullptr;
}

Composition ComposeNup(uint16_t selector) {
  Composition result;
  const char* keyword = NupKeyword(selector);
  if (keyword == nullptr) {
    result.status = RK_STATUS_BAD_NUP;
    return result;
  }
  const size_t keyword_length = std::strlen(keyword);
  std::memcpy(result.command, kNupCommand, kCommandStartLength);
  std::memcpy(result.command + kCommandStartLength, keyword, keyword_length + 1);
  result.length = static_cast<uint8_t>(kCommandStartLength + keyword_length);
  result.composed = true;
  return result;
}

}  // namespace rk
