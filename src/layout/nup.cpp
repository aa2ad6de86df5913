#include "layout/nup.h"

#include "facts/command_facts.h"
#include "frame/sized_output.h"
#include "frame/text.h"
#include "rkvtps32.h"

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

int32_t ComposeNupCommand(uint16_t selector, char* buffer, uint16_t* size, int16_t* status) {
  *status = RK_STATUS_OK;
  if (selector >= kNupRows) {
    *status = RK_STATUS_BAD_NUP;
    return 0;
  }
  char command[24];
  CopyText(command, sizeof command, kNupCommand);
  AppendText(command, sizeof command, kNupKeywords[selector]);
  return DeliverCommand(command, buffer, size, status);
}

}  // namespace rk

extern "C" RK_EXPORT int32_t RK_API RKGetVTPSStringOfNup(uint16_t selector, char* buffer,
                                                         uint16_t* size, int16_t* status) {
  if (!rk::HasResultPointers(size, status)) return 0;
  return rk::ComposeNupCommand(selector, buffer, size, status);
}
