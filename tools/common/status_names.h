#pragma once

#include <cstdint>

// The RK_STATUS_ name of a status code, or "RK_STATUS_<number>" for a code
// the library does not define.
const char* StatusName(int16_t status);
