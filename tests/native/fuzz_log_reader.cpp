// Arbitrary bytes as a log file. Nothing may be read or written past a buffer (the sanitizers
// watch that); how the bytes arrive must not change what is read; every record read, written
// again with the server's own record layout, must read back the same with nothing skipped; the
// outputs must hold no raw control characters, and their size must stay within a multiple of the input's.
#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "diagnostics/log_record.h"
#include "logreader/log_reader.h"
#include "logreader/log_report.h"

#define CHECK(ok) ((ok) ? void() : (std::fprintf(stderr, "violated: %s\n", #ok), std::abort()))

namespace {

bool Same(const ovlog::Record& a, const ovlog::Record& b) {
    if (a.pairs.size() != b.pairs.size()) return false;
    for (std::size_t i = 0; i < a.pairs.size(); ++i)
        if (a.pairs[i].label != b.pairs[i].label || a.pairs[i].value != b.pairs[i].value) return false;
    return a.workstation == b.workstation && !(a.time < b.time) && !(b.time < a.time) && a.module == b.module &&
           a.line == b.line && a.code == b.code && a.reason == b.reason;
}

bool SameAll(const std::vector<ovlog::Record>& a, const std::vector<ovlog::Record>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (!Same(a[i], b[i])) return false;
    return true;
}

// Could the server have written it? Its texts are C strings, the module a base name, its lines
// cut at 2047 characters; and a first value ending in CR after a reason reads as more reason.
bool Writable(const ovlog::Record& r) {
    std::string all = r.module + r.reason, pieces;
    for (const auto& p : r.pairs) pieces += p.label + p.value;
    all += pieces;
    // The server writes control characters in pieces as escapes: such a pair cannot come back.
    for (char c : pieces)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
    return all.find('\0') == std::string::npos && r.module.find('\\') == std::string::npos &&
           r.module.size() < 2000 && r.reason.size() < 2000 &&
           (r.pairs.empty() || r.pairs[0].value.empty() || r.pairs[0].value.back() != '\r');
}

// The record laid out by the server and stored by a text-mode stream (each '\n' as CR LF).
std::string Stored(const ovlog::Record& r) {
    std::string reason = r.reason.empty() ? "" : r.reason + "\n";  // a system text brings its CR LF
    std::string systemText;
    for (char c : reason) systemText += c == '\n' ? std::string("\r\n") : std::string(1, c);
    std::vector<std::string> texts;
    for (const auto& p : r.pairs) texts.push_back(p.label + ": "), texts.push_back(p.value);
    std::vector<const char*> pieces;
    for (const auto& t : texts) pieces.push_back(t.c_str());
    const ov::LogTime t{r.time.year, r.time.month, r.time.day, r.time.hour, r.time.minute, r.time.second};
    std::string out;
    for (const auto& s : ov::FormatLogRecord(t, r.module.c_str(), r.line, static_cast<ov::HResult>(r.code),
                                             systemText.c_str(), pieces))
        for (char c : s) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    if (size < 2) return 0;
    const unsigned seed = data[0];
    const std::size_t maxLine = data[1] < 128 ? ovlog::kMaxLineBytes : 8u + data[1] % 64u;
    const std::string text(reinterpret_cast<const char*>(data) + 2, size - 2);

    const ovlog::ParsedLog whole = ovlog::ParseLog(text, "WS", maxLine);
    std::vector<ovlog::Record> chunked;
    ovlog::LogReader reader("WS", [&](ovlog::Record&& r) { chunked.push_back(std::move(r)); }, maxLine);
    for (std::size_t at = 0, k = 0; at < text.size(); ++k) {
        const std::size_t n = std::min<std::size_t>(text.size() - at, 1 + (seed + k * 7) % 31);
        reader.Feed(text.data() + at, n);
        at += n;
    }
    reader.Finish();
    CHECK(SameAll(whole.records, chunked) && whole.skipped == reader.Skipped());
    CHECK(whole.skipped <= text.size());

    std::string again;
    std::vector<ovlog::Record> writable;
    for (const auto& r : whole.records)
        if (Writable(r)) again += Stored(r), writable.push_back(r);
    const ovlog::ParsedLog reread = ovlog::ParseLog(again, "WS");
    CHECK(reread.skipped == 0 && SameAll(reread.records, writable));

    // A line per record and the heads; nothing unescaped that would break a line.
    auto lines = [](const std::string& out) {
        std::size_t n = 0;
        for (char c : out) {
            CHECK(static_cast<unsigned char>(c) >= 0x20 || c == '\n');
            n += c == '\n';
        }
        return n;
    };
    const std::size_t n = whole.records.size();
    const std::string table = ovlog::FormatTable(whole.records);
    CHECK(lines(table) == n + 1);
    // Output grows with the input, never with the records times the widest of them.
    CHECK(table.size() <= (n + 1) * (6 * (ovlog::kMaxCellBytes + 2) + ovlog::kMaxLastCellBytes + 1));
    CHECK(ovlog::FormatCsv(whole.records).size() <= 8 * text.size() + 64);
    CHECK(lines(ovlog::FormatJson(whole.records)) == (n ? n + 2 : 1));
    ovlog::Summary summary;
    for (const auto& r : whole.records) summary.Add(r);
    summary.AddSkipped("WS", whole.skipped);
    lines(summary.Format());
    return 0;
}
