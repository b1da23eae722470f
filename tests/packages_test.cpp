// Installing the script packages through the registered control: the package's command line
// and the wait for it, the questions in the live dialog, the cleanup of older packages, and
// what each failure reports and leaves behind. The package is a stand-in program that records
// how it was started and leaves its marker unless told otherwise.
#include <gtest/gtest.h>

#include <memory>

#include "support/test_support.h"

using namespace ovtest;

namespace {

constexpr HRESULT kNoData = static_cast<HRESULT>(0x80040201u), kSeeCopy = static_cast<HRESULT>(0x80040200u);
constexpr char kUsage[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ModuleUsage";
constexpr char kShared[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDlls";

ov::BStr Bstr(const std::string& s) { return ov::BStr(Wide(s).c_str()); }

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

class PackageTest : public ::testing::Test {
protected:
    void SetUp() override {
        dos.Set(sandbox / "local");
        CreateDirectoryA(pellar.c_str(), nullptr);
        control->SetScriptServer(Bstr(server).Get());
        Plan("");
    }
    void TearDown() override { SetEnvironmentVariableA("OV_STAND_IN", nullptr); }

    // What the stand-in package is to do next: see tests/helpers/see_stand_in.cpp.
    static void Plan(const char* words) { SetEnvironmentVariableA("OV_STAND_IN", words); }
    // The stand-in program, copied under a package's name into the host product's directory,
    // or to any path.
    void Package(const std::string& name) { StandIn(pellar + "\\" + name); }
    static void StandIn(const std::string& path) {
        char self[MAX_PATH] = {};
        std::string standIn(self, GetModuleFileNameA(nullptr, self, MAX_PATH));
        standIn = standIn.substr(0, standIn.rfind('\\')) + "\\ov_see_stand_in.exe";
        ASSERT_TRUE(CopyFileA(standIn.c_str(), path.c_str(), FALSE)) << path;
    }
    void List(const char* inf, const std::string& keys) { WriteFileText(pellar + "\\" + inf, "[ORVAN]\r\n" + keys); }
    // The command lines the package was started with, and the codes the log recorded.
    std::vector<std::string> Runs() const { return Lines(ReadFileText(sandbox / "stand_in_runs.txt")); }
    std::vector<std::string> Codes() const {
        std::vector<std::string> out;
        for (const ParsedRecord& r : SplitLogRecords(sandbox.LogText()).records) out.push_back(r.code);
        return out;
    }
    std::string Ini(const std::string& path, const char* section, const char* key) const {
        char value[MAX_PATH] = {};
        GetPrivateProfileStringA(section, key, "<none>", value, MAX_PATH, path.c_str());
        return value;
    }
    // A server that has the scripting product already, with this version installed.
    void Installed(const char* version) {
        ASSERT_EQ(control->Init(), S_OK);
        CreateDirectoryA(scripts.c_str(), nullptr);
        WritePrivateProfileStringA("Scripting", "MLVer", version, (server + "\\Orvan.ini").c_str());
    }

    InstallSandbox sandbox;
    RegistryValueGuard dos{"Software\\Orvanta", "DOSInstallPath"};
    const std::string pellar = sandbox / "Pellar", server = sandbox / "server", scripts = server + "\\Scripts";
    ov::ComPtr<IOVCustInst> control = CreateControl();
};

}  // namespace

TEST_F(PackageTest, RunSEEStartsThePackageUnquotedWaitsForItAndTrustsOnlyTheSignOfItsExitCode) {
    Package("MLS1.exe");
    const std::string see = pellar + "\\MLS1.exe", blanks = sandbox / "dest with blanks";
    const std::string fits = "C:\\" + std::string(249, 'd'), tooLong = fits + "d";  // 252 and 253 characters
    const struct {
        const char* name;
        std::string see, dest;
        const char* plan;
        HRESULT hr;
        std::vector<std::string> codes, runs;
    } rows[] = {
        {"exit 1 after a pause", see, blanks, "sleep:300 exit:1", S_OK, {}, {see + "  /auto " + blanks}},
        {"longest destination", see, fits, "", S_OK, {}, {see + "  /auto " + fits}},
        {"negative exit", see, blanks, "exit:-3", S_OK, {"80004005"}, {see + "  /auto " + blanks}},
        {"missing package", pellar + "\\none.exe", blanks, "", S_OK, {"80070003"}, {}},
        {"destination too long with /auto", see, tooLong, "", E_INVALIDARG, {"80070057"}, {}},
        {"both empty", "", "", "", E_INVALIDARG, {"80070057"}, {}},
    };
    for (const auto& row : rows) {
        DeleteFileA((sandbox / "OVCILog.txt").c_str());
        DeleteFileA((sandbox / "stand_in_runs.txt").c_str());
        Plan(row.plan);
        DialogResponder responder;
        EXPECT_EQ(control->RunSEE(Bstr(row.see).Get(), Bstr(row.dest).Get()), row.hr) << row.name;
        EXPECT_EQ(Runs(), row.runs) << row.name;
        EXPECT_EQ(Codes(), row.codes) << row.name;
        EXPECT_EQ(responder.Shown().size(), row.codes.size()) << row.name;  // every report with its box
    }
    const std::string log = sandbox.LogText();
    EXPECT_NE(log.find("bstrSEEPath: Length Invalid"), std::string::npos) << log;  // the source is checked first
}

TEST_F(PackageTest, FirstInstallationAsksNothingClearsOlderPackagesAndRecordsTheVersion) {
    for (const char* name : {"MLS300.exe", "MLS100.exe", "MLS150.exe", "MLD100.exe"}) Package(name);
    SetFileAttributesA((pellar + "\\MLS150.exe").c_str(), FILE_ATTRIBUTE_READONLY);  // cannot be deleted
    List("OVMLSInstall.inf", "SEE=mls300.EXE\r\nMLVer=3.0\r\n");  // the kept name in other letters
    std::string usageDir = pellar;
    std::replace(usageDir.begin(), usageDir.end(), '\\', '/');
    std::vector<std::unique_ptr<RegistryValueGuard>> shared;
    for (const char* name : {"MLS100.exe", "MLS150.exe", "MLD100.exe"}) {
        shared.push_back(std::make_unique<RegistryValueGuard>(kShared, pellar + "\\" + name));
        const DWORD one = 1;
        shared.back()->SetBytes(&one, sizeof one, REG_DWORD);
        ov::RegKey usage;
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, (std::string(kUsage) + "\\" + usageDir + "/" + name).c_str(), 0, nullptr,
                        0, KEY_ALL_ACCESS, nullptr, usage.Put(), nullptr);
    }
    auto records = [&](const char* name) {
        ov::RegKey key;
        const std::string value = pellar + "\\" + name;
        return std::string(RegGetValueA(HKEY_LOCAL_MACHINE, kShared, value.c_str(), RRF_RT_ANY, nullptr, nullptr,
                                        nullptr) ? "" : "SharedDlls ") +
               (RegOpenKeyExA(HKEY_LOCAL_MACHINE, (std::string(kUsage) + "\\" + usageDir + "/" + name).c_str(), 0,
                              KEY_READ, key.Put()) ? "" : "ModuleUsage");
    };

    DialogResponder responder;
    ASSERT_EQ(control->InstallMLScripts(), S_OK);
    EXPECT_EQ(responder.Shown().size(), 0u);
    EXPECT_EQ(Runs(), std::vector<std::string>{pellar + "\\mls300.EXE  /auto " + scripts});
    const struct {
        const char* name;
        bool stays;
        std::string records;
    } files[] = {{"MLS300.exe", true, ""},
                 {"MLS100.exe", false, ""},
                 {"MLS150.exe", true, ""},  // read-only: stays, its records go all the same
                 {"MLD100.exe", true, "SharedDlls ModuleUsage"}};
    for (const auto& f : files) {
        EXPECT_EQ(PathExists(pellar + "\\" + f.name), f.stays) << f.name;
        EXPECT_EQ(records(f.name), f.records) << f.name;
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, (std::string(kUsage) + "\\" + usageDir + "/" + f.name).c_str());
    }
    SetFileAttributesA((pellar + "\\MLS150.exe").c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_FALSE(PathExists(sandbox / "OVMLSOK.TMP"));
    EXPECT_EQ(Ini(server + "\\Orvan.ini", "Scripting", "MLVer"), "3.0");
    ov::BStr installed;
    EXPECT_EQ(control->get_InstalledMLVersion(installed.Put()), S_OK);
    EXPECT_EQ(Narrow(installed.Get()), "3.0");
    EXPECT_TRUE(PathExists(scripts + "\\Backup") && PathExists(scripts + "\\File"));
    EXPECT_EQ(sandbox.LogText(), "");
}

TEST_F(PackageTest, AnInstalledServerIsAskedFirstAndCancelChangesNothing) {
    Package("MLS300.exe");
    Package("MLS100.exe");
    List("OVMLSInstall.inf", "SEE=MLS300.exe\r\nMLVer=3.0\r\n");
    const std::string reinstall =
        "The latest version of Macrolan Standard Scripts has already been installed.   \r\n\r\n"
        "Click Continue to reinstall current version or Cancel.";
    const std::vector<std::string> continueFace{"Continue", "Cancel", "View Changes (hidden) (disabled)"},
        okFace{"OK", "Cancel", "View Changes"};
    // How a dialog is ended: by a button, the Escape key or the close box.
    auto escape = [](HWND dialog) { PostMessageA(GetDlgItem(dialog, IDOK), WM_KEYDOWN, VK_ESCAPE, 0); };
    auto closeBox = [](HWND dialog) { PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); };
    const struct {
        const char* name;
        const char* installed;  // equal to the cached "3.0": the reinstall question comes first
        std::vector<std::function<void(HWND)>> ends;
        std::vector<std::vector<std::string>> faces;
        bool runs;
    } rows[] = {
        {"equal, both confirmed", "3.0", {nullptr, nullptr}, {continueFace, okFace}, true},
        {"equal, cancelled first", "3.0", {escape}, {continueFace}, false},
        {"equal, cancelled second", "3.0", {nullptr, closeBox}, {continueFace, okFace}, false},
        {"different, confirmed", "2.0", {nullptr}, {okFace}, true},
        {"different, cancelled", "2.0", {escape}, {okFace}, false},
    };
    for (const auto& row : rows) {
        Installed(row.installed);
        DeleteFileA((sandbox / "stand_in_runs.txt").c_str());
        size_t asked = 0;
        DialogResponder responder([&](HWND dialog, const ShownWindow&) {
            const auto& end = row.ends.at(std::min(asked++, row.ends.size() - 1));
            if (!end) return IDOK;
            end(dialog);
            return 0;
        });
        EXPECT_EQ(control->InstallMLScripts(), S_OK) << row.name;
        ASSERT_EQ(responder.Shown().size(), row.faces.size()) << row.name;
        for (size_t i = 0; i < row.faces.size(); ++i) {
            EXPECT_EQ(responder.Shown()[i].title, "Macrolan Script Setup") << row.name;
            EXPECT_EQ(responder.Shown()[i].buttons, row.faces[i]) << row.name << ", question " << i;
        }
        if (row.faces[0] == continueFace) {
            EXPECT_EQ(responder.Shown()[0].text, reinstall) << row.name;
        }
        if (row.faces.back() == okFace) {
            EXPECT_NE(responder.Shown().back().text.find("were assigned new file names.  \r\n\r\nExisting"),
                      std::string::npos)
                << row.name;
        }
        EXPECT_EQ(Runs().size(), row.runs ? 1u : 0u) << row.name;
        // Cancelled: no older package deleted, nothing recorded, nothing logged.
        EXPECT_EQ(PathExists(pellar + "\\MLS100.exe"), !row.runs) << row.name;
        EXPECT_EQ(Ini(server + "\\Orvan.ini", "Scripting", "MLVer"), row.runs ? "3.0" : row.installed) << row.name;
        EXPECT_EQ(sandbox.LogText(), "") << row.name;
        if (row.runs) Package("MLS100.exe");
    }
}

