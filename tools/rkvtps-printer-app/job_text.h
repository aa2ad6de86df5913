// Text a client sends with its requests (a job's name, its user, its
// document's name), as the server keeps it.
#pragma once

#include <cups/ipp.h>

// Every text and name value of `request`, in collections too, escaped as
// EscapeJobText does, within IPP's limits for its type. PAPPL shows these
// values to other clients (Get-Jobs), on the administrator's terminal
// (the jobs subcommand), in its log, and writes them into its state file
// one line a job: a control byte in any of them would act on a terminal,
// make every other job's list unreadable to a strict client, or split a
// line of the state file and lose the jobs after it.
void EscapeRequestText(ipp_t* request);
