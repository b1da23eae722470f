#include "OVCILog.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <io.h>
#include <share.h>
#include <string>
#include <vector>

#include "install_path.h"
#include "../framework/bounded_text.h"
#include "../framework/unique_any.h"
#include "error_codes.h"
#include "log_record.h"
#include "quiet_policy.h"

namespace ov {
namespace {

constexpr char kLogFileName[] = "OVCILog.txt";
constexpr char kBoxTitle[] = "OVCustomInstall Error";

// The reason text: the system's own for its codes, else the platform's message table.
class Reason {
public:
    explicit Reason(HRESULT code) {
        if (const char* own = OwnReasonText(code)) {
            text_ = own;
            return;
        }
        // Without IGNORE_INSERTS a text with "%1" in it comes back as no text at all (or reads
        // arguments that were never passed); the reason shows such inserts as they stand.
        char* system = nullptr;
        DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                     FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, static_cast<DWORD>(code), 0x0400,
                                 reinterpret_cast<char*>(&system), 0, nullptr);
        system_.Reset(system);
        if (n && system) text_ = system;
    }
    const char* Text() const { return text_; }

private:
    UniqueLocal system_;
    const char* text_ = "";
};

// Several processes may append at once. Every writer opens the file shared and holds an
// exclusive lock on one byte far past any real end of file for the whole record, so that
// records never interleave; appends land at the end whatever the others wrote meanwhile.
class LogFileLock {
public:
    explicit LogFileLock(FILE* f) : handle_(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(f)))) {
        locked_ = handle_ != INVALID_HANDLE_VALUE &&
                  LockFileEx(handle_, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, Region());
    }
    ~LogFileLock() {
        if (locked_) UnlockFileEx(handle_, 0, 1, 0, Region());
    }
    LogFileLock(const LogFileLock&) = delete;
    LogFileLock& operator=(const LogFileLock&) = delete;

private:
    OVERLAPPED* Region() {
        std::memset(&region_, 0, sizeof region_);
        region_.Offset = 0xFFFFFFFEu;
        region_.OffsetHigh = 0x7FFFFFFFu;
        return &region_;
    }
    HANDLE handle_;
    OVERLAPPED region_;
    bool locked_ = false;
};

}  // namespace

OVCILog::OVCILog() : OVCILog(InstallPathRead::Now()) {}

OVCILog::OVCILog(const InstallPathRead& read) : LogFilePath{}, LogEnabled(0) {
    if (FAILED(read.result)) return;
    LogEnabled = 1;
    if (!FormatBounded(LogFilePath, sizeof LogFilePath, "%s\\%s", read.text, kLogFileName)) {
        LogFilePath[0] = '\0';
        LogEnabled = 0;
    }
}

OVCILog::~OVCILog() {
    LogEnabled = 0;
    LogFilePath[0] = '\0';
}

void OVCILog::ReportError(HRESULT code, const char* sourceFile, int line, int showMessageBox, ...) noexcept {
    try {
        Reason reason(code);
        if (showMessageBox && !QuietUI()) {
            std::string box = FormatMessageBoxText(reason.Text());
            MessageBoxA(nullptr, box.c_str(), kBoxTitle, 0);
        }
        if (!LogEnabled) return;

        std::vector<const char*> pieces;
        va_list args;
        va_start(args, showMessageBox);
        for (;;) {
            const char* p = va_arg(args, const char*);
            // "END" ends the list only where a label would stand: a value "END" (a file or a
            // section of that name) is logged like any other text.
            if (!p || (pieces.size() % 2 == 0 && std::strcmp(p, "END") == 0)) break;
            pieces.push_back(p);
        }
        va_end(args);

        SYSTEMTIME now;
        GetLocalTime(&now);
        LogTime t{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
        std::vector<std::string> record = FormatLogRecord(t, sourceFile, line, code, reason.Text(), pieces);

        // Text mode whatever the process's default: every '\n' is stored as CR LF.
        UniqueFile f(_fsopen(LogFilePath, "at", _SH_DENYNO));
        if (!f) return;
        LogFileLock lock(f.Get());
        for (const std::string& segment : record) {
            std::fputs(segment.c_str(), f.Get());
            std::fflush(f.Get());
        }
    } catch (...) {
        // A report never fails towards its caller.
    }
}

HRESULT OVCILog::ErrnoToHResult() { return MapErrno(errno); }

}  // namespace ov