TEST_F(PackageTest, FailuresAreShownLoggedAndReturnedAndRecordNoVersion) {
    const struct {
        const char* name;
        const char* list;
        const char* plan;
        HRESULT hr;
        std::vector<std::string> codes;  // each with its box unless it repeats a callee's failure
        size_t boxes;
    } rows[] = {
        {"no SEE in the list", "MLVer=3.0\r\n", "", E_FAIL, {"80040201"}, 1},
        {"no marker", "SEE=MLS300.exe\r\n", "nomarker", kSeeCopy, {"80040200"}, 1},
        {"package not there", "SEE=MLS999.exe\r\n", "", kSeeCopy, {"80070003", "80040200"}, 2},
    };
    for (const auto& row : rows) {
        Package("MLS300.exe");
        Package("MLS100.exe");
        List("OVMLSInstall.inf", row.list);
        Plan(row.plan);
        DeleteFileA((sandbox / "OVCILog.txt").c_str());
        DialogResponder responder;
        EXPECT_EQ(control->InstallMLScripts(), row.hr) << row.name;
        EXPECT_EQ(Codes(), row.codes) << row.name;
        EXPECT_EQ(responder.Shown().size(), row.boxes) << row.name;
        EXPECT_EQ(Ini(server + "\\Orvan.ini", "Scripting", "MLVer"), "<none>") << row.name;
        // Older packages go only once the list names a package.
        EXPECT_EQ(PathExists(pellar + "\\MLS100.exe"), row.hr == E_FAIL) << row.name;
    }
    // Init failing (the server lost its Orvan.ini) is reported once more without a box.
    DeleteFileA((server + "\\Orvan.ini").c_str());
    DeleteFileA((sandbox / "OVCILog.txt").c_str());
    DialogResponder responder;
    EXPECT_EQ(control->InstallMLScripts(), E_FAIL);
    EXPECT_EQ(Codes(), (std::vector<std::string>{"80040201", "80004005"}));
    EXPECT_EQ(responder.Shown().size(), 1u);
}

