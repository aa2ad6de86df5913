#include "exports/os_facts.h"

#include "host/computer_name.h"
#include "host/discovery.h"
#include "os/os.h"

namespace rk {
namespace {

unsigned SystemCodePage(const SystemFacts&) { return os::AnsiCodePage(); }

bool SystemComputerName(const SystemFacts&, char* name) { return ReadComputerNameInto(name); }

bool SystemIPv4Digits(const SystemFacts&, char* digits, int16_t* status) {
  return GetIPv4AddressHex(digits, status) != 0;
}

}  // namespace

OsSystemFacts::OsSystemFacts()
    : SystemFacts{SystemCodePage, SystemComputerName, SystemIPv4Digits} {}

}  // namespace rk
