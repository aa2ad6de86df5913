// The user name the owner commands carry when the caller gives none.
#pragma once

#include <cstdint>

namespace rk {

// The user name area, with its terminator.
inline constexpr uint32_t kUserNameCapacity = 40;

// The logged-on user's name into `name` (kUserNameCapacity bytes), or under
// the system account (or when it cannot be read) the machine's Winlogon
// default user, or "UnknownUser". Always terminated.
void ReadOwnerUserName(char* name);

}  // namespace rk
