// One external program converting a document: started without a shell, in
// a process group of its own, under CPU-time and address-space limits,
// its output copied to the device as it comes, its messages logged
// escaped, killed when the job is cancelled, always reaped.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "document_formats.h"

// Takes a chunk of the program's output; false: the device took no more.
using ByteSink = std::function<bool(const char* data, size_t size)>;

struct ConverterLimits {
  unsigned cpu_seconds;
  unsigned long long memory_bytes;
};

// The limits every conversion runs under: 120 s of CPU and 1 GiB of address
// space unless the system's options said otherwise (set once at start-up,
// before any job runs).
ConverterLimits DefaultConverterLimits();
void SetDefaultConverterLimits(const ConverterLimits& limits);

class Converter {
 public:
  // `environment`: the program's whole environment ("NAME=value");
  // empty gives PATH=/usr/bin:/bin and nothing else.
  explicit Converter(ConverterLimits limits = DefaultConverterLimits(),
                     std::vector<std::string> environment = {});
  ~Converter();  // kills and reaps what still runs
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Runs argv[0] (an absolute path) with argv. With `feed_stdin` its
  // standard input is a pipe that Feed writes, else /dev/null. `log` gets
  // each line of its standard error, escaped; `cancelled` is asked while
  // waiting, and true kills the program. False (and `error`) when it
  // cannot be started, a missing program included.
  bool Start(const std::vector<std::string>& argv, bool feed_stdin, ByteSink out,
             std::function<void(const std::string& escaped_line)> log,
             std::function<bool()> cancelled, std::string* error);
  // Standard input, when `feed_stdin`; the program's output keeps flowing
  // to the sink meanwhile. False once the program or the sink failed.
  bool Feed(const char* data, size_t size);
  // Closes standard input and waits for the end. False says why: the exit
  // status or signal, the limit hit, the sink refusing, the cancellation,
  // with the program's last message.
  bool Finish(std::string* error);

  // After Finish: the sink refused (the device), rather than the program.
  bool sink_refused() const { return sink_refused_; }
  // After Finish: the job was cancelled and the program killed.
  bool was_cancelled() const { return cancelled_; }
  // The program's process id, which is also its process group's; -1
  // before Start.
  pid_t pid() const { return pid_; }

 private:
  bool Pump(bool until_end, const char* data, size_t size);
  void ReadOutput();
  void ReadMessages(bool at_end);
  bool LeaderEnded() const;
  void Kill();
  void Reap();
  std::string Describe(int status) const;
  double cpu_used_ = 0;

  ConverterLimits limits_;
  std::vector<std::string> environment_;
  std::string program_;
  pid_t pid_ = -1;
  int stdin_fd_ = -1;
  int stdout_fd_ = -1;
  int stderr_fd_ = -1;
  int wait_status_ = 0;
  bool reaped_ = false;
  bool sink_refused_ = false;
  bool cancelled_ = false;
  bool killed_ = false;
  std::vector<char> output_buffer_;
  std::string partial_line_;
  std::string last_line_;
  ByteSink out_;
  std::function<void(const std::string&)> log_;
  std::function<bool()> is_cancelled_;
};

// Ghostscript's arguments converting `input` ("-" reads standard input)
// to `language`, writing to standard output: -dSAFER, no prompts, its
// messages on standard error. A page size in points (the job's media)
// is the size of pages that ask for none; a PDF page keeps its own.
std::vector<std::string> GhostscriptArguments(const DeviceLanguage& language, bool color,
                                              int resolution, const std::string& input,
                                              int width_points = 0, int height_points = 0);
