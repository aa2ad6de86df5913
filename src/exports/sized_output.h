// The last step of every export: the finished command either goes into the
// caller's buffer or the caller learns the size it needs.
#pragma once

#include <cstddef>
#include <cstdint>

namespace rk {

struct Composition;

// Delivers `command` (`length` bytes and its NUL) by the size-word contract
// of the public header. The status is written only on failure, so a warning
// set earlier in the call survives a successful delivery.
int32_t DeliverCommand(const char* command, size_t length, char* buffer, uint16_t* size,
                       int16_t* status);
int32_t DeliverCommand(const char* command, char* buffer, uint16_t* size, int16_t* status);

// A composition's answer: its status when not OK (a warning or why there
// is no command), then its command, if any, by the size-word contract.
int32_t DeliverComposition(const Composition& composition, char* buffer, uint16_t* size,
                           int16_t* status);

// True when both pointers every builder export needs are present. An export
// that gets false returns 0 and writes nothing: a null pointer is a caller
// bug, but a crash inside a print spooler stops printing for everyone.
inline bool HasResultPointers(const uint16_t* size, const int16_t* status) {
  return size != nullptr && status != nullptr;
}

}  // namespace rk
