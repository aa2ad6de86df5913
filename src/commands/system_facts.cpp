#include "commands/system_facts.h"

#include "commands/text.h"

namespace rk {
namespace {

const GivenSystemFacts& Given(const SystemFacts& self) {
  return static_cast<const GivenSystemFacts&>(self);
}

unsigned GivenCodePage(const SystemFacts& self) { return Given(self).code_page; }

bool GivenComputerName(const SystemFacts& self, char* name) {
  const char* text = Given(self).computer_name_text;
  return text != nullptr && CopyText(name, kComputerNameCapacity, text);
}

bool GivenIPv4Digits(const SystemFacts& self, char* digits, int16_t* status) {
  const GivenSystemFacts& given = Given(self);
  const char* text = given.ipv4_digits_text;
  if (text == nullptr || TextLengthUpTo(text, kIPv4Digits) != kIPv4Digits) {
    *status = text == nullptr ? given.ipv4_failure : RK_STATUS_BAD_ADDRESS;
    return false;
  }
  return CopyText(digits, kIPv4DigitsCapacity, text);
}

}  // namespace

GivenSystemFacts::GivenSystemFacts()
    : SystemFacts{GivenCodePage, GivenComputerName, GivenIPv4Digits} {}

}  // namespace rk
