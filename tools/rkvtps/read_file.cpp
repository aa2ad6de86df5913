#include <cerrno>
#include <cstring>

#include "platform.h"

bool ReadWholeFile(const std::string& path, std::string* bytes, std::string* reason) {
  FILE* file = OpenInput(path);
  if (file == nullptr) {
    *reason = std::strerror(errno);
    return false;
  }
  bytes->clear();
  // A file that says its size is read into one allocation, not a doubling
  // series of them; a pipe or a device that cannot seek is read as it comes.
  if (std::fseek(file, 0, SEEK_END) == 0) {
    const long size = std::ftell(file);
    // A directory may claim any size, LONG_MAX included.
    if (size > 0 && static_cast<unsigned long>(size) < bytes->max_size() / 2) {
      bytes->reserve(static_cast<size_t>(size));
    }
    std::fseek(file, 0, SEEK_SET);
  }
  std::clearerr(file);
  char chunk[65536];
  size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes->append(chunk, got);
  const bool failed = std::ferror(file) != 0;
  if (failed) *reason = std::strerror(errno);
  if (file != stdin) std::fclose(file);
  return !failed;
}
