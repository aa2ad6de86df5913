// The private entry: forwards to the Linux provider's code-page functions.
#include "private/rkvtps32_private.h"

#include "os/os.h"
#include "os/posix/code_page.h"

extern "C" {

unsigned rkvtps32_private_ansi_code_page(void) { return rk::os::AnsiCodePage(); }

int rkvtps32_private_convert_wide(unsigned code_page, const RK_WCHAR* wide, int count, char* out,
                                  int capacity) {
  if (wide == nullptr || out == nullptr || count < 1 || capacity < 1) return 0;
  return rk::os::ConvertWideToCodePage(code_page, wide, count, out, capacity);
}

}  // extern "C"
