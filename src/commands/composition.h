// What a composition hands back: the command, or the status that says why
// there is none, and what became of each text it took. Programs read the
// report instead of working out from a command's length what it carried.
#pragma once

#include <cstddef>
#include <cstdint>

#include "rkvtps32.h"

namespace rk {

// What a composition did with one text.
enum class TextFate : uint8_t {
  kNotGiven,     // the composition took no such text
  kWhole,        // carried as given
  kCut,          // carried, cut to `carried` bytes
  kRefused,      // not carried, and the call fails for it (`why`)
  kSubstituted,  // `substitute` carried in its place (`why`)
};

// Why a text was refused or stood in for.
enum class TextReason : uint8_t {
  kNone,
  kBadCharacter,  // a character outside the mask, blanks alone, or no code type to test by
  kTooLong,       // longer than the command carries
  kUnreadable,    // the system gave none
  kNoAddress,     // the host's IPv4 address could not be found
};

struct TextReport {
  TextFate fate = TextFate::kNotGiven;
  TextReason why = TextReason::kNone;
  uint16_t carried = 0;              // bytes of the text the command carries
  const char* substitute = nullptr;  // kSubstituted: what the command carries instead
};

// The longest command (79 characters) and its NUL.
inline constexpr size_t kCommandCapacity = 80;

struct Composition {
  int16_t status = RK_STATUS_OK;  // OK, a warning beside a command, or why there is none
  bool composed = false;
  uint8_t length = 0;              // of the command, when composed
  char command[kCommandCapacity];  // NUL-terminated, when composed
};

}  // namespace rk
