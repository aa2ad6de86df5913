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
#include "converter.h"
#include "job_origin.h"
#include "print_job.h"
#include "printer_settings.h"
#include "raster_job.h"
#include "text_forms.h"

namespace {

// The driver's own format: PAPPL hands it to the print-file callback.
constexpr char kDeviceFormat[] = "application/octet-stream";

// The spooled formats: each is passed through to a device that takes it,
// or converted (PDF and PostScript). JPEG and PNG have no filter here:
// PAPPL renders them itself into the raster calls, as it reads PWG and
// Apple raster.
void AddSpooledFormatFilters(pappl_system_t* system) {
  for (const char* format : kPassThroughFormats) {
    if (std::strcmp(format, kDeviceFormat) != 0) {
      papplSystemAddMIMEFilter(system, format, kDeviceFormat, PrintSpooledJob, nullptr);
    }
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

// A whole number from `least` to `most`; an option given with anything
// else stops the application, saying which.
bool ReadNumberOption(const char* value, const char* name, long least, long most, long* number) {
  if (value == nullptr) return true;
  char* end = nullptr;
  errno = 0;
  const long read = std::strtol(value, &end, 10);
  if (errno != 0 || end == value || *end != '\0' || read < least || read > most) {
    std::fprintf(stderr, "%s: bad %s \"%s\" (a whole number from %ld to %ld)\n", kAppName, name,
                 QuotedText(value).c_str(), least, most);
    return false;
  }
  *number = read;
  return true;
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
  long port = 0;
  long cpu_seconds = 120;
  long memory_mib = 1024;
  if (!ReadNumberOption(option("server-port"), "server-port", 0, 65535, &port) ||
      !ReadNumberOption(option("convert-cpu-seconds"), "convert-cpu-seconds", 1, 86400,
                        &cpu_seconds) ||
      !ReadNumberOption(option("convert-memory-mib"), "convert-memory-mib", 64, 1048576,
                        &memory_mib)) {
    return nullptr;
  }
  // Ghostscript reads documents from anyone who may print: each conversion
  // runs under these limits.
  SetDefaultConverterLimits({static_cast<unsigned>(cpu_seconds),
                             static_cast<unsigned long long>(memory_mib) * 1024 * 1024});
  if (!CheckAccessOptions(option_count, options)) return nullptr;
  const char* spool = option("spool-directory");
  const std::string default_spool = spool != nullptr ? spool : DefaultSpoolDirectory();
  pappl_system_t* system = papplSystemCreate(
      PAPPL_SOPTIONS_MULTI_QUEUE | PAPPL_SOPTIONS_WEB_INTERFACE, kAppName, static_cast<int>(port),
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
  AddSpooledFormatFilters(system);
  AddSettingLabels(system);
  papplSystemSetEventCallback(system, FollowJobs, nullptr);
  ApplyAllDeviceSettings(system);
  papplSystemAddTimerCallback(system, std::time(nullptr) + 1, 1, FollowDeviceSettings, nullptr);
  papplSystemAddTimerCallback(system, std::time(nullptr) + 1, 2, WatchDevices, nullptr);
  return system;
}
