#include "log_reader.h"

#include <climits>
#include <cstring>
#include <tuple>
#include <utility>

namespace ovlog {
namespace {

bool Take(std::string_view& s, std::string_view prefix) {
    if (s.substr(0, prefix.size()) != prefix) return false;
    s.remove_prefix(prefix.size());
    return true;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A decimal as printf writes it: no leading zeros, within [lo, hi]. Eleven digits are more
// than any value here needs, so the sum cannot overflow.
bool TakeNumber(std::string_view& s, long long lo, long long hi, long long* out) {
    std::size_t n = 0;
    long long v = 0;
    for (; n < s.size() && IsDigit(s[n]); ++n) {
        if (n == 11) return false;
        v = v * 10 + (s[n] - '0');
    }
    if (n == 0 || (n > 1 && s[0] == '0') || v < lo || v > hi) return false;
    s.remove_prefix(n);
    *out = v;
    return true;
}

bool TakeInt(std::string_view& s, int lo, int hi, int* out) {
    long long v = 0;
    if (!TakeNumber(s, lo, hi, &v)) return false;
    *out = static_cast<int>(v);
    return true;
}

// "Time: (mm/dd/yy)   M/D/YYYY   H:M:S " and nothing else; the ranges of the system's clock.
bool ParseTime(std::string_view s, Stamp* t) {
    return Take(s, "Time: (mm/dd/yy)   ") && TakeInt(s, 1, 12, &t->month) && Take(s, "/") &&
           TakeInt(s, 1, 31, &t->day) && Take(s, "/") && TakeInt(s, 1601, 30827, &t->year) && Take(s, "   ") &&
           TakeInt(s, 0, 23, &t->hour) && Take(s, ":") && TakeInt(s, 0, 59, &t->minute) && Take(s, ":") &&
           TakeInt(s, 0, 59, &t->second) && s == " ";
}

bool ParseLineNumber(std::string_view s, int* line) {
    long long v = 0;
    if (!Take(s, "Line:    ")) return false;
    const bool negative = Take(s, "-");
    if (!TakeNumber(s, negative ? 1 : 0, negative ? -static_cast<long long>(INT_MIN) : INT_MAX, &v) || !s.empty())
        return false;
    *line = static_cast<int>(negative ? -v : v);
    return true;
}

bool ParseCodeLine(std::string_view s, std::uint32_t* code) {
    if (!Take(s, "HRESULT: ") || s.empty() || s.size() > 8 || (s.size() > 1 && s[0] == '0')) return false;
    std::uint32_t v = 0;
    for (char c : s) {
        const int digit = IsDigit(c) ? c - '0' : (c >= 'A' && c <= 'F') ? c - 'A' + 10 : -1;
        if (digit < 0) return false;
        v = v << 4 | static_cast<std::uint32_t>(digit);
    }
    *code = v;
    return true;
}

bool EndsWithCr(std::string_view s) { return !s.empty() && s.back() == '\r'; }

}  // namespace

bool operator<(const Stamp& a, const Stamp& b) {
    return std::tie(a.year, a.month, a.day, a.hour, a.minute, a.second) <
           std::tie(b.year, b.month, b.day, b.hour, b.minute, b.second);
}

LogReader::LogReader(std::string workstation, Sink sink, std::size_t maxLine)
    : workstation_(std::move(workstation)), sink_(std::move(sink)), maxLine_(maxLine) {}

void LogReader::Feed(const char* data, std::size_t size) {
    const char* const end = data + size;
    while (data < end) {
        const char* lf = static_cast<const char*>(std::memchr(data, '\n', static_cast<std::size_t>(end - data)));
        const std::size_t n = static_cast<std::size_t>((lf ? lf : end) - data);
        if (!overlong_ && n > maxLine_ - pending_.size()) {
            overlong_ = true;
            std::string().swap(pending_);
        }
        if (!overlong_) pending_.append(data, n);
        if (!lf) return;
        OnLine(pending_, overlong_);
        pending_.clear();
        overlong_ = false;
        data = lf + 1;
    }
}

void LogReader::Finish() {
    if (!pending_.empty() || overlong_) OnLine(pending_, overlong_);
    std::string().swap(pending_);
    overlong_ = false;
    EndRecord();
    if (emptyLineHeld_) Skip();
    emptyLineHeld_ = false;
    inFragment_ = false;
}

void LogReader::OnLine(std::string_view line, bool overlong) {
    if (EndsWithCr(line)) line.remove_suffix(1);  // the stream's CR of CR LF
    if (!overlong && line.empty()) {
        if (emptyLineHeld_) {  // two in a row: the first belongs to no record
            EndRecord();
            Skip();
        }
        emptyLineHeld_ = true;
        return;
    }
    if (!overlong && StartRecord(line)) return;
    if (emptyLineHeld_) {
        emptyLineHeld_ = false;
        EndRecord();
        Skip();
    }
    if (overlong) {
        EndRecord();
        Skip();
        return;
    }
    OnContent(line);
}

bool LogReader::StartRecord(std::string_view line) {
    Stamp time;
    if (!ParseTime(line, &time)) return false;
    emptyLineHeld_ = false;
    EndRecord();
    record_ = Record{};
    record_.workstation = workstation_;
    record_.time = time;
    expect_ = Expect::File;
    return true;
}

void LogReader::OnContent(std::string_view line) {
    auto addPair = [&](std::string_view text) {
        const std::size_t colon = text.find(": ");
        if (colon == std::string_view::npos) return false;
        record_.pairs.push_back({std::string(text.substr(0, colon)), std::string(text.substr(colon + 2))});
        return true;
    };
    bool ok = true;
    switch (expect_) {
        case Expect::Nothing:
            ok = false;
            break;
        case Expect::File:
            if ((ok = Take(line, "File:    "))) record_.module = line;
            expect_ = Expect::Line;
            break;
        case Expect::Line:
            ok = ParseLineNumber(line, &record_.line);
            expect_ = Expect::Code;
            break;
        case Expect::Code:
            ok = ParseCodeLine(line, &record_.code);
            expect_ = Expect::Reason;
            break;
        case Expect::Reason:
            if (!(ok = Take(line, "Reason:  "))) break;
            inFragment_ = false;  // the record is whole from here on
            expect_ = EndsWithCr(line) ? Expect::MoreReason : Expect::Pairs;
            if (expect_ == Expect::MoreReason) record_.reason = line.substr(0, line.size() - 1);
            else if (!addPair(line)) record_.reason = line;
            break;
        case Expect::MoreReason:
            if (EndsWithCr(line)) {
                record_.reason.append("\n").append(line.substr(0, line.size() - 1));
                break;
            }
            expect_ = Expect::Pairs;
            ok = addPair(line);
            break;
        case Expect::Pairs:
            ok = addPair(line);
            break;
    }
    if (!ok) {
        EndRecord();
        Skip();
    }
}

void LogReader::EndRecord() {
    if (expect_ == Expect::MoreReason || expect_ == Expect::Pairs) {
        if (sink_) sink_(std::move(record_));
    } else if (expect_ != Expect::Nothing) {
        Skip();  // cut short before its reason
    }
    record_ = Record{};
    expect_ = Expect::Nothing;
}

void LogReader::Skip() {
    if (!inFragment_) ++skipped_;
    inFragment_ = true;
}

ParsedLog ParseLog(std::string_view text, const std::string& workstation, std::size_t maxLine) {
    ParsedLog out;
    LogReader reader(workstation, [&](Record&& r) { out.records.push_back(std::move(r)); }, maxLine);
    reader.Feed(text.data(), text.size());
    reader.Finish();
    out.skipped = reader.Skipped();
    return out;
}

}  // namespace ovlog
