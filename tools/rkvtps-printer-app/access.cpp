#include "access.h"

#include <grp.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app.h"

namespace {

// PAPPL's word for "no group": any authenticated user for the admin
// group, printing open to everyone for the print group.
constexpr char kNoGroup[] = "none";

bool GroupExists(const char* name) {
  return std::string(name) == kNoGroup || getgrnam(name) != nullptr;
}

// Where PAPPL's main loop keeps the state when it loads it itself:
// /var/lib/NAME.state for root, $XDG_CONFIG_HOME or ~/.config for a user,
// else the temporary folder.
std::string StateFilePath() {
  const std::string file = std::string(kAppName) + ".state";
  if (getuid() == 0) return "/var/lib/" + file;
  if (const char* config = std::getenv("XDG_CONFIG_HOME")) {
    if (access(config, X_OK) == 0) return std::string(config) + "/" + file;
  }
  if (const char* home = std::getenv("HOME")) {
    const std::string config = std::string(home) + "/.config";
    if (access(config.c_str(), X_OK) == 0) return config + "/" + file;
  }
  return std::string(papplGetTempDir()) + "/" + kAppName + std::to_string(getuid()) + ".state";
}

bool SaveState(pappl_system_t* system, void* path) {
  return papplSystemSaveState(system, static_cast<const char*>(path));
}

void SetPrintGroup(pappl_printer_t* printer, void* group) {
  papplPrinterSetPrintGroup(printer, static_cast<const char*>(group));
}

void ApplyAccessOptions(pappl_system_t* system, int option_count, cups_option_t* options) {
  char current[256];
  if (const char* group = cupsGetOption("admin-group", option_count, options)) {
    papplSystemSetAdminGroup(system, group);
  } else if (papplSystemGetAdminGroup(system, current, sizeof(current)) == nullptr) {
    // Without a group every user the authentication service knows would be
    // an administrator.
    papplSystemSetAdminGroup(system, kDefaultAdminGroup);
  }
  if (const char* group = cupsGetOption("print-group", option_count, options)) {
    papplSystemSetDefaultPrintGroup(system, group);
    papplSystemIteratePrinters(system, SetPrintGroup, const_cast<char*>(group));
  }
}

}  // namespace

bool CheckAccessOptions(int option_count, cups_option_t* options) {
  const char* print_group = cupsGetOption("print-group", option_count, options);
  if (print_group != nullptr && std::string(print_group) != kNoGroup &&
      cupsGetOption("auth-service", option_count, options) == nullptr) {
    std::fprintf(stderr, "%s: print-group needs auth-service: nobody could authenticate\n",
                 kAppName);
    return false;
  }
  for (const char* name : {"admin-group", "print-group"}) {
    const char* group = cupsGetOption(name, option_count, options);
    if (group != nullptr && !GroupExists(group)) {
      std::fprintf(stderr, "%s: %s \"%s\" is not a group on this system\n", kAppName, name, group);
      return false;
    }
  }
  return true;
}

void LoadStateWithAccess(pappl_system_t* system, int option_count, cups_option_t* options) {
  // PAPPL keeps the path it saves to; it must outlive the system.
  static std::string state_file;
  state_file = StateFilePath();
  papplSystemLoadState(system, state_file.c_str());
  ApplyAccessOptions(system, option_count, options);
  papplSystemSetSaveCallback(system, SaveState, state_file.data());
}
