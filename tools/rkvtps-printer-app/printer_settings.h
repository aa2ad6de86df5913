// A printer's settings: vendor attributes of the driver, so PAPPL keeps them
// in its state, shows them on the printer's page and lets only the
// administrator change them (Set-Printer-Attributes, the web form).
#pragma once

#include <pappl/pappl.h>

#include <string>
#include <vector>

#include "job_settings.h"

// The driver's vendor attributes: names, -supported and -default values.
void AddSettingAttributes(pappl_pr_driver_data_t* driver, ipp_t* attributes);

// What a job on `printer` sends. The printer's settings are the
// administrator's: of the job's own attributes only the N-up ones
// (number-up and rkvtps-nup) count.
JobSettings ReadPrinterSettings(pappl_printer_t* printer, pappl_job_t* job, JobNotes* notes);

// The addresses whose jobs may name their own client
// (job-originating-host-name): a print server forwarding its clients' jobs.
std::vector<std::string> ReadTrustedPeers(pappl_printer_t* printer);

// The document formats the device takes.
std::vector<std::string> ReadDeviceFormats(pappl_printer_t* printer);

// The formats the application passes through to a device that takes them.
// Not raster: PAPPL 1.3 reads PWG and Apple raster jobs from the client
// line by line into the driver's raster calls, so their bytes never reach a
// pass-through.
extern const char* const kPassThroughFormats[4];
