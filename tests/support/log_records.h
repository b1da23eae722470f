// Reading OVCILog.txt back: each record's fixed lines taken apart, the rest kept as written.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace ovtest {

struct ParsedRecord {
    SYSTEMTIME time{};                // from the time line
    std::string file, line, code;     // the values of the "File:", "Line:" and "HRESULT:" lines
    std::string tail;                 // from "Reason:  " up to where the next record begins
};

struct ParsedLog {
    std::string before;  // whatever precedes the first record
    std::vector<ParsedRecord> records;
    std::string error;   // which record did not parse; empty when all did
};

// Splits the log at every record start (a line end followed by the time label); each record
// must have its time line exactly as written for its time, then the file, line, HRESULT and
// reason labels, each line ended by CR LF.
ParsedLog SplitLogRecords(const std::string& text);

// The system's message text for a code, looked up as the report does (empty when none).
std::string SystemMessage(HRESULT code);

// Text as a text-mode stream stores it: every line feed becomes carriage return + line feed.
std::string AsStored(const std::string& text);

// A code as the record writes it: upper-case hexadecimal without prefix or leading zeros.
std::string HexCode(HRESULT code);

}  // namespace ovtest
