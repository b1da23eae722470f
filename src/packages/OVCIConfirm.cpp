#include "OVCIConfirm.h"

#include <shellapi.h>

#include <cstring>

#include "../diagnostics/error_codes.h"
#include "../diagnostics/quiet_policy.h"
#include "../framework/bounded_text.h"
#include "confirm_resources.h"

namespace ov {

OVCIConfirm::OVCIConfirm(const char* title, const char* message, const char* readMePath)
    : Title{}, Message{}, ReadMePath{} {
    // The installs never pass texts this long; one that does not fit is shown empty rather
    // than cut, and logged.
    if (!CopyBounded(Title, title)) RefuseTooLong(OV_HERE, Box::Hidden, "szTitle: ");
    if (!CopyBounded(Message, message)) RefuseTooLong(OV_HERE, Box::Hidden, "szMessage: ");
    if (readMePath && !CopyBounded(ReadMePath, readMePath)) RefuseTooLong(OV_HERE, Box::Hidden, "szReadMePath: ");
}

// Under the quiet policy nobody is there to answer: the question counts as confirmed, as an
// unattended installer's quiet level does.
INT_PTR OVCIConfirm::Run() { return QuietUI() ? kOK : DoModal(IDD_OVCICONFIRM); }

const std::array<DialogMessage<OVCIConfirm>, 4>& OVCIConfirm::MessageMap() {
    using M = DialogMessage<OVCIConfirm>;
    static const std::array<M, 4> map{{
        {WM_INITDIALOG, 0, M::kAnyCode, &OVCIConfirm::OnInitDialog},
        {WM_COMMAND, IDOK, M::kAnyCode, &OVCIConfirm::OnOK},
        {WM_COMMAND, IDCANCEL, M::kAnyCode, &OVCIConfirm::OnCancel},
        {WM_COMMAND, IDC_VIEW_CHANGES, BN_CLICKED, &OVCIConfirm::OnViewChanges},
    }};
    return map;
}

INT_PTR OVCIConfirm::OnInitDialog() {
    return Guard(OV_HERE, Box::Shown, [&]() -> HRESULT {
        SetWindowTextA(Hwnd(), Title);
        SetDlgItemTextA(Hwnd(), IDC_CONFIRM_MESSAGE, Message);
        if (ReadMePath[0] == '\0') {
            SetDlgItemTextA(Hwnd(), IDOK, "Continue");
            HWND viewChanges = GetDlgItem(Hwnd(), IDC_VIEW_CHANGES);
            ShowWindow(viewChanges, SW_HIDE);
            EnableWindow(viewChanges, FALSE);
        }
        return TRUE;  // the platform puts the focus on OK or Continue
    });
}

INT_PTR OVCIConfirm::OnOK() {
    return Guard(OV_HERE, Box::Shown, [&]() -> HRESULT {
        EndDialog(Hwnd(), kOK);
        return 0;
    });
}

// A failure while cancelling shows no box: the user has already said no.
INT_PTR OVCIConfirm::OnCancel() {
    return Guard(OV_HERE, Box::Hidden, [&]() -> HRESULT {
        EndDialog(Hwnd(), kCancel);
        return 0;
    });
}

INT_PTR OVCIConfirm::OnViewChanges() {
    return Guard(OV_HERE, Box::Shown, [&]() -> HRESULT {
        // A path that does not fit the platform's MAX_PATH would open some other file: refused,
        // and Notepad not started.
        if (std::strlen(ReadMePath) >= MAX_PATH) return RefuseTooLong(OV_HERE, Box::Shown, "szReadMePath: ");
        // Unquoted, as it stands: Notepad takes the rest of its command line as the file name.
        // Whether Notepad starts is not checked; the dialog stays open.
        ShellExecuteA(nullptr, "open", "notepad.exe", ReadMePath, nullptr, SW_SHOWNORMAL);
        return 0;
    });
}

}  // namespace ov
