#include "commands.h"

#include <arpa/inet.h>

#include <cstdio>
#include <vector>

#include "calls.h"
#include "platform.h"
#include "rkvtps32.h"
#include "status_names.h"
#include "text_forms.h"

namespace {

// Adds a delivered command and its separator to the header; a refused one
// is left out with the library's status. The tool's calls decide what
// counts as delivered (the wide owner export answers 1 even when it
// delivered nothing).
void Deliver(const char* name, const Outcome& outcome, std::string* header,
             const std::string& separator) {
  if (!outcome.delivered) {
    std::fprintf(stderr, "WARNING: rkvtps-filter: @%s= left out: the library answered %s\n", name,
                 StatusName(outcome.status));
    return;
  }
  if (outcome.status != RK_STATUS_OK) {
    std::fprintf(stderr, "INFO: rkvtps-filter: @%s= sent with status %s\n", name,
                 StatusName(outcome.status));
  }
  std::fprintf(stderr, "DEBUG: rkvtps-filter: sending %s\n", EscapedText(outcome.command).c_str());
  *header += outcome.command;
  *header += separator;
}

// Room for every command the library makes.
constexpr uint16_t kCapacity = 256;

// "localhost", 127.x and ::1: the job came from this machine.
bool IsLocalHost(const std::string& host) {
  if (host.empty() || host == "localhost" || host == "::1" || host == "[::1]") return true;
  in_addr ipv4{};
  return inet_pton(AF_INET, host.c_str(), &ipv4) == 1 && (ntohl(ipv4.s_addr) >> 24) == 127;
}

bool IsNumericAddress(const std::string& host) {
  in_addr ipv4{};
  in6_addr ipv6{};
  const std::string bare = host.substr(0, host.find('%'));  // fe80::1%eth0
  return inet_pton(AF_INET, host.c_str(), &ipv4) == 1 ||
         inet_pton(AF_INET6, bare.c_str(), &ipv6) == 1;
}

WideText WideOrEmpty(const std::string& utf8, const char* what) {
  WideText wide;
  size_t bad = 0;
  if (!DecodeUtf8(utf8, &wide, &bad)) {
    std::fprintf(stderr, "WARNING: rkvtps-filter: the %s is not UTF-8 (byte %zu)\n", what, bad);
    wide.clear();
  }
  return wide;
}

// The selector of an N-up keyword, from the library's own keywords.
int SelectorOf(const std::string& keyword) {
  const std::vector<std::string> keywords = NupKeywords();
  for (size_t selector = 0; selector < keywords.size(); ++selector) {
    if (keywords[selector] == keyword) return static_cast<int>(selector);
  }
  return -1;
}

std::string NupKeyword(const FilterSettings& s) {
  if (s.nup != "Auto" && (s.nup_from_job || s.number_up == 1)) return s.nup;
  if (s.number_up == 1) return "1";
  return "N" + std::to_string(s.number_up);
}

void AddOwner(const FilterSettings& s, const std::string& user, std::string* header) {
  OwnerRequest request;
  request.code_type = s.code_type;
  request.tag_column = s.tag_column;
  request.tag_row = s.tag_row;
  request.mask = s.mask;
  request.owner.wide_text = WideOrEmpty(user, "job's user name");
  if (request.owner.wide_text.empty()) {
    std::fprintf(stderr, "WARNING: rkvtps-filter: @JOAU= left out: no user name\n");
    return;
  }
  request.owner.given = request.owner.wide = true;
  Deliver("JOAU", CallOwner(request, kCapacity), header, s.separator);
}

void AddClientName(const FilterSettings& s, bool local, std::string* header) {
  ClientNameRequest request;
  request.code_type = s.code_type;
  request.mask = s.mask;
  if (!local) {
    request.name.given = request.name.wide = true;
    request.name.wide_text = WideOrEmpty(s.originating_host, "job-originating-host-name");
  }
  Deliver("CNAM", CallClientName(request, kCapacity), header, s.separator);
}

void AddHostAddress(const FilterSettings& s, bool local, std::string* header) {
  if (!local && !IsNumericAddress(s.originating_host)) {
    std::fprintf(stderr,
                 "INFO: rkvtps-filter: @HOAD= left out: the job came from \"%s\", a name, and the "
                 "filter never waits on a resolver\n",
                 EscapedText(s.originating_host).c_str());
    return;
  }
  Deliver("HOAD", CallHostAddress(local ? nullptr : &s.originating_host, kCapacity), header,
          s.separator);
}

void AddNup(const FilterSettings& s, std::string* header) {
  const std::string keyword = NupKeyword(s);
  const int selector = SelectorOf(keyword);
  if (selector < 0) {
    std::fprintf(stderr, "WARNING: rkvtps-filter: @NLPP= left out: no N-up keyword \"%s\"\n",
                 EscapedText(keyword).c_str());
    return;
  }
  Deliver("NLPP", CallNup(static_cast<uint16_t>(selector), kCapacity), header, s.separator);
}

}  // namespace

std::string ComposeHeader(const FilterSettings& s, const std::string& user) {
  const bool local = !s.client_from_job || IsLocalHost(s.originating_host);
  std::fprintf(stderr, "DEBUG: rkvtps-filter: client %s\n",
               local ? "this machine" : EscapedText(s.originating_host).c_str());
  std::string header;
  for (const std::string& command : s.commands) {
    if (command == "JOAU") AddOwner(s, user, &header);
    if (command == "CNAM") AddClientName(s, local, &header);
    if (command == "HOAD") AddHostAddress(s, local, &header);
    if (command == "NLPP") AddNup(s, &header);
  }
  return header;
}
