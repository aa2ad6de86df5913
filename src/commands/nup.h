// The N-up command "@NLPP=".
#pragma once

#include <cstdint>

#include "commands/composition.h"

namespace rk {

// The layout keyword that `selector` stands for, or null past the last row.
const char* NupKeyword(uint16_t selector);

// "@NLPP=" and the keyword of `selector` (0..13); BAD_NUP for another.
Composition ComposeNup(uint16_t selector);

}  // namespace rk
