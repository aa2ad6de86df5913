// The private entry: forwards to the Linux provider's code-page functions
// and to the host discovery the exports use.
#include "private/rkvtps32_private.h"

#include "host/computer_name.h"
#include "host/discovery.h"
#include "os/os.h"
#include "os/posix/code_page.h"

extern "C" {

unsigned rkvtps32_private_ansi_code_page(void) { return rk::os::AnsiCodePage(); }

int rkvtps32_private_convert_wide(unsigned code_page, const RK_WCHAR* wide, int count, char* out,
                                  int capacity) {
  if (wide == nullptr || out == nullptr || count < 1 || capacity < 1) return 0;
  return rk::os::ConvertWideToCodePage(code_page, wide, count, out, capacity);
}

int rkvtps32_private_computer_name(char* name) {
  if (name == nullptr) return 0;
  return rk::ReadComputerNameInto(name) ? 1 : 0;
}

int rkvtps32_private_ipv4_digits(char* digits, int16_t* status) {
  if (digits == nullptr || status == nullptr) return 0;
  return rk::GetIPv4AddressHex(digits, status) != 0 ? 1 : 0;
}

}  // extern "C"
