// The client a print job came from, as the print server names it.
#pragma once

#include <string>

struct JobClient {
  bool local = false;   // this machine: its own name and address are sent
  std::string address;  // numeric address text for the address command; empty for a name
  std::string name;     // what the client-name command carries
};

// From cupsd's job-originating-host-name: "localhost", a host name, an
// IPv4 address, or an IPv6 address in URI form ("[v1.fd00::10]",
// "[v1.fe80::1+eth0]"), and the plain forms a job may give. An IPv6 form
// of an IPv4 address (::ffff:192.0.2.7) is that IPv4 client; loopback in
// any form, and an empty name, are this machine. A zone names an interface
// of the server, nothing the printer could use, and is dropped.
JobClient IdentifyJobClient(const std::string& host);

// A client another server names for its own client (a trusted peer's
// job-originating-host-name), which can only ever be another machine: an
// empty name, "localhost", a loopback or unspecified address, and a name
// that is no host name (letters, digits, "-", "_" and dots, at most 255)
// nor address are refused, with `why` saying so, and `client` untouched.
bool IdentifyNamedJobClient(const std::string& host, JobClient* client, std::string* why);
