// Reading OVCILog.txt back into records. Plain C++: no platform calls, so that it is tested and
// fuzzed natively as well.
//
// A record as the server appends it, every line ended by CR LF:
//
//   (empty line)
//   Time: (mm/dd/yy)   M/D/YYYY   H:M:S      numbers without leading zeros, a blank at the end
//   File:    <module>
//   Line:    <decimal>
//   HRESULT: <upper-case hex, no leading zeros>
//   Reason:  <reason>
//   <label>: <value>                         zero or more pairs
//
// The reader takes what the server's layout leaves ambiguous this way:
// - A system text brings its own CR LF, which the text-mode stream stores as CR CR LF: a reason
//   line ending in two CRs is the whole reason, and further lines ending in two CRs continue it
//   (a text of several lines). An empty reason leaves the first pair on the "Reason:  " line: a
//   reason line ending in a single CR that holds ": " is read as that pair, one without ": " as
//   the reason (the server's own texts).
// - A label ends at the first ": " of its line; the value is everything after it (it may hold
//   ": " itself). A line without ": " is no pair.
// - With an odd number of pieces the last one has no line end and the next record's leading
//   empty line ends it; so a "Time:" line starts a record whether or not an empty line precedes
//   it, and an empty line directly before a "Time:" line is that record's own.
// - Anything that is not part of a whole record (a record cut short, bytes between records, a
//   line longer than the reader keeps) is skipped. A record ends at its first line that is no
//   pair; what follows up to the next whole record counts as one skipped fragment.
// - The last record of a file needs no line end after its last pair: the reader cannot tell a
//   record still being written from a finished one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace ovlog {

struct Stamp {  // the writer's local time
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};
bool operator<(const Stamp& a, const Stamp& b);

struct Pair {
    std::string label;  // without its ": "
    std::string value;
};

struct Record {
    std::string workstation;
    Stamp time;
    std::string module;  // the "File:" line
    int line = 0;
    std::uint32_t code = 0;
    std::string reason;  // without its line end; the lines of a longer text joined by "\n"
    std::vector<Pair> pairs;
};

// Lines longer than this (the server writes at most a few hundred bytes for a pair) are not
// kept: the record holding one is cut there and the rest skipped.
inline constexpr std::size_t kMaxLineBytes = std::size_t{1} << 20;

// Reads one file's bytes in pieces of any size; every whole record goes to the sink.
class LogReader {
public:
    using Sink = std::function<void(Record&&)>;
    LogReader(std::string workstation, Sink sink, std::size_t maxLine = kMaxLineBytes);
    void Feed(const char* data, std::size_t size);
    void Finish();  // the end of the file
    std::size_t Skipped() const { return skipped_; }

private:
    enum class Expect { Nothing, File, Line, Code, Reason, MoreReason, Pairs };
    void OnLine(std::string_view line, bool overlong);
    void OnContent(std::string_view line);
    bool StartRecord(std::string_view line);
    void EndRecord();  // at a break: the record so far goes out when whole
    void Skip();

    std::string workstation_;
    Sink sink_;
    std::size_t maxLine_;
    std::string pending_;  // the line read so far
    bool overlong_ = false;
    bool emptyLineHeld_ = false;  // an empty line: the next record's own, if a "Time:" line follows
    bool inFragment_ = false;
    std::size_t skipped_ = 0;
    Expect expect_ = Expect::Nothing;
    Record record_;
};

struct ParsedLog {
    std::vector<Record> records;
    std::size_t skipped = 0;
};
ParsedLog ParseLog(std::string_view text, const std::string& workstation, std::size_t maxLine = kMaxLineBytes);

}  // namespace ovlog
