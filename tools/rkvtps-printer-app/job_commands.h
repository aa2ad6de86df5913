// What every route to the device shares: the job-control commands that go
// in front of the document, and how a job ends when it cannot print.
#pragma once

#include <pappl/pappl.h>

#include <string>

// The commands for `job`, from its printer's settings, its user and its
// client; what was cut or replaced is logged and shown in the job's message.
std::string ComposeJobCommands(pappl_job_t* job);

// Ends the job as aborted, saying why, unless it was cancelled: then it
// stops writing and PAPPL records the cancellation. Returns what a PAPPL
// callback returns for such a job (true only when cancelled).
bool AbortJob(pappl_job_t* job, pappl_jreason_t reason, const std::string& why);
