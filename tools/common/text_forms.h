// Bytes in forms a terminal or a log can show.
#pragma once

#include <string>

// Bytes outside printable ASCII, and the backslash, as \xNN.
std::string EscapedText(const std::string& bytes);

// Bytes quoted in a one-line message: escaped, and at most `most` of them,
// then "..." and the whole count. A reader may split a long line (cupsd
// reads a filter's messages 4 KiB at a time and takes what is left for a
// line of its own), so a message never grows with the text it quotes.
std::string QuotedText(const std::string& bytes, size_t most = 64);

// Two upper-case hexadecimal digits a byte, nothing between.
std::string HexText(const std::string& bytes);
