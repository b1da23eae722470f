// Layout of a log record and of the error box text. Plain functions: no platform calls.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "error_codes.h"

namespace ov {

// Lines of the record (and the box text) are composed in a buffer of this many characters.
inline constexpr std::size_t kReportBufferSize = 2048;

struct LogTime {
    int year, month, day, hour, minute, second;
};

// What follows the last backslash of sourceFile, or all of it.
const char* SourceBaseName(const char* sourceFile);

// A piece as a record holds it: a carriage return, line feed or other control character
// would let a value start a line of its own (a page could forge a record), so each is written
// as a visible escape ("\r", "\n", "\x1B"); everything else, paths included, is unchanged.
std::string EscapeControls(const char* text);

// The record as the stream writes it, cut where a line end ('\n') is followed by a flush.
// The last segment has no line end when the piece count is odd.
std::vector<std::string> FormatLogRecord(const LogTime& time, const char* sourceFile, int line,
                                         HResult code, const char* reason,
                                         const std::vector<const char*>& pieces);

// The message box text around a reason.
std::string FormatMessageBoxText(const char* reason);

}  // namespace ov
