// Conversion of the wide (UTF-16) input of the W exports to narrow text in
// the process's ANSI code page.
#pragma once

#include "rkvtps32.h"

namespace rk {

// The converted text lives in a zero-filled block of 2n + 1 bytes (n wide
// characters), the most any double-byte code page needs, and is released
// when this goes out of scope, on every path, exactly once.
class AnsiText {
 public:
  // Converts `wide` (not null). text() is null when the block could not be
  // allocated; otherwise it is NUL-terminated, and empty when the code page
  // could not convert the text within 2n bytes.
  explicit AnsiText(const RK_WCHAR* wide);
  ~AnsiText();
  AnsiText(const AnsiText&) = delete;
  AnsiText& operator=(const AnsiText&) = delete;

  const char* text() const { return block_; }

 private:
  char* block_ = nullptr;
};

}  // namespace rk
