// A job on its way to the device: the commands, then the document's bytes
// as they came, as many times as the job asks for copies.
#pragma once

#include <pappl/pappl.h>

// PAPPL's print-file callback, for jobs in the driver's own format.
bool PrintJobFile(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device);

// The MIME filter for every other format the application passes through.
bool PassJobThrough(pappl_job_t* job, pappl_device_t* device, void* data);
