// The filter's messages for cupsd, gathered before they are written, so a
// caller other than main (a test, a fuzz target) can read them.
#pragma once

#include <string>
#include <vector>

// "LEVEL: rkvtps-filter: message" lines; LEVEL is one cupsd logs by
// (ERROR, WARNING, INFO, DEBUG). Whatever a message quotes from a job or a
// PPD is escaped by its maker, so each stays one line.
using FilterLog = std::vector<std::string>;

inline void AddLogLine(FilterLog* log, const char* level, const std::string& message) {
  log->push_back(std::string(level) + ": rkvtps-filter: " + message);
}
