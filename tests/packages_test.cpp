// Installing the script packages through the registered control: the package's command line
// and the wait for it, the questions in the live dialog, the cleanup of older packages, and
// what each failure reports and leaves behind. The package is a stand-in program that records
// how it was started and leaves its marker unless told otherwise.
#include <gtest/gtest.h>

#include <memory>

#include "support/layout_support.h"

using namespace ovtest;

namespace {

constexpr HRESULT kNoData = static_cast<HRESULT>(0x80040201u), kSeeCopy = static_cast<HRESULT>(0x80040200u);
constexpr char kUsage[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ModuleUsage";
constexpr char kShared[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDlls";

ov::BStr Bstr(const std::string& s) { return ov::BStr(Wide(s).c_str()); }

// The two script packages, each as the page installs it: the member, its list and package names,
// its marker, where its version is kept, what its failures name, and what it asks.
struct Kind {
    const char* name;
    HRESULT (STDMETHODCALLTYPE IOVCustInst::*install)();
    std::string list, prefix, other, marker, versionKey, installed, versionLabels, title, reinstall, question;
};
const Kind kKinds[] = {
    {"standard scripts", &IOVCustInst::InstallMLScripts, "OVMLSInstall.inf", "MLS", "MLD", "OVMLSOK.TMP", "MLVer",
     "InstalledMLVersion", "ORVAN_MLVER_KEY_NAME: MLVer\r\nszCachedMLVersion: ", "Macrolan Script Setup",
     "The latest version of Macrolan Standard Scripts has already been installed.   \r\n\r\n"
     "Click Continue to reinstall current version or Cancel.",
     "Setup installs new and updated Macrolan Standard Scripts to your Fileserver, giving you the most up-to-date "
     "versions of these scripts.\r\n\r\nBefore continuing, make certain any Standard Scripts that have been "
     "customized were assigned new file names.  \r\n\r\nExisting scripts beginning with Z4, W4, and W_ in the drop "
     "down list on the Index Page will be OVERWRITTEN when updated!\r\n\r\nScripts should NOT be RUNNING or PAUSED "
     "during this process.  Select the View Changes button for information regarding the changes to these "
     "scripts.\r\n\r\nSelect OK to continue or Cancel to terminate."},
    {"development files", &IOVCustInst::InstallDevFiles, "OVMLDInstall.inf", "MLD", "MLS", "OVMLDOK.TMP", "MLDVer",
     "InstalledMLDVersion", "ORVAN_MLDVER_KEY_NAME: MLDVer\r\nszCachedDevVersion: ",
     "Macrolan Development Files Setup",
     "The latest version of Macrolan development files has already been installed.   \r\n\r\n"
     "Click Continue to reinstall current version or Cancel.",
     "Setup installs new and updated Macrolan development files to your Fileserver, giving you the most up-to-date "
     "versions of these development files.\r\n\r\nBefore continuing, make certain any Standard Scripts that have "
     "been customized were assigned new file names.  Many files beginning with Z4 will be OVERWRITTEN (this "
     "includes Z4 files with extensions of ASL, ASC, LST, and DLG).  The corresponding production files will also "
     "need to be installed from the 'Get Standard Macrolan scripts' link on the Tools page.  These files should NOT "
     "be OPEN during this process.  Select the View Changes button for information regarding the changes to the "
     "scripts that were created from these development files.\r\n\r\nSelect OK to continue or Cancel to "
     "terminate."},
};
const Kind &kScripts = kKinds[0], &kDevelopment = kKinds[1];

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
    void List(const std::string& inf, const std::string& keys) { WriteFileText(pellar + "\\" + inf, "[ORVAN]\r\n" + keys); }
    // The command lines the package was started with, and the log's records ("<code> <pieces>"),
    // or only their codes.
    std::vector<std::string> Runs() const { return Lines(ReadFileText(sandbox / "stand_in_runs.txt")); }
    std::vector<std::string> Records() const { return RecordsOf(sandbox.LogText()); }
    std::vector<std::string> Codes() const {
        std::vector<std::string> out;
        for (const std::string& r : Records()) out.push_back(r.substr(0, r.find(' ')));
        return out;
    }
    // A server that has the scripting product already, with this version of a kind installed.
    void Installed(const char* version, const Kind& kind = kScripts) {
        ASSERT_EQ(control->Init(), S_OK);
        CreateDirectoryA(scripts.c_str(), nullptr);
        WritePrivateProfileStringA("Scripting", kind.versionKey.c_str(), version, orvan.c_str());
    }

    // Both editor packages, on a server whose AppsPath names another folder: the editor is still
    // installed into, and started from, the one named "Apps".
    void EditorServer() {
        Package("MLEdit1.exe");
        Package("MLEHelp1.exe");
        ASSERT_EQ(control->Init(), S_OK);
        WritePrivateProfileStringA("Applications", "AppsPath", "MyApps", orvan.c_str());
    }

    InstallSandbox sandbox;
    RegistryValueGuard dos{"Software\\Orvanta", "DOSInstallPath"};
    const std::string pellar = sandbox / "Pellar", server = sandbox / "server", scripts = server + "\\Scripts";
    const std::string orvan = server + "\\Orvan.ini";
    ov::ComPtr<IOVCustInst> control = CreateControl();
};

}  // namespace

TEST_F(PackageTest, RunSEEStartsThePackageUnquotedWaitsForItAndTrustsOnlyTheSignOfItsExitCode) {
    Package("MLS1.exe");
    const std::string see = pellar + "\\MLS1.exe", blanks = sandbox / "dest with blanks";
    const std::string fits = "C:\\" + std::string(249, 'd'), tooLong = fits + "d";  // 252 and 253 characters
    const std::string notStarted = "szCommandLine:  /auto " + blanks + "\r\n";
    const struct {
        const char* name;
        std::string see, dest;
        const char* plan;
        HRESULT hr;
        std::vector<std::string> records, runs;  // every record with its box
    } rows[] = {
        {"exit 1 after a pause", see, blanks, "sleep:300 exit:1", S_OK, {}, {see + "  /auto " + blanks}},
        {"longest destination", see, fits, "", S_OK, {}, {see + "  /auto " + fits}},
        {"negative exit", see, blanks, "exit:-3", S_OK, {"80004005 szAppPath: " + see + "\r\n" + notStarted},
         {see + "  /auto " + blanks}},
        {"missing package", pellar + "\\none.exe", blanks, "", S_OK,
         {"80070003 szAppPath: " + pellar + "\\none.exe\r\n" + notStarted}, {}},
        {"destination too long with /auto", see, tooLong, "", E_INVALIDARG, {"80070057 bstrDestPath: Length Invalid\r\n"},
         {}},
        {"both empty, the source checked first", "", "", "", E_INVALIDARG, {"80070057 bstrSEEPath: Length Invalid\r\n"},
         {}},
    };
    for (const auto& row : rows) {
        DeleteFileA((sandbox / "OVCILog.txt").c_str());
        DeleteFileA((sandbox / "stand_in_runs.txt").c_str());
        Plan(row.plan);
        DialogResponder responder;
        EXPECT_EQ(control->RunSEE(Bstr(row.see).Get(), Bstr(row.dest).Get()), row.hr) << row.name;
        EXPECT_EQ(Runs(), row.runs) << row.name;
        EXPECT_EQ(Records(), row.records) << row.name;
        EXPECT_EQ(responder.Shown().size(), row.records.size()) << row.name;
    }
}

TEST_F(PackageTest, FirstInstallationAsksNothingClearsOlderPackagesAndRecordsTheVersion) {
    std::string usageDir = pellar;
    std::replace(usageDir.begin(), usageDir.end(), '\\', '/');
    auto usageKey = [&](const std::string& name) { return std::string(kUsage) + "\\" + usageDir + "/" + name; };
    auto records = [&](const std::string& name) {
        ov::RegKey key;
        const std::string value = pellar + "\\" + name;
        return std::string(RegGetValueA(HKEY_LOCAL_MACHINE, kShared, value.c_str(), RRF_RT_ANY, nullptr, nullptr,
                                        nullptr) ? "" : "SharedDlls ") +
               (RegOpenKeyExA(HKEY_LOCAL_MACHINE, usageKey(name).c_str(), 0, KEY_READ, key.Put()) ? "" : "ModuleUsage");
    };
    Probe probe;  // the installed versions are fields without a property
    ASSERT_EQ(probe->SetScriptServer(Bstr(server).Get()), S_OK);
    for (const Kind& kind : kKinds) {
        SCOPED_TRACE(kind.name);
        const std::string newest = kind.prefix + "300.exe", older = kind.prefix + "100.exe",
                          readOnly = kind.prefix + "150.exe", other = kind.other + "100.exe";
        for (const std::string& name : {newest, older, readOnly, other}) Package(name);
        SetFileAttributesA((pellar + "\\" + readOnly).c_str(), FILE_ATTRIBUTE_READONLY);  // cannot be deleted
        std::string kept = kind.prefix + "300.EXE";  // the kept name in other letters
        std::transform(kept.begin(), kept.begin() + 3, kept.begin(), ::tolower);
        List(kind.list, "SEE=" + kept + "\r\n" + kind.versionKey + "=3.0\r\n");
        std::vector<std::unique_ptr<RegistryValueGuard>> shared;
        for (const std::string& name : {older, readOnly, other}) {
            shared.push_back(std::make_unique<RegistryValueGuard>(kShared, pellar + "\\" + name));
            const DWORD one = 1;
            shared.back()->SetBytes(&one, sizeof one, REG_DWORD);
            ov::RegKey usage;
            RegCreateKeyExA(HKEY_LOCAL_MACHINE, usageKey(name).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            usage.Put(), nullptr);
        }

        DialogResponder responder;
        ASSERT_EQ((probe.operator->()->*kind.install)(), S_OK);
        EXPECT_EQ(responder.Shown().size(), 0u);
        EXPECT_EQ(Runs(), std::vector<std::string>{pellar + "\\" + kept + "  /auto " + scripts});
        const struct {
            std::string name;
            bool stays;
            std::string records;
        } files[] = {{newest, true, ""},
                     {older, false, ""},
                     {readOnly, true, ""},  // stays, its records go all the same
                     {other, true, "SharedDlls ModuleUsage"}};
        for (const auto& f : files) {
            EXPECT_EQ(PathExists(pellar + "\\" + f.name), f.stays) << f.name;
            EXPECT_EQ(records(f.name), f.records) << f.name;
            RegDeleteKeyA(HKEY_LOCAL_MACHINE, usageKey(f.name).c_str());
        }
        EXPECT_FALSE(PathExists(sandbox / kind.marker));
        EXPECT_EQ(Ini(orvan, "Scripting", kind.versionKey.c_str()), "3.0");
        EXPECT_EQ(probe.Text(kind.installed), "3.0");
        EXPECT_TRUE(PathExists(scripts + "\\Backup") && PathExists(scripts + "\\File"));
        EXPECT_EQ(sandbox.LogText(), "");
        // The next kind comes to a server without scripts again.
        SetFileAttributesA((pellar + "\\" + readOnly).c_str(), FILE_ATTRIBUTE_NORMAL);
        for (const std::string& name : {newest, readOnly, other}) DeleteFileA((pellar + "\\" + name).c_str());
        DeleteFileA((sandbox / "stand_in_runs.txt").c_str());
        RemoveTree(scripts);
    }
}

TEST_F(PackageTest, AnInstalledServerIsAskedFirstAndCancelChangesNothing) {
    for (const Kind& kind : kKinds) {
        Package(kind.prefix + "300.exe");
        Package(kind.prefix + "100.exe");
        List(kind.list, "SEE=" + kind.prefix + "300.exe\r\n" + kind.versionKey + "=3.0\r\n");
    }
    const std::vector<std::string> continueFace{"Continue", "Cancel", "View Changes (hidden) (disabled)"},
        okFace{"OK", "Cancel", "View Changes"};
    // How a dialog is ended: by a button, the Escape key or the close box.
    auto escape = [](HWND dialog) { PostMessageA(GetDlgItem(dialog, IDOK), WM_KEYDOWN, VK_ESCAPE, 0); };
    auto closeBox = [](HWND dialog) { PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); };
    const struct {
        const char* name;
        const Kind& kind;
        const char* installed;  // equal to the cached "3.0": the reinstall question comes first
        std::vector<std::function<void(HWND)>> ends;
        std::vector<std::vector<std::string>> faces;
        bool runs;
    } rows[] = {
        {"equal, both confirmed", kScripts, "3.0", {nullptr, nullptr}, {continueFace, okFace}, true},
        {"equal, cancelled first", kScripts, "3.0", {escape}, {continueFace}, false},
        {"equal, cancelled second", kScripts, "3.0", {nullptr, closeBox}, {continueFace, okFace}, false},
        {"different, confirmed", kScripts, "2.0", {nullptr}, {okFace}, true},
        {"different, cancelled", kScripts, "2.0", {escape}, {okFace}, false},
        {"development, equal, both confirmed", kDevelopment, "3.0", {nullptr, nullptr}, {continueFace, okFace}, true},
        {"development, different, cancelled", kDevelopment, "2.0", {escape}, {okFace}, false},
    };
    for (const auto& row : rows) {
        Installed(row.installed, row.kind);
        DeleteFileA((sandbox / "stand_in_runs.txt").c_str());
        size_t asked = 0;
        DialogResponder responder([&](HWND dialog, const ShownWindow&) {
            const auto& end = row.ends.at(std::min(asked++, row.ends.size() - 1));
            if (!end) return IDOK;
            end(dialog);
            return 0;
        });
        EXPECT_EQ((control.Get()->*row.kind.install)(), S_OK) << row.name;
        ASSERT_EQ(responder.Shown().size(), row.faces.size()) << row.name;
        for (size_t i = 0; i < row.faces.size(); ++i) {
            const ShownWindow& shown = responder.Shown()[i];
            EXPECT_EQ(shown.title, row.kind.title) << row.name;
            EXPECT_EQ(shown.buttons, row.faces[i]) << row.name << ", question " << i;
            EXPECT_EQ(shown.text, row.faces[i] == continueFace ? row.kind.reinstall : row.kind.question)
                << row.name << ", question " << i;
        }
        const std::string older = pellar + "\\" + row.kind.prefix + "100.exe";
        EXPECT_EQ(Runs().size(), row.runs ? 1u : 0u) << row.name;
        // Cancelled: no older package deleted, nothing recorded, nothing logged.
        EXPECT_EQ(PathExists(older), !row.runs) << row.name;
        EXPECT_EQ(Ini(orvan, "Scripting", row.kind.versionKey.c_str()), row.runs ? "3.0" : row.installed) << row.name;
        EXPECT_EQ(sandbox.LogText(), "") << row.name;
        if (row.runs) Package(row.kind.prefix + "100.exe");
    }
}

