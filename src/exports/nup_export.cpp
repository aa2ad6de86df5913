// The N-up export.
#include "commands/nup.h"
#include "exports/sized_output.h"
#include "rkvtps32.h"

extern "C" RK_EXPORT int32_t RK_API RKGetVTPSStringOfNup(uint16_t selector, char* buffer,
                                                         uint16_t* size, int16_t* status) {
  if (!rk::HasResultPointers(size, status)) return 0;
  *status = RK_STATUS_OK;
  return rk::DeliverComposition(rk::ComposeNup(selector), buffer, size, status);
}
