// The printer application around PAPPL's main loop: its one driver, and the
// system it serves.
#pragma once

#include <pappl/pappl.h>

inline constexpr char kAppName[] = "rkvtps-printer-app";
inline constexpr char kDriverName[] = "rkvtps_generic";
inline constexpr char kDriverDescription[] = "generic printer with job-control commands";

// The application's one driver, for PAPPL's main loop and the system.
pappl_pr_driver_t* AppDrivers();

// PAPPL's driver callback: the driver's data and attributes for a printer.
bool MakeDriver(pappl_system_t* system, const char* driver_name, const char* device_uri,
                const char* device_id, pappl_pr_driver_data_t* driver, ipp_t** attributes,
                void* data);

// PAPPL's system callback: the system the server subcommand runs, from the
// same options as PAPPL's own, but listening on loopback unless told
// otherwise, with "lpadmin" as admin group unless told otherwise, and the
// access options applied over the saved state (see access.h).
pappl_system_t* MakeSystem(int option_count, cups_option_t* options, void* data);
