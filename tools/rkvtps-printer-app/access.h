// Who may steer the application from another machine: the administrators'
// group, the group allowed to print when printing needs authentication,
// and the state they are kept in.
#pragma once

#include <pappl/pappl.h>

// Debian's group of print administrators, the admin group when neither the
// options nor the saved state name one.
inline constexpr char kDefaultAdminGroup[] = "lpadmin";

// Checks the access options: a print group needs an authentication
// service, and a group named in the options must exist. Prints why not.
bool CheckAccessOptions(int option_count, cups_option_t* options);

// Loads the saved state, then applies the access options over it: the
// options given on the command line win over what the state remembers,
// and the state is saved where PAPPL's own main loop keeps it. Printers
// are loaded from the state, so the drivers must be set before.
void LoadStateWithAccess(pappl_system_t* system, int option_count, cups_option_t* options);
