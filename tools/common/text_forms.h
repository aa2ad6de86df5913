// Bytes in forms a terminal or a log can show.
#pragma once

#include <string>

// Bytes outside printable ASCII, and the backslash, as \xNN.
std::string EscapedText(const std::string& bytes);

// Two upper-case hexadecimal digits a byte, nothing between.
std::string HexText(const std::string& bytes);
