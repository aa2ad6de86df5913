#include "frame/sized_output.h"

#include <cstring>

#include "rkvtps32.h"

namespace rk {

int32_t DeliverCommand(const char* command, char* buffer, uint16_t* size, int16_t* status) {
  const size_t length = std::strlen(command);
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

}  // namespace rk
