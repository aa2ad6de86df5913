// The document, passed through in fixed-size chunks: any bytes, any
// length, in bounded memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// From now on SIGTERM (how cupsd cancels a job) interrupts the reads and
// writes below, which then fail with that reason rather than going on.
void StopOnSigterm();

// Every byte to `fd`, through partial writes and interrupted calls; false
// with the reason when the other end is gone, the write fails, or SIGTERM
// came.
bool WriteAll(int fd, const char* data, size_t size, std::string* error);

// Everything from `in` to `out`; `copied` counts the bytes.
bool CopyDocument(int in, int out, uint64_t* copied, std::string* error);
