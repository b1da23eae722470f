// Reading OVCILog.txt back: each record's fixed lines parsed, the rest kept as written.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace ovtest {

struct ParsedRecord {
    SYSTEMTIME time{};     // date and time of the time line
    std::string timeLine;  // the time line as written, without its line end
    std::string file;      // after "File:    "
    std::string line;      // after "Line:    "
    std::string code;      // after "HRESULT: "
    std::string tail;      // from "Reason:  " up to where the next record begins
};

struct ParsedLog {
    std::string before;  // whatever precedes the first record
    std::vector<ParsedRecord> records;
    std::string error;   // what did not parse; empty when everything did
};

// Splits the log at every record start (a line end followed by the time label) and checks
// each record's time, file, line and HRESULT lines.
ParsedLog SplitLogRecords(const std::string& text);

// The system's message text for a code, looked up as the report does (empty when none).
std::string SystemMessage(HRESULT code);

// Text as a text-mode stream stores it: every line feed becomes carriage return + line feed.
std::string AsStored(const std::string& text);

// The local time now, and whether t lies within [from, to] to the second.
SYSTEMTIME LocalNow();
bool TimeWithin(const SYSTEMTIME& t, const SYSTEMTIME& from, const SYSTEMTIME& to);

}  // namespace ovtest
