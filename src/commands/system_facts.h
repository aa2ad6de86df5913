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

class SystemFacts {
 public:
  // The ANSI code page whose lead bytes a cut keeps whole.
  virtual unsigned AnsiCodePage() const = 0;
  // The computer name into `name` (kComputerNameCapacity bytes), always
  // terminated; false when it cannot be read.
  virtual bool ComputerName(char* name) const = 0;
  // The host's IPv4 address as 8 upper-case hexadecimal digits into
  // `digits` (kIPv4DigitsCapacity bytes); false with the reason in
  // `status` when it cannot be found.
  virtual bool IPv4Digits(char* digits, int16_t* status) const = 0;

 protected:
  ~SystemFacts() = default;
};

// The answers as values, for programs and tests.
class GivenSystemFacts final : public SystemFacts {
 public:
  unsigned code_page = 1252;
  const char* computer_name = nullptr;  // null: it cannot be read
  const char* ipv4_digits = nullptr;    // null: discovery fails with ipv4_failure
  int16_t ipv4_failure = RK_STATUS_GENERAL_ERROR;

  unsigned AnsiCodePage() const override { return code_page; }
  bool ComputerName(char* name) const override;
  bool IPv4Digits(char* digits, int16_t* status) const override;
};

}  // namespace rk
