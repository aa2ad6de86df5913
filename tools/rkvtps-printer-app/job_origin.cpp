#include "job_origin.h"

#include <dlfcn.h>
#include <sys/socket.h>

#include <map>
#include <mutex>
#include <utility>

#include "printer_settings.h"
#include "text_forms.h"

namespace {

// PAPPL 1.3 keeps a job's connection to itself: no job attribute and no
// callback of the print operations carries the client's address. Each
// connection is served on a thread of its own, though, which reads every
// request through libcups's httpReadRequest and raises job-created on the
// same thread. So the program remembers, per thread, the connection whose
// request it read last.
thread_local http_t* current_connection = nullptr;

struct Origin {
  bool local = false;
  std::string address;
};

std::mutex origins_mutex;
std::map<std::pair<int, int>, Origin> origins;  // by printer and job id

std::pair<int, int> KeyOf(pappl_job_t* job) {
  return {papplPrinterGetID(papplJobGetPrinter(job)), papplJobGetID(job)};
}

Origin OriginOf(http_t* connection) {
  Origin origin;
  http_addr_t* address = httpGetAddress(connection);
  if (address == nullptr) return origin;
  // The local socket is for this machine's own commands (submit, add).
  if (httpAddrFamily(address) == AF_LOCAL || httpAddrLocalhost(address)) {
    origin.local = true;
    return origin;
  }
  char text[256];
  if (httpAddrString(address, text, sizeof(text)) != nullptr) origin.address = text;
  return origin;
}

bool IsTrusted(const JobClient& peer, const std::vector<std::string>& trusted) {
  for (const std::string& entry : trusted) {
    const JobClient named = IdentifyJobClient(entry);
    if (named.local ? peer.local : !named.address.empty() && named.address == peer.address) {
      return true;
    }
  }
  return false;
}

}  // namespace

// Interposed on libcups (the program exports it, so libpappl's calls land
// here first): notes the connection, then reads the request as ever.
extern "C" http_state_t httpReadRequest(http_t* http, char* resource, size_t length) {
  using ReadRequest = http_state_t (*)(http_t*, char*, size_t);
  static const ReadRequest read_request =
      reinterpret_cast<ReadRequest>(dlsym(RTLD_NEXT, "httpReadRequest"));
  current_connection = http;
  return read_request != nullptr ? read_request(http, resource, length) : HTTP_STATE_ERROR;
}

void RecordJobOrigin(pappl_job_t* job) {
  if (current_connection == nullptr) return;
  const Origin origin = OriginOf(current_connection);
  const std::lock_guard<std::mutex> lock(origins_mutex);
  origins[KeyOf(job)] = origin;
}

void ForgetJobOrigin(pappl_job_t* job) {
  const std::lock_guard<std::mutex> lock(origins_mutex);
  origins.erase(KeyOf(job));
}

JobClient FindJobClient(pappl_printer_t* printer, pappl_job_t* job, std::string* how) {
  Origin origin;
  bool known = false;
  {
    const std::lock_guard<std::mutex> lock(origins_mutex);
    const auto found = origins.find(KeyOf(job));
    if (found != origins.end()) {
      origin = found->second;
      known = true;
    }
  }
  if (!known) {
    *how = "no connection recorded for the job (submitted before a restart)";
    return JobClient{};
  }
  JobClient peer;
  peer.local = origin.local;
  if (!origin.local) peer = IdentifyJobClient(origin.address);
  ipp_attribute_t* named = papplJobGetAttribute(job, "job-originating-host-name");
  if (named != nullptr && IsTrusted(peer, ReadTrustedPeers(printer))) {
    const char* host = ippGetString(named, 0, nullptr);
    *how = "named by the trusted peer \"" +
           QuotedText(origin.local ? "localhost" : origin.address) + "\"";
    return IdentifyJobClient(host != nullptr ? host : "");
  }
  *how = origin.local ? "the connection from this machine"
                      : "the connection from \"" + QuotedText(origin.address) + "\"";
  return peer;
}