TEST_F(PackageTest, DevelopmentFilesClearAStaleMarkerAndShowTheirReadMeInNotepad) {
    Package("MLD300.exe");
    List("OVMLDInstall.inf", "SEE=MLD300.exe\r\nMLDVer=3.0\r\nMLReadMeDev=dev notes.txt\r\n");
    WriteFileText(sandbox / "OVMLDOK.TMP", "");  // left by an earlier run
    Plan("nomarker");
    {
        DialogResponder failure;
        EXPECT_EQ(control->InstallDevFiles(), kSeeCopy);  // only this run's marker counts
        EXPECT_EQ(failure.Shown().size(), 1u);
    }

    // Asked on an installed server: "View Changes" starts Notepad on the read-me beside the
    // package, its path with blanks passed unquoted; then Cancel.
    Installed("");
    WriteFileText(pellar + "\\dev notes.txt", "what changed");
    std::string notepadText;
    DialogResponder responder([&](HWND dialog, const ShownWindow& shown) {
        if (shown.buttons.size() != 3 || shown.buttons[2] != "View Changes") return IDOK;
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(205, BN_CLICKED), 0);
        for (int i = 0; i < 100 && notepadText.empty(); ++i, Sleep(100)) {
            HWND notepad = FindWindowA("Notepad", nullptr);
            HWND edit = notepad ? FindWindowExA(notepad, nullptr, "Edit", nullptr) : nullptr;
            char text[64] = {};
            if (edit && SendMessageA(edit, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text)) > 0) {
                notepadText = text;
                PostMessageA(notepad, WM_CLOSE, 0, 0);
            }
        }
        return IsWindow(dialog) ? IDCANCEL : 0;  // the dialog stays open after View Changes
    });
    EXPECT_EQ(control->InstallDevFiles(), S_OK);
    EXPECT_EQ(notepadText, "what changed");
    ov::BStr readMe;
    EXPECT_EQ(control->get_MLReadMe(readMe.Put()), S_OK);
    EXPECT_EQ(Narrow(readMe.Get()), "dev notes.txt");  // even though cancelled
}

