// Stands in for a self-extracting package in the tests. It appends the command line it was
// started with to "stand_in_runs.txt" in the install path and, unless told otherwise, leaves
// its kind's marker there ("MLD*.exe": OVMLDOK.TMP, "MLE*.exe": OVMLEOK.TMP, any other name:
// OVMLSOK.TMP) and exits 0.
// The environment variable OV_STAND_IN changes that: blank-separated "nomarker" (or
// "nomarker:NAME", only when started as the file NAME), "exit:N", "sleep:MS" (before anything is
// written) and "crash".
// Started as "ov_see_stand_in answer TITLE" it is no package: it waits up to 30 s for a
// dialog of that title in another process and presses its OK button, for the script tests.
// Started as "ov_see_stand_in watch" it passes its input through to its output until the end
// of the input and meanwhile closes any box or dialog left unanswered for 5 s, naming it, and
// then exits 1: a script test that raises a box nothing answers ends at once.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <thread>

namespace {

std::string TextOf(HWND window) {
    char text[2048] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

// Closes every dialog window (message boxes too) that has been up for 5 s.
int Watch() {
    std::atomic<bool> done{false};
    int closed = 0;
    std::thread watcher([&] {
        std::map<HWND, DWORD> firstSeen;
        for (; !done; Sleep(200)) {
            for (HWND box = FindWindowExA(nullptr, nullptr, "#32770", nullptr); box;
                 box = FindWindowExA(nullptr, box, "#32770", nullptr)) {
                if (!IsWindowVisible(box)) continue;
                const DWORD now = GetTickCount(), since = firstSeen.emplace(box, now).first->second;
                if (now - since < 5000) continue;
                std::string text;
                for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
                    if (GetDlgCtrlID(c) == 0xFFFF || GetDlgCtrlID(c) == 206) text += TextOf(c);
                std::printf("a box that nothing answers, closed: \"%s\": %s\n", TextOf(box).c_str(), text.c_str());
                std::fflush(stdout);
                PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
                firstSeen.erase(box);
                ++closed;
            }
        }
    });
    char block[4096];
    DWORD got = 0;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), block, sizeof block, &got, nullptr) && got > 0) {
        DWORD put = 0;
        WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), block, got, &put, nullptr);
    }
    done = true;
    watcher.join();
    return closed ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && !std::strcmp(argv[1], "watch")) return Watch();
    if (argc == 3 && !std::strcmp(argv[1], "answer")) {
        for (int i = 0; i < 300; ++i, Sleep(100)) {
            if (HWND dialog = FindWindowA("#32770", argv[2])) {
                PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
                return 0;
            }
        }
        return 1;
    }
    char plan[512] = {};
    GetEnvironmentVariableA("OV_STAND_IN", plan, sizeof plan);
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    const char* name = std::strrchr(self, '\\') ? std::strrchr(self, '\\') + 1 : self;
    bool marker = true, crash = false;
    int exitCode = 0;
    for (char* word = std::strtok(plan, " "); word; word = std::strtok(nullptr, " ")) {
        if (!std::strcmp(word, "nomarker") || (!std::strncmp(word, "nomarker:", 9) && !_stricmp(word + 9, name)))
            marker = false;
        else if (!std::strcmp(word, "crash")) crash = true;
        else if (!std::strncmp(word, "exit:", 5)) exitCode = std::atoi(word + 5);
        else if (!std::strncmp(word, "sleep:", 6)) Sleep(static_cast<DWORD>(std::atoi(word + 6)));
    }

    char install[MAX_PATH] = {};
    DWORD size = sizeof install - 1;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Orvanta", "InstallPath", RRF_RT_REG_SZ, nullptr, install,
                     &size) != ERROR_SUCCESS)
        return 90;
    const std::string dir = install;
    if (FILE* runs = std::fopen((dir + "\\stand_in_runs.txt").c_str(), "ab")) {
        std::fprintf(runs, "%s\n", GetCommandLineA());
        std::fclose(runs);
    }
    if (crash) *static_cast<volatile int*>(nullptr) = 0;

    const char* kind = !_strnicmp(name, "MLD", 3) ? "OVMLDOK.TMP" : !_strnicmp(name, "MLE", 3) ? "OVMLEOK.TMP" : "OVMLSOK.TMP";
    if (marker) {
        if (FILE* f = std::fopen((dir + "\\" + kind).c_str(), "wb")) std::fclose(f);
    }
    return exitCode;
}
