// The script editor program started with the server's command line and driven through its live window: what
// it lists and opens, saving with or without a backup, the question before changes go, missing settings.
#include <gtest/gtest.h>

#include "support/test_support.h"

using namespace ovtest;

namespace {

using Items = std::vector<std::string>;
const Items kAll = {"Prod\\A1 Report.asl", "Prod\\Z4Hello.asl", "Develop\\notes.txt", "Develop\\Z4Hello.asl"};

bool Until(const std::function<bool()>& done) {  // another process's doing; one that never comes fails the row
    for (int i = 0; i < 1000 && !done(); ++i) Sleep(10);
    return done();
}

std::string Text(HWND control) {  // another process's control answers WM_GETTEXT; the texts here are short
    char text[4096] = {};
    return SendMessageA(control, WM_GETTEXT, sizeof text, LPARAM(text)), text;
}

// A script server (Orvan.ini; each script holds its label; a subfolder) and a workstation's Empxxx.ini; the
// server's folder in the sandbox, or on another drive (removed again).
struct Site {
    Site(const std::string& serverName, const std::string& backup, const std::string& warnings,
         const std::string& drive = "")
        : server(drive.empty() ? sandbox / serverName : drive + "\\" + serverName), orvan(server + "\\Orvan.ini"),
          empxxx(sandbox / "Empxxx.ini") {
        for (const char* dir : {"", "\\Scripts", "\\Scripts\\Prod", "\\Scripts\\Develop", "\\Scripts\\Develop\\Lib"})
            CreateDirectoryA((server + dir).c_str(), nullptr);
        WriteFileText(orvan, "[Scripting]\r\nScriptingPath=Scripts\r\nProductionPath=Prod\r\n"
                             "DevelopmentPath=Develop\r\nBackupPath=Backup\r\n");
        WriteFileText(empxxx, "[Scripting]\r\nAutomaticBackupEnabled=" + backup + "\r\nWarningsEnabled=" + warnings);
        for (const std::string& name : kAll) WriteFileText(server + "\\Scripts\\" + name, name + "\r\n");
    }
    ~Site() { RemoveTree(server); }
    InstallSandbox sandbox;
    std::string server, orvan, empxxx;
};

struct Editor {  // seditor.exe beside the server module, started as the server starts it
    explicit Editor(const Site& site) {
        auto line = DllPath().substr(0, DllPath().rfind('\\')) + "\\seditor.exe " + site.orvan + ' ' + site.empxxx;
        STARTUPINFOA si{};
        si.cb = sizeof si;
        if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return;
        Until([&] { return GetWindowThreadProcessId(window = FindWindowA("ScriptFileWindow", 0), 0) ==
                           pi.dwThreadId; });
        SendMessageA(window, WM_NULL, 0, 0);  // answered once the window has been created
        list = FindWindowExA(window, 0, "ListBox", 0), edit = FindWindowExA(window, 0, "Edit", 0);
        status = FindWindowExA(window, 0, "Static", 0), save = FindWindowExA(window, 0, "Button", 0);
    }
    ~Editor() { TerminateProcess(pi.hProcess, 1), CloseHandle(pi.hProcess), CloseHandle(pi.hThread); }  // if still up
    Items Listed() const {  // in UTF-16: Wine hands LB_GETTEXT across processes unconverted for -A
        Items items;
        wchar_t item[MAX_PATH];
        for (int i = 0; SendMessageW(list, LB_GETTEXT, i, LPARAM(item)) > 0; ++i)
            items.emplace_back(item, item + wcslen(item));
        return items;
    }
    void Choose(const std::string& item) {  // what a click on the item does; posted, as it may ask
        SendMessageW(list, LB_SETCURSEL, SendMessageW(list, LB_FINDSTRINGEXACT, -1, LPARAM(Wide(item).c_str())), 0);
        PostMessageA(window, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), LBN_SELCHANGE), LPARAM(list));
    }
    HWND Question() const {  // a message box of the editor's once shown (its text is there by then), or null
        HWND box = FindWindowA("#32770", nullptr);
        return GetWindowThreadProcessId(box, nullptr) == pi.dwThreadId && IsWindowVisible(box) ? box : nullptr;
    }
    bool Close() { return PostMessageA(window, WM_CLOSE, 0, 0), !WaitForSingleObject(pi.hProcess, 10000); }
    PROCESS_INFORMATION pi{};
    HWND window = nullptr, list = nullptr, edit = nullptr, status = nullptr, save = nullptr;
};