TEST_F(PackageTest, TheEditorIsInstalledFromItsTwoPackagesInOrderEachConfirmedByItsOwnMarker) {
    Package("MLEdit1.exe");
    Package("MLEHelp1.exe");
    const std::string first = pellar + "\\MLEdit1.exe  /auto " + sandbox / "local\\Pellar\\Apps",
                      second = pellar + "\\MLEHelp1.exe  /auto " + server + "\\Help";
    const struct {
        const char* name;
        const char* list;
        const char* plan;
        HRESULT hr;
        std::vector<std::string> runs, codes;
        const char* record;  // "UpdatedFromThisWorkstation" afterwards
        bool staleMarkerStays;
    } rows[] = {
        {"both confirm", "SEE1=MLEdit1.exe\r\nSEE2=MLEHelp1.exe\r\n", "", S_OK, {first, second}, {}, "yes", false},
        {"no SEE1", "SEE2=MLEHelp1.exe\r\n", "", E_FAIL, {}, {"80040201"}, "no", true},
        {"no SEE2", "SEE1=MLEdit1.exe\r\n", "", E_FAIL, {}, {"80040201"}, "no", true},
        {"the first leaves no marker", "SEE1=MLEdit1.exe\r\nSEE2=MLEHelp1.exe\r\n", "nomarker", kSeeCopy, {first},
         {"80040200"}, "no", false},
    };
    for (const auto& row : rows) {
        List("OVMLEInstall.inf", std::string(row.list) + "UpdatedFromThisWorkstation=no\r\n");
        WriteFileText(sandbox / "OVMLEOK.TMP", "");  // from an earlier run: never counts
        for (const char* f : {"OVCILog.txt", "stand_in_runs.txt"}) DeleteFileA((sandbox / f).c_str());
        Plan(row.plan);
        DialogResponder responder;
        EXPECT_EQ(control->InstallSEditor(), row.hr) << row.name;
        EXPECT_EQ(Runs(), row.runs) << row.name;
        EXPECT_EQ(Codes(), row.codes) << row.name;
        EXPECT_EQ(Ini(pellar + "\\OVMLEInstall.inf", "ORVAN", "UpdatedFromThisWorkstation"), row.record) << row.name;
        EXPECT_EQ(PathExists(sandbox / "OVMLEOK.TMP"), row.staleMarkerStays) << row.name;
    }
}

