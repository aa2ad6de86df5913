// The document, passed through in fixed-size chunks: any bytes, any
// length, in bounded memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Every byte to `fd`, through partial writes and interrupted calls; false
// with the reason when the other end is gone or the write fails.
bool WriteAll(int fd, const char* data, size_t size, std::string* error);

// Everything from `in` to `out`; `copied` counts the bytes.
bool CopyDocument(int in, int out, uint64_t* copied, std::string* error);