// Each row changes the open development script, then acts; answer: to the question (0: none may come); then
// whether the editor went on (saved, closed, switched), the change is on disk, the old text in the backup folder.
enum Action { kSaveButton, kCtrlS, kClose, kSwitch };
const struct Row {
    const char *name, *server, *backup, *warnings;  // the server folder, AutomaticBackupEnabled, WarningsEnabled
    Action action; int answer; bool goesOn, saved, kept;
} kRows[] = {
    {"Save button, backup on", "server", "1", "1", kSaveButton, 0, true, true, true},
    {"Ctrl+S, backup off", "server", "0", "1", kCtrlS, 0, true, true, false},
    {"Ctrl+S, backup on, server folder with blanks", "script server", "1", "1", kCtrlS, 0, true, true, true},
    {"close, warnings off", "server", "1", "0", kClose, 0, true, false, false},
    {"close, warnings on, No", "server", "1", "1", kClose, IDNO, true, false, false},
    {"close, warnings on, Yes", "server", "1", "1", kClose, IDYES, true, true, true},
    {"close, warnings on, Cancel", "server", "0", "1", kClose, IDCANCEL, false, false, false},
    {"switch, warnings on, Yes", "server", "0", "1", kSwitch, IDYES, true, true, false},
    {"switch, warnings on, Cancel", "server", "1", "1", kSwitch, IDCANCEL, false, false, false},
};

TEST(EditorProgramTest, ListsOpensSavesAndAsksBeforeChangesGo) {
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.name);
        Site site(row.server, row.backup, row.warnings);
        const std::string script = site.server + "\\Scripts\\Develop\\Z4Hello.asl", old = "Develop\\Z4Hello.asl\r\n";
        Editor editor(site);
        ASSERT_EQ(editor.Listed(), kAll);
        editor.Choose("Develop\\Z4Hello.asl");
        ASSERT_TRUE(Until([&] { return Text(editor.edit) == old; })) << Text(editor.edit);
        SendMessageA(editor.edit, WM_SETTEXT, 0, LPARAM("changed\r\n"));
        if (row.action == kSaveButton) SendMessageA(editor.save, BM_CLICK, 0, 0);
        if (row.action == kCtrlS && SetForegroundWindow(editor.window))  // Ctrl and S down, then up
            for (int i = 0; i < 4; ++i) keybd_event(i % 3 ? 'S' : VK_CONTROL, 0, i < 2 ? 0 : KEYEVENTF_KEYUP, 0);
        if (row.action == kClose) PostMessageA(editor.window, WM_CLOSE, 0, 0);
        if (row.action == kSwitch) editor.Choose("Prod\\Z4Hello.asl");
        auto wentOn = [&] { return row.action == kClose ? !IsWindow(editor.window) : row.action != kSwitch
            ? ReadFileText(script) == "changed\r\n" : Text(editor.edit) == "Prod\\Z4Hello.asl\r\n"; };
        HWND box = nullptr;
        ASSERT_TRUE(Until([&] { return (box = editor.Question()) || wentOn(); })) << "neither went on nor asked";
        ASSERT_EQ(box != nullptr, row.answer != 0) << (box ? "asked: " + Text(GetDlgItem(box, 0xFFFF)) : "no question");
        if (box) {
            EXPECT_NE(Text(GetDlgItem(box, 0xFFFF)).find("Develop\\Z4Hello.asl"), std::string::npos) << "names it";
            PostMessageA(box, WM_COMMAND, row.answer, 0);
            ASSERT_TRUE(Until([&] { return !IsWindow(box); }));
            SendMessageA(editor.window, WM_NULL, 0, 0);  // answered once the answer has been acted on
        }
        EXPECT_EQ(wentOn(), row.goesOn);
        EXPECT_EQ(ReadFileText(script), row.saved ? "changed\r\n" : old);
        const std::string backup = site.server + "\\Scripts\\Backup\\Z4Hello.asl";
        EXPECT_EQ(PathExists(backup) ? ReadFileText(backup) : "(none)", row.kept ? old : "(none)");
        if (!row.goesOn) SendMessageA(editor.save, BM_CLICK, 0, 0);  // so that closing asks nothing
        EXPECT_TRUE(editor.Close());
    }
}

