// The last step of every command builder: the finished command either goes
// into the caller's buffer or the caller learns the size it needs.
#pragma once

#include <cstdint>

namespace rk {

// Delivers `command` by the size-word contract of the public header. The
// status is written only on failure, so a warning set earlier in the call
// survives a successful delivery.
int32_t DeliverCommand(const char* command, char* buffer, uint16_t* size, int16_t* status);

// True when both pointers every builder export needs are present. An export
// that gets false returns 0 and writes nothing: a null pointer is a caller
// bug, but a crash inside a print spooler stops printing for everyone.
inline bool HasResultPointers(const uint16_t* size, const int16_t* status) {
  return size != nullptr && status != nullptr;
}

}  // namespace rk
