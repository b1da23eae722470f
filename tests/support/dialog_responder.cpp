#include "dialog_responder.h"

#include <algorithm>

namespace ovtest {
namespace {

thread_local DialogResponder* t_current = nullptr;
constexpr int kMessageBoxTextId = 0xFFFF;
constexpr UINT_PTR kTimerId = 0x4F56;

std::string WindowText(HWND hwnd) {
    char buf[4096] = {};
    GetWindowTextA(hwnd, buf, sizeof buf);
    return buf;
}

BOOL CALLBACK CollectChild(HWND child, LPARAM param) {
    auto* out = reinterpret_cast<ShownWindow*>(param);
    char cls[64] = {};
    GetClassNameA(child, cls, sizeof cls);
    ShownControl c{GetDlgCtrlID(child), cls, WindowText(child), GetWindowLongA(child, GWL_STYLE),
                   IsWindowVisible(child) != FALSE, IsWindowEnabled(child) != FALSE};
    if (c.id == kMessageBoxTextId) out->text = c.text;
    if (_stricmp(cls, "Button") == 0 && c.visible) out->buttons.push_back(c.text);
    out->controls.push_back(c);
    return TRUE;
}

}  // namespace

ShownWindow Describe(HWND hwnd) {
    ShownWindow w{WindowText(hwnd), "", {}, {}, GetWindowLongA(hwnd, GWL_STYLE)};
    EnumChildWindows(hwnd, CollectChild, reinterpret_cast<LPARAM>(&w));
    return w;
}

DialogResponder::DialogResponder(int commandId)
    : DialogResponder(Answer([commandId](HWND, const ShownWindow&) { return commandId; })) {}

DialogResponder::DialogResponder(Answer answer) : answer_(std::move(answer)) {
    t_current = this;
    hook_ = SetWindowsHookExA(WH_CBT, Hook, nullptr, GetCurrentThreadId());
}

DialogResponder::~DialogResponder() {
    if (hook_) UnhookWindowsHookEx(hook_);
    if (t_current == this) t_current = nullptr;
}

LRESULT CALLBACK DialogResponder::Hook(int code, WPARAM wParam, LPARAM lParam) {
    DialogResponder* self = t_current;
    if (self) {
        HWND hwnd = reinterpret_cast<HWND>(wParam);
        // Under Wine the hook also sees windows of other processes: only our own count.
        if (hwnd && GetWindowThreadProcessId(hwnd, nullptr) == GetCurrentThreadId()) {
            if (code == HCBT_ACTIVATE) self->OnActivate(hwnd);
            if (code == HCBT_DESTROYWND) {
                auto& a = self->answered_;
                a.erase(std::remove(a.begin(), a.end(), hwnd), a.end());
            }
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void DialogResponder::OnActivate(HWND hwnd) {
    if (GetWindowLongA(hwnd, GWL_STYLE) & WS_CHILD) return;
    if (std::find(answered_.begin(), answered_.end(), hwnd) != answered_.end()) return;
    answered_.push_back(hwnd);
    // Activation comes before the window's own initialisation: look at it once its modal
    // loop runs.
    SetTimer(hwnd, kTimerId, 1, OnTimer);
}

void CALLBACK DialogResponder::OnTimer(HWND hwnd, UINT, UINT_PTR id, DWORD) {
    KillTimer(hwnd, id);
    DialogResponder* self = t_current;
    if (!self) return;
    self->shown_.push_back(Describe(hwnd));
    int command = self->answer_(hwnd, self->shown_.back());
    if (command != 0) PostMessageA(hwnd, WM_COMMAND, MAKEWPARAM(command, BN_CLICKED), 0);
}

}  // namespace ovtest
