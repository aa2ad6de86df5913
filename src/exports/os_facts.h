// The command logic's questions to the system, answered by the platform's
// provider (src/os) and the host discovery (src/host): what the exports
// hand every composition.
#pragma once

#include "commands/system_facts.h"

namespace rk {

struct OsSystemFacts : SystemFacts {
  OsSystemFacts();
};

}  // namespace rk
