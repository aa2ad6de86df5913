// The client a job came from, kept beside the job in the server's spool
// so that a job printed after a restart still names its own. The file is
// the server's, but a disk, a crash or a hand can leave anything in it:
// it is read as strictly as text from the network.
#pragma once

#include <string>

#include "job_client.h"

// The record's one line: "local" for this machine, else the client's
// numeric address, then a line feed.
std::string FormatClientRecord(const JobClient& client);

// The client a record names. False, with `client` untouched, for anything
// but a line FormatClientRecord writes: another word, a name, a loopback
// or unspecified address, an address in any form but its shortest, more
// than one line, or none.
bool ParseClientRecord(const std::string& record, JobClient* client);
