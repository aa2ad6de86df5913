// Bytes in forms a terminal or a log can show.
#pragma once

#include <cstddef>
#include <string>

// Bytes outside printable ASCII, and the backslash, as \xNN.
std::string EscapedText(const std::string& bytes);

// Bytes quoted in a one-line message: escaped, and at most `most` of them,
// then "..." and the whole count. A reader may split a long line (cupsd
// reads a filter's messages 4 KiB at a time and takes what is left for a
// line of its own), so a message never grows with the text it quotes.
std::string QuotedText(const std::string& bytes, size_t most = 64);

// A job's own text (its name, its user, its document's name) as a server
// may keep, list and log it: UTF-8 characters stay as they are, so names
// in any script read as their owner wrote them; control characters (C0,
// DEL and C1, which terminals act on) and bytes that are not UTF-8 become
// \xNN, so the text is one line of valid UTF-8. At most `most` bytes: the
// text ends before a character or an escape that would pass the limit.
// Applied twice, it changes nothing the second time.
std::string EscapeJobText(const std::string& bytes, size_t most);

// Two upper-case hexadecimal digits a byte, nothing between.
std::string HexText(const std::string& bytes);
