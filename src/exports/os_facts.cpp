#include "exports/os_facts.h"

#include "host/computer_name.h"
#include "host/discovery.h"
#include "os/os.h"

namespace rk {

unsigned OsSystemFacts::AnsiCodePage() const { return os::AnsiCodePage(); }

bool OsSystemFacts::ComputerName(char* name) const { return ReadComputerNameInto(name); }

bool OsSystemFacts::IPv4Digits(char* digits, int16_t* status) const {
  return GetIPv4AddressHex(digits, status) != 0;
}

}  // namespace rk
