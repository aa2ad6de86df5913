#include "converter.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "text_forms.h"

namespace {

std::atomic<unsigned> default_cpu_seconds{120};
std::atomic<unsigned long long> default_memory_bytes{1024ULL * 1024 * 1024};

// The program's output is handed on in pieces of at most this size.
constexpr size_t kChunk = 64 * 1024;
// A message line longer than this is logged in pieces: a program cannot
// make the application hold its output.
constexpr size_t kLongestLine = 2048;
// How often a wait looks whether the job was cancelled.
constexpr int kPollMilliseconds = 200;

void CloseFd(int* fd) {
  if (*fd >= 0) close(*fd);
  *fd = -1;
}

bool SetNonBlocking(int fd) {
  const int flags = fcntl(fd, F_GETFL);
  return flags >= 0 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

// A write to a pipe whose reader is gone raises SIGPIPE, which would end
// the whole application: it is held back for this thread, and taken out of
// its pending set if the write raised it.
ssize_t WriteWithoutSigpipe(int fd, const char* data, size_t size) {
  sigset_t pipe_only, previous;
  sigemptyset(&pipe_only);
  sigaddset(&pipe_only, SIGPIPE);
  sigset_t pending;
  sigpending(&pending);
  const bool was_pending = sigismember(&pending, SIGPIPE) == 1;
  pthread_sigmask(SIG_BLOCK, &pipe_only, &previous);
  const ssize_t written = write(fd, data, size);
  const int saved = errno;
  if (written < 0 && saved == EPIPE && !was_pending) {
    const timespec none{0, 0};
    while (sigtimedwait(&pipe_only, nullptr, &none) < 0 && errno == EINTR) {
    }
  }
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  errno = saved;
  return written;
}

// In the child, between fork and exec: only async-signal-safe calls (the
// application has threads). Never returns.
[[noreturn]] void RunChild(char* const* argv, char* const* envp, int in, int out, int err,
                           int report, const ConverterLimits& limits) {
  // Out of the way of 0 to 3 first, so that no dup2 below overwrites
  // another (an application started with its standard descriptors closed
  // gets pipes there).
  int fds[4] = {in, out, err, report};
  for (int& fd : fds) fd = fcntl(fd, F_DUPFD, 10);
  int failed = 0;
  for (int fd : fds) {
    if (fd < 0) failed = EMFILE;
  }
  setpgid(0, 0);
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  for (int signal_number : {SIGPIPE, SIGXCPU, SIGTERM, SIGINT, SIGHUP}) {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigaction(signal_number, &action, nullptr);
  }
  // At the soft limit SIGXCPU ends the program; a program that catches it
  // gets SIGKILL a second later.
  const rlimit cpu{limits.cpu_seconds, limits.cpu_seconds + 1};
  const rlimit memory{limits.memory_bytes, limits.memory_bytes};
  const rlimit no_core{0, 0};
  if (failed == 0 && (setrlimit(RLIMIT_CPU, &cpu) != 0 || setrlimit(RLIMIT_AS, &memory) != 0 ||
                      setrlimit(RLIMIT_CORE, &no_core) != 0)) {
    failed = errno;
  }
  // The report pipe goes to descriptor 3, close-on-exec: everything above
  // it is closed, so the program inherits no socket, spool file or device.
  if (failed == 0 && (dup2(fds[0], 0) < 0 || dup2(fds[1], 1) < 0 || dup2(fds[2], 2) < 0 ||
                      dup2(fds[3], 3) < 0 || fcntl(3, F_SETFD, FD_CLOEXEC) < 0)) {
    failed = errno;
  }
  if (failed == 0) {
    if (syscall(SYS_close_range, 4U, ~0U, 0U) != 0) {
      for (int fd = 4; fd < 65536; ++fd) close(fd);
    }
    execve(argv[0], argv, envp);
    failed = errno;
    (void)!write(3, &failed, sizeof(failed));
  } else {
    (void)!write(report, &failed, sizeof(failed));
  }
  _exit(127);
}

std::vector<char*> PointersTo(std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  for (std::string& text : strings) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

std::string ProgramName(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

ConverterLimits DefaultConverterLimits() { return {default_cpu_seconds, default_memory_bytes}; }

void SetDefaultConverterLimits(const ConverterLimits& limits) {
  default_cpu_seconds = limits.cpu_seconds;
  default_memory_bytes = limits.memory_bytes;
}

Converter::Converter(ConverterLimits limits, std::vector<std::string> environment)
    : limits_(limits), environment_(std::move(environment)) {
  if (environment_.empty()) environment_.push_back("PATH=/usr/bin:/bin");
}

Converter::~Converter() {
  Kill();
  Reap();
  CloseFd(&stdin_fd_);
  CloseFd(&stdout_fd_);
  CloseFd(&stderr_fd_);
}

bool Converter::Start(const std::vector<std::string>& argv, bool feed_stdin, ByteSink out,
                      std::function<void(const std::string& escaped_line)> log,
                      std::function<bool()> cancelled, std::string* error) {
  if (argv.empty() || argv[0].empty() || argv[0][0] != '/' || pid_ >= 0) {
    *error = "no program to run (an absolute path is needed)";
    return false;
  }
  program_ = ProgramName(argv[0]);
  out_ = std::move(out);
  log_ = std::move(log);
  is_cancelled_ = std::move(cancelled);
  // Everything the child needs is made before fork: it may not allocate.
  std::vector<std::string> arguments = argv;
  std::vector<std::string> environment = environment_;
  const std::vector<char*> argv_pointers = PointersTo(arguments);
  const std::vector<char*> envp_pointers = PointersTo(environment);
  int in[2] = {-1, -1}, output[2] = {-1, -1}, messages[2] = {-1, -1}, report[2] = {-1, -1};
  bool made = pipe2(output, O_CLOEXEC) == 0 && pipe2(messages, O_CLOEXEC) == 0 &&
              pipe2(report, O_CLOEXEC) == 0;
  if (made && feed_stdin) made = pipe2(in, O_CLOEXEC) == 0;
  if (made && !feed_stdin) made = (in[0] = open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;
  const int saved = errno;
  const auto close_all = [&] {
    for (int* pair : {in, output, messages, report}) {
      CloseFd(&pair[0]);
      CloseFd(&pair[1]);
    }
  };
  if (!made) {
    close_all();
    *error = std::string("cannot make pipes for ") + program_ + ": " + std::strerror(saved);
    return false;
  }
  const pid_t pid = fork();
  if (pid == 0) {
    RunChild(argv_pointers.data(), envp_pointers.data(), in[0], output[1], messages[1], report[1],
             limits_);
  }
  if (pid < 0) {
    const int fork_error = errno;
    close_all();
    *error = std::string("cannot start ") + program_ + ": " + std::strerror(fork_error);
    return false;
  }
  // Also here, so that a kill of the group can never miss the child.
  setpgid(pid, pid);
  pid_ = pid;
  CloseFd(&in[0]);
  CloseFd(&output[1]);
  CloseFd(&messages[1]);
  CloseFd(&report[1]);
  stdin_fd_ = in[1];
  stdout_fd_ = output[0];
  stderr_fd_ = messages[0];
  // The report pipe closes at exec; before that the child writes why it
  // could not run the program.
  int child_error = 0;
  ssize_t got;
  do {
    got = read(report[0], &child_error, sizeof(child_error));
  } while (got < 0 && errno == EINTR);
  CloseFd(&report[0]);
  if (got == static_cast<ssize_t>(sizeof(child_error))) {
    Reap();
    CloseFd(&stdin_fd_);
    CloseFd(&stdout_fd_);
    CloseFd(&stderr_fd_);
    *error = "cannot run " + EscapeJobText(argv[0], 256) + ": " + std::strerror(child_error);
    return false;
  }
  for (int fd : {stdin_fd_, stdout_fd_, stderr_fd_}) {
    if (fd >= 0) SetNonBlocking(fd);
  }
  return true;
}

bool Converter::Feed(const char* data, size_t size) {
  if (stdin_fd_ < 0) return false;
  return Pump(false, data, size);
}

bool Converter::Finish(std::string* error) {
  if (pid_ < 0) {
    *error = "no program was started";
    return false;
  }
  CloseFd(&stdin_fd_);
  if (!sink_refused_ && !cancelled_) Pump(true, nullptr, 0);
  // The program may close its output and still run: its end is waited for,
  // the job's cancellation still heard. It usually ends a moment after
  // closing its output, so the waits start short.
  for (int wait = 1; !reaped_ && !killed_ && !LeaderEnded();
       wait = std::min(2 * wait, kPollMilliseconds)) {
    if (is_cancelled_ && is_cancelled_()) {
      cancelled_ = true;
      Kill();
      break;
    }
    poll(nullptr, 0, wait);
  }
  Kill();  // what the program left running in its group
  Reap();
  ReadMessages(true);
  if (cancelled_) {
    *error = program_ + " was stopped: the job was cancelled";
    return false;
  }
  if (sink_refused_) {
    *error = "the device stopped taking data";
    return false;
  }
  const std::string why = Describe(wait_status_);
  if (why.empty()) return true;
  *error = why;
  return false;
}

bool Converter::Pump(bool until_end, const char* data, size_t size) {
  while (stdout_fd_ >= 0 || stderr_fd_ >= 0 || (!until_end && size > 0)) {
    if (!until_end && size == 0) return true;
    if (!until_end && stdin_fd_ < 0) return false;
    pollfd fds[3];
    nfds_t count = 0;
    for (int fd : {stdout_fd_, stderr_fd_}) {
      if (fd >= 0) fds[count++] = {fd, POLLIN, 0};
    }
    if (!until_end) fds[count++] = {stdin_fd_, POLLOUT, 0};
    const int ready = poll(fds, count, kPollMilliseconds);
    if (is_cancelled_ && is_cancelled_()) {
      cancelled_ = true;
      Kill();
      return false;
    }
    if (ready < 0 && errno != EINTR) return false;
    if (ready == 0 && until_end && LeaderEnded()) {
      // Something the program started still holds its output open.
      Kill();
      continue;
    }
    if (ready <= 0) continue;
    for (nfds_t i = 0; i < count; ++i) {
      if (fds[i].revents == 0) continue;
      if (fds[i].fd == stdout_fd_) ReadOutput();
      if (fds[i].fd == stderr_fd_) ReadMessages(false);
      if (sink_refused_) return false;
      if (!until_end && fds[i].fd == stdin_fd_ && stdin_fd_ >= 0) {
        const ssize_t written = WriteWithoutSigpipe(stdin_fd_, data, size);
        if (written > 0) {
          data += written;
          size -= static_cast<size_t>(written);
        } else if (written < 0 && errno != EAGAIN && errno != EINTR) {
          // The program stopped reading (it ended, or failed): Finish says why.
          CloseFd(&stdin_fd_);
          return false;
        }
      }
    }
  }
  return until_end || size == 0;
}

void Converter::ReadOutput() {
  // On the heap: the caller may be a thread with a small stack.
  output_buffer_.resize(kChunk);
  const ssize_t got = read(stdout_fd_, output_buffer_.data(), output_buffer_.size());
  if (got < 0 && (errno == EAGAIN || errno == EINTR)) return;
  if (got <= 0) {
    CloseFd(&stdout_fd_);
    return;
  }
  if (!out_(output_buffer_.data(), static_cast<size_t>(got))) {
    sink_refused_ = true;
    Kill();
  }
}

void Converter::ReadMessages(bool at_end) {
  while (stderr_fd_ >= 0) {
    char buffer[4096];
    const ssize_t got = read(stderr_fd_, buffer, sizeof(buffer));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 && errno == EAGAIN && !at_end) break;
    if (got <= 0) {
      CloseFd(&stderr_fd_);
      break;
    }
    partial_line_.append(buffer, static_cast<size_t>(got));
    if (!at_end) break;
  }
  size_t end;
  while ((end = partial_line_.find('\n')) != std::string::npos ||
         partial_line_.size() >= kLongestLine || (stderr_fd_ < 0 && !partial_line_.empty())) {
    if (end == std::string::npos) end = std::min(partial_line_.size(), kLongestLine);
    const std::string line = EscapeJobText(partial_line_.substr(0, end), kLongestLine);
    partial_line_.erase(0, std::min(end + 1, partial_line_.size()));
    if (line.find_first_not_of(" \t") == std::string::npos) continue;
    last_line_ = line;
    if (log_) log_(line);
  }
}

bool Converter::LeaderEnded() const {
  if (pid_ < 0 || reaped_) return true;
  siginfo_t info{};
  return waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
         info.si_pid == pid_;
}

void Converter::Kill() {
  if (pid_ < 0 || reaped_) return;
  // The group as well as the program: whatever it started goes with it.
  kill(-pid_, SIGKILL);
  kill(pid_, SIGKILL);
  killed_ = true;
}

void Converter::Reap() {
  if (pid_ < 0 || reaped_) return;
  rusage usage{};
  pid_t done;
  do {
    done = wait4(pid_, &wait_status_, 0, &usage);
  } while (done < 0 && errno == EINTR);
  reaped_ = true;
  cpu_used_ = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
              static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

std::string Converter::Describe(int status) const {
  std::string why;
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return why;
  if (WIFSIGNALED(status) &&
      (WTERMSIG(status) == SIGXCPU ||
       (WTERMSIG(status) == SIGKILL && cpu_used_ + 0.5 >= limits_.cpu_seconds))) {
    why = program_ + " used up its " + std::to_string(limits_.cpu_seconds) +
          " seconds of CPU time and was stopped";
  } else if (WIFSIGNALED(status)) {
    why = program_ + " was ended by signal " + std::to_string(WTERMSIG(status)) + " (" +
          strsignal(WTERMSIG(status)) + ")";
  } else {
    why = program_ + " failed with exit status " + std::to_string(WEXITSTATUS(status));
  }
  if (!last_line_.empty()) why += "; its last message: \"" + EscapeJobText(last_line_, 200) + "\"";
  return why;
}

std::vector<std::string> GhostscriptArguments(const DeviceLanguage& language, bool color,
                                              int resolution, const std::string& input,
                                              int width_points, int height_points) {
  std::vector<std::string> arguments = {
      "/usr/bin/gs", "-dSAFER",
      // A PDF Ghostscript cannot read fails the conversion: without this it
      // ends well having written a prolog and no page.
      "-dPDFSTOPONERROR", "-dBATCH", "-dNOPAUSE", "-dQUIET", "-sstdout=%stderr",
      "-sOutputFile=%stdout", "-r" + std::to_string(resolution),
      std::string("-sDEVICE=") + (color ? language.gs_color : language.gs_mono)};
  // PWG raster as every PWG raster printer reads it: 8-bit grey or sRGB
  // (Ghostscript's default is 1-bit black).
  if (std::strcmp(language.format, "image/pwg-raster") == 0) {
    arguments.push_back(color ? "-dcupsColorSpace=19" : "-dcupsColorSpace=18");
    arguments.push_back("-dcupsBitsPerColor=8");
  }
  // Not fixed (-dFIXEDMEDIA): a document's own page size still counts.
  if (width_points > 0 && height_points > 0) {
    arguments.push_back("-dDEVICEWIDTHPOINTS=" + std::to_string(width_points));
    arguments.push_back("-dDEVICEHEIGHTPOINTS=" + std::to_string(height_points));
  }
  // A document name starting with "-" must not read as an option.
  arguments.push_back(input == "-" ? "-" : "-f");
  if (input != "-") arguments.push_back(input);
  return arguments;
}