TEST_F(PackageTest, FailuresAreShownLoggedAndReturnedAndTheVersionIsRecordedOnlyOnceWritten) {
    ASSERT_EQ(control->Init(), S_OK);  // from here on the layout is read back from Orvan.ini
    const std::string layout = ReadFileText(orvan), invalidName = scripts + "\\bad|name";
    for (const Kind& kind : kKinds) {
        const std::string see = pellar + "\\" + kind.prefix + "300.exe", missing = pellar + "\\" + kind.prefix + "999.exe";
        const std::string toScripts = "szFullScriptingPath: " + scripts + "\r\n";
        const struct {
            const char* name;
            std::string list;
            const char* plan;
            const char* layoutKey;  // a value of Orvan.ini's "Scripting" changed for the row
            bool layoutLocked;  // open elsewhere, for reading only
            HRESULT hr;
            std::vector<std::string> records;  // a callee's failure is repeated without pieces
            size_t boxes;
            const char* version;  // recorded afterwards
        } rows[] = {
            {"no SEE in the list", "", "", nullptr, false, E_FAIL,
             {"80040201 ORVAN_APP_NAME: ORVAN\r\nSEE_KEY_NAME: SEE\r\nszSEEFileName: \r\nszMLInstallINFPath: " + pellar +
              "\\" + kind.list + "\r\n"}, 1, "<none>"},
            {"no marker", "SEE=" + kind.prefix + "300.exe\r\n", "nomarker", nullptr, false, kSeeCopy,
             {"80040200 szSEEPath: " + see + "\r\n" + toScripts}, 1, "<none>"},
            {"package not there", "SEE=" + kind.prefix + "999.exe\r\n", "", nullptr, false, kSeeCopy,
             {"80070003 szAppPath: " + missing + "\r\nszCommandLine:  /auto " + scripts + "\r\n",
              "80040200 szSEEPath: " + missing + "\r\n" + toScripts}, 2, "<none>"},
            {"the version cannot be written", "SEE=" + kind.prefix + "300.exe\r\n", "", nullptr, true, E_FAIL,
             {"80070020 SCRIPTING_APP_NAME: Scripting\r\n" + kind.versionLabels + "3.0\r\nszOrvanIniPath: " + orvan +
              "\r\n"}, 1, "<none>"},
            {"no backup folder", "SEE=" + kind.prefix + "300.exe\r\n", "", "BackupPath", false,
             HRESULT_FROM_WIN32(ERROR_INVALID_NAME), {"8007007B szDirPath: " + invalidName + "\r\n", "8007007B "}, 2,
             "3.0"},
            {"no file folder", "SEE=" + kind.prefix + "300.exe\r\n", "", "FilePath", false,
             HRESULT_FROM_WIN32(ERROR_INVALID_NAME), {"8007007B szDirPath: " + invalidName + "\r\n", "8007007B "}, 2,
             "3.0"},
        };
        for (const auto& row : rows) {
            SCOPED_TRACE(std::string(kind.name) + ", " + row.name);
            Package(kind.prefix + "300.exe");
            Package(kind.prefix + "100.exe");
            List(kind.list, row.list + kind.versionKey + "=3.0\r\n");
            Plan(row.plan);
            WriteFileText(orvan, layout);
            if (row.layoutKey) WritePrivateProfileStringA("Scripting", row.layoutKey, "bad|name", orvan.c_str());
            HANDLE lock = row.layoutLocked ? CreateFileA(orvan.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                                         OPEN_EXISTING, 0, nullptr)
                                           : INVALID_HANDLE_VALUE;
            RemoveTree(scripts);  // nothing is asked
            DeleteFileA((sandbox / "OVCILog.txt").c_str());
            DialogResponder responder;
            EXPECT_EQ((control.Get()->*kind.install)(), row.hr);
            EXPECT_EQ(Records(), row.records);
            EXPECT_EQ(responder.Shown().size(), row.boxes);
            if (lock != INVALID_HANDLE_VALUE) CloseHandle(lock);
            EXPECT_EQ(Ini(orvan, "Scripting", kind.versionKey.c_str()), row.version);
            EXPECT_FALSE(PathExists(sandbox / kind.marker));
            // Older packages go only once the list names a package.
            EXPECT_EQ(PathExists(pellar + "\\" + kind.prefix + "100.exe"), row.list.empty());
        }
    }
    // Init failing (the server lost its Orvan.ini) is reported once more without a box.
    DeleteFileA(orvan.c_str());
    DeleteFileA((sandbox / "OVCILog.txt").c_str());
    DialogResponder responder;
    EXPECT_EQ(control->InstallMLScripts(), E_FAIL);
    EXPECT_EQ(Records(), (std::vector<std::string>{"80040201 szORVANPath: " + orvan + "\r\n", "80004005 "}));
    EXPECT_EQ(responder.Shown().size(), 1u);
}

