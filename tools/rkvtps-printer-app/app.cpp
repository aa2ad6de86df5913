#include "app.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "access.h"
#include "app_strings.h"
#include "job_origin.h"
#include "print_job.h"
#include "printer_settings.h"
#include "raster_job.h"
#include "text_forms.h"

namespace {

// The driver's own format: PAPPL hands it to the print-file callback.
constexpr char kDeviceFormat[] = "application/octet-stream";

// Besides the formats passed through, the images PAPPL would otherwise
// render itself. Each goes through the same pass-through, which checks the
// printer's list of formats its device takes. (Raster never reaches a
// filter: PAPPL reads it into the raster calls of raster_job.h.)
constexpr const char* kImageFormats[] = {"image/jpeg", "image/png"};

void AddPassThroughFilters(pappl_system_t* system) {
  for (const char* format : kPassThroughFormats) {
    if (std::strcmp(format, kDeviceFormat) != 0) {
      papplSystemAddMIMEFilter(system, format, kDeviceFormat, PassJobThrough, nullptr);
    }
  }
  for (const char* format : kImageFormats) {
    papplSystemAddMIMEFilter(system, format, kDeviceFormat, PassJobThrough, nullptr);
  }
}

// The device reports no supplies to the application: the printer says so
// (IPP Everywhere clients expect printer-supply) rather than make levels up.
bool ReportStatus(pappl_printer_t* printer) {
  if (papplPrinterGetSupplies(printer, 0, nullptr) == 0) {
    pappl_supply_t supply{};
    supply.color = PAPPL_SUPPLY_COLOR_NO_COLOR;
    std::snprintf(supply.description, sizeof(supply.description), "%s",
                  "Device supplies (not reported)");
    supply.level = -2;  // the printer MIB's "unknown"
    supply.type = PAPPL_SUPPLY_TYPE_OTHER;
    papplPrinterSetSupplies(printer, 1, &supply);
  }
  return true;
}

// The device has no way to be identified through the application: the
// request and its message go into the printer's log, where the
// administrator at the console sees them ("display").
void IdentifyPrinter(pappl_printer_t* printer, pappl_identify_actions_t, const char* message) {
  papplLogPrinter(printer, PAPPL_LOGLEVEL_INFO, "Identify-Printer: %s",
                  QuotedText(message != nullptr ? message : "", 256).c_str());
}

// A device that cannot be opened keeps PAPPL retrying, the printer
// stopped and the job processing with no word of why. The printer's page
// and the job's state then say so; the job prints once the device answers.
void MarkWaitingJob(pappl_job_t* job, void* data) {
  if (papplJobGetState(job) != IPP_JSTATE_PROCESSING) return;
  const char* uri = static_cast<const char*>(data);
  papplJobSetReasons(job, PAPPL_JREASON_PRINTER_STOPPED, PAPPL_JREASON_NONE);
  papplJobSetMessage(job, "Waiting for the device %s: it cannot be reached.", uri);
}

void MarkPrinterJobs(pappl_printer_t* printer, void*) {
  if (papplPrinterGetState(printer) != IPP_PSTATE_STOPPED) return;
  char uri[1024];
  const char* device_uri = papplPrinterGetDeviceURI(printer);
  std::snprintf(uri, sizeof(uri), "%s", device_uri != nullptr ? device_uri : "");
  papplPrinterIterateActiveJobs(printer, MarkWaitingJob, uri, 1, 1);
}

bool WatchDevices(pappl_system_t* system, void*) {
  papplSystemIteratePrinters(system, MarkPrinterJobs, nullptr);
  return true;
}

// A setting changed by IPP, the web form or the command line changes only
// a vendor default; the capabilities follow within a second.
bool FollowDeviceSettings(pappl_system_t* system, void*) {
  ApplyAllDeviceSettings(system);
  return true;
}

void FollowJobs(pappl_system_t*, pappl_printer_t*, pappl_job_t* job, pappl_event_t event, void*) {
  if (job == nullptr) return;
  if (event & PAPPL_EVENT_JOB_CREATED) RecordJobOrigin(job);
  if (event & PAPPL_EVENT_JOB_COMPLETED) ForgetJobOrigin(job);
}

// The printer's settings carry the project's own attribute names; without
// these strings its web page shows them raw ("rkvtps-owner-code-type").
void AddSettingLabels(pappl_system_t* system) {
  for (const AppStrings& strings : kAppStrings) {
    papplSystemAddStringsData(system, strings.path, strings.language, strings.text);
  }
}

pappl_loglevel_t ReadLogLevel(const char* value) {
  struct Level {
    const char* name;
    pappl_loglevel_t level;
  };
  static const Level kLevels[] = {{"fatal", PAPPL_LOGLEVEL_FATAL},
                                  {"error", PAPPL_LOGLEVEL_ERROR},
                                  {"warn", PAPPL_LOGLEVEL_WARN},
                                  {"info", PAPPL_LOGLEVEL_INFO},
                                  {"debug", PAPPL_LOGLEVEL_DEBUG}};
  for (const Level& level : kLevels) {
    if (value != nullptr && std::strcmp(value, level.name) == 0) return level.level;
  }
  return PAPPL_LOGLEVEL_WARN;
}

// Where PAPPL's own default system would spool: /var/spool/NAME for root,
// ~/.config/NAME.d for a user, else the temporary folder.
std::string DefaultSpoolDirectory() {
  if (getuid() == 0) return std::string("/var/spool/") + kAppName;
  if (const char* home = std::getenv("HOME")) {
    const std::string config = std::string(home) + "/.config";
    if (mkdir(config.c_str(), 0700) == 0 || errno == EEXIST) {
      return config + "/" + kAppName + ".d";
    }
  }
  return std::string(papplGetTempDir()) + "/" + kAppName + std::to_string(getuid()) + ".d";
}

}  // namespace

