#pragma once

#include <cstdint>

namespace rk {

// "@NLPP=" and the layout keyword that `selector` (0..13) stands for.
int32_t ComposeNupCommand(uint16_t selector, char* buffer, uint16_t* size, int16_t* status);

}  // namespace rk
