#include "commands/system_facts.h"

#include "commands/text.h"

namespace rk {

bool GivenSystemFacts::ComputerName(char* name) const {
  return computer_name != nullptr && CopyText(name, kComputerNameCapacity, computer_name);
}

bool GivenSystemFacts::IPv4Digits(char* digits, int16_t* status) const {
  if (ipv4_digits == nullptr || TextLengthUpTo(ipv4_digits, kIPv4Digits) != kIPv4Digits) {
    *status = ipv4_digits == nullptr ? ipv4_failure : RK_STATUS_BAD_ADDRESS;
    return false;
  }
  return CopyText(digits, kIPv4DigitsCapacity, ipv4_digits);
}

}  // namespace rk
