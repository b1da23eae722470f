#include "log_record.h"

#include <cstring>

#include "../framework/bounded_text.h"

namespace ov {

const char* SourceBaseName(const char* sourceFile) {
    if (!sourceFile) return "";
    const char* slash = std::strrchr(sourceFile, '\\');
    return slash ? slash + 1 : sourceFile;
}

std::string EscapeControls(const char* text) {
    std::string out;
    for (const char* p = text ? text : ""; *p; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c < 0x20 || c == 0x7F) {
            static const char kHex[] = "0123456789ABCDEF";
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::vector<std::string> FormatLogRecord(const LogTime& t, const char* sourceFile, int line,
                                         HResult code, const char* reason,
                                         const std::vector<const char*>& pieces) {
    char buf[kReportBufferSize];
    std::vector<std::string> out;
    out.emplace_back("\n");

    FormatBounded(buf, sizeof buf, "Time: (mm/dd/yy)   %i/%i/%i   %i:%i:%i ", t.month, t.day, t.year,
                  t.hour, t.minute, t.second);
    out.emplace_back(std::string(buf) + "\n");
    FormatBounded(buf, sizeof buf, "File:    %s", SourceBaseName(sourceFile));
    out.emplace_back(std::string(buf) + "\n");
    FormatBounded(buf, sizeof buf, "Line:    %d", line);
    out.emplace_back(std::string(buf) + "\n");
    FormatBounded(buf, sizeof buf, "HRESULT: %X", static_cast<unsigned>(code));
    out.emplace_back(std::string(buf) + "\n");

    // The reason brings its own line break; the pieces continue where it leaves off.
    FormatBounded(buf, sizeof buf, "Reason:  %s", reason ? reason : "");
    std::string pending = buf;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        pending += EscapeControls(pieces[i]);
        if (i % 2 == 1) {
            out.push_back(pending + "\n");
            pending.clear();
        }
    }
    if (!pending.empty()) out.push_back(pending);
    return out;
}

std::string FormatMessageBoxText(const char* reason) {
    char first[kReportBufferSize];
    char box[kReportBufferSize];
    FormatBounded(first, sizeof first, "The following error was detected:\r\n\r\n\r\n%s", reason ? reason : "");
    FormatBounded(box, sizeof box, "%s\r\n\r\nThe operation was not completed successfully", first);
    return box;
}

}  // namespace ov
