// Where a job came from: the address of the connection it was submitted
// on, which the client cannot choose, as opposed to job-originating-host-
// name, which it can.
#pragma once

#include <pappl/pappl.h>

#include <string>

#include "job_client.h"

// Records the connection of the job just created (call from the event
// callback: PAPPL raises job-created on the thread of the client's
// connection) and forgets it once the job is done.
void RecordJobOrigin(pappl_job_t* job);
void ForgetJobOrigin(pappl_job_t* job);

// The client of `job`: the connection's address; a job from a peer the
// printer trusts may name its own (job-originating-host-name). A job with
// no recorded connection (one from before a restart) has no client.
JobClient FindJobClient(pappl_printer_t* printer, pappl_job_t* job, std::string* how);