TEST_F(PackageTest, AStaleMarkerCountsOnlyForTheStandardScriptsAndTheDevelopmentReadMeOpensInNotepad) {
    // A marker left by an earlier run: the development files clear it before their package runs,
    // so only this run's counts; the standard scripts take it as their package's and remove it.
    for (const auto& [kind, hr] : {std::pair<const Kind*, HRESULT>{&kDevelopment, kSeeCopy}, {&kScripts, S_OK}}) {
        Package(kind->prefix + "300.exe");
        List(kind->list, "SEE=" + kind->prefix + "300.exe\r\n" + kind->versionKey + "=3.0\r\n");
        WriteFileText(sandbox / kind->marker, "");
        Plan("nomarker");
        DialogResponder responder;
        EXPECT_EQ((control.Get()->*kind->install)(), hr) << kind->name;
        EXPECT_EQ(responder.Shown().size(), hr == S_OK ? 0u : 1u) << kind->name;
        EXPECT_FALSE(PathExists(sandbox / kind->marker)) << kind->name;
        EXPECT_EQ(Ini(orvan, "Scripting", kind->versionKey.c_str()), hr == S_OK ? "3.0" : "<none>") << kind->name;
    }
    List(kDevelopment.list, "SEE=MLD300.exe\r\nMLDVer=3.0\r\nMLReadMeDev=dev notes.txt\r\n");

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
    ASSERT_NO_FATAL_FAILURE(EditorServer());
    const std::string firstSee = pellar + "\\MLEdit1.exe", firstDest = sandbox / "local\\Pellar\\Apps",
                      secondSee = pellar + "\\MLEHelp1.exe", secondDest = server + "\\Help";
    const std::string first = firstSee + "  /auto " + firstDest, second = secondSee + "  /auto " + secondDest;
    const std::string list = pellar + "\\OVMLEInstall.inf";
    auto noKey = [&](const char* key) {
        return std::string("80040201 ORVAN_APP_NAME: ORVAN\r\n") + key + "_KEY_NAME: " + key + "\r\nsz" + key +
               "FileName: \r\nszINFPath: " + list + "\r\n";
    };
    const struct {
        const char* name;
        const char* list;
        const char* plan;
        HRESULT hr;
        std::vector<std::string> runs, records;
        const char* record;  // "UpdatedFromThisWorkstation" afterwards
        bool staleMarkerStays;
    } rows[] = {
        {"both confirm", "SEE1=MLEdit1.exe\r\nSEE2=MLEHelp1.exe\r\n", "", S_OK, {first, second}, {}, "yes", false},
        {"no SEE1", "SEE2=MLEHelp1.exe\r\n", "", E_FAIL, {}, {noKey("SEE1")}, "no", true},
        {"no SEE2", "SEE1=MLEdit1.exe\r\n", "", E_FAIL, {}, {noKey("SEE2")}, "no", true},
        {"the first leaves no marker", "SEE1=MLEdit1.exe\r\nSEE2=MLEHelp1.exe\r\n", "nomarker", kSeeCopy, {first},
         {"80040200 szSEE1Path: " + firstSee + "\r\nszSEE1DestPath: " + firstDest + "\r\n"}, "no", false},
        {"the second leaves no marker", "SEE1=MLEdit1.exe\r\nSEE2=MLEHelp1.exe\r\n", "nomarker:MLEHelp1.exe", kSeeCopy,
         {first, second}, {"80040200 szSEE2Path: " + secondSee + "\r\nszSEE2DestPath: " + secondDest + "\r\n"}, "no",
         false},
    };
    for (const auto& row : rows) {
        List("OVMLEInstall.inf", std::string(row.list) + "UpdatedFromThisWorkstation=no\r\n");
        WriteFileText(sandbox / "OVMLEOK.TMP", "");  // from an earlier run: never counts
        for (const char* f : {"OVCILog.txt", "stand_in_runs.txt"}) DeleteFileA((sandbox / f).c_str());
        Plan(row.plan);
        DialogResponder responder;
        EXPECT_EQ(control->InstallSEditor(), row.hr) << row.name;
        EXPECT_EQ(Runs(), row.runs) << row.name;
        EXPECT_EQ(Records(), row.records) << row.name;
        EXPECT_EQ(responder.Shown().size(), row.records.size()) << row.name;
        EXPECT_EQ(Ini(list, "ORVAN", "UpdatedFromThisWorkstation"), row.record) << row.name;
        EXPECT_EQ(PathExists(sandbox / "OVMLEOK.TMP"), row.staleMarkerStays) << row.name;
    }
}

