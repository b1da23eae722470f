// The confirmation dialog a package install asks its questions with.
#pragma once

#include <windows.h>

#include <array>

#include "../diagnostics/OVCILog.h"
#include "../framework/modal_dialog.h"
#include "../framework/bounded_text.h"

namespace ov {

// Two faces: with a read-me path the buttons read "OK", "Cancel" and "View Changes" (which
// opens the read-me in Notepad); without one, "Continue" and "Cancel" only.
class OVCIConfirm : public ModalDialog<OVCIConfirm>, public OVCILog {
public:
    static constexpr const char* kReportModule = kOVCIConfirmModule;
    static constexpr INT_PTR kOK = IDOK;          // OK or Continue
    static constexpr INT_PTR kCancel = IDCANCEL;  // Cancel, Escape or the close box

    OVCIConfirm(const char* title, const char* message, const char* readMePath);

    // Shows the dialog modally: kOK, kCancel, or -1 when it cannot be shown.
    INT_PTR Run();

    static const std::array<DialogMessage<OVCIConfirm>, 4>& MessageMap();

    char Title[1024];
    char Message[1024];
    Path ReadMePath;

private:
    INT_PTR OnInitDialog();
    INT_PTR OnOK();
    INT_PTR OnCancel();
    INT_PTR OnViewChanges();
};

}  // namespace ov
