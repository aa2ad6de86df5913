#include "exports/wide_text.h"

#include <climits>
#include <cstddef>

#include "os/os.h"

namespace rk {
namespace {

size_t WideLength(const RK_WCHAR* wide) {
  size_t n = 0;
  while (wide[n] != 0) ++n;
  return n;
}

}  // namespace

AnsiText::AnsiText(const RK_WCHAR* wide) {
  const size_t n = WideLength(wide);
  // The converter counts in int; a text too long for it is treated like a
  // block that cannot be had, never as a smaller block.
  if (n > (INT_MAX - 1) / 2) return;
  const size_t bytes = 2 * n + 1;
  block_ = static_cast<char*>(os::AllocateZeroedBlock(bytes));
  if (block_ == nullptr) return;
  int written = 0;
  if (n > 0) {
    written = os::ConvertWideToAnsi(wide, static_cast<int>(n), block_, static_cast<int>(2 * n));
  }
  if (written < 0 || static_cast<size_t>(written) > 2 * n) written = 0;
  block_[written] = '\0';
}

AnsiText::~AnsiText() {
  if (block_ != nullptr) os::FreeBlock(block_);
}

}  // namespace rk
