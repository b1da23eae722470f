// A modal dialog made from a template of the module. The object is recorded for the dialog
// procedure when the dialog starts; from then on each message goes through T's message map.
#pragma once

#include <windows.h>

#include "module.h"

namespace ov {

// One row of a dialog's message map. A command row matches its control id and, unless
// kAnyCode, its notification code. The handler's answer is the message's result.
template <class T>
struct DialogMessage {
    static constexpr int kAnyCode = -1;
    UINT message;
    WORD id;
    int code;
    INT_PTR (T::*handler)();
};

template <class T>
class ModalDialog {
public:
    // Runs the dialog from template `templateId` with no owner window until it ends: the end
    // code, or -1 when the dialog cannot be created.
    INT_PTR DoModal(UINT templateId) {
        return DialogBoxParamW(g_module.Instance(), MAKEINTRESOURCEW(templateId), nullptr, &StartDialogProc,
                               reinterpret_cast<LPARAM>(this));
    }

protected:
    HWND Hwnd() const { return hwnd_; }

private:
    static INT_PTR CALLBACK StartDialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        if (msg == WM_INITDIALOG) {
            SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
            reinterpret_cast<ModalDialog*>(lParam)->hwnd_ = hwnd;
        }
        auto* self = reinterpret_cast<ModalDialog*>(GetWindowLongPtrW(hwnd, DWLP_USER));
        if (!self) return FALSE;  // the messages before WM_INITDIALOG
        for (const DialogMessage<T>& row : T::MessageMap()) {
            if (row.message != msg) continue;
            if (msg == WM_COMMAND && (LOWORD(wParam) != row.id ||
                                      (row.code != DialogMessage<T>::kAnyCode && HIWORD(wParam) != row.code)))
                continue;
            INT_PTR result = (static_cast<T*>(self)->*row.handler)();
            // WM_INITDIALOG answers directly (TRUE: the platform sets the focus); other messages
            // answer through the dialog's message result.
            if (msg == WM_INITDIALOG) return result;
            SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, result);
            return TRUE;
        }
        return FALSE;
    }

    HWND hwnd_ = nullptr;
};

}  // namespace ov
