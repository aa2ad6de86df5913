// Where a job came from: the address of the connection it was submitted
// on, which the client cannot choose, as opposed to job-originating-host-
// name, which it can.
#pragma once

#include <pappl/pappl.h>

#include <string>

#include "job_client.h"

// Records the connection of the job just created in a file beside the job
// in the spool folder, so that a job printed after a restart still has it
// (call from the event callback: PAPPL raises job-created on the thread of
// the client's connection), and removes the record once the job is done.
void RecordJobOrigin(pappl_job_t* job);
void ForgetJobOrigin(pappl_job_t* job);

// The client of `job`: the recorded connection's address; a job from a
// peer the printer trusts may name another machine as its client
// (job-originating-host-name), never this one. A job with no readable
// record has no client; `how` says which it was, or why none.
JobClient FindJobClient(pappl_printer_t* printer, pappl_job_t* job, std::string* how);
