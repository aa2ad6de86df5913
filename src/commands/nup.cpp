#include "commands/nup.h"

#include <array>
#include <cstring>
#include <utility>

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

// Each selector's whole command, made once at compile time: composing one
// is then a copy of a fixed 16 bytes, which the compiler does in two moves,
// instead of a length count and two copies of variable size. A keyword too
// long for it would be a write out of bounds, which no constant evaluation
// lets compile.
struct NupCommand {
  char text[16];
  uint8_t length;
};

constexpr NupCommand MakeNupCommand(const char* keyword) {
  NupCommand command{};
  size_t length = 0;
  for (; length < kCommandStartLength; ++length) command.text[length] = kNupCommand[length];
  for (size_t i = 0; keyword[i] != '\0'; ++i) command.text[length++] = keyword[i];
  command.length = static_cast<uint8_t>(length);
  return command;
}

template <size_t... Selectors>
constexpr std::array<NupCommand, kNupRows> MakeNupCommands(std::index_sequence<Selectors...>) {
  return {MakeNupCommand(kNupKeywords[Selectors])...};
}

constexpr std::array<NupCommand, kNupRows> kNupCommands =
    MakeNupCommands(std::make_index_sequence<kNupRows>());

}  // namespace

const char* NupKeyword(uint16_t selector) {
  return selector < kNupRows ? kNupKeywords[selector] : nullptr;
}

Composition ComposeNup(uint16_t selector) {
  Composition result;
  if (selector >= kNupRows) {
    result.status = RK_STATUS_BAD_NUP;
    return result;
  }
  const NupCommand& command = kNupCommands[selector];
  std::memcpy(result.command, command.text, sizeof command.text);
  result.length = command.length;
  result.composed = true;
  return result;
}

}  // namespace rk
