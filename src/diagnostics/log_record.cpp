#include "log_record.h"

#include <cstring>

#include "../framework/bounded_text.h"

namespace ov {

const char* SourceBaseName(const char* sourceFile) {
    if (!sourceFile) return "";
    const char* slash = std::strrchr(sourceFile, '\\');
    return slash ? slash + 1 : sourceFile;
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
        pending += pieces[i];
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
