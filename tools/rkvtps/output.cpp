#include "output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform.h"

void PutBytes(nlohmann::json* object, const std::string& key, const std::string& bytes) {
  WideText ignored;
  size_t bad = 0;
  // nlohmann::json refuses to write a string that is not UTF-8: such bytes
  // travel in the hexadecimal field alone.
  (*object)[key] = DecodeUtf8(bytes, &ignored, &bad) ? nlohmann::json(bytes) : nullptr;
  (*object)[key + "_hex"] = HexText(bytes);
}

void Write(std::string_view bytes) { std::fwrite(bytes.data(), 1, bytes.size(), stdout); }

void WriteLine(std::string_view text) {
  Write(text);
  std::fputc('\n', stdout);
}

void WriteHex(std::string_view bytes) {
  for (size_t at = 0; at < bytes.size(); at += 4096) {
    Write(HexText(std::string(bytes.substr(at, 4096))));
  }
}

void WriteJson(const nlohmann::json& value) { WriteLine(value.dump(2)); }

bool FinishOutput() {
  if (std::fflush(stdout) == 0 && std::ferror(stdout) == 0) return true;
  Complain(std::string("standard output: ") + std::strerror(errno));
  return false;
}

void Complain(const std::string& message) { std::fprintf(stderr, "rkvtps: %s\n", message.c_str()); }

void Warn(const std::string& message) { Complain("warning: " + message); }
