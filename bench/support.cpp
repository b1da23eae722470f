#include "support.h"

#include <algorithm>
#include <cstdio>
#include <thread>

namespace bench {

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

void Check(HRESULT hr, const char* what) {
    if (FAILED(hr)) throw Failed(std::string(what) + " failed: " + Hex(static_cast<unsigned long>(hr)));
}

std::string Hex(unsigned long value) {
    char text[16];
    std::snprintf(text, sizeof text, "%08lX", value);
    return text;
}

RegistryValueForNow::RegistryValueForNow(HKEY root, const char* subKey, const char* name, const std::string& value)
    : root_(root), subKey_(subKey), name_(name) {
    DWORD disposition = 0;
    if (RegCreateKeyExA(root, subKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key_.Put(), &disposition) !=
        ERROR_SUCCESS)
        throw Failed("cannot open HKLM\\" + subKey_);
    createdKey_ = disposition == REG_CREATED_NEW_KEY;
    DWORD size = 0;
    if (RegQueryValueExA(key_.Get(), name, nullptr, &savedType_, nullptr, &size) == ERROR_SUCCESS) {
        saved_.resize(size);
        had_ = RegQueryValueExA(key_.Get(), name, nullptr, &savedType_, saved_.data(), &size) == ERROR_SUCCESS;
        saved_.resize(size);
    }
    if (RegSetValueExA(key_.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>(value.size() + 1)) != ERROR_SUCCESS)
        throw Failed("cannot set " + name_);
}

RegistryValueForNow::~RegistryValueForNow() {
    if (had_)
        RegSetValueExA(key_.Get(), name_.c_str(), 0, savedType_, saved_.data(), static_cast<DWORD>(saved_.size()));
    else
        RegDeleteValueA(key_.Get(), name_.c_str());
    key_.Reset();
    if (createdKey_) RegDeleteKeyA(root_, subKey_.c_str());
}

void WriteText(const std::string& path, const std::string& text) {
    ov::UniqueFile f(std::fopen(path.c_str(), "wb"));
    if (!f || std::fwrite(text.data(), 1, text.size(), f.Get()) != text.size())
        throw Failed("cannot write " + path);
}

std::string ReadText(const std::string& path) {
    ov::UniqueFile f(std::fopen(path.c_str(), "rb"));
    std::string text;
    if (!f) return text;
    char block[65536];
    for (std::size_t n; (n = std::fread(block, 1, sizeof block, f.Get())) > 0;) text.append(block, n);
    return text;
}

void RemoveTree(const std::string& path) {
    WIN32_FIND_DATAA found;
    {
        ov::UniqueFind find(FindFirstFileA((path + "\\*").c_str(), &found));
        for (bool more = bool(find); more; more = FindNextFileA(find.Get(), &found)) {
            const std::string name = found.cFileName;
            if (name == "." || name == "..") continue;
            const std::string child = path + "\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(child);
            } else {
                SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(child.c_str());
            }
        }
    }
    RemoveDirectoryA(path.c_str());
}

namespace {

int boxesSeen = 0;

LRESULT CALLBACK AnswerBoxes(int code, WPARAM wParam, LPARAM lParam) {
    // Other processes' windows show up here too under Wine: only our own thread's count.
    HWND window = reinterpret_cast<HWND>(wParam);
    if (code == HCBT_ACTIVATE && window && GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId()) {
        ++boxesSeen;
        // OK ends a message box; Cancel ends a dialog that has no OK.
        PostMessageA(window, WM_COMMAND, IDOK, 0);
        PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

BoxWatch::BoxWatch() : hook_(SetWindowsHookExA(WH_CBT, AnswerBoxes, nullptr, GetCurrentThreadId())) {}
BoxWatch::~BoxWatch() {
    if (hook_) UnhookWindowsHookEx(hook_);
}
int BoxWatch::Seen() { return boxesSeen; }

Ran RunCaptured(std::string commandLine, DWORD timeoutMs) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) throw Failed("cannot make a pipe");
    ov::UniqueHandle reader(readEnd), writer(writeEnd);
    SetHandleInformation(reader.Get(), HANDLE_FLAG_INHERIT, 0);
    // The child's errors go where ours go.
    HANDLE errorOut = nullptr;
    DuplicateHandle(GetCurrentProcess(), GetStdHandle(STD_ERROR_HANDLE), GetCurrentProcess(), &errorOut, 0, TRUE,
                    DUPLICATE_SAME_ACCESS);
    ov::UniqueHandle errors(errorOut);

    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = nullptr;
    si.hStdOutput = writer.Get();
    si.hStdError = errors.Get();
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi))
        throw Failed("cannot start " + commandLine);
    ov::UniqueHandle process(pi.hProcess), thread(pi.hThread);
    writer.Reset();  // the child holds the only write end now: its end is our end of file

    Ran ran;
    std::thread drain([&] {
        char block[4096];
        DWORD got = 0;
        while (ReadFile(reader.Get(), block, sizeof block, &got, nullptr) && got > 0) ran.output.append(block, got);
    });
    if (WaitForSingleObject(process.Get(), timeoutMs) != WAIT_OBJECT_0) {
        ran.timedOut = true;
        TerminateProcess(process.Get(), 1);
        WaitForSingleObject(process.Get(), INFINITE);
    }
    drain.join();
    GetExitCodeProcess(process.Get(), &ran.exitCode);
    return ran;
}

ov::UniqueHandle Start(std::string commandLine) {
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        throw Failed("cannot start " + commandLine);
    ov::UniqueHandle thread(pi.hThread);
    return ov::UniqueHandle(pi.hProcess);
}

}  // namespace bench
