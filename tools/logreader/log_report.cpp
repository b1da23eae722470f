#include "log_report.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <utility>

namespace ovlog {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// 1 to maxDigits digits at text[at], within [lo, hi].
bool TakeDigits(const std::string& text, std::size_t& at, std::size_t minDigits, std::size_t maxDigits, int lo,
                int hi, int* out) {
    std::size_t n = 0;
    int v = 0;
    for (; at + n < text.size() && IsDigit(text[at + n]) && n < maxDigits; ++n) v = v * 10 + (text[at + n] - '0');
    if (n < minDigits || v < lo || v > hi) return false;
    at += n;
    *out = v;
    return true;
}

bool TakeChar(const std::string& text, std::size_t& at, const char* oneOf) {
    if (at >= text.size() || !std::strchr(oneOf, text[at]) || text[at] == '\0') return false;
    ++at;
    return true;
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Lower(x) == Lower(y); });
}

std::string Clean(std::string s) {  // one line of plain text for the table
    for (char& c : s)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    return s;
}

// A cell wider than its column may be is cut, visibly: one long value must not widen every row.
std::string Cut(std::string s, std::size_t most) {
    if (s.size() <= most) return s;
    std::size_t keep = most - 3;
    for (int i = 0; i < 3 && (static_cast<unsigned char>(s[keep]) & 0xC0) == 0x80; ++i) --keep;  // a UTF-8 letter whole
    return s.erase(keep) + "...";
}

// Rows of cells in aligned columns two blanks apart; align says 'l' or 'r' per column. Cells are
// cut to kMaxCellBytes (the last column to kMaxLastCellBytes), so the output grows with the
// number of rows, never with their product and the widest cell. The last column is not padded
// and no line ends in blanks.
std::string Columns(std::vector<std::vector<std::string>> rows, const std::string& align) {
    std::vector<std::size_t> widths(align.size(), 0);
    for (auto& row : rows)
        for (std::size_t i = 0; i < row.size(); ++i) {
            row[i] = Cut(std::move(row[i]), i + 1 < align.size() ? kMaxCellBytes : kMaxLastCellBytes);
            widths[i] = std::max(widths[i], row[i].size());
        }
    std::string out;
    for (const auto& row : rows) {
        std::string line;
        for (std::size_t i = 0; i < row.size(); ++i) {
            const std::string pad(i + 1 < row.size() || align[i] == 'r' ? widths[i] - row[i].size() : 0, ' ');
            line += (i ? "  " : "") + (align[i] == 'r' ? pad + row[i] : row[i] + pad);
        }
        out += line.erase(line.find_last_not_of(' ') + 1) + "\n";
    }
    return out;
}

// A cell that a spreadsheet would run as a formula (its first character one of = + - @, a tab or
// a CR) gets a leading single quote, so that it is shown as the text it is; such a cell and any
// holding a comma, quote or line break is quoted. A lone "-" (no workstation) computes nothing.
std::string CsvField(const std::string& s) {
    const bool formula = !s.empty() && std::string_view("=+-@\t\r").find(s[0]) != std::string_view::npos && s != "-";
    if (!formula && s.find_first_of(",\"\r\n") == std::string::npos) return s;
    std::string out = formula ? "\"'" : "\"";
    for (char c : s) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

// Length of the well-formed UTF-8 sequence of two or more bytes at s[i], or 0.
std::size_t Utf8Length(const std::string& s, std::size_t i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    std::size_t n = 0;
    unsigned char lo = 0x80, hi = 0xBF;  // the allowed range of the second byte
    if (c >= 0xC2 && c <= 0xDF) n = 2;
    else if (c >= 0xE0 && c <= 0xEF) n = 3, lo = c == 0xE0 ? 0xA0 : 0x80, hi = c == 0xED ? 0x9F : 0xBF;
    else if (c >= 0xF0 && c <= 0xF4) n = 4, lo = c == 0xF0 ? 0x90 : 0x80, hi = c == 0xF4 ? 0x8F : 0xBF;
    if (n == 0 || s.size() - i < n) return 0;
    for (std::size_t k = 1; k < n; ++k) {
        const unsigned char d = static_cast<unsigned char>(s[i + k]);
        if (d < (k == 1 ? lo : 0x80) || d > (k == 1 ? hi : 0xBF)) return 0;
    }
    return n;
}

std::string JsonString(const std::string& s) {
    std::string out = "\"";
    for (std::size_t i = 0; i < s.size();) {
        if (const std::size_t n = Utf8Length(s, i)) {
            out.append(s, i, n);
            i += n;
            continue;
        }
        const unsigned char c = static_cast<unsigned char>(s[i++]);
        if (c == '"' || c == '\\') out += '\\', out += static_cast<char>(c);
        else if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else if (c == '\t') out += "\\t";
        else if (c < 0x20 || c >= 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04X", c);
            out += escaped;
        } else out += static_cast<char>(c);
    }
    return out + "\"";
}

template <class Map, class Count>
std::vector<typename Map::const_iterator> ByCount(const Map& map, Count count) {  // most first, then by key
    std::vector<typename Map::const_iterator> order;
    for (auto it = map.begin(); it != map.end(); ++it) order.push_back(it);
    std::stable_sort(order.begin(), order.end(), [&](auto a, auto b) { return count(a->second) > count(b->second); });
    return order;
}

}  // namespace

