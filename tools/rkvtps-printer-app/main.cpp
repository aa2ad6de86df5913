// rkvtps-printer-app: an IPP Everywhere printer that any client prints to
// without a driver, forwarding each job to the real device with the
// job-control commands in front.
#include <csignal>

#include "app.h"
#include "rkvtps32.h"

int main(int argc, char* argv[]) {
  // A device that closes its connection must fail a write with EPIPE, which
  // aborts that job, not kill the server with every other job in it.
  std::signal(SIGPIPE, SIG_IGN);
  return papplMainloop(argc, argv, RKVTPS32_VERSION_STRING, nullptr, 1, AppDrivers(), nullptr,
                       MakeDriver, nullptr, nullptr, MakeSystem, nullptr, nullptr);
}
