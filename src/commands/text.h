// Bounded text helpers. Every command is built in a fixed buffer of the
// call's own; these never write past the capacity they are given and tell
// the caller when a text did not fit, so nothing is cut silently.
#pragma once

#include <cstddef>

namespace rk {

// Length of a NUL-terminated text, reading at most `most` + 1 bytes: a
// result above `most` means "longer than most", however long.
size_t TextLengthUpTo(const char* text, size_t most);

// Copies source and its NUL into a buffer of `capacity` bytes. False, with
// the buffer left as it was, when it does not fit.
bool CopyText(char* buffer, size_t capacity, const char* source);

// Appends source to the NUL-terminated text in a buffer of `capacity`
// bytes. False, with the buffer left as it was, when it does not fit.
bool AppendText(char* buffer, size_t capacity, const char* source);

// Exact comparison, as lstrcmpA's test for 0.
bool TextEquals(const char* a, const char* b);

}  // namespace rk
