#include "output.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform.h"

namespace {

constexpr size_t kPiece = 65536;

bool IsContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// Where a piece of at most kPiece bytes from `at` ends without cutting a
// UTF-8 sequence: back over up to three continuation bytes to their lead
// byte. Four in a row are not UTF-8 wherever the cut falls, and the next
// piece, which then starts with one, says so.
size_t PieceEnd(std::string_view bytes, size_t at) {
  if (bytes.size() - at <= kPiece) return bytes.size();
  size_t end = at + kPiece;
  for (int k = 0; k < 3 && IsContinuation(bytes[end]); ++k) --end;
  return IsContinuation(bytes[end]) ? at + kPiece : end;
}

// UTF-8 by the tool's one rule, DecodeUtf8, asked a piece at a time: whole,
// a long text would be made into UTF-16 only to be thrown away.
bool IsUtf8(std::string_view bytes) {
  WideText ignored;
  size_t bad = 0;
  for (size_t at = 0; at < bytes.size();) {
    const size_t end = PieceEnd(bytes, at);
    if (!DecodeUtf8(std::string(bytes.substr(at, end - at)), &ignored, &bad)) return false;
    at = end;
  }
  return true;
}

// Valid UTF-8 as a JSON string, escaped as nlohmann::json::dump escapes it
// (without ensure_ascii): the quote, the backslash and the characters below
// U+0020; every other byte as it is.
void WriteJsonString(std::string_view utf8) {
  std::string piece;
  char escape[8];
  Write("\"");
  for (size_t at = 0; at < utf8.size(); at += kPiece) {
    piece.clear();
    for (const char c : utf8.substr(at, kPiece)) {
      switch (c) {
        case '"':
          piece += "\\\"";
          break;
        case '\\':
          piece += "\\\\";
          break;
        case '\b':
          piece += "\\b";
          break;
        case '\t':
          piece += "\\t";
          break;
        case '\n':
          piece += "\\n";
          break;
        case '\f':
          piece += "\\f";
          break;
        case '\r':
          piece += "\\r";
          break;
        default:
          if (static_cast<unsigned char>(c) < 0x20) {
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned char>(c));
            piece += escape;
          } else {
            piece += c;
          }
      }
    }
    Write(piece);
  }
  Write("\"");
}

}  // namespace

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

void WriteEscaped(std::string_view bytes) {
  for (size_t at = 0; at < bytes.size(); at += 4096) {
    Write(EscapedText(std::string(bytes.substr(at, 4096))));
  }
}

void WriteJson(const nlohmann::json& value) { WriteLine(value.dump(2)); }

void WriteJsonObject(const nlohmann::json& members, const std::vector<JsonBytes>& texts,
                     int depth) {
  // Every member by its key: a value of `members`, or a text or its
  // hexadecimal twin.
  struct Member {
    std::string key;
    const nlohmann::json* value;
    const JsonBytes* text;
    bool hex;
  };
  std::vector<Member> all;
  for (auto it = members.begin(); it != members.end(); ++it) {
    all.push_back({it.key(), &it.value(), nullptr, false});
  }
  for (const JsonBytes& text : texts) {
    all.push_back({text.key, nullptr, &text, false});
    all.push_back({text.key + "_hex", nullptr, &text, true});
  }
  if (all.empty()) {
    Write("{}");
    return;
  }
  // Sorted as nlohmann::json keeps an object's keys.
  std::sort(all.begin(), all.end(), [](const Member& a, const Member& b) { return a.key < b.key; });
  const std::string indent = "\n" + std::string(2 * static_cast<size_t>(depth + 1), ' ');
  for (size_t i = 0; i < all.size(); ++i) {
    const Member& m = all[i];
    Write(i == 0 ? "{" : ",");
    Write(indent);
    Write(nlohmann::json(m.key).dump());
    Write(": ");
    if (m.value != nullptr) {
      // Every line end of a dump is structure (a string's are escaped):
      // each takes this level's indent.
      const std::string dumped = m.value->dump(2);
      for (size_t from = 0;;) {
        const size_t line_end = dumped.find('\n', from);
        Write(std::string_view(dumped).substr(from, line_end - from));
        if (line_end == std::string::npos) break;
        Write(indent);
        from = line_end + 1;
      }
    } else if (m.hex) {
      Write("\"");
      WriteHex(m.text->bytes);
      Write("\"");
    } else if (IsUtf8(m.text->bytes)) {
      WriteJsonString(m.text->bytes);
    } else {
      Write("null");  // nlohmann::json writes only UTF-8 strings
    }
  }
  Write("\n" + std::string(2 * static_cast<size_t>(depth), ' ') + "}");
}

bool FinishOutput() {
  if (std::fflush(stdout) == 0 && std::ferror(stdout) == 0) return true;
  Complain(std::string("standard output: ") + std::strerror(errno));
  return false;
}

void Complain(const std::string& message) { std::fprintf(stderr, "rkvtps: %s\n", message.c_str()); }

void Warn(const std::string& message) { Complain("warning: " + message); }