TEST_F(PackageTest, RunEditorInstallsFirstWhenTheRecordSaysNoThenFindsOrStartsTheEditor) {
    Package("MLEdit1.exe");
    Package("MLEHelp1.exe");
    const std::string apps = sandbox / "local\\Pellar\\Apps", editor = apps + "\\seditor.exe";
    const std::string started = editor + " " + server + "\\Orvan.ini " + sandbox / "local\\Pellar\\Empxxx.ini";
    // A window of the editor's class, made here, stands for an editor that runs already.
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "ScriptFileWindow";
    RegisterClassA(&wc);
    ASSERT_EQ(control->Init(), S_OK);
    CreateDirectoryA(apps.c_str(), nullptr);
    const struct {
        const char* name;
        const char* record;  // null: no such key; "<no list>": no editor list at all
        bool editorThere, windowOpen;
        HRESULT hr;
        size_t packageRuns;
        bool editorStarted;
        std::vector<std::string> codes;
    } rows[] = {
        {"no", "no", true, false, S_OK, 2, true, {}},
        {"No", "No", true, false, S_OK, 2, true, {}},
        {"n", "n", true, false, S_OK, 2, true, {}},
        {"yes", "yes", true, false, S_OK, 0, true, {}},
        {"Y", "Y", true, false, S_OK, 0, true, {}},
        {"open already", "yes", true, true, S_OK, 0, false, {}},
        {"open already, not installed", "no", true, true, S_OK, 2, false, {}},
        {"no record", nullptr, true, false, E_FAIL, 0, false, {"80040201"}},
        {"no list", "<no list>", true, false, E_FAIL, 0, false, {"80040201"}},
        {"editor missing", "yes", false, false, S_OK, 0, false, {"80070003"}},
    };
    for (const auto& row : rows) {
        const std::string list = pellar + "\\OVMLEInstall.inf";
        DeleteFileA(list.c_str());
        if (!row.record || std::string(row.record) != "<no list>")
            List("OVMLEInstall.inf", std::string("SEE1=MLEdit1.exe\r\nSEE2=MLEHelp1.exe\r\n") +
                                         (row.record ? std::string("UpdatedFromThisWorkstation=") + row.record : ""));
        for (const char* f : {"OVCILog.txt", "stand_in_runs.txt"}) DeleteFileA((sandbox / f).c_str());
        DeleteFileA(editor.c_str());
        if (row.editorThere) StandIn(editor);
        // The editor's window behind another one, so that coming forward shows.
        auto visible = [&](const char* cls) {
            return CreateWindowA(cls, "", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 100, 100, nullptr, nullptr,
                                 wc.hInstance, nullptr);
        };
        HWND window = row.windowOpen ? visible("ScriptFileWindow") : nullptr;
        HWND other = row.windowOpen ? visible("STATIC") : nullptr;
        if (window) {
            ASSERT_NE(GetForegroundWindow(), window);
        }
        DialogResponder responder;
        EXPECT_EQ(control->RunEditor(), row.hr) << row.name;
        const size_t want = row.packageRuns + (row.editorStarted ? 1 : 0);
        for (int i = 0; i < 100 && Runs().size() < want; ++i) Sleep(50);  // the editor is not waited for
        std::vector<std::string> runs = Runs();
        EXPECT_EQ(runs.size(), want) << row.name;
        if (row.editorStarted && !runs.empty()) {
            EXPECT_EQ(runs.back(), started) << row.name;
        }
        EXPECT_EQ(Codes(), row.codes) << row.name;
        EXPECT_EQ(responder.Shown().size(), row.codes.size()) << row.name;
        if (window) {
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
            EXPECT_EQ(GetForegroundWindow(), window) << row.name;
            DestroyWindow(window);
            DestroyWindow(other);
        }
    }
    UnregisterClassA("ScriptFileWindow", wc.hInstance);
}

