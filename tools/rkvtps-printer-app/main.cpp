// rkvtps-printer-app: an IPP Everywhere printer that any client prints to
// without a driver, forwarding each job to the real device with the
// job-control commands in front.
#include <csignal>
#include <cstdlib>

#include "app.h"
#include "rkvtps32.h"

int main(int argc, char* argv[]) {
  // A device that closes its connection must fail a write with EPIPE, which
  // aborts that job, not kill the server with every other job in it.
  std::signal(SIGPIPE, SIG_IGN);
  // Each job sets the library's code page to its printer's; the variable
  // exists before any thread does, so later changes only replace its value.
  setenv("RKVTPS32_ACP", "1252", 0);
  return papplMainloop(argc, argv, RKVTPS32_VERSION_STRING, nullptr, 1, AppDrivers(), nullptr,
                       MakeDriver, nullptr, nullptr, MakeSystem, nullptr, nullptr);
}
