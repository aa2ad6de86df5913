// PAPPL's raster calls: PWG and Apple raster jobs (read from the client
// line by line) and the JPEG and PNG images PAPPL renders, written in the
// device's own language with the job's commands in front.
#pragma once

#include <pappl/pappl.h>

bool StartRasterJob(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device);
bool StartRasterPage(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device,
                     unsigned page);
bool WriteRasterLine(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device,
                     unsigned y, const unsigned char* line);
bool EndRasterPage(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device,
                   unsigned page);
// Finishes the document, or sends nothing more when the job failed or was
// cancelled; frees what StartRasterJob set up, whatever happened.
bool EndRasterJob(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device);
