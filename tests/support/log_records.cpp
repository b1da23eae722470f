#include "log_records.h"

#include <regex>

namespace ovtest {
namespace {

constexpr char kRecordStart[] = "\r\nTime: (mm/dd/yy)   ";

// Numbers without leading zeros, month before day, the year in full.
const std::regex& TimeLinePattern() {
    static const std::regex re(
        R"(Time: \(mm/dd/yy\)   ([1-9]|1[0-2])/([1-9]|[12][0-9]|3[01])/([0-9]{4})   )"
        R"(([0-9]|1[0-9]|2[0-3]):([0-9]|[1-5][0-9]):([0-9]|[1-5][0-9]) )");
    return re;
}

// Takes "<label><value>\r\n" off the front of rest.
bool TakeLine(std::string& rest, const std::string& label, std::string& value) {
    if (rest.compare(0, label.size(), label) != 0) return false;
    size_t end = rest.find("\r\n", label.size());
    if (end == std::string::npos) return false;
    value = rest.substr(label.size(), end - label.size());
    rest.erase(0, end + 2);
    return true;
}

bool ParseRecord(std::string chunk, ParsedRecord& r, std::string& error) {
    chunk.erase(0, 2);  // the leading line end
    if (!TakeLine(chunk, "", r.timeLine)) { error = "no time line"; return false; }
    std::smatch m;
    if (!std::regex_match(r.timeLine, m, TimeLinePattern())) { error = "time line: [" + r.timeLine + "]"; return false; }
    r.time.wMonth = static_cast<WORD>(std::stoi(m[1]));
    r.time.wDay = static_cast<WORD>(std::stoi(m[2]));
    r.time.wYear = static_cast<WORD>(std::stoi(m[3]));
    r.time.wHour = static_cast<WORD>(std::stoi(m[4]));
    r.time.wMinute = static_cast<WORD>(std::stoi(m[5]));
    r.time.wSecond = static_cast<WORD>(std::stoi(m[6]));
    if (!TakeLine(chunk, "File:    ", r.file)) { error = "file line"; return false; }
    if (!TakeLine(chunk, "Line:    ", r.line) ||
        !std::regex_match(r.line, std::regex("-?(0|[1-9][0-9]*)"))) { error = "line line"; return false; }
    if (!TakeLine(chunk, "HRESULT: ", r.code) ||
        !std::regex_match(r.code, std::regex("0|[1-9A-F][0-9A-F]{0,7}"))) { error = "HRESULT line"; return false; }
    if (chunk.compare(0, 9, "Reason:  ") != 0) { error = "reason line"; return false; }
    r.tail = chunk;
    return true;
}

}  // namespace

ParsedLog SplitLogRecords(const std::string& text) {
    ParsedLog log;
    size_t at = text.find(kRecordStart);
    log.before = text.substr(0, at == std::string::npos ? text.size() : at);
    while (at != std::string::npos) {
        size_t next = text.find(kRecordStart, at + 2);
        ParsedRecord r;
        std::string error;
        if (!ParseRecord(text.substr(at, next == std::string::npos ? std::string::npos : next - at), r, error)) {
            log.error = "record " + std::to_string(log.records.size()) + ": " + error;
            return log;
        }
        log.records.push_back(std::move(r));
        at = next;
    }
    return log;
}

std::string SystemMessage(HRESULT code) {
    char* text = nullptr;
    DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, static_cast<DWORD>(code), 0x0400, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string out = (n && text) ? std::string(text, n) : std::string();
    if (text) LocalFree(text);
    return out;
}

std::string AsStored(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

SYSTEMTIME LocalNow() {
    SYSTEMTIME t;
    GetLocalTime(&t);
    return t;
}

bool TimeWithin(const SYSTEMTIME& t, const SYSTEMTIME& from, const SYSTEMTIME& to) {
    auto seconds = [](SYSTEMTIME s) {
        s.wMilliseconds = 0;
        s.wDayOfWeek = 0;
        FILETIME ft;
        if (!SystemTimeToFileTime(&s, &ft)) return ~0ull;
        return ((static_cast<unsigned long long>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime) / 10000000ull;
    };
    unsigned long long v = seconds(t);
    return v != ~0ull && seconds(from) <= v && v <= seconds(to);
}

}  // namespace ovtest
