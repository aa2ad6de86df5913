#pragma once

#include "commands/system_facts.h"

namespace rk {

// The computer name into `name` (kComputerNameCapacity bytes), always
// terminated. False, with `name` unusable, when it cannot be read.
bool ReadComputerNameInto(char* name);

}  // namespace rk
