// Answers the message boxes that the product shows on the test's own thread with OK, and
// records what each one showed.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace ovtest {

struct ShownWindow {
    std::string title;
    std::string text;                  // a message box's text
    std::vector<std::string> buttons;  // texts of the visible buttons, in child order
};

class DialogResponder {
public:
    // onShown runs while each window is up, before it is answered.
    explicit DialogResponder(std::function<void()> onShown = nullptr);
    ~DialogResponder();
    DialogResponder(const DialogResponder&) = delete;
    DialogResponder& operator=(const DialogResponder&) = delete;

    const std::vector<ShownWindow>& Shown() const { return shown_; }
    void Clear() { shown_.clear(); }

private:
    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam);
    static void CALLBACK OnTimer(HWND hwnd, UINT, UINT_PTR id, DWORD);

    HHOOK hook_ = nullptr;
    std::function<void()> onShown_;
    std::vector<ShownWindow> shown_;
    std::vector<HWND> answered_;
};

}  // namespace ovtest
