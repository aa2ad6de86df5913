#include "job_origin.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "client_record.h"
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

// The record beside the job's spool file: PAPPL names it after the job and
// keeps it in the spool folder, which outlives a restart.
constexpr char kRecordExtension[] = "origin";

// A record is one short line; reading a little more shows one that is not.
constexpr size_t kMostRecordBytes = 128;

JobClient ClientOf(http_t* connection) {
  JobClient client;
  http_addr_t* address = httpGetAddress(connection);
  if (address == nullptr) return client;
  // The local socket is for this machine's own commands (submit, add).
  if (httpAddrFamily(address) == AF_LOCAL || httpAddrLocalhost(address)) {
    client.local = true;
    return client;
  }
  char text[256];
  if (httpAddrString(address, text, sizeof(text)) != nullptr) client = IdentifyJobClient(text);
  return client;
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

// The record holds nothing but "local" and addresses.
std::string Describe(const JobClient& client) {
  return client.local ? "this machine" : client.address;
}

// What the job's record says, or why there is nothing to go by.
bool ReadRecord(pappl_job_t* job, JobClient* client, std::string* why) {
  char path[1024];
  const int fd = papplJobOpenFile(job, path, sizeof(path), nullptr, kRecordExtension, "r");
  if (fd < 0) {
    *why = errno == ENOENT
               ? "no connection recorded for the job"
               : std::string("the job's client record cannot be read: ") + std::strerror(errno);
    return false;
  }
  std::string record(kMostRecordBytes + 1, '\0');
  size_t got = 0;
  while (got < record.size()) {
    const ssize_t n = read(fd, &record[got], record.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  close(fd);
  record.resize(got);
  if (!ParseClientRecord(record, client)) {
    *why = "the job's client record is not one this program wrote: \"" + QuotedText(record) + "\"";
    return false;
  }
  return true;
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
  // Jobs read back from PAPPL's state at start-up raise job-created too,
  // on a thread with no connection: their records are already on disk.
  if (current_connection == nullptr) return;
  const std::string record = FormatClientRecord(ClientOf(current_connection));
  char path[1024];
  const int fd = papplJobOpenFile(job, path, sizeof(path), nullptr, kRecordExtension, "w");
  bool written = false;
  if (fd >= 0) {
    written = write(fd, record.data(), record.size()) == static_cast<ssize_t>(record.size());
    written = close(fd) == 0 && written;
  }
  if (!written) {
    papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "Cannot record the job's client in %s: %s", path,
                std::strerror(errno));
  }
}

void ForgetJobOrigin(pappl_job_t* job) {
  char path[1024];
  papplJobOpenFile(job, path, sizeof(path), nullptr, kRecordExtension, "x");
}

JobClient FindJobClient(pappl_printer_t* printer, pappl_job_t* job, std::string* how) {
  JobClient peer;
  if (!ReadRecord(job, &peer, how)) return JobClient{};
  *how = "the connection from " + Describe(peer);
  ipp_attribute_t* named = papplJobGetAttribute(job, "job-originating-host-name");
  if (named == nullptr || !IsTrusted(peer, ReadTrustedPeers(printer))) return peer;
  const char* host = ippGetString(named, 0, nullptr);
  const std::string text = host != nullptr ? host : "";
  JobClient client;
  std::string why;
  if (!IdentifyNamedJobClient(text, &client, &why)) {
    papplLogJob(job, PAPPL_LOGLEVEL_WARN,
                "The trusted peer %s named the client \"%s\", which is ignored (%s): the peer "
                "itself is the job's client.",
                Describe(peer).c_str(), QuotedText(text).c_str(), why.c_str());
    return peer;
  }
  *how = "named by the trusted peer " + Describe(peer);
  return client;
}
