// The filter's settings: the job's options, else the queue's PPD defaults.
#pragma once

#include <cups/cups.h>
#include <cups/ppd.h>

#include "filter_log.h"
#include "job_settings.h"

// A PPD default that names none of its option's choices is reported with a
// WARNING: line and the built-in default is used; so is a value that makes
// no sense.
JobSettings ReadSettings(int option_count, cups_option_t* options, ppd_file_t* ppd, FilterLog* log);

// The job's header, its notes added to the filter's log.
std::string ComposeHeader(const JobSettings& settings, const std::string& user, FilterLog* log);