bool ParseStamp(const std::string& text, Stamp* out) {
    Stamp t;
    std::size_t at = 0;
    if (!TakeDigits(text, at, 4, 4, 1601, 30827, &t.year) || !TakeChar(text, at, "-") ||
        !TakeDigits(text, at, 1, 2, 1, 12, &t.month) || !TakeChar(text, at, "-") ||
        !TakeDigits(text, at, 1, 2, 1, 31, &t.day))
        return false;
    if (at < text.size() && (!TakeChar(text, at, " T") || !TakeDigits(text, at, 1, 2, 0, 23, &t.hour) ||
                             !TakeChar(text, at, ":") || !TakeDigits(text, at, 1, 2, 0, 59, &t.minute)))
        return false;
    if (at < text.size() && (!TakeChar(text, at, ":") || !TakeDigits(text, at, 1, 2, 0, 59, &t.second))) return false;
    if (at != text.size()) return false;
    *out = t;
    return true;
}

bool ParseCode(const std::string& text, std::uint32_t* out) {
    std::size_t at = text.size() > 2 && text[0] == '0' && Lower(text[1]) == 'x' ? 2 : 0;
    if (at == text.size() || text.size() - at > 8) return false;
    std::uint32_t v = 0;
    for (; at < text.size(); ++at) {
        const char c = Lower(text[at]);
        const int digit = IsDigit(c) ? c - '0' : (c >= 'a' && c <= 'f') ? c - 'a' + 10 : -1;
        if (digit < 0) return false;
        v = v << 4 | static_cast<std::uint32_t>(digit);
    }
    *out = v;
    return true;
}

bool Filter::Accepts(const Record& r) const {
    if (hasSince && r.time < since) return false;
    if (!codes.empty() && std::find(codes.begin(), codes.end(), r.code) == codes.end()) return false;
    return modules.empty() || std::any_of(modules.begin(), modules.end(),
                                          [&](const std::string& m) { return SameIgnoringCase(m, r.module); });
}

std::string FormatStamp(const Stamp& t) {
    char text[96];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    return text;
}

std::string FormatCode(std::uint32_t code) {
    char text[16];
    std::snprintf(text, sizeof text, "%lX", static_cast<unsigned long>(code));
    return text;
}

std::string FormatTable(const std::vector<Record>& records) {
    std::vector<std::vector<std::string>> rows{
        {"Time", "Workstation", "Module", "Line", "HRESULT", "Reason", "Details"}};
    for (const Record& r : records) {
        std::string details;  // no longer than its cell shows
        for (std::size_t i = 0; i < r.pairs.size() && details.size() <= kMaxLastCellBytes; ++i)
            details += (i ? "; " : "") + r.pairs[i].label + ": " + r.pairs[i].value;
        rows.push_back({FormatStamp(r.time), Clean(r.workstation), Clean(r.module), std::to_string(r.line),
                        FormatCode(r.code), Clean(r.reason), Clean(details)});
    }
    return Columns(std::move(rows), "lllrlll");
}

std::string FormatCsv(const std::vector<Record>& records) {
    std::size_t most = 0;
    for (const Record& r : records) most = std::max(most, r.pairs.size());
    std::string out = "time,workstation,module,line,hresult,reason";
    for (std::size_t i = 1; i <= most; ++i) out += ",label" + std::to_string(i) + ",value" + std::to_string(i);
    out += "\n";
    for (const Record& r : records) {
        out += FormatStamp(r.time) + "," + CsvField(r.workstation) + "," + CsvField(r.module) + "," +
               std::to_string(r.line) + "," + FormatCode(r.code) + "," + CsvField(r.reason);
        for (const Pair& p : r.pairs) out += "," + CsvField(p.label) + "," + CsvField(p.value);
        out += "\n";  // a shorter row ends early: filling it would multiply the longest record by the rows
    }
    return out;
}

std::string FormatJson(const std::vector<Record>& records) {
    std::string out = "[";
    for (std::size_t i = 0; i < records.size(); ++i) {
        const Record& r = records[i];
        out += std::string(i ? "," : "") + "\n{\"time\":\"" + FormatStamp(r.time) +
               "\",\"workstation\":" + JsonString(r.workstation) + ",\"module\":" + JsonString(r.module) +
               ",\"line\":" + std::to_string(r.line) + ",\"hresult\":\"" + FormatCode(r.code) +
               "\",\"reason\":" + JsonString(r.reason) + ",\"pairs\":[";
        for (std::size_t k = 0; k < r.pairs.size(); ++k)
            out += std::string(k ? "," : "") + "{\"label\":" + JsonString(r.pairs[k].label) +
                   ",\"value\":" + JsonString(r.pairs[k].value) + "}";
        out += "]}";
    }
    return out + (records.empty() ? "]\n" : "\n]\n");
}

void Summary::Add(const Record& r) {
    CodeCount& c = codes_[r.code];
    if (c.reason.empty()) c.reason = Clean(r.reason);
    ++c.records;
    ++stations_[r.workstation].records;
    ++records_;
}

void Summary::AddSkipped(const std::string& workstation, std::size_t fragments) {
    if (!fragments) return;
    stations_[workstation].skipped += fragments;
    skipped_ += fragments;
}

std::string Summary::Format() const {
    std::string out = "Records: " + std::to_string(records_) + "   Skipped fragments: " + std::to_string(skipped_) +
                      "\n\n";
    std::vector<std::vector<std::string>> rows{{"HRESULT", "Records", "Reason"}};
    for (auto it : ByCount(codes_, [](const CodeCount& c) { return c.records; }))
        rows.push_back({FormatCode(it->first), std::to_string(it->second.records), it->second.reason});
    out += Columns(std::move(rows), "lrl") + "\n";
    rows = {{"Workstation", "Records", "Skipped"}};
    for (auto it : ByCount(stations_, [](const StationCount& c) { return c.records; }))
        rows.push_back({Clean(it->first), std::to_string(it->second.records), std::to_string(it->second.skipped)});
    return out + Columns(std::move(rows), "lrr");
}

}  // namespace ovlog
