// The support kit of the tests and the benchmarks: the registered control and its members, a
// sandboxed install directory, files and registry values, the log read back, and the answering
// of message boxes. No test framework in here: the benchmarks use it too.
#pragma once

#include <process.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <cstdio>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "control/ovcustinst_idl.h"
#include "framework/unique_any.h"

namespace ovtest {

inline std::string DllPath() {  // the module under test, as a Windows path
    std::string s = OV_DLL_FWD;
    std::replace(s.begin(), s.end(), '/', '\\');
    return s;
}

inline std::wstring Wide(const std::string& s) {
    std::wstring w(s.size() + 1, L'\0');
    w.resize(MultiByteToWideChar(CP_ACP, 0, s.c_str(), static_cast<int>(s.size()), &w[0], static_cast<int>(w.size())));
    return w;
}

inline std::string Narrow(BSTR s) {
    const int len = static_cast<int>(SysStringLen(s));
    std::string out(len * 4, '\0');
    out.resize(len ? WideCharToMultiByte(CP_ACP, 0, s, len, &out[0], len * 4, nullptr, nullptr) : 0);
    return out;
}

inline std::string HexCode(HRESULT code) {  // as the record writes it
    char text[16];
    std::snprintf(text, sizeof text, "%lX", static_cast<unsigned long>(code));
    return text;
}

inline int RegisterServer(bool unregister = false) {  // regsvr32's exit code
    char exe[MAX_PATH];
    const std::string tool = std::string(exe, GetSystemDirectoryA(exe, MAX_PATH)) + "\\regsvr32.exe";
    const std::string dll = "\"" + DllPath() + "\"";
    const char* mode = unregister ? "/u" : "/s";
    return static_cast<int>(_spawnl(_P_WAIT, tool.c_str(), tool.c_str(), "/s", mode, dll.c_str(), nullptr));
}

inline ov::ComPtr<IOVCustInst> CreateControl() {  // through the registry, by class id
    ov::ComPtr<IOVCustInst> p;
    HRESULT hr = CoCreateInstance(CLSID_OVCustInst, nullptr, CLSCTX_INPROC_SERVER, IID_IOVCustInst, p.PutVoid());
    if (FAILED(hr)) throw std::runtime_error("CoCreateInstance failed: " + HexCode(hr));
    return p;
}

template <class Fn>
Fn Export(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

inline HRESULT CanUnloadNow() {  // the loaded module's DllCanUnloadNow
    auto fn = Export<HRESULT(STDAPICALLTYPE*)()>(GetModuleHandleA("OVCustInstSrv.dll"), "DllCanUnloadNow");
    return fn ? fn() : E_UNEXPECTED;
}

// IOVCustInst as clients bind to it: each member's DISPID and vtable slot (0 to 6 belong to
// IUnknown and IDispatch; DISPID 2 is not used), and the getter of each property.
using Getter = HRESULT (STDMETHODCALLTYPE IOVCustInst::*)(BSTR*);
struct Member {
    const char* name;
    DISPID id;
    unsigned slot;
    Getter get;
};
inline const std::vector<Member>& Members() {
    using I = IOVCustInst;
    static const std::vector<Member> members = {
        {"CopyFile", 1, 7, nullptr},                        {"CopyOVCustomFilesFromINF", 3, 8, nullptr},
        {"CreateDir", 4, 9, nullptr},                       {"InstallMLScripts", 5, 10, nullptr},
        {"AppsPath", 6, 11, &I::get_AppsPath},              {"BackupPath", 7, 12, &I::get_BackupPath},
        {"BitmapPath", 8, 13, &I::get_BitmapPath},          {"DevelopPath", 9, 14, &I::get_DevelopPath},
        {"DownloadPath", 10, 15, &I::get_DownloadPath},     {"FilePath", 11, 16, &I::get_FilePath},
        {"HelpPath", 12, 17, &I::get_HelpPath},             {"LocalNWXORVANPath", 13, 18, &I::get_LocalNWXORVANPath},
        {"ProductionPath", 14, 19, &I::get_ProductionPath}, {"ScriptingPath", 15, 20, &I::get_ScriptingPath},
        {"ServerPath", 16, 21, &I::get_ServerPath},         {"WindowsDir", 17, 22, &I::get_WindowsDir},
        {"RunSEE", 18, 23, nullptr},                        {"Init", 19, 24, nullptr},
        {"LocalPLORVANPath", 20, 25, &I::get_LocalPLORVANPath},
        {"InstalledMLVersion", 21, 26, &I::get_InstalledMLVersion},
        {"CachedMLVersion", 22, 27, &I::get_CachedMLVersion}, {"InstallSEditor", 23, 28, nullptr},
        {"ConvertLogPath", 24, 29, &I::get_ConvertLogPath},
        {"ScriptingConversionPath", 25, 30, &I::get_ScriptingConversionPath},
        {"RunEditor", 26, 31, nullptr},                     {"MLReadMe", 27, 32, &I::get_MLReadMe},
        {"GetFreeDiskSpace", 28, 33, nullptr},              {"InstallDevFiles", 29, 34, nullptr},
        {"ScriptServerSetupComplete", 30, 35, nullptr},     {"SetScriptServer", 31, 36, nullptr},
    };
    return members;
}

inline std::string ReadFileText(const std::string& path) {  // empty when it cannot be read
    std::ostringstream ss;
    ss << std::ifstream(path, std::ios::binary).rdbuf();
    return ss.str();
}

inline bool WriteFileText(const std::string& path, const std::string& text) {
    return bool(std::ofstream(path, std::ios::binary | std::ios::trunc) << text);
}

// A value of an INI file, or the fallback; with no key, every name of the section, each ended by a NUL.
inline std::string Ini(const std::string& path, const char* section, const char* key, const char* fallback = "<none>") {
    char value[1024] = {};
    return std::string(value, GetPrivateProfileStringA(section, key, fallback, value, sizeof value, path.c_str()));
}

inline bool PathExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

inline void RemoveTree(const std::string& path) {
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((path + "\\*").c_str(), &fd);
    for (BOOL more = h != INVALID_HANDLE_VALUE; more; more = FindNextFileA(h, &fd)) {
        const std::string name = fd.cFileName, child = path + "\\" + name;
        if (name == "." || name == "..") continue;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveTree(child);
        SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(child.c_str());
    }
    if (h != INVALID_HANDLE_VALUE) FindClose(h);
    RemoveDirectoryA(path.c_str());
}

using Files = std::vector<std::string>;
// Every file and folder (with a backslash at its end) below root, sorted, but those skipped.
inline Files Below(const std::string& root, const Files& skip = {}, const std::string& rel = "") {
    Files out;
    WIN32_FIND_DATAA f;
    ov::UniqueFind find(FindFirstFileA((root + "\\" + rel + "*").c_str(), &f));
    for (bool more = bool(find); more; more = FindNextFileA(find.Get(), &f)) {
        const std::string name = rel + f.cFileName;
        if (!strcmp(f.cFileName, ".") || !strcmp(f.cFileName, "..") || std::count(skip.begin(), skip.end(), name))
            continue;
        const bool folder = f.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
        out.push_back(folder ? name + "\\" : name);
        for (const std::string& s : folder ? Below(root, skip, name + "\\") : Files()) out.push_back(s);
    }
    std::sort(out.begin(), out.end());
    return out;
}

// One value under HKEY_LOCAL_MACHINE, put back as it was (or removed) at the end; its key too
// when the guard found none and nothing is left in it.
class RegistryValueGuard {
public:
    RegistryValueGuard(const std::string& subKey, const std::string& name) : subKey_(subKey), name_(name) {
        ov::RegKey key;
        keyExisted_ = !RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey.c_str(), 0, KEY_READ, key.Put());
        DWORD size = sizeof buf_;
        existed_ = !RegGetValueA(HKEY_LOCAL_MACHINE, subKey.c_str(), name.c_str(), RRF_RT_ANY, &type_, buf_, &size);
        data_.assign(buf_, existed_ ? size : 0);
    }
    ~RegistryValueGuard() {
        if (existed_) SetBytes(data_.data(), static_cast<DWORD>(data_.size()), type_);
        else Remove();
        ov::RegKey key;
        DWORD subKeys = 1, values = 1;
        if (!keyExisted_ && !RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey_.c_str(), 0, KEY_READ, key.Put()) &&
            !RegQueryInfoKeyA(key.Get(), nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, nullptr,
                              nullptr, nullptr, nullptr) &&
            subKeys + values == 0) {
            key.Reset();
            RegDeleteKeyA(HKEY_LOCAL_MACHINE, subKey_.c_str());
        }
    }
    RegistryValueGuard(const RegistryValueGuard&) = delete;
    RegistryValueGuard& operator=(const RegistryValueGuard&) = delete;
    bool Set(const std::string& value) { return SetBytes(value.c_str(), static_cast<DWORD>(value.size() + 1)); }
    bool SetBytes(const void* data, DWORD size, DWORD type = REG_SZ) {
        ov::RegKey key;
        return !RegCreateKeyExA(HKEY_LOCAL_MACHINE, subKey_.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.Put(),
                                nullptr) &&
               !RegSetValueExA(key.Get(), name_.c_str(), 0, type, static_cast<const BYTE*>(data), size);
    }
    void Remove() {
        ov::RegKey key;
        if (!RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey_.c_str(), 0, KEY_SET_VALUE, key.Put()))
            RegDeleteValueA(key.Get(), name_.c_str());
    }

