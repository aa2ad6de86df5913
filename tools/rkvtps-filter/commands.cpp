#include "commands.h"

#include <arpa/inet.h>

#include <cstdio>
#include <cstring>
#include <functional>

#include "platform.h"
#include "rkvtps32.h"
#include "status_names.h"
#include "text_forms.h"

namespace {

using Call = std::function<int32_t(char* buffer, uint16_t* size, int16_t* status)>;

// Calls an export with a buffer that fits every command. The wide owner
// export answers 1 even when it delivered nothing, so only a status of
// RK_STATUS_OK counts as delivered.
bool Deliver(const char* name, const Call& call, std::string* header,
             const std::string& separator) {
  char buffer[256] = {};
  uint16_t size = sizeof buffer;
  int16_t status = RK_STATUS_OK;
  const int32_t result = call(buffer, &size, &status);
  if (result != 1 || (status != RK_STATUS_OK && std::strcmp(name, "JOAU") == 0)) {
    std::fprintf(stderr, "WARNING: rkvtps-filter: @%s= left out: the library answered %s\n", name,
                 StatusName(status));
    return false;
  }
  if (status != RK_STATUS_OK) {
    std::fprintf(stderr, "INFO: rkvtps-filter: @%s= sent with status %s\n", name,
                 StatusName(status));
  }
  std::fprintf(stderr, "DEBUG: rkvtps-filter: sending %s\n", EscapedText(buffer).c_str());
  *header += buffer;
  *header += separator;
  return true;
}

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

// The N-up keyword of a selector, asked of the library; the selector of a
// keyword is found the same way.
int SelectorOf(const std::string& keyword) {
  char buffer[32];
  for (uint16_t selector = 0;; ++selector) {
    uint16_t size = sizeof buffer;
    int16_t status = 0;
    if (RKGetVTPSStringOfNup(selector, buffer, &size, &status) != 1) return -1;
    if (keyword == buffer + 6) return selector;  // after "@NLPP="
  }
}

std::string NupKeyword(const FilterSettings& s) {
  if (s.nup != "Auto" && (s.nup_from_job || s.number_up == 1)) return s.nup;
  if (s.number_up == 1) return "1";
  return "N" + std::to_string(s.number_up);
}

void AddOwner(const FilterSettings& s, const std::string& user, std::string* header) {
  const WideText owner = WideOrEmpty(user, "job's user name");
  if (owner.empty()) {
    std::fprintf(stderr, "WARNING: rkvtps-filter: @JOAU= left out: no user name\n");
    return;
  }
  Deliver(
      "JOAU",
      [&](char* b, uint16_t* size, int16_t* status) {
        return RKGetVTPSStringOfJobOwnerFromInputExW(s.code_type, owner.c_str(), s.tag_column,
                                                     s.tag_row, b, size, s.mask, status);
      },
      header, s.separator);
}

void AddClientName(const FilterSettings& s, bool local, std::string* header) {
  if (local) {
    Deliver(
        "CNAM",
        [&](char* b, uint16_t* size, int16_t* status) {
          return RKGetVTPSStringOfHostNameEx(s.code_type, b, size, s.mask, status);
        },
        header, s.separator);
    return;
  }
  const WideText name = WideOrEmpty(s.originating_host, "job-originating-host-name");
  Deliver(
      "CNAM",
      [&](char* b, uint16_t* size, int16_t* status) {
        return RKGetVTPSStringOfHostNameFromInputExW(s.code_type, name.c_str(), b, size, s.mask,
                                                     status);
      },
      header, s.separator);
}

void AddHostAddress(const FilterSettings& s, bool local, std::string* header) {
  if (local) {
    Deliver("HOAD", RKGetVTPSStringOfHostAddress, header, s.separator);
    return;
  }
  if (!IsNumericAddress(s.originating_host)) {
    std::fprintf(stderr,
                 "INFO: rkvtps-filter: @HOAD= left out: the job came from \"%s\", a name, and the "
                 "filter never waits on a resolver\n",
                 EscapedText(s.originating_host).c_str());
    return;
  }
  Deliver(
      "HOAD",
      [&](char* b, uint16_t* size, int16_t* status) {
        return RKGetVTPSStringOfHostAddressFromInputA(s.originating_host.c_str(), b, size, status);
      },
      header, s.separator);
}

void AddNup(const FilterSettings& s, std::string* header) {
  const std::string keyword = NupKeyword(s);
  const int selector = SelectorOf(keyword);
  if (selector < 0) {
    std::fprintf(stderr, "WARNING: rkvtps-filter: @NLPP= left out: no N-up keyword \"%s\"\n",
                 EscapedText(keyword).c_str());
    return;
  }
  Deliver(
      "NLPP",
      [&](char* b, uint16_t* size, int16_t* status) {
        return RKGetVTPSStringOfNup(static_cast<uint16_t>(selector), b, size, status);
      },
      header, s.separator);
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