TEST_F(PackageTest, RunEditorInstallsFirstWhenTheRecordSaysNoThenFindsOrStartsTheEditor) {
    ASSERT_NO_FATAL_FAILURE(EditorServer());
    const std::string apps = sandbox / "local\\Pellar\\Apps", editor = apps + "\\seditor.exe";
    const std::string started = editor + " " + server + "\\Orvan.ini " + sandbox / "local\\Pellar\\Empxxx.ini";
    // A window of the editor's class, made here, stands for an editor that runs already.
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "ScriptFileWindow";
    RegisterClassA(&wc);
    CreateDirectoryA(apps.c_str(), nullptr);
    const std::string list = pellar + "\\OVMLEInstall.inf",
                      noRecord = "80040201 ORVAN_APP_NAME: ORVAN\r\nINSTALLED_KEY_NAME: UpdatedFromThisWorkstation\r\n"
                                 "szInstalled: \r\nszINFPath: " + list + "\r\n";
    const struct {
        const char* name;
        const char* record;  // null: no such key; "<no list>": no editor list at all
        bool editorThere, windowOpen;
        const char* plan;
        HRESULT hr;
        size_t packageRuns;
        bool editorStarted;
        std::vector<std::string> records;
        size_t boxes;
    } rows[] = {
        {"no", "no", true, false, "", S_OK, 2, true, {}, 0},
        {"No", "No", true, false, "", S_OK, 2, true, {}, 0},
        {"n", "n", true, false, "", S_OK, 2, true, {}, 0},
        {"yes", "yes", true, false, "", S_OK, 0, true, {}, 0},
        {"Y", "Y", true, false, "", S_OK, 0, true, {}, 0},
        {"open already", "yes", true, true, "", S_OK, 0, false, {}, 0},
        {"open already, not installed", "no", true, true, "", S_OK, 2, false, {}, 0},
        {"no record", nullptr, true, false, "", E_FAIL, 0, false, {noRecord}, 1},
        {"no list", "<no list>", true, false, "", E_FAIL, 0, false, {noRecord}, 1},
        {"editor missing", "yes", false, false, "", S_OK, 0, false,
         {"80070003 szCommand: " + editor + "\r\nszORVANINIPath: " + orvan + "\r\nszEMPXXXPath: " + sandbox /
          "local\\Pellar\\Empxxx.ini\r\n"}, 1},
        {"not installed, the install fails", "no", true, false, "nomarker", kSeeCopy, 1, false,
         {"80040200 szSEE1Path: " + pellar + "\\MLEdit1.exe\r\nszSEE1DestPath: " + apps + "\r\n", "80040200 "}, 1},
    };
    for (const auto& row : rows) {
        Plan(row.plan);
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
        EXPECT_EQ(Records(), row.records) << row.name;
        EXPECT_EQ(responder.Shown().size(), row.boxes) << row.name;
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
