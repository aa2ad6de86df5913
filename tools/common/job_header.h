// The job-control commands a program puts in front of a print job.
#pragma once

#include <string>

#include "job_client.h"
#include "job_settings.h"

// The commands in the order the settings ask, each followed by the
// separator, for the job's `user` printing from `client`. Every command
// keeps the rule for untrusted text: the job's user and client are refused
// where their command would break it. A command the library refuses is left
// out with a WARNING note; the job prints all the same.
std::string ComposeJobHeader(const JobSettings& settings, const std::string& user,
                             const JobClient& client, JobNotes* notes);
