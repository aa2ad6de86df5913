/* The exports a caller can rely on, with their ordinals: what the ABI tests
 * hold the built library to, written out independently of the export lists
 * the build uses. Plain C, so that the C test programs read it too. */
#pragma once

#include <stdint.h>

typedef struct ExportRow {
  const char* name;
  uint16_t ordinal;
} ExportRow;

static const ExportRow kExports[] = {
    {"RKGetVTPSStringOfHostAddress", 1},
    {"RKGetVTPSStringOfHostNameEx", 2},
    {"RKGetVTPSStringOfJobOwnerFromInputA", 3},
    {"RKGetVTPSStringOfJobOwnerFromInputExA", 4},
    {"RKGetVTPSStringOfJobOwnerFromInputExW", 5},
    {"RKGetVTPSStringOfJobOwnerFromInputW", 6},
    {"RKGetVTPSStringOfJobOwnerFromInputWithIPA", 7},
    {"RKGetVTPSStringOfJobOwnerFromInputWithIPExA", 8},
    {"RKGetVTPSStringOfJobOwnerStringFromUserHostName", 9},
    {"RKGetVTPSStringOfJobOwnerStringFromUserHostNameEx", 10},
    {"RKGetVTPSStringOfJobOwnerStringFromUserHostNameWithIP", 11},
    {"RKGetVTPSStringOfJobOwnerStringFromUserHostNameWithIPEx", 12},
    {"RKGetVTPSStringOfNup", 13},
    {"RKIsValidJobOwnerStringCodeAndLengthA", 14},
    {"RKIsValidJobOwnerStringCodeAndLengthExA", 15},
    {"RKIsValidJobOwnerStringCodeAndLengthExW", 16},
    {"RKIsValidJobOwnerStringCodeAndLengthW", 17},
    {"RKGetVTPSStringOfHostAddressFromInputA", 18},
    {"RKGetVTPSStringOfHostNameFromInputExA", 19},
    {"RKGetVTPSStringOfHostNameFromInputExW", 20},
};
