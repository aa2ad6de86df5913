#pragma once

#include <cstdint>

namespace rk {

// The computer name area the commands read into, with its terminator.
constexpr uint32_t kComputerNameCapacity = 40;

// The computer name into `name` (kComputerNameCapacity bytes), always
// terminated. False, with `name` unusable, when it cannot be read.
bool ReadComputerNameInto(char* name);

}  // namespace rk
