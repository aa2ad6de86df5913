// The job-control commands the filter puts in front of a job.
#pragma once

#include <string>

#include "filter_log.h"
#include "settings.h"

// The commands in the order the settings ask, each followed by the
// separator. Every command keeps the rule for untrusted text: the job's
// user and client are refused where their command would break it. A
// command the library refuses is left out with a WARNING: line; the job
// prints all the same.
std::string ComposeHeader(const FilterSettings& settings, const std::string& user, FilterLog* log);
