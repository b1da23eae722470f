// The error report and the log file "OVCILog.txt" in the install directory.
#pragma once

#include <windows.h>

namespace ov {

class OVCILog {
public:
    OVCILog();
    virtual ~OVCILog();

    // Shows the reason in a message box when showMessageBox is not 0, then appends a record
    // to the log. The text pieces follow as label/value pairs, ended by "END" or a null
    // pointer. Never throws.
    void ReportError(HRESULT code, const char* sourceFile, int line, int showMessageBox, ...);

    // errno after a failed program start, as an HRESULT.
    HRESULT ErrnoToHResult();

    char LogFilePath[MAX_PATH + 1];
    int LogEnabled;

private:
    void ReportPieces(HRESULT code, const char* sourceFile, int line, int showMessageBox,
                      va_list pieces) noexcept;
};

}  // namespace ov
