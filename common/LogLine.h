// The text line every host log writes: local time, the level tag in angle
// brackets, ": ", the message, CR LF. The plug-ins' log and the launcher's
// log share it.
#pragma once

#include <windows.h>

#include <string>

// "INF", "WAR" or "ERR" for levels 0, 1 and 2; null for any other level.
const char* LogLevelTag(int level);

// The message with its line end made CR LF: a final "\r\n" stays, a final
// "\n\r" is swapped, a final '\r' gets '\n', a final '\n' becomes "\r\n",
// anything else (the empty text too) gets "\r\n" appended.
std::string WithLogLineEnd(const std::string& message);

// The prefix "%04u/%02u/%02u-%02u:%02u:%02u<%s>%s" with the time, the tag
// and ": ". Empty for a level without a tag.
std::string FormatLogPrefix(const SYSTEMTIME& time, int level);

// Prefix and message with its line end; empty for a level without a tag.
std::string FormatLogLine(const SYSTEMTIME& time, int level, const std::string& message);
