#include "job_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <cctype>
#include <cstring>

namespace {

// "[v1.ADDR]" and "[ADDR]" to ADDR; anything else unchanged.
std::string StripBrackets(const std::string& host) {
  if (host.size() < 2 || host.front() != '[' || host.back() != ']') return host;
  std::string inner = host.substr(1, host.size() - 2);
  if (inner.compare(0, 3, "v1.") == 0) inner.erase(0, 3);
  return inner;
}

std::string IPv4Text(const in_addr& address) {
  char text[INET_ADDRSTRLEN];
  return inet_ntop(AF_INET, &address, text, sizeof text) != nullptr ? text : "";
}

bool IsHostName(const std::string& host) {
  if (host.empty() || host.size() > 255) return false;
  for (unsigned char c : host) {
    if (!std::isalnum(c) && c != '-' && c != '_' && c != '.') return false;
  }
  return true;
}

JobClient FromIPv4(const in_addr& address) {
  JobClient client;
  client.local = (ntohl(address.s_addr) >> 24) == 127;
  client.address = client.name = IPv4Text(address);
  return client;
}

}  // namespace

JobClient IdentifyJobClient(const std::string& host) {
  JobClient client;
  if (host.empty() || host == "localhost") {
    client.local = true;
    return client;
  }
  in_addr ipv4{};
  if (inet_pton(AF_INET, host.c_str(), &ipv4) == 1) return FromIPv4(ipv4);

  std::string bare = StripBrackets(host);
  bare = bare.substr(0, bare.find_first_of("+%"));  // the zone, in cupsd's form or the usual one
  in6_addr ipv6{};
  if (bare.find(':') != std::string::npos && inet_pton(AF_INET6, bare.c_str(), &ipv6) == 1) {
    if (IN6_IS_ADDR_V4MAPPED(&ipv6)) {
      std::memcpy(&ipv4, &ipv6.s6_addr[12], sizeof ipv4);
      return FromIPv4(ipv4);
    }
    char text[INET6_ADDRSTRLEN];
    client.local = IN6_IS_ADDR_LOOPBACK(&ipv6);
    if (inet_ntop(AF_INET6, &ipv6, text, sizeof text) != nullptr) client.address = text;
    client.name = client.address;
    return client;
  }
  // A name: sent as the client's name once the rule for untrusted text
  // allows it; no address, since the filter never waits on a resolver.
  client.name = host;
  return client;
}

bool IdentifyNamedJobClient(const std::string& host, JobClient* client, std::string* why) {
  if (host.empty()) {
    *why = "it is empty";
    return false;
  }
  const JobClient named = IdentifyJobClient(host);
  if (named.local) {
    *why = "it names this machine, which only a connection from it can be";
    return false;
  }
  if (named.address == "0.0.0.0" || named.address == "::") {
    *why = "it is the unspecified address";
    return false;
  }
  if (named.address.empty() && !IsHostName(named.name)) {
    *why = "it is neither a host name nor an address";
    return false;
  }
  *client = named;
  return true;
}