private:
    std::string subKey_, name_, data_;
    char buf_[4096];
    bool existed_ = false, keyExisted_ = false;
    DWORD type_ = 0;
};

// A fresh install directory named by HKLM\SOFTWARE\Orvanta "InstallPath" for the test's
// lifetime; the registry and the disk are put back afterwards.
class InstallSandbox {
public:
    InstallSandbox() {
        static unsigned counter = 0;
        path_ = "C:\\ovtest\\" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter) + "-" +
                std::to_string(GetTickCount());
        CreateDirectoryA("C:\\ovtest", nullptr);
        CreateDirectoryA(path_.c_str(), nullptr);
        installPath_.Set(path_);
    }
    ~InstallSandbox() { RemoveTree(path_); }
    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& rel) const { return path_ + "\\" + rel; }
    std::string LogText() const { return ReadFileText(*this / "OVCILog.txt"); }
    RegistryValueGuard& InstallPathValue() { return installPath_; }
    // The whole key: the values that the tests change come back with their guards.
    void RemoveOrvantaKey() { RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Orvanta"); }

private:
    std::string path_;
    RegistryValueGuard installPath_{"SOFTWARE\\Orvanta", "InstallPath"};
};

// OVCILog.txt read back: each record's fixed lines taken apart, the rest kept as written.
struct ParsedRecord {
    SYSTEMTIME time{};
    std::string file, line, code;  // the values of the "File:", "Line:" and "HRESULT:" lines
    std::string tail;              // from "Reason:  " up to where the next record begins
};
struct ParsedLog {
    std::string before;  // whatever precedes the first record
    std::vector<ParsedRecord> records;
    std::string error;  // which record did not parse; empty when all did
};