// What is missing (below the sandbox; the status line must name it) and what is listed then.
const std::pair<const char*, Items> kMissing[] = {
    {"server\\Orvan.ini", {}}, {"server\\Scripts\\Develop", {kAll.begin(), kAll.begin() + 2}}, {"Empxxx.ini", kAll}};

TEST(EditorProgramTest, TellsWhatIsMissing) {
    for (const auto& [missing, listed] : kMissing) {
        SCOPED_TRACE(missing);
        Site site("server", "1", "1");
        DeleteFileA((site.sandbox / missing).c_str()), RemoveTree(site.sandbox / missing);
        Editor editor(site);
        ASSERT_TRUE(editor.window) << "no window of class ScriptFileWindow";
        EXPECT_NE(Text(editor.status).find(site.sandbox / missing), std::string::npos) << Text(editor.status);
        EXPECT_EQ(editor.Listed(), listed);
        EXPECT_TRUE(editor.Close());
    }
}

// Names that open a device in any folder; a share or a Unix drive can hold such files, which the
// platform makes only under their full "\\?\" name.
const wchar_t* const kDevices[] = {L"aux.asl", L"PRN.asl", L"nul.asl", L"com1.asl", L"lpt1.asl", L"NUL .asl",
                                   L"AUX  .asl", L"com\u00B9.asl", L"CONOUT$.asl"};

TEST(EditorProgramTest, NeverListsAFileNamedAfterADevice) {
    Site site("server", "1", "1");
    std::vector<std::wstring> made;
    for (const wchar_t* name : kDevices) {
        made.push_back(L"\\\\?\\" + Wide(site.server) + L"\\Scripts\\Prod\\" + name);
        const HANDLE file = CreateFileW(made.back().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE) << "cannot make the file of device name " << made.size();
        CloseHandle(file);
    }
    Editor editor(site);
    EXPECT_EQ(editor.Listed(), kAll);
    for (const char* told : {"aux.asl", "PRN.asl", "nul.asl", "com1.asl", "lpt1.asl", "NUL .asl", "AUX  .asl"})
        EXPECT_NE(Text(editor.status).find(told), std::string::npos) << told << " not told: " << Text(editor.status);
    EXPECT_TRUE(editor.Close());
    for (const std::wstring& path : made) DeleteFileW(path.c_str());  // by its own name only
}

// Saving onto a drive too full for the new text, then onto a read-only script: "Not saved", and the script
// whole as it was. Once there is room the same save goes through. Nothing but the script is left in its folder.
TEST(EditorProgramTest, ASaveThatFailsLeavesTheScriptAsItWas) {
    const char* drive = std::getenv("OV_SMALL_DRIVE");
    if (!drive || !*drive) GTEST_SKIP() << "OV_SMALL_DRIVE not set: no small drive mounted";
    Site site("ovtest editor", "0", "0", drive);
    const std::string folder = site.server + "\\Scripts\\Develop", script = folder + "\\Z4Hello.asl";
    const std::string old = std::string(100000, 'o') + "\r\n", changed = std::string(150000, 'c') + "\r\n";
    WriteFileText(script, old);
    const std::string filler = std::string(drive) + "\\ovtest filler";
    {
        std::ofstream fill(filler, std::ios::binary);
        for (const std::string block(4096, 'f'); fill.write(block.data(), block.size());) {}
    }
    const Items before = Below(folder);
    Editor editor(site);
    editor.Choose("Develop\\Z4Hello.asl");
    ASSERT_TRUE(Until([&] { return size_t(SendMessageA(editor.edit, WM_GETTEXTLENGTH, 0, 0)) == old.size(); }));
    SendMessageA(editor.edit, WM_SETTEXT, 0, LPARAM(changed.c_str()));
    const struct { const char* name; bool full, readOnly, saved; } steps[] = {
        {"drive full", true, false, false}, {"read-only script", false, true, false}, {"room made", false, false, true}};
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        if (!step.full) DeleteFileA(filler.c_str());
        SetFileAttributesA(script.c_str(), step.readOnly ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL);
        SendMessageA(editor.save, BM_CLICK, 0, 0);
        EXPECT_TRUE(Until([&] { return Text(editor.status).rfind(step.saved ? "Saved" : "Not saved", 0) == 0; }))
            << Text(editor.status);
        EXPECT_EQ(ReadFileText(script), step.saved ? changed : old);
        EXPECT_EQ(Below(folder), before);
    }
    EXPECT_TRUE(editor.Close());
    DeleteFileA(filler.c_str());
}

}  // namespace
