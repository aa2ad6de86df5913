// How the tool writes bytes: as they are for a terminal or a pipe, and in
// JSON as text where they are UTF-8 and always as hexadecimal, so a script
// can rebuild them exactly.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "text_forms.h"

// Sets `key` to the bytes as a JSON string when they are valid UTF-8 (null
// otherwise) and `key`_hex to their hexadecimal.
void PutBytes(nlohmann::json* object, const std::string& key, const std::string& bytes);

// Bytes that a JSON object carries the way PutBytes puts them, `key` and
// `key`_hex, written straight to standard output rather than copied into
// the object: a command body may be a hundred megabytes.
struct JsonBytes {
  std::string key;
  std::string_view bytes;
};

// The object `members` with `texts` added, written as WriteJson would write
// it (nlohmann::json::dump(2): keys in order, two spaces of indent a level)
// when it stands `depth` levels deep; no line end after it.
void WriteJsonObject(const nlohmann::json& members, const std::vector<JsonBytes>& texts, int depth);

// Standard output, checked: false (with a message on standard error) when
// anything written could not be delivered.
// Written piece by piece rather than joined first: a captured command may
// be a hundred megabytes long.
void Write(std::string_view bytes);
void WriteLine(std::string_view text);
// The bytes as two hexadecimal digits each, written as they are made.
void WriteHex(std::string_view bytes);
// The bytes as EscapedText makes them, written as they are made.
void WriteEscaped(std::string_view bytes);
void WriteJson(const nlohmann::json& value);
bool FinishOutput();

// "rkvtps: MESSAGE" and "rkvtps: warning: MESSAGE" on standard error.
void Complain(const std::string& message);
void Warn(const std::string& message);