// Every record must start with its fixed lines exactly as written: numbers without leading
// zeros, the code in upper-case hexadecimal, each line ended by CR LF.
inline ParsedLog SplitLogRecords(const std::string& text) {
    static const std::string start = "\r\nTime: (mm/dd/yy)   ";
    static const std::regex head(
        "\r\nTime: \\(mm/dd/yy\\)   ([1-9]\\d?)/([1-9]\\d?)/([1-9]\\d*)   ([1-9]?\\d):([1-9]?\\d):([1-9]?\\d) \r\n"
        "File:    ([^\r\n]*)\r\nLine:    (-?[1-9]\\d*|0)\r\nHRESULT: ([1-9A-F][0-9A-F]*|0)\r\n(?=Reason:  )");
    ParsedLog log;
    size_t at = text.find(start);
    log.before = text.substr(0, at);
    for (std::smatch m; at != std::string::npos; at = text.find(start, at + 2)) {
        if (!std::regex_search(text.begin() + at, text.end(), m, head, std::regex_constants::match_continuous)) {
            log.error = "record " + std::to_string(log.records.size()) + " does not parse";
            break;
        }
        const size_t next = text.find(start, at + 2), tail = at + m.length(0);
        ParsedRecord r{{}, m[7], m[8], m[9], text.substr(tail, next == std::string::npos ? next : next - tail)};
        WORD* fields[] = {&r.time.wMonth, &r.time.wDay, &r.time.wYear, &r.time.wHour, &r.time.wMinute, &r.time.wSecond};
        for (int i = 0; i < 6; ++i) *fields[i] = static_cast<WORD>(std::stoi(m[i + 1]));
        log.records.push_back(r);
    }
    return log;
}

inline std::string SystemMessage(HRESULT code) {  // the system's text for a code, or empty
    char* text = nullptr;
    const DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    DWORD n = FormatMessageA(flags, nullptr, DWORD(code), 0x0400, reinterpret_cast<LPSTR>(&text), 0, nullptr);
    std::string out = (n && text) ? std::string(text, n) : std::string();
    LocalFree(text);
    return out;
}

// Text as a text-mode stream stores it: every line feed becomes CR LF.
inline std::string AsStored(const std::string& text) { return std::regex_replace(text, std::regex("\n"), "\r\n"); }

// Each record of a log as "<code> <pieces>": the label/value lines as written after the reason
// that the code gives (the system's own two texts, else the system's text).
inline std::vector<std::string> RecordsOf(const std::string& logText) {
    std::vector<std::string> out;
    for (const ParsedRecord& r : SplitLogRecords(logText).records) {
        const HRESULT code = static_cast<HRESULT>(std::stoul(r.code, nullptr, 16));
        const std::string reason = "Reason:  " + AsStored(code == static_cast<HRESULT>(0x80040201u)
                                                              ? "Could not find ORVAN data.\n"
                                                          : code == static_cast<HRESULT>(0x80040200u)
                                                              ? "Copy of SSE did not succeed.\n"
                                                              : SystemMessage(code));
        out.push_back(r.code + " " + (r.tail.rfind(reason, 0) ? "<another reason> " + r.tail : r.tail.substr(reason.size())));
    }
    return out;
}

