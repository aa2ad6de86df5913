#include "client_record.h"

#include <arpa/inet.h>
#include <netinet/in.h>

namespace {

constexpr char kLocal[] = "local";

// The text inet_ntop writes for `text`, or empty when `text` is no numeric
// address of its family.
std::string ShortestForm(int family, const std::string& text) {
  unsigned char address[sizeof(in6_addr)];
  char shortest[INET6_ADDRSTRLEN];
  if (inet_pton(family, text.c_str(), address) != 1) return "";
  if (inet_ntop(family, address, shortest, sizeof shortest) == nullptr) return "";
  return shortest;
}

}  // namespace

std::string FormatClientRecord(const JobClient& client) {
  return (client.local ? std::string(kLocal) : client.address) + "\n";
}

bool ParseClientRecord(const std::string& record, JobClient* client) {
  // An address is at most INET6_ADDRSTRLEN - 1 characters; anything
  // longer is refused before any of it is looked at.
  if (record.size() < 2 || record.size() > INET6_ADDRSTRLEN || record.back() != '\n') return false;
  const std::string line = record.substr(0, record.size() - 1);
  if (line == kLocal) {
    *client = JobClient{};
    client->local = true;
    return true;
  }
  const int family = line.find(':') != std::string::npos ? AF_INET6 : AF_INET;
  if (line.empty() || ShortestForm(family, line) != line) return false;
  const JobClient read = IdentifyJobClient(line);
  // The connection from this machine is recorded as such; an address that
  // names it, or none (0.0.0.0, ::), is no record this server wrote.
  if (read.local || read.address != line || line == "0.0.0.0" || line == "::") return false;
  *client = read;
  return true;
}
