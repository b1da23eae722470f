// Answers the message boxes and dialogs that the product shows on the test's own thread,
// and records what each one showed.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace ovtest {

struct ShownControl {
    int id;
    std::string className;
    std::string text;
    LONG style;
    bool visible;
    bool enabled;
};

struct ShownWindow {
    std::string title;
    std::string text;                  // a message box's text (empty for other dialogs)
    std::vector<std::string> buttons;  // texts of the visible buttons, in child order
    std::vector<ShownControl> controls;
    LONG style;
};

class DialogResponder {
public:
    // Decides how to end a window; returns the command id to send it.
    using Answer = std::function<int(HWND, const ShownWindow&)>;

    explicit DialogResponder(int commandId = IDOK);
    explicit DialogResponder(Answer answer);
    ~DialogResponder();
    DialogResponder(const DialogResponder&) = delete;
    DialogResponder& operator=(const DialogResponder&) = delete;

    const std::vector<ShownWindow>& Shown() const { return shown_; }
    void Clear() { shown_.clear(); }

private:
    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam);
    void OnActivate(HWND hwnd);
    static void CALLBACK OnTimer(HWND hwnd, UINT, UINT_PTR id, DWORD);

    HHOOK hook_ = nullptr;
    Answer answer_;
    std::vector<ShownWindow> shown_;
    std::vector<HWND> answered_;
};

// What a top-level window shows: its title, message text, buttons and controls.
ShownWindow Describe(HWND hwnd);

}  // namespace ovtest
