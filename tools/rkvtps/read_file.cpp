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
  char chunk[65536];
  size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes->append(chunk, got);
  const bool failed = std::ferror(file) != 0;
  if (failed) *reason = std::strerror(errno);
  if (file != stdin) std::fclose(file);
  return !failed;
}
