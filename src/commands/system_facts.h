// What the operating system tells a composition: the ANSI code page, the
// computer's name, the host's IPv4 address. The command logic never asks
// the system itself; it asks this interface, and only when a composition
// needs the answer (the code page only for a cut, the address only for an
// address part with no address text), so that the library's exports make no
// call a caller has not always seen them make. A program that knows the
// answers gives them as values (GivenSystemFacts).
#pragma once

#include <cstddef>
#include <cstdint>

#include "facts/command_facts.h"
#include "rkvtps32.h"

namespace rk {

// The computer name area the commands read into, with its terminator.
inline constexpr size_t kComputerNameCapacity = 40;
// The IPv4 digits and their NUL.
inline constexpr size_t kIPv4DigitsCapacity = kIPv4Digits + 1;
inline constexpr size_t kIPv6DigitsCapacity = kIPv6Digits + 1;

// Calls through pointers rather than virtual functions: the library is
// built for Windows on ARM64 without a C++ runtime, which a vtable's
// type information and pure-virtual handler would need.
struct SystemFacts {
  // The ANSI code page whose lead bytes a cut keeps whole.
  unsigned (*ansi_code_page)(const SystemFacts& self);
  // The computer name into `name` (kComputerNameCapacity bytes), always
  // terminated; false when it cannot be read.
  bool (*computer_name)(const SystemFacts& self, char* name);
  // The host's IPv4 address as 8 upper-case hexadecimal digits into
  // `digits` (kIPv4DigitsCapacity bytes); false with the reason in `status`
  // when it cannot be found.
  bool (*ipv4_digits)(const SystemFacts& self, char* digits, int16_t* status);

  unsigned AnsiCodePage() const { return ansi_code_page(*this); }
  bool ComputerName(char* name) const { return computer_name(*this, name); }
  bool IPv4Digits(char* digits, int16_t* status) const {
    return ipv4_digits(*this, digits, status);
  }
};

// The answers as values, for programs and tests.
struct GivenSystemFacts : SystemFacts {
  GivenSystemFacts();

  unsigned code_page = 1252;
  const char* computer_name_text = nullptr;  // null: it cannot be read
  const char* ipv4_digits_text = nullptr;    // null: discovery fails with ipv4_failure
  int16_t ipv4_failure = RK_STATUS_GENERAL_ERROR;
};

}  // namespace rk
