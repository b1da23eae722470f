// What the log reader prints: the filters, the records as a table, CSV or JSON, and the summary.
// Plain C++: no platform calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "log_reader.h"

namespace ovlog {

// "YYYY-MM-DD", optionally followed by a blank or "T" and "HH:MM" or "HH:MM:SS".
bool ParseStamp(const std::string& text, Stamp* out);
// Hexadecimal, with or without "0x", at most eight digits.
bool ParseCode(const std::string& text, std::uint32_t* out);

struct Filter {
    bool hasSince = false;
    Stamp since;                         // records at or after this time
    std::vector<std::uint32_t> codes;    // any of these; none: every code
    std::vector<std::string> modules;    // any of these, ignoring ASCII case; none: every module
    bool Accepts(const Record& r) const;
};

// "2026-12-05 15:43:48"
std::string FormatStamp(const Stamp& t);
// "80070002", as the log writes it
std::string FormatCode(std::uint32_t code);

// Table cells are cut to this many bytes, ending in "...", so that one long value neither widens
// every row nor makes the output grow beyond the input's size; the last column (Details) keeps
// more, as it needs no padding.
inline constexpr std::size_t kMaxCellBytes = 100;
inline constexpr std::size_t kMaxLastCellBytes = 1000;

// Columns Time, Workstation, Module, Line, HRESULT, Reason, Details ("label: value; ...");
// control characters are shown as blanks; long cells cut as above.
std::string FormatTable(const std::vector<Record>& records);
// A header naming the columns time, workstation, module, line, hresult, reason, then label1,
// value1, ... for as many pairs as the record with the most has; one row per record with only
// the fields it has. Nothing is cut; a text cell that a spreadsheet would take for a formula
// begins with a single quote.
std::string FormatCsv(const std::vector<Record>& records);
// An array with one object per line. Text that is not UTF-8 is taken byte by byte as Latin-1.
std::string FormatJson(const std::vector<Record>& records);

// Records per HRESULT (with the first reason seen for it) and per workstation, and the
// fragments skipped per workstation.
class Summary {
public:
    void Add(const Record& r);
    void AddSkipped(const std::string& workstation, std::size_t fragments);
    std::string Format() const;

private:
    struct CodeCount {
        std::size_t records = 0;
        std::string reason;
    };
    struct StationCount {
        std::size_t records = 0, skipped = 0;
    };
    std::map<std::uint32_t, CodeCount> codes_;
    std::map<std::string, StationCount> stations_;
    std::size_t records_ = 0, skipped_ = 0;
};

}  // namespace ovlog
