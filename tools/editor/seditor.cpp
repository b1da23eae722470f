// The script editor that the server's RunEditor starts:
//     seditor.exe <server Orvan.ini> <workstation Empxxx.ini>
// It lists every file of the server's production and development script folders, opens one in
// a text area and saves it; the workstation's settings say whether the previous version is
// kept in the backup folder first and whether to ask before unsaved changes are dropped.
// Missing settings or folders are told in the status line and in the empty text area, never
// in a message box: the program must come up without anyone answering. A file named after a
// device (prn.asl) is not listed: opening it would read the device, saving it write there.
#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/dos_device_name.h"
#include "framework/unique_any.h"

namespace {

const char kClass[] = "ScriptFileWindow";  // the server finds a running editor by this class
const char kTitle[] = "Script Editor";
enum : int { kList = 100, kEdit, kStatus, kSave, kExit };

using Font = ov::UniqueAny<HFONT, &DeleteObject>;
using Accelerators = ov::UniqueAny<HACCEL, &DestroyAcceleratorTable>;

struct Script {
    std::string label;  // as listed: the folder's name from Orvan.ini and the file's
    std::string path;
};

bool IsFile(const std::string& p) {
    const DWORD a = GetFileAttributesA(p.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}
bool IsFolder(const std::string& p) {
    const DWORD a = GetFileAttributesA(p.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}
std::string Parent(const std::string& p) { return p.substr(0, p.find_last_of("\\/")); }
std::string Name(const std::string& p) { return p.substr(p.find_last_of("\\/") + 1); }

std::string Trim(std::string s) {
    s.erase(0, s.find_first_not_of(" \t"));
    s.erase(s.find_last_not_of(" \t") + 1);
    return s;
}

std::wstring WideName(const char* name) {  // in the ANSI code page, as FindFirstFileA gives it
    std::wstring wide(MAX_PATH, L'\0');
    const int n = MultiByteToWideChar(CP_ACP, 0, name, -1, &wide[0], MAX_PATH);
    wide.resize(n > 0 ? n - 1 : 0);
    return wide;
}

std::string SystemText(DWORD error) {  // the platform's reason, without its line end
    char text[512] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text, sizeof text,
                   nullptr);
    std::string reason = text;
    return reason.erase(reason.find_last_not_of("\r\n .") + 1);
}

// The text is written whole into a new file beside the script, which then takes the script's
// place: a write that fails (a full drive) leaves the script as it was, and the new file is
// removed. Returns 0 or the platform's error.
DWORD WriteWhole(const std::string& path, const std::string& text) {
    char temp[MAX_PATH];
    if (!GetTempFileNameA(Parent(path).c_str(), "sed", 0, temp)) return GetLastError();
    DWORD error = 0;
    {
        ov::UniqueHFile file(
            CreateFileA(temp, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        const DWORD size = static_cast<DWORD>(text.size());
        DWORD done = 0;
        if (!file || !WriteFile(file.Get(), text.data(), size, &done, nullptr) || !FlushFileBuffers(file.Get()))
            error = GetLastError();
        else if (done != size)
            error = ERROR_DISK_FULL;
    }
    if (!error && !MoveFileExA(temp, path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        error = GetLastError();
    if (error) DeleteFileA(temp);
    return error;
}

std::string FullPath(const std::string& p) {  // the folder of a relative Orvan.ini must be absolute
    char full[MAX_PATH];
    const DWORD n = p.empty() ? 0 : GetFullPathNameA(p.c_str(), MAX_PATH, full, nullptr);
    return n && n < MAX_PATH ? std::string(full, n) : p;
}

std::string Setting(const std::string& ini, const char* key) {
    char value[MAX_PATH] = {};
    GetPrivateProfileStringA("Scripting", key, "", value, sizeof value, ini.c_str());
    return value;
}

// Where a piece of an unquoted command line ends: at the blank after the first `ending` (".exe ",
// ".ini ") in it, else at its first blank.
size_t PieceEnd(std::string text, const char* ending) {
    CharLowerBuffA(&text[0], static_cast<DWORD>(text.size()));
    const size_t at = text.find(ending);
    return at != std::string::npos ? at + std::strlen(ending) - 1 : text.find(' ');
}

// The server joins the program path and both INI paths with single blanks and quotes none of
// them, so a path with blanks arrives split: the program path runs to the first ".exe" and the
// server's path to the first ".ini" that a blank follows; the rest is the workstation's. Paths
// typed in quotes are taken as the runtime splits them.
void SplitArguments(const std::string& line, std::string& server, std::string& workstation) {
    const size_t program = line[0] == '"' ? line.find('"', 1) : PieceEnd(line, ".exe ");
    const std::string rest = program == std::string::npos ? "" : Trim(line.substr(program + 1));
    if (rest.find('"') != std::string::npos) {
        server = __argc > 1 ? __argv[1] : "";
        workstation = __argc > 2 ? __argv[2] : "";
        return;
    }
    const size_t cut = PieceEnd(rest, ".ini ");
    server = rest.substr(0, cut);
    workstation = cut == std::string::npos ? "" : Trim(rest.substr(cut));
}

class Editor {
public:
    Editor(const std::string& server, const std::string& workstation)
        : serverIni_(FullPath(server)), workstationIni_(FullPath(workstation)) {}

    void Create(HWND window) {
        window_ = window;
        const HINSTANCE instance = GetModuleHandleA(nullptr);
        auto child = [&](const char* cls, DWORD style, DWORD ex, int id, const char* text = "") {
            HWND c = CreateWindowExA(ex, cls, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, window,
                                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
            SendMessageA(c, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
            return c;
        };
        list_ = child("LISTBOX", LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, kList);
        edit_ = child("EDIT", ES_MULTILINE | ES_AUTOVSCROLL | ES_AUTOHSCROLL | ES_NOHIDESEL | ES_READONLY | WS_VSCROLL |
                                  WS_HSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, kEdit);
        save_ = child("BUTTON", BS_PUSHBUTTON | WS_TABSTOP, 0, kSave, "&Save");
        status_ = child("STATIC", SS_LEFT | SS_NOPREFIX, 0, kStatus);
        font_.Reset(CreateFontA(-13, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, FIXED_PITCH | FF_MODERN,
                                "Courier New"));
        SendMessageA(edit_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), FALSE);
        SendMessageA(edit_, EM_SETLIMITTEXT, 0, 0);  // no 32K limit on a script
        Load();
    }

    void Layout(int width, int height) {
        const int statusHeight = 36, listWidth = 220, bottom = height - statusHeight;
        MoveWindow(list_, 0, 0, listWidth, bottom - 34, TRUE);
        MoveWindow(save_, 4, bottom - 30, 90, 26, TRUE);
        MoveWindow(edit_, listWidth + 2, 0, width - listWidth - 2, bottom, TRUE);
        MoveWindow(status_, 4, bottom + 2, width - 8, statusHeight - 4, TRUE);
    }

    void Command(int id, int code) {
        if (id == kList && code == LBN_SELCHANGE) Select();
        if (id == kSave) Save();
        if (id == kExit) PostMessageA(window_, WM_CLOSE, 0, 0);
    }

    void Focus() { SetFocus(current_ >= 0 ? edit_ : list_); }

    // True when the open script's changes may go: there are none, warnings are off, or the user
    // saved them or chose to drop them.
    bool MayDiscard() {
        if (!warnings_ || current_ < 0 || Text() == saved_) return true;
        const std::string question = "Save the changes to " + scripts_[current_].label + "?";
        switch (MessageBoxA(window_, question.c_str(), kTitle, MB_YESNOCANCEL | MB_ICONWARNING)) {
        case IDYES: return Save();
        case IDNO: return true;
        default: return false;
        }
    }

private:
    void Load() {
        std::vector<std::string> problems;
        if (serverIni_.empty()) {
            problems.push_back("No server settings were given: start it as seditor.exe <Orvan.ini> <Empxxx.ini>.");
        } else if (!IsFile(serverIni_)) {
            problems.push_back("The server settings " + serverIni_ + " were not found.");
        } else {
            const char* keys[] = {"ScriptingPath", "ProductionPath", "DevelopmentPath", "BackupPath"};
            std::string value[4], missing;
            for (int i = 0; i < 4; ++i)
                if ((value[i] = Setting(serverIni_, keys[i])).empty())
                    missing += (missing.empty() ? "" : ", ") + std::string(keys[i]);
            if (!missing.empty()) problems.push_back(serverIni_ + " lacks [Scripting] " + missing + ".");
            if (!value[0].empty()) {
                const std::string root = Parent(serverIni_) + "\\" + value[0] + "\\";
                for (int i : {1, 2})
                    if (!value[i].empty()) List(root, value[i], problems);
                if (!value[3].empty()) backupFolder_ = root + value[3];
            }
        }
        if (IsFile(workstationIni_)) {
            backup_ = Setting(workstationIni_, "AutomaticBackupEnabled") == "1";
            warnings_ = Setting(workstationIni_, "WarningsEnabled") == "1";
        } else {
            const std::string which = workstationIni_.empty() ? std::string("No workstation settings were given")
                                      : "The workstation settings " + workstationIni_ + " were not found";
            problems.push_back(which + ": no backups, no warnings.");
        }
        for (const Script& s : scripts_)
            SendMessageA(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s.label.c_str()));
        std::string report, status;
        for (const std::string& p : problems) report += p + "\r\n", status += p + "  ";
        SetWindowTextA(edit_, (report.empty() ? "Select a script on the left to open it." : report).c_str());
        status += std::to_string(scripts_.size()) + (scripts_.size() == 1 ? " script" : " scripts");
        Status(status + "; backups " + (backup_ ? "on" : "off") + ", warnings " + (warnings_ ? "on." : "off."));
    }

    // Every file of one script folder, by name, labelled with the folder's name; those named after
    // a device are told instead.
    void List(const std::string& root, const std::string& folder, std::vector<std::string>& problems) {
        const std::string path = root + folder;
        WIN32_FIND_DATAA f;
        ov::UniqueFind find(FindFirstFileA((path + "\\*").c_str(), &f));
        if (!find) {
            problems.push_back("The script folder " + path + (IsFolder(path) ? " cannot be read." : " was not found."));
            return;
        }
        std::vector<Script> found;
        std::string devices;
        for (bool more = true; more; more = FindNextFileA(find.Get(), &f)) {
            if (f.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
            if (ov::IsDosDeviceName(WideName(f.cFileName))) devices += std::string(devices.empty() ? "" : ", ") + f.cFileName;
            else found.push_back({folder + "\\" + f.cFileName, path + "\\" + f.cFileName});
        }
        if (!devices.empty())
            problems.push_back("Not listed from " + path + ", as the names open devices: " + devices + ".");
        std::sort(found.begin(), found.end(),
                  [](const Script& a, const Script& b) { return lstrcmpiA(a.label.c_str(), b.label.c_str()) < 0; });
        scripts_.insert(scripts_.end(), found.begin(), found.end());
    }

    void Select() {
        const int index = static_cast<int>(SendMessageA(list_, LB_GETCURSEL, 0, 0));
        if (index == current_ || index < 0) return;
        if (!MayDiscard() || !Open(index)) SendMessageA(list_, LB_SETCURSEL, current_, 0);
    }

    bool Open(int index) {
        const Script& s = scripts_[index];
        std::string bytes;
        {
            ov::UniqueFile file(std::fopen(s.path.c_str(), "rb"));
            if (!file) return Status("Cannot open " + s.path + ": " + std::strerror(errno) + "."), false;
            char buf[65536];
            for (size_t n; (n = std::fread(buf, 1, sizeof buf, file.Get())) > 0;) bytes.append(buf, n);
        }
        if (bytes.find('\0') != std::string::npos) return Status(s.label + " is not a text file."), false;
        std::string text;  // the text area needs CR LF line ends
        for (size_t i = 0; i < bytes.size(); ++i) {
            if (bytes[i] == '\n' && (i == 0 || bytes[i - 1] != '\r')) text += '\r';
            text += bytes[i];
        }
        SendMessageA(edit_, EM_SETREADONLY, FALSE, 0);
        SetWindowTextA(edit_, text.c_str());
        saved_ = Text();
        current_ = index;
        SetWindowTextA(window_, (std::string(kTitle) + " - " + s.label).c_str());
        Status("Opened " + s.path + ".");
        return true;
    }

    bool Save() {
        if (current_ < 0) return Status("No script is open."), false;
        const Script& s = scripts_[current_];
        const std::string text = Text();
        // The new text takes the place of the file, which a read-only mark must still prevent.
        const DWORD attributes = GetFileAttributesA(s.path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
            return Status("Not saved: " + s.path + " is read-only."), false;
        std::string kept;
        if (backup_ && IsFile(s.path)) {  // the previous version, before it is overwritten
            if (backupFolder_.empty()) return Status("Not saved: backups are on, but no backup folder is set."), false;
            kept = backupFolder_ + "\\" + Name(s.path);
            SHCreateDirectoryExA(nullptr, backupFolder_.c_str(), nullptr);  // a failure shows in the copy
            if (!CopyFileA(s.path.c_str(), kept.c_str(), FALSE))
                return Status("Not saved: the previous version could not be kept as " + kept + "."), false;
        }
        if (const DWORD error = WriteWhole(s.path, text))
            return Status("Not saved: " + s.path + " could not be written (" + SystemText(error) +
                          "); the file is as it was."), false;
        saved_ = text;
        Status("Saved " + s.path + (kept.empty() ? "." : "; the previous version is in " + kept + "."));
        return true;
    }

    std::string Text() const {
        std::string text(GetWindowTextLengthA(edit_) + 1, '\0');
        text.resize(GetWindowTextA(edit_, &text[0], static_cast<int>(text.size())));
        return text;
    }

    void Status(const std::string& text) const { SetWindowTextA(status_, text.c_str()); }

    std::string serverIni_, workstationIni_, backupFolder_;
    bool backup_ = false, warnings_ = false;
    std::vector<Script> scripts_;
    int current_ = -1;   // the open script's index in scripts_ and in the list
    std::string saved_;  // the open script's text as last read or saved
    HWND window_ = nullptr, list_ = nullptr, edit_ = nullptr, save_ = nullptr, status_ = nullptr;
    Font font_;
};

Editor* editor = nullptr;

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE: editor->Create(window); return 0;
    case WM_SIZE: editor->Layout(LOWORD(lParam), HIWORD(lParam)); return 0;
    case WM_SETFOCUS: editor->Focus(); return 0;
    case WM_COMMAND: editor->Command(LOWORD(wParam), HIWORD(wParam)); return 0;
    case WM_CLOSE:
        if (editor->MayDiscard()) DestroyWindow(window);
        return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR arguments, int show) {
    // "seditor /close": for scripts that set a workstation up, closes the editor that runs or
    // is starting (waiting up to 10 s for its window); exit code 0 when there was one, else 1.
    if (arguments && !std::strcmp(arguments, "/close")) {
        for (int i = 0; i < 100; ++i, Sleep(100)) {
            if (HWND running = FindWindowA(kClass, nullptr)) {
                PostMessageA(running, WM_CLOSE, 0, 0);
                return 0;
            }
        }
        return 1;
    }
    std::string server, workstation;
    SplitArguments(GetCommandLineA(), server, workstation);
    Editor state(server, workstation);
    editor = &state;

    WNDCLASSA wc{};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIcon(nullptr, IDI_APPLICATION);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kClass;
    if (!RegisterClassA(&wc)) return 1;

    HMENU file = CreatePopupMenu(), bar = CreateMenu();
    AppendMenuA(file, MF_STRING, kSave, "&Save\tCtrl+S");
    AppendMenuA(file, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(file, MF_STRING, kExit, "E&xit");
    AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), "&File");
    HWND window = CreateWindowExA(0, kClass, kTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 760, 520,
                                  nullptr, bar, instance, nullptr);
    if (!window) return 1;
    ShowWindow(window, show);
    UpdateWindow(window);

    ACCEL save{FCONTROL | FVIRTKEY, 'S', kSave};
    Accelerators accelerators(CreateAcceleratorTableA(&save, 1));
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (TranslateAcceleratorA(window, accelerators.Get(), &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}
