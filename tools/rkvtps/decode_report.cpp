#include "decode_report.h"

#include "calls.h"
#include "command_facts.h"
#include "commands/decode.h"
#include "output.h"
#include "platform.h"

namespace {

using nlohmann::json;

std::string SourceName(const DecodeInput& input, size_t index) {
  if (!input.is_file) return "argument " + std::to_string(index + 1);
  return input.text == "-" ? "standard input" : input.text;
}

// The command's JSON object, its texts written as they are rather than
// copied into it.
void WriteDecodedJson(const rk::DecodedCommand& c, const std::string& source) {
  json j = {{"source", source}, {"offset", c.offset}, {"name", c.name}, {"ok", c.ok}};
  std::vector<JsonBytes> texts = {{"command", c.text}};
  if (!c.ok) {
    j["error"] = c.error;
    j["error_offset"] = c.error_offset;
  } else if (c.name == rk::kOwnerName) {
    j["form_mark"] = c.form_mark != 0 ? json(std::string(1, c.form_mark)) : json(nullptr);
    j["code_types"] = c.code_types;
    if (c.has_tag) {
      j["tag"] = std::string(1, c.tag);
      j["tag_row"] = c.tag_row;
      j["tag_column"] = c.tag_column;
    }
    texts.push_back({"owner", c.owner});
    if (!c.address_part.empty()) {
      j["address_part"] = c.address_part;
      j["address"] = c.address;
    }
  } else if (c.name == rk::kClientNameName) {
    texts.push_back({"client_name", c.owner});
  } else if (c.name == rk::kHostAddressName) {
    j["family"] = c.address_family;
    j["address"] = c.address;
  } else if (c.name == rk::kNupName) {
    j["keyword"] = c.keyword;
    j["selector"] = c.selector;
  }
  WriteJsonObject(j, texts, 2);
}

void WriteShown(std::string_view bytes, const Presentation& how) {
  if (how.escape) {
    WriteEscaped(bytes);
  } else {
    Write(bytes);
  }
}

// LABEL "text" (hex DIGITS), the text escaped on request.
void WriteText(const char* label, const std::string& bytes, const Presentation& how) {
  Write(label);
  Write(" \"");
  WriteShown(bytes, how);
  Write("\" (hex ");
  WriteHex(bytes);
  WriteLine(")");
}

void PrintDecoded(const rk::DecodedCommand& c, const std::string& source, const Presentation& how) {
  const std::string where = source + ": offset " + std::to_string(c.offset) + ": ";
  if (!c.ok) {
    Complain(where + EscapedText(c.name.empty() ? std::string(c.text) : "@" + c.name) + ": " +
             c.error + " (at offset " + std::to_string(c.error_offset) + ")");
    return;
  }
  Write(where);
  WriteShown(c.text, how);
  WriteLine("");
  if (c.name == rk::kOwnerName) {
    WriteLine("  job owner; form " +
              (c.form_mark ? "\"" + std::string(1, c.form_mark) + "\"" : std::string("(none)")) +
              ": code type " + rk::JoinCodeTypes(c.code_types));
    if (c.has_tag) {
      WriteLine("  tag \"" + std::string(1, c.tag) + "\": row " + std::to_string(c.tag_row) +
                ", column " + std::to_string(c.tag_column));
    }
    WriteText("  owner", c.owner, how);
    if (!c.address_part.empty()) {
      WriteLine("  address part \"" + c.address_part + "\": " + c.address);
    }
  } else if (c.name == rk::kClientNameName) {
    WriteText("  client name", c.owner, how);
  } else if (c.name == rk::kHostAddressName) {
    WriteLine("  host address, " + c.address_family + " " + c.address);
  } else if (c.name == rk::kNupName) {
    WriteLine("  n-up keyword " + c.keyword + ", selector " + std::to_string(c.selector));
  }
}

}  // namespace

int RunDecode(const std::vector<DecodeInput>& inputs, Strictness strictness,
              const Presentation& how) {
  const std::vector<std::string> keywords = NupKeywords();
  size_t found = 0, malformed = 0, ignored = 0;
  bool unreadable = false;
  // Written as it is found, in WriteJson's layout: a whole document in
  // one string would hold every long text twice over.
  if (how.json) Write("{\n  \"commands\": [");
  for (size_t i = 0; i < inputs.size(); ++i) {
    const std::string source = SourceName(inputs[i], i);
    std::string bytes, reason;
    if (inputs[i].is_file && !ReadWholeFile(inputs[i].text, &bytes, &reason)) {
      Complain(inputs[i].text + ": " + reason);
      unreadable = true;
      continue;
    }
    const std::string& input = inputs[i].is_file ? bytes : inputs[i].text;
    for (const rk::DecodedCommand& c : rk::DecodeCommands(input, keywords)) {
      if (!c.recognized && strictness != Strictness::kStrict) {
        ++ignored;  // another printer command in the stream
        continue;
      }
      ++found;
      if (!c.ok) ++malformed;
      if (how.json) {
        Write(found == 1 ? "\n    " : ",\n    ");
        WriteDecodedJson(c, source);
      } else {
        PrintDecoded(c, source, how);
      }
    }
  }
  if (how.json) {
    Write(found == 0 ? "]" : "\n  ]");
    WriteLine(",\n  \"ignored\": " + std::to_string(ignored) +
              ",\n  \"malformed\": " + std::to_string(malformed) + "\n}");
  }
  if (found == 0 && !unreadable) Complain("no command found");
  if (unreadable) return 1;
  if (strictness == Strictness::kLenient) return 0;
  if (strictness == Strictness::kStrict && found == 0) return 1;
  return malformed == 0 ? 0 : 1;
}