pappl_pr_driver_t* AppDrivers() {
  static pappl_pr_driver_t drivers[] = {{kDriverName, kDriverDescription, nullptr, nullptr}};
  return drivers;
}

bool MakeDriver(pappl_system_t*, const char* driver_name, const char*, const char*,
                pappl_pr_driver_data_t* driver, ipp_t** attributes, void*) {
  if (std::strcmp(driver_name, kDriverName) != 0) return false;
  std::snprintf(driver->make_and_model, sizeof(driver->make_and_model), "%s",
                "Generic Job-Control Printer");
  driver->printfile_cb = PrintJobFile;
  driver->format = kDeviceFormat;
  driver->rstartjob_cb = StartRasterJob;
  driver->rendjob_cb = EndRasterJob;
  driver->rstartpage_cb = StartRasterPage;
  driver->rendpage_cb = EndRasterPage;
  driver->rwriteline_cb = WriteRasterLine;
  driver->status_cb = ReportStatus;
  driver->identify_cb = IdentifyPrinter;
  driver->identify_supported = PAPPL_IDENTIFY_ACTIONS_DISPLAY;
  driver->identify_default = PAPPL_IDENTIFY_ACTIONS_DISPLAY;
  driver->ppm = 1;
  driver->kind = PAPPL_KIND_DOCUMENT;
  driver->orient_default = IPP_ORIENT_PORTRAIT;
  // A new printer's device as built in; its settings, once the printer
  // exists, are applied over this (ApplyDeviceSettings).
  *attributes = ippNew();
  DescribePrinter(ReadDeviceSettings(nullptr), driver, *attributes);
  return true;
}

pappl_system_t* MakeSystem(int option_count, cups_option_t* options, void*) {
  const auto option = [&](const char* name) { return cupsGetOption(name, option_count, options); };
  int port = 0;
  if (const char* value = option("server-port")) {
    char* end = nullptr;
    errno = 0;
    const long number = std::strtol(value, &end, 10);
    if (errno != 0 || *end != '\0' || number < 0 || number > 65535) {
      std::fprintf(stderr, "%s: bad server-port \"%s\"\n", kAppName, value);
      return nullptr;
    }
    port = static_cast<int>(number);
  }
  if (!CheckAccessOptions(option_count, options)) return nullptr;
  const char* spool = option("spool-directory");
  const std::string default_spool = spool != nullptr ? spool : DefaultSpoolDirectory();
  pappl_system_t* system =
      papplSystemCreate(PAPPL_SOPTIONS_MULTI_QUEUE | PAPPL_SOPTIONS_WEB_INTERFACE, kAppName, port,
                        "_print,_universal", default_spool.c_str(), option("log-file"),
                        ReadLogLevel(option("log-level")), option("auth-service"), false);
  if (system == nullptr) return nullptr;
  // The state holds printers, which need the driver: set here, so the main
  // loop leaves both to this system.
  papplSystemSetPrinterDrivers(system, 1, AppDrivers(), nullptr, nullptr, MakeDriver, nullptr);
  LoadStateWithAccess(system, option_count, options);
  if (const char* host = option("server-hostname")) papplSystemSetHostName(system, host);
  // Loopback unless told otherwise: a print server opens the application to
  // its network on purpose ("-o listen-hostname=*").
  if (option("private-server") == nullptr) {
    const char* listen = option("listen-hostname");
    papplSystemAddListeners(system, listen != nullptr ? listen : "localhost");
  }
  AddPassThroughFilters(system);
  AddSettingLabels(system);
  papplSystemSetEventCallback(system, FollowJobs, nullptr);
  ApplyAllDeviceSettings(system);
  papplSystemAddTimerCallback(system, std::time(nullptr) + 1, 1, FollowDeviceSettings, nullptr);
  papplSystemAddTimerCallback(system, std::time(nullptr) + 1, 2, WatchDevices, nullptr);
  return system;
}
