// The command logic's questions to the system, answered by the platform's
// provider (src/os) and the host discovery (src/host): what the exports
// hand every composition.
#pragma once

#include "commands/system_facts.h"

namespace rk {

class OsSystemFacts final : public SystemFacts {
 public:
  unsigned AnsiCodePage() const override;
  bool ComputerName(char* name) const override;
  bool IPv4Digits(char* digits, int16_t* status) const override;
};

}  // namespace rk