TEST_F(PackageTest, UnderTheQuietPolicyNothingWaitsForAnAnswerAndEverythingIsLogged) {
    RegistryValueGuard quiet{"SOFTWARE\\Orvanta", "QuietUI"};
    const DWORD on = 1;
    quiet.SetBytes(&on, sizeof on, REG_DWORD);
    Package("MLS300.exe");
    List("OVMLSInstall.inf", "SEE=MLS300.exe\r\nMLVer=3.0\r\n");
    Installed("3.0");  // equal versions: both questions would be asked
    const ov::BStr missing(L"missing.txt"), dir(Wide(sandbox.Path()).c_str());
    const struct {
        const char* name;
        std::function<HRESULT()> call;
        HRESULT hr;
        std::vector<std::string> codes;
    } rows[] = {
        {"a failing copy", [&] { return control->CopyFile(missing.Get(), dir.Get(), dir.Get()); },
         HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), {"80070002"}},
        {"an install asking twice", [&] { return control->InstallMLScripts(); }, S_OK, {}},
        {"a failing Init", [&] { DeleteFileA((server + "\\Orvan.ini").c_str()); return control->Init(); }, E_FAIL,
         {"80040201"}},
    };
    for (const auto& row : rows) {
        DeleteFileA((sandbox / "OVCILog.txt").c_str());
        DialogResponder responder;
        EXPECT_EQ(row.call(), row.hr) << row.name;
        EXPECT_EQ(responder.Shown().size(), 0u) << row.name;
        EXPECT_EQ(Codes(), row.codes) << row.name;
    }
    EXPECT_EQ(Runs().size(), 1u);  // the install went ahead as confirmed
    // Off, or not a DWORD: the box is back.
    for (const auto& [type, data] : std::vector<std::pair<DWORD, std::string>>{{REG_DWORD, std::string(4, '\0')},
                                                                             {REG_SZ, "1"}}) {
        quiet.SetBytes(data.c_str(), static_cast<DWORD>(data.size() + (type == REG_SZ)), type);
        DialogResponder responder;
        EXPECT_EQ(control->CopyFile(missing.Get(), dir.Get(), dir.Get()), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
        EXPECT_EQ(responder.Shown().size(), 1u) << type;
    }
}
