#include "printer_facts.h"

#include "rkvtps32_private.h"

namespace {

unsigned PrinterCodePage(const rk::SystemFacts& self) {
  return static_cast<const PrinterFacts&>(self).code_page;
}

bool HostComputerName(const rk::SystemFacts&, char* name) {
  return rkvtps32_private_computer_name(name) != 0;
}

bool HostIPv4Digits(const rk::SystemFacts&, char* digits, int16_t* status) {
  return rkvtps32_private_ipv4_digits(digits, status) != 0;
}

}  // namespace

PrinterFacts::PrinterFacts(unsigned printer_code_page)
    : rk::SystemFacts{PrinterCodePage, HostComputerName, HostIPv4Digits},
      code_page(printer_code_page) {}