// Message boxes and dialogs of one thread, seen through the live window: the innermost watch in
// scope answers each once it shows (a DialogResponder, else a StrayBoxes). Only the thread's own
// dialog windows count; a box with no watch at all would wait for ever under the null driver.
struct ShownWindow {
    std::string title;
    std::string text;                  // a message box's text, or a dialog's text box
    std::vector<std::string> buttons;  // in child order, marked " (hidden)" and " (disabled)"
};
class BoxWatch {
public:
    // Runs while the window is up and gives the command to send it (0: none, it acted itself).
    using Answer = std::function<int(HWND, const ShownWindow&)>;
    explicit BoxWatch(Answer answer) : answer_(std::move(answer)) {
        if (This().watches.empty()) This().hook = SetWindowsHookExA(WH_CBT, Hook, nullptr, GetCurrentThreadId());
        This().watches.push_back(this);
    }
    ~BoxWatch() {
        This().watches.pop_back();
        if (This().watches.empty()) UnhookWindowsHookEx(This().hook);
    }
    BoxWatch(const BoxWatch&) = delete;
    BoxWatch& operator=(const BoxWatch&) = delete;

private:
    static std::string Text(HWND hwnd) {
        char buf[4096] = {};
        GetWindowTextA(hwnd, buf, sizeof buf);
        return buf;
    }
    // Under Wine the hook sees other processes' windows too: only ours count, each once (marked by
    // a property). Activation comes before the window's own set-up: look once its loop runs.
    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam) {
        HWND hwnd = reinterpret_cast<HWND>(wParam);
        char cls[16] = {};
        if (code == HCBT_ACTIVATE && hwnd && GetWindowThreadProcessId(hwnd, nullptr) == GetCurrentThreadId() &&
            GetClassNameA(hwnd, cls, sizeof cls) && !std::strcmp(cls, "#32770") && !GetPropA(hwnd, "ov") &&
            SetPropA(hwnd, "ov", hwnd))
            SetTimer(hwnd, 1, 1, OnTimer);
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }
    static void CALLBACK OnTimer(HWND hwnd, UINT, UINT_PTR id, DWORD) {
        if (!IsWindowVisible(hwnd)) return;  // not shown yet: its controls would read as hidden
        KillTimer(hwnd, id);
        ShownWindow w{Text(hwnd), "", {}};
        for (HWND c = GetWindow(hwnd, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
            char cls[64] = {};
            GetClassNameA(c, cls, sizeof cls);
            if (GetDlgCtrlID(c) == 0xFFFF || !_stricmp(cls, "Edit")) w.text = Text(c);
            if (!_stricmp(cls, "Button"))
                w.buttons.push_back(Text(c) + (IsWindowVisible(c) ? "" : " (hidden)") +
                                    (IsWindowEnabled(c) ? "" : " (disabled)"));
        }
        const auto& watches = This().watches;
        const int command = watches.empty() ? IDCANCEL : watches.back()->answer_(hwnd, w);
        if (command) PostMessageA(hwnd, WM_COMMAND, MAKEWPARAM(command, BN_CLICKED), 0);
    }

    struct Thread {
        std::vector<BoxWatch*> watches;
        HHOOK hook = nullptr;
    };
    static Thread& This() {
        static thread_local Thread t;
        return t;
    }
    Answer answer_;
};

// Answers every box and dialog while in scope and records what each showed; by default OK.
class DialogResponder : BoxWatch {
public:
    explicit DialogResponder(Answer answer = nullptr)
        : BoxWatch([this](HWND hwnd, const ShownWindow& w) {
              shown_.push_back(w);
              return answer_ ? answer_(hwnd, w) : IDOK;
          }),
          answer_(std::move(answer)) {}
    const std::vector<ShownWindow>& Shown() const { return shown_; }
    void Clear() { shown_.clear(); }

private:
    Answer answer_;
    std::vector<ShownWindow> shown_;
};

// Where nothing is to be asked: each box is told to `seen` and closed at once with Cancel, so a
// fault that raises one ends in a failure that names it, not in a wait for a time-out.
class StrayBoxes : BoxWatch {
public:
    explicit StrayBoxes(std::function<void(const ShownWindow&)> seen)
        : BoxWatch([seen = std::move(seen)](HWND, const ShownWindow& w) { return seen(w), IDCANCEL; }) {}
};

}  // namespace ovtest
