#pragma once
// Bus text as it can stand in one log line: a raw CR would split the line and a 0xA7 is no
// valid character of the log, so every byte outside printable ASCII is shown as <XX> (upper-case
// hexadecimal), as the modules show unreadable answers.

#include <cstddef>
#include <string>

// The text with control and non-ASCII bytes as <XX>. Beyond `maxBytes` bytes of the text the
// rest is left out and "..." ends the result.
std::string ReadableText(const std::string& bytes, std::size_t maxBytes = std::string::npos);
