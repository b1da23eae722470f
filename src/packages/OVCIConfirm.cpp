#include "OVCIConfirm.h"

#include <shellapi.h>

#include "../diagnostics/error_codes.h"
#include "../diagnostics/quiet_policy.h"
#include "../framework/ansi_text.h"
#include "confirm_resources.h"

namespace ov {

OVCIConfirm::OVCIConfirm(const wchar_t* title, const wchar_t* message, const wchar_t* readMePath)
    : Title{}, Message{}, ReadMePath(readMePath) {
    // The installs never pass texts this long; one that does not fit is shown empty rather
    // than cut, and logged.
    BStr wideTitle(title), wideMessage(message);
    if (!ToAnsi(wideTitle.Get(), Title)) Report(kE_TOOLONG, OV_HERE, Box::Hidden, "szTitle: ", kLengthInvalid);
    if (!ToAnsi(wideMessage.Get(), Message))
        Report(kE_TOOLONG, OV_HERE, Box::Hidden, "szMessage: ", kLengthInvalid);
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
        if (ReadMePath.Length() == 0) {
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
        char path[MAX_PATH] = {};
        // A path that does not fit would open some other file: refused, and Notepad not started.
        if (!ToAnsi(ReadMePath.Get(), path)) return Fail(kE_TOOLONG, OV_HERE, Box::Shown, "szReadMePath: ", kLengthInvalid);
        // Unquoted, as it stands: Notepad takes the rest of its command line as the file name.
        // Whether Notepad starts is not checked; the dialog stays open.
        ShellExecuteA(nullptr, "open", "notepad.exe", path, nullptr, SW_SHOWNORMAL);
        return 0;
    });
}

}  // namespace ov
