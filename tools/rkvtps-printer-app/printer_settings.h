// A printer's settings: vendor attributes of the driver, so PAPPL keeps them
// in its state, shows them on the printer's page and lets only the
// administrator change them (Set-Printer-Attributes, the web form).
#pragma once

#include <pappl/pappl.h>

#include <string>
#include <vector>

#include "device_settings.h"
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

// The device's settings among a printer's driver attributes (built-in ones
// where `attributes` has none, as for a new printer).
DeviceSettings ReadDeviceSettings(ipp_t* attributes);

// The driver data and attributes for a device with `settings`: its
// capabilities, the settings themselves and the formats clients may send.
void DescribePrinter(const DeviceSettings& settings, pappl_pr_driver_data_t* driver,
                     ipp_t* attributes);

// Makes the printer's capabilities follow its device's settings, keeping
// every setting's value; true when they changed. PAPPL keeps driver data
// fixed once made, and a setting changes only a vendor default: this runs
// after the state loads and then on a timer, outside PAPPL's locks (an
// event callback holds the printer's lock, which setting the driver data
// takes). Nothing changes when the capabilities already follow.
bool ApplyDeviceSettings(pappl_printer_t* printer);
void ApplyAllDeviceSettings(pappl_system_t* system);

// The formats the application passes through to a device that takes them.
// Not raster: PAPPL 1.3 reads PWG and Apple raster jobs from the client
// line by line into the driver's raster calls, so their bytes never reach a
// pass-through.
extern const char* const kPassThroughFormats[4];
