#include "exports/sized_output.h"

#include <cstring>

#include "commands/composition.h"
#include "rkvtps32.h"

namespace rk {

int32_t DeliverCommand(const char* command, size_t length, char* buffer, uint16_t* size,
                       int16_t* status) {
  // Commands are built in buffers far below 64 KiB, so length + 1 always
  // fits the 16-bit size word.
  const auto needed = static_cast<uint16_t>(length + 1);
  if (*size < needed) {
    *status = RK_STATUS_BUFFER_TOO_SMALL;
    *size = needed;
    return 0;
  }
  if (buffer == nullptr) {
    *status = RK_STATUS_GENERAL_ERROR;
    return 0;
  }
  std::memcpy(buffer, command, length + 1);
  *size = static_cast<uint16_t>(length);
  return 1;
}

int32_t DeliverCommand(const char* command, char* buffer, uint16_t* size, int16_t* status) {
  return DeliverCommand(command, std::strlen(command), buffer, size, status);
}

int32_t DeliverComposition(const Composition& composition, char* buffer, uint16_t* size,
                           int16_t* status) {
  if (composition.status != RK_STATUS_OK) *status = composition.status;
  if (!composition.composed) return 0;
  return DeliverCommand(composition.command, composition.length, buffer, size, status);
}

}  // namespace rk
