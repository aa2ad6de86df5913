#include "host/computer_name.h"

#include "os/os.h"

namespace rk {

bool ReadComputerNameInto(char* name) {
  uint32_t capacity = kComputerNameCapacity;
  if (!os::ReadComputerName(name, &capacity)) return false;
  name[kComputerNameCapacity - 1] = '\0';
  return true;
}

}  // namespace rk
