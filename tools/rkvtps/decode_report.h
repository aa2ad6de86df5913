// `rkvtps decode`: the commands found in texts, files and standard input.
#pragma once

#include <string>
#include <vector>

#include "report.h"

struct DecodeInput {
  bool is_file = false;  // false: `text` is the bytes themselves
  std::string text;      // the bytes, or the path ("-" for standard input)
};

enum class Strictness {
  kNormal,   // 1 when a command of ours is malformed
  kStrict,   // also 1 for an unknown command name or no command at all
  kLenient,  // 0 whatever was found; only unreadable input gives 1
};

int RunDecode(const std::vector<DecodeInput>& inputs, Strictness strictness,
              const Presentation& how);
