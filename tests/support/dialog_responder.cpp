#include "dialog_responder.h"

#include <algorithm>

namespace ovtest {
namespace {

thread_local DialogResponder* t_current = nullptr;

std::string WindowText(HWND hwnd) {
    char buf[4096] = {};
    GetWindowTextA(hwnd, buf, sizeof buf);
    return buf;
}

BOOL CALLBACK CollectChild(HWND child, LPARAM param) {
    auto* out = reinterpret_cast<ShownWindow*>(param);
    char cls[64] = {};
    GetClassNameA(child, cls, sizeof cls);
    if (GetDlgCtrlID(child) == 0xFFFF) out->text = WindowText(child);  // a message box's text
    if (_stricmp(cls, "Button") == 0 && IsWindowVisible(child)) out->buttons.push_back(WindowText(child));
    return TRUE;
}

}  // namespace

DialogResponder::DialogResponder(std::function<void()> onShown) : onShown_(std::move(onShown)) {
    t_current = this;
    hook_ = SetWindowsHookExA(WH_CBT, Hook, nullptr, GetCurrentThreadId());
}

DialogResponder::~DialogResponder() {
    if (hook_) UnhookWindowsHookEx(hook_);
    if (t_current == this) t_current = nullptr;
}

LRESULT CALLBACK DialogResponder::Hook(int code, WPARAM wParam, LPARAM lParam) {
    DialogResponder* self = t_current;
    HWND hwnd = reinterpret_cast<HWND>(wParam);
    // Under Wine the hook also sees windows of other processes: only our own count.
    if (self && hwnd && GetWindowThreadProcessId(hwnd, nullptr) == GetCurrentThreadId()) {
        auto& a = self->answered_;
        if (code == HCBT_DESTROYWND) a.erase(std::remove(a.begin(), a.end(), hwnd), a.end());
        if (code == HCBT_ACTIVATE && !(GetWindowLongA(hwnd, GWL_STYLE) & WS_CHILD) &&
            std::find(a.begin(), a.end(), hwnd) == a.end()) {
            a.push_back(hwnd);
            // Activation comes before the window's own initialisation: look at it once its
            // modal loop runs.
            SetTimer(hwnd, 0x4F56, 1, OnTimer);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void CALLBACK DialogResponder::OnTimer(HWND hwnd, UINT, UINT_PTR id, DWORD) {
    KillTimer(hwnd, id);
    DialogResponder* self = t_current;
    if (!self) return;
    ShownWindow w{WindowText(hwnd), "", {}};
    EnumChildWindows(hwnd, CollectChild, reinterpret_cast<LPARAM>(&w));
    self->shown_.push_back(w);
    if (self->onShown_) self->onShown_();
    PostMessageA(hwnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

}  // namespace ovtest
