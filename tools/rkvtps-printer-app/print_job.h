// A spooled job on its way to the device: the commands, then the document
// as it came when the device takes its format, else as Ghostscript
// converted it; as many times as the job asks for copies.
#pragma once

#include <pappl/pappl.h>

// PAPPL's print-file callback, for jobs in the driver's own format.
bool PrintJobFile(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device);

// The MIME filter for every other spooled format (PDF, PostScript, PCL).
bool PrintSpooledJob(pappl_job_t* job, pappl_device_t* device, void* data);
