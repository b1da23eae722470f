#include "log_records.h"

#include <cstdio>
#include <cstring>

namespace ovtest {
namespace {

constexpr char kRecordStart[] = "\r\nTime: (mm/dd/yy)   ";

// Takes "<label><value>\r\n" off the front of rest.
bool TakeLine(std::string& rest, const std::string& label, std::string& value) {
    size_t end = rest.find("\r\n", label.size());
    if (rest.compare(0, label.size(), label) != 0 || end == std::string::npos) return false;
    value = rest.substr(label.size(), end - label.size());
    rest.erase(0, end + 2);
    return true;
}

bool ParseRecord(std::string rest, ParsedRecord& r) {
    SYSTEMTIME& t = r.time;
    if (std::sscanf(rest.c_str(), "\r\nTime: (mm/dd/yy)   %hu/%hu/%hu   %hu:%hu:%hu", &t.wMonth, &t.wDay, &t.wYear,
                    &t.wHour, &t.wMinute, &t.wSecond) != 6)
        return false;
    // Written again from the numbers: no leading zeros, no other spacing.
    char head[128];
    std::snprintf(head, sizeof head, "\r\nTime: (mm/dd/yy)   %u/%u/%u   %u:%u:%u \r\n", t.wMonth, t.wDay, t.wYear,
                  t.wHour, t.wMinute, t.wSecond);
    if (rest.compare(0, std::strlen(head), head) != 0) return false;
    rest.erase(0, std::strlen(head));
    if (!TakeLine(rest, "File:    ", r.file) || !TakeLine(rest, "Line:    ", r.line) ||
        !TakeLine(rest, "HRESULT: ", r.code) || rest.compare(0, 9, "Reason:  ") != 0)
        return false;
    r.tail = rest;
    return true;
}

}  // namespace

ParsedLog SplitLogRecords(const std::string& text) {
    ParsedLog log;
    size_t at = text.find(kRecordStart);
    log.before = text.substr(0, at);
    while (at != std::string::npos) {
        size_t next = text.find(kRecordStart, at + 2);
        ParsedRecord r;
        if (!ParseRecord(text.substr(at, next == std::string::npos ? next : next - at), r)) {
            log.error = "record " + std::to_string(log.records.size()) + " does not parse";
            return log;
        }
        log.records.push_back(std::move(r));
        at = next;
    }
    return log;
}

std::string SystemMessage(HRESULT code) {
    char* text = nullptr;
    DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                 FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, static_cast<DWORD>(code), 0x0400, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string out = (n && text) ? std::string(text, n) : std::string();
    if (text) LocalFree(text);
    return out;
}

std::string AsStored(const std::string& text) {
    std::string out;
    for (char c : text) out += c == '\n' ? "\r\n" : std::string(1, c);
    return out;
}

std::string HexCode(HRESULT code) {
    char text[16];
    std::snprintf(text, sizeof text, "%lX", static_cast<unsigned long>(code));
    return text;
}

}  // namespace ovtest
