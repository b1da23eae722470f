// The error report and the log file "OVCILog.txt" in the install directory.
#pragma once

#include <windows.h>

#include <type_traits>

#include "../framework/bounded_text.h"
#include "../framework/last_error.h"
#include "error_codes.h"
#include "ini_keys.h"
#include "report.h"

namespace ov {

struct InstallPathRead;

class OVCILog {
public:
    static constexpr const char* kReportModule = kOVCILogModule;

    OVCILog();
    virtual ~OVCILog();

    // The report every failure goes through: the reason in a box when `box` is Shown, then a
    // record in the log with the label/value pieces. The pieces are checked here: only text,
    // and in pairs; "END" is added here.
    template <class... Pieces>
    void Report(HRESULT code, Place at, Box box, const Pieces&... pieces) noexcept {
        static_assert(((std::is_convertible_v<const Pieces&, const char*> &&
                        !std::is_same_v<Pieces, std::nullptr_t>) && ...),
                      "report pieces are narrow text");
        static_assert(sizeof...(Pieces) % 2 == 0, "report pieces come as label/value pairs");
        ReportError(code, at.module, at.line, static_cast<int>(box),
                    static_cast<const char*>(pieces)..., "END");
    }

    // Reports `code` and hands it back, for `return Fail(...)`.
    template <class... Pieces>
    HRESULT Fail(HRESULT code, Place at, Box box, const Pieces&... pieces) noexcept {
        Report(code, at, box, pieces...);
        return code;
    }

    // Reports the thread's last platform error, taken before anything else can change it,
    // and hands it back.
    template <class... Pieces>
    HRESULT FailWithLastError(Place at, Box box, const Pieces&... pieces) noexcept {
        return Fail(LastErrorHResult(), at, box, pieces...);
    }

    // An argument or path that is empty or too long for its buffer: E_INVALIDARG with the box,
    // the label and "Length Invalid".
    HRESULT RefuseLength(Place at, const char* label) noexcept {
        return Fail(E_INVALIDARG, at, Box::Shown, label, kLengthInvalid);
    }
    // A path or value formed here that does not fit its buffer: refused, never cut, since a cut
    // path would name some other place.
    HRESULT RefuseTooLong(Place at, Box box, const char* label) noexcept {
        return Fail(kE_TOOLONG, at, box, label, kLengthInvalid);
    }
    // A required INI or INF value that is missing or empty: OV_E_NODATA with the box and the
    // key's four pairs; the caller returns E_FAIL.
    HRESULT ReportMissingKey(Place at, const IniKey& k, const char* value, const char* fileLabel,
                             const char* file) noexcept {
        Report(OV_E_NODATA, at, Box::Shown, k.appLabel, k.app, k.keyLabel, k.key, k.valueLabel, value, fileLabel,
               file);
        return E_FAIL;
    }
    // One profile write; when it fails, the last error with the box, the key's pieces and the
    // file.
    HRESULT WriteIni(Place at, const IniKey& k, const char* value, const char* fileLabel, const char* file) noexcept {
        if (WritePrivateProfileStringA(k.app, k.key, value, file)) return S_OK;
        if (!k.valueLabel)
            return FailWithLastError(at, Box::Shown, k.appLabel, k.app, k.keyLabel, k.key, fileLabel, file);
        return FailWithLastError(at, Box::Shown, k.appLabel, k.app, k.keyLabel, k.key, k.valueLabel, value,
                                 fileLabel, file);
    }

    // The boundary of a member of the interface: runs its body and lets nothing thrown get
    // past, reporting it as E_FAIL from the member's place (with the pieces, where given).
    template <class Body, class... Pieces>
    HRESULT Guard(Place at, Box box, Body&& body, const Pieces&... pieces) noexcept {
        try {
            return body();
        } catch (...) {
            return Fail(E_FAIL, at, box, pieces...);
        }
    }

    // errno after a failed program start, as an HRESULT.
    HRESULT ErrnoToHResult();

    Path LogFilePath;
    int LogEnabled;

protected:
    // For an object that has read the install path itself: one registry read serves both.
    explicit OVCILog(const InstallPathRead& read);

    // The sink behind Report: the pieces follow as label/value pairs, ended by "END" or a
    // null pointer. Never throws.
    void ReportError(HRESULT code, const char* sourceFile, int line, int showMessageBox, ...) noexcept;
};

}  // namespace ov
