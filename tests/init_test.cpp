// Init: a new workstation set up, a configured one read back, its inputs, the free-space checks
// on a really small drive, every failure leaving the fields alone; and the script server.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <array>
#include <cstdlib>

#include "support/layout_support.h"

using namespace ovtest;

namespace {

constexpr HRESULT kMediumFull = static_cast<HRESULT>(0x80030070u), kTooLong = static_cast<HRESULT>(0x800700CEu);
constexpr HRESULT kNoData = static_cast<HRESULT>(0x80040201u);  // a configured branch without its data
const std::string kDefaultLocal = "C:\\Orvan\\Pellar";
const char kOrvanIniText[] =
    "[Applications]\r\nAppsPath=Apps\r\n[Scripting]\r\nScriptingPath=Scripts\r\nProductionPath=Prod\r\n"
    "FilePath=File\r\nBitmapPath=Bitmap\r\nBackupPath=Backup\r\nDevelopmentPath=Develop\r\nCommand=commlist.cmd\r\n"
    "CommandInsertList=commfile.cmd\r\nScreen=scrnlist.cmd\r\nScreenInsertList=scrnfile.cmd\r\n"
    "Skeleton=skeleton.cmd\r\nEnabled=1\r\n[Help]\r\nHelpPath=Help\r\nScriptEditor=scrpedtr.hlp\r\n"
    "DialogEditor=dbeditor.hlp\r\n";

using Fields = std::map<std::string, std::string>;
// What a successful first run gives, with the server and the local path it used.
Fields FirstRunFields(const std::string& server, const std::string& local) {
    char windows[MAX_PATH + 1] = {};
    GetWindowsDirectoryA(windows, MAX_PATH);
    const std::string dpf = std::string(windows) + "\\downloaded program files";
    return {{"WindowsDir", windows}, {"DownloadPath", PathExists(dpf) ? dpf : std::string(windows) + "\\occache"},
            {"CachedMLVersion", ""}, {"MLReadMe", "MLReadMe.txt"}, {"CachedMLDVersion", ""},
            {"MLReadMeDev", "MLReadMeDev.txt"}, {"ServerPath", server}, {"LocalPLORVANPath", local},
            {"LocalNWXORVANPath", local}, {"AppsPath", "Apps"}, {"ScriptingPath", "Scripts"},
            {"ProductionPath", "Prod"}, {"FilePath", "File"}, {"BitmapPath", "Bitmap"}, {"BackupPath", "Backup"},
            {"DevelopPath", "Develop"}, {"HelpPath", "Help"}, {"InstalledMLVersion", ""}, {"InstalledMLDVersion", ""}};
}

std::string WkstnIniText(const std::string& server) {
    return "[Workstation]\r\nServerPath=" + server + "\r\n[Scripting]\r\nProductionPath=" + server +
           "\\Scripts\\Prod\r\n";
}

void MakeDirs(const std::string& path) { SHCreateDirectoryExA(nullptr, path.c_str(), nullptr); }

class InitTest : public ::testing::Test {
protected:
    InstallSandbox sandbox;
    RegistryValueGuard dos{"Software\\Orvanta", "DOSInstallPath"};
    DialogResponder responder;
    const std::string local = sandbox / "local", localPellar = local + "\\Pellar", wkstn = sandbox / "Wkstn.ini";
    const std::string server = sandbox / "srv\\deep\\server", orvan = server + "\\Orvan.ini";

    void SetUp() override { dos.Set(local + "\\"); }
    static void SetServer(const Probe& p, const std::string& path) {
        ASSERT_EQ(p->SetScriptServer(ov::BStr::FromAnsi(path.c_str()).Get()), S_OK);
    }

    // Each field, and each property: a copy of its field (empty text where there is none).
    static void ExpectFields(const Probe& p, const Fields& expected) {
        const auto fields = p.Snapshot();
        for (const auto& [name, field] : fields) EXPECT_EQ(field.second, expected.at(name)) << name;
        for (const Member& m : Members()) {
            const bool field = fields.count(m.name);
            ov::BStr a;
            if (!m.get || (p.operator->()->*m.get)(a.Put()) != S_OK) continue;
            EXPECT_EQ(Narrow(a.Get()), field ? expected.at(m.name) : "") << m.name;
            EXPECT_TRUE(!field || a.Get()) << m.name;
            for (const auto& f : fields) EXPECT_TRUE(!a.Get() || a.Get() != f.second.first) << m.name << " is a field";
        }
    }

    // One failing Init: its result, its records (the last with exactly these label/value pieces),
    // one box, and every field as it was before.
    void ExpectFails(const Probe& c, HRESULT hr, const std::string& pieces, size_t records = 1, HRESULT logged = 0) {
        const auto before = c.Snapshot();
        const size_t earlier = LogOf(sandbox).size();
        responder.Clear();
        EXPECT_EQ(c->Init(), hr);
        const auto log = LogOf(sandbox);
        ASSERT_EQ(log.size(), earlier + records) << sandbox.LogText();
        EXPECT_EQ(log.back().file, "OVCustInst");
        EXPECT_EQ(RecordsOf(sandbox.LogText()).back(), HexCode(logged ? logged : hr) + " " + pieces);
        EXPECT_EQ(responder.Shown().size(), 1u);
        EXPECT_EQ(c.Snapshot(), before);
    }

};

}  // namespace

TEST_F(InitTest, FirstRunSetsUpTheLayoutThatTheConfiguredBranchReadsBackAndFailuresKeepTheFields) {
    // An Empxxx.ini that exists is never written, even without its keys.
    const std::string emp = localPellar + "\\Empxxx.ini", empText = "[Scripting]\r\nWarningsEnabled=0\r\n";
    MakeDirs(localPellar);
    WriteFileText(emp, empText);
    Probe first;
    SetServer(first, server);
    ASSERT_EQ(first->Init(), S_OK);
    // The raw texts show every key and value, the order of the writes and that nothing else went in.
    EXPECT_EQ(ReadFileText(wkstn), WkstnIniText(server));
    EXPECT_EQ(ReadFileText(orvan), kOrvanIniText);  // in a directory made with its missing parents
    ExpectFields(first, FirstRunFields(server, localPellar));

    // Values only the configured branch can know, and the fields they go to.
    Fields want = FirstRunFields(server, localPellar);
    want["LocalNWXORVANPath"] = "C:\\Orvan";
    for (auto& v : {std::vector<const char*>{"Applications", "AppsPath", "MyApps", "AppsPath"},
                    {"Help", "HelpPath", "Manuals", "HelpPath"}, {"Scripting", "MLVer", "7.1", "InstalledMLVersion"},
                    {"Scripting", "MLDVer", "7.2", "InstalledMLDVersion"}}) {
        ASSERT_TRUE(WritePrivateProfileStringA(v[0], v[1], v[2], orvan.c_str()));
        want[v[3]] = v[2];
    }
    const std::string files = ReadFileText(wkstn) + ReadFileText(orvan) + ReadFileText(emp);
    Probe second;
    SetServer(second, sandbox / "elsewhere");
    ASSERT_EQ(second->Init(), S_OK);
    ExpectFields(second, want);
    // Nothing is written in this branch, and the mapped server is not even created.
    EXPECT_EQ(ReadFileText(wkstn) + ReadFileText(orvan) + ReadFileText(emp), files);
    EXPECT_FALSE(PathExists(sandbox / "elsewhere"));
    EXPECT_TRUE(responder.Shown().empty() && sandbox.LogText().empty());

    // A failure keeps every field: at the last step, Empxxx.ini that cannot be written...
    const std::string blocked = sandbox / "blocked";
    CreateDirectoryA(blocked.c_str(), nullptr);
    WriteFileText(blocked + "\\Pellar", "not a directory");
    dos.Set(blocked);
    ExpectFails(second, HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND),
                "SCRIPTING_APP_NAME: Scripting\r\nAUTO_BACKUP_KEY_NAME: AutomaticBackupEnabled\r\nszEmpPath: " + blocked +
                    "\\Pellar\\Empxxx.ini\r\n");
    dos.Set(local);
    // ...or at the first, a free-space check of an empty mapped server (its own box and record).
    DeleteFileA(wkstn.c_str());
    SetServer(second, "");
    ExpectFails(second, E_INVALIDARG, "", 2);
    const auto log = LogOf(sandbox);
    ASSERT_EQ(log.size(), 3u);
    EXPECT_TRUE(EndsWithPieces(log[1].tail, "bstrDrive: Length Invalid\r\n")) << log[1].tail;
    EXPECT_EQ(log[2].tail.find(": "), std::string::npos) << log[2].tail;
    EXPECT_FALSE(PathExists(wkstn));

    // Null: the server goes to the DOS path, and a success replaces every field.
    ASSERT_EQ(second->SetScriptServer(nullptr), S_OK);
    ASSERT_EQ(second->Init(), S_OK);
    ExpectFields(second, FirstRunFields(localPellar, localPellar));
}

TEST_F(InitTest, LocalPathIsDosInstallPathLessTrailingBackslashesPlusPellarOrTheDefault) {
    // No DOSInstallPath: the default, after a warning without box.
    const std::string defaultEmp = kDefaultLocal + "\\Empxxx.ini";
    OutsidePathsGuard outside({"C:\\Orvan", kDefaultLocal, kDefaultLocal + "\\Orvan.ini", defaultEmp}, sandbox);
    DeleteFileA(defaultEmp.c_str());  // the guard puts back what was there
    dos.Remove();
    Probe c;
    ASSERT_EQ(c->Init(), S_OK);
    EXPECT_EQ(ReadFileText(wkstn), WkstnIniText(kDefaultLocal));
    EXPECT_EQ(ReadFileText(defaultEmp), "[Scripting]\r\nAutomaticBackupEnabled=1\r\nWarningsEnabled=1\r\n");
    ExpectFields(c, FirstRunFields(kDefaultLocal, kDefaultLocal));
    // Then present but empty, read anew: the same fallback, the warning with S_OK and no text.
    dos.Set("");
    ASSERT_EQ(c->Init(), S_OK);
    EXPECT_EQ(c.Text("LocalPLORVANPath") + "|" + c.Text("LocalNWXORVANPath"), kDefaultLocal + "|C:\\Orvan");
    const auto log = LogOf(sandbox);
    ASSERT_EQ(log.size(), 3u);  // the registry reader's own record, then the warnings
    EXPECT_TRUE(log[1].code == "80070002" &&
                EndsWithPieces(log[1].tail, "Warning: Failed to read the registy key data\r\n"));
    EXPECT_TRUE(log[2].code == "0" && EndsWithPieces(log[2].tail, "Warning: \r\n")) << log[2].tail;

    // Only backslashes: "\Pellar" on the current drive, where an Empxxx.ini keeps Init from writing.
    OutsidePathsGuard pellar({"C:\\Pellar", "C:\\Pellar\\Empxxx.ini"}, sandbox);
    CreateDirectoryA("C:\\Pellar", nullptr);
    if (!PathExists("C:\\Pellar\\Empxxx.ini")) WriteFileText("C:\\Pellar\\Empxxx.ini", "");
    for (const auto& [value, want] : std::vector<std::pair<std::string, std::string>>{
             {local, localPellar}, {local + "\\", localPellar}, {local + "\\\\\\\\", localPellar},
             {"\\", "\\Pellar"}, {"\\\\\\", "\\Pellar"}}) {
        dos.Set(value);
        ASSERT_EQ(c->Init(), S_OK) << value;
        EXPECT_EQ(c.Text("LocalPLORVANPath"), want) << value;
    }
    EXPECT_TRUE(LogOf(sandbox).size() == 3 && responder.Shown().empty());
}

TEST_F(InitTest, ConfiguredBranchWithoutItsRequiredDataFailsNamingWhatIsMissing) {
    Probe c;
    SetServer(c, server);  // not consulted in this branch
    for (const char* text : {"[Workstation]\r\nServerPath=\r\n", "[Other]\r\nServerPath=C:\\x\r\n"}) {
        WriteFileText(wkstn, text);
        ExpectFails(c, E_FAIL,
                    "WKSTN_APP_NAME: Workstation\r\nSERVER_PATH_KEY_NAME: ServerPath\r\nszServerPath: \r\nszWKSTNPath: " +
                        wkstn + "\r\n",
                    1, kNoData);
        EXPECT_EQ(ReadFileText(wkstn), text);
    }
    EXPECT_FALSE(PathExists(server));

    // A first run failing after its Wkstn.ini rows: a directory where Orvan.ini should go.
    DeleteFileA(wkstn.c_str());
    MakeDirs(orvan);
    const std::string apps = "APPLICATIONS_APP_NAME: Applications\r\nAPPS_PATH_KEY_NAME: AppsPath\r\nszAppsPath: ";
    ExpectFails(c, E_ACCESSDENIED, apps + "Apps\r\nszORVANPath: " + orvan + "\r\n");
    EXPECT_EQ(ReadFileText(wkstn), WkstnIniText(server));
    EXPECT_FALSE(PathExists(localPellar));  // nothing of the tail ran
    // So the next call reads back, and fails on the first value that was never written.
    ExpectFails(c, E_FAIL, apps + "\r\nszORVANPath: " + orvan + "\r\n", 1, kNoData);
    RemoveTree(orvan);
    ExpectFails(c, E_FAIL, "szORVANPath: " + orvan + "\r\n", 1, kNoData);

    // Each required Orvan.ini value, missing and then empty, is named with its section and key
    // labels; the ones after it wait.
    WriteFileText(orvan, "");
    for (const auto& [section, sectionLabel, key, keyLabel] : std::vector<std::array<std::string, 4>>{
             {"Applications", "APPLICATIONS", "AppsPath", "APPS_PATH"}, {"Scripting", "SCRIPTING", "BackupPath", "BACKUP_PATH"},
             {"Scripting", "SCRIPTING", "BitmapPath", "BITMAP_PATH"},
             {"Scripting", "SCRIPTING", "DevelopmentPath", "DEVELOPMENT_PATH"},
             {"Scripting", "SCRIPTING", "FilePath", "FILE_PATH"}, {"Help", "HELP", "HelpPath", "HELP_PATH"},
             {"Scripting", "SCRIPTING", "ProductionPath", "PRODUCTION_PATH"},
             {"Scripting", "SCRIPTING", "ScriptingPath", "SCRIPTING_PATH"}}) {
        SCOPED_TRACE(key);
        const std::string pieces = sectionLabel + "_APP_NAME: " + section + "\r\n" + keyLabel + "_KEY_NAME: " + key +
                                   "\r\nsz" + key + ": \r\nszORVANPath: " + orvan + "\r\n";
        ExpectFails(c, E_FAIL, pieces, 1, kNoData);
        ASSERT_TRUE(WritePrivateProfileStringA(section.c_str(), key.c_str(), "", orvan.c_str()));
        ExpectFails(c, E_FAIL, pieces, 1, kNoData);
        ASSERT_TRUE(WritePrivateProfileStringA(section.c_str(), key.c_str(), "x", orvan.c_str()));
    }
    // MLVer and MLDVer may be missing.
    ASSERT_EQ(c->Init(), S_OK);
    EXPECT_EQ(c.Text("AppsPath") + "|" + c.Text("InstalledMLVersion") + "|" + c.Text("InstalledMLDVersion"), "x||");
}

TEST_F(InitTest, InfFilesGiveVersionsAndReadMeNamesOrTheirDefaults) {
    // 240 characters leave room for "\Wkstn.ini" but not for "\Pellar\OVMLSInstall.inf".
    const std::string tooLong = sandbox.Path() + "\\" + std::string(239 - sandbox.Path().size(), 'p');
    MakeDirs(sandbox / "Pellar");
    MakeDirs(tooLong);
    Probe c;
    SetServer(c, server);
    // A missing key, a key in another section or a list whose path does not fit gives the default.
    using Row = std::tuple<std::string, std::string, std::string, std::string>;  // install path, lists, fields
    for (const auto& [install, mls, mld, want] : std::vector<Row>{
             {sandbox.Path(), "[ORVAN]\r\nMLVer=4.1.2\r\nMLReadMe=Scripts412.txt\r\n",
              "[ORVAN]\r\nMLDVer=2.0.5\r\nMLReadMeDev=Dev205.txt\r\n", "4.1.2|Scripts412.txt|2.0.5|Dev205.txt"},
             {sandbox.Path(), "[ORVAN]\r\nMLVer=4.2\r\n", "[Other]\r\nMLDVer=9\r\nMLReadMeDev=x.txt\r\n",
              "4.2|MLReadMe.txt||MLReadMeDev.txt"},
             {tooLong, "", "", "|MLReadMe.txt||MLReadMeDev.txt"}}) {
        sandbox.InstallPathValue().Set(install);
        WriteFileText(install + "\\Pellar\\OVMLSInstall.inf", mls);
        WriteFileText(install + "\\Pellar\\OVMLDInstall.inf", mld);
        ASSERT_EQ(c->Init(), S_OK);
        EXPECT_EQ(c.Text("CachedMLVersion") + "|" + c.Text("MLReadMe") + "|" + c.Text("CachedMLDVersion") + "|" +
                      c.Text("MLReadMeDev"), want);
    }
    EXPECT_TRUE(PathExists(tooLong + "\\Wkstn.ini"));
    sandbox.InstallPathValue().Set(sandbox.Path());
    EXPECT_EQ(sandbox.LogText(), "");
}

TEST_F(InitTest, OverLongValuesAreRefusedNotCut) {
    // Each on a new object, whose log stays where it found it; nothing is written.
    auto refused = [&](const std::string& mapped, const std::string& label, const std::string& install = "") {
        Probe c;
        if (!install.empty()) sandbox.InstallPathValue().Set(install);
        SetServer(c, mapped);
        ExpectFails(c, kTooLong, label + ": Length Invalid\r\n");
        sandbox.InstallPathValue().Set(sandbox.Path());
    };
    refused(sandbox / std::string(300, 'm'), "MappedScriptServer");  // longer than a path buffer
    // Exactly 260 characters fit; Orvan.ini beside them would not.
    refused(sandbox.Path() + "\\" + std::string(259 - sandbox.Path().size(), 's'), "szORVANPath");
    for (size_t d : {251, 252}) {  // with "\Pellar" 261 and 262 characters: one and two too many
        dos.Set("C:\\" + std::string(d, 'd') + "\\\\");
        refused(server, "szDOSPath");
    }
    dos.Set(local);
    refused(server, "szWKSTNPath", "C:\\" + std::string(250, 'i'));  // no room for "\Wkstn.ini"
    EXPECT_FALSE(PathExists(wkstn) || PathExists(server));
}

TEST_F(InitTest, NoMoreThanTheThresholdFreeOnAnyDriveInvolvedFailsTheCall) {
    // A filler file (real data: an extended file would stay sparse) sets the tmpfs drive's free bytes.
    const char* drive = std::getenv("OV_SMALL_DRIVE");
    if (!drive || !*drive) GTEST_SKIP() << "OV_SMALL_DRIVE not set: no small drive mounted";
    const std::string root = std::string(drive).substr(0, 2) + "\\", dir = root + sandbox.Path().substr(10);
    const std::string smallServer = dir + "\\srv", smallOrvan = smallServer + "\\Orvan.ini";
    const std::string smallInstall = dir + "\\inst";
    struct Remove { std::string dir; ~Remove() { RemoveTree(dir); } } remove{dir};
    ASSERT_TRUE(CreateDirectoryA(dir.c_str(), nullptr) && CreateDirectoryA(smallInstall.c_str(), nullptr));
    ULARGE_INTEGER bytes{};
    auto freeBytes = [&] { return GetDiskFreeSpaceExA(root.c_str(), &bytes, nullptr, nullptr) ? bytes.QuadPart : 0; };
    auto fillTo = [&](ULONGLONG target) {
        DeleteFileA((dir + "\\filler.bin").c_str());
        WriteFileText(dir + "\\filler.bin", std::string(freeBytes() - std::min(target, freeBytes()), '\0'));
        return freeBytes() == target;
    };
    ASSERT_TRUE(fillTo(31 * 4096));  // 126976 bytes: not more than 128000
    Probe c;
    SetServer(c, smallServer);  // the server's drive: nothing is made
    ExpectFails(c, kMediumFull, "szRawServerPath: " + smallServer + "\r\n");
    EXPECT_FALSE(PathExists(smallServer) || PathExists(wkstn));
    sandbox.InstallPathValue().Set(smallInstall);  // the workstation's drive (the log stays): nothing is made
    SetServer(c, server);
    ExpectFails(c, kMediumFull, "szWKSTNPath: " + smallInstall + "\\Wkstn.ini\r\n");
    EXPECT_FALSE(PathExists(smallInstall + "\\Wkstn.ini") || PathExists(server));
    sandbox.InstallPathValue().Set(sandbox.Path());

    // 131072 bytes pass the first checks; Orvan.ini takes a page and the last fails. Wkstn.ini
    // made by this call goes again; what went into Orvan.ini stays.
    ASSERT_TRUE(fillTo(32 * 4096));
    SetServer(c, smallServer);
    ExpectFails(c, kMediumFull, "szORVANPath: " + smallOrvan + "\r\n");
    ASSERT_LE(freeBytes(), 128000u) << "the writes did not take the drive below the threshold";
    EXPECT_FALSE(PathExists(wkstn) || PathExists(localPellar + "\\Empxxx.ini"));
    EXPECT_EQ(ReadFileText(smallOrvan), kOrvanIniText);
    // With room again the next call is a first run once more, and passes.
    ASSERT_TRUE(fillTo(40 * 4096));
    ASSERT_EQ(c->Init(), S_OK);
    ExpectFields(c, FirstRunFields(smallServer, localPellar));
    // Low space in the configured branch: this call made no Wkstn.ini, so it takes none away.
    ASSERT_TRUE(fillTo(31 * 4096));
    ExpectFails(c, kMediumFull, "szORVANPath: " + smallOrvan + "\r\n");
    EXPECT_EQ(ReadFileText(wkstn), WkstnIniText(smallServer));
}

// In code page 932 a character's second byte can be a backslash: U+8868 is 0x95 0x5C.
using InitDoubleByteCodePage = InitTest;
TEST_F(InitDoubleByteCodePage, MeasuresInBytesAndKeepsTrailBackslashes) {
    if (GetACP() != 932) GTEST_SKIP() << "needs the ANSI code page 932";
    {  // 150 characters, 300 bytes: short as a BSTR, too long as a path buffer.
        Probe c;
        SetServer(c, sandbox.Path() + "\\" + Narrow(ov::BStr(std::wstring(150, L'\x8868').c_str()).Get()));
        ExpectFails(c, kTooLong, "MappedScriptServer: Length Invalid\r\n");
        EXPECT_FALSE(PathExists(wkstn));
    }
    // 60 such characters fit, and come back unchanged.
    Probe c;
    const std::string fits = sandbox.Path() + "\\" + Narrow(ov::BStr(std::wstring(60, L'\x8868').c_str()).Get());
    SetServer(c, fits);
    ASSERT_EQ(c->Init(), S_OK);
    EXPECT_EQ(c.Text("ServerPath"), fits);
    EXPECT_TRUE(PathExists(fits + "\\Orvan.ini"));
    // The DOS path keeps a last character whose second byte is a backslash.
    const std::string narrowLocal = Narrow(ov::BStr((Wide(local) + L"\\a\x8868").c_str()).Get());
    ASSERT_EQ(narrowLocal.back(), '\\');
    for (const std::string& value : {narrowLocal, narrowLocal + "\\", narrowLocal + "\\\\\\"}) {
        dos.Set(value);
        ASSERT_EQ(c->Init(), S_OK) << value;
        EXPECT_EQ(c.Text("LocalPLORVANPath"), narrowLocal + "\\Pellar");
    }
}

TEST_F(InitTest, ScriptServerCompleteOnlyWhenWkstnIniNamesAServerWithOrvanIniElseWkstnIniGoes) {
    Probe c;
    auto ask = [&] {  // the call's result, its answer, and whether Wkstn.ini is still there
        VARIANT_BOOL answer = 77;
        const HRESULT hr = c->ScriptServerSetupComplete(&answer);
        return HexCode(hr) + " " + std::to_string(answer) + (PathExists(wkstn) ? " kept" : " gone");
    };
    EXPECT_EQ(ask(), "0 0 gone");  // no Wkstn.ini
    MakeDirs(server);
    WriteFileText(wkstn, "[Workstation]\r\nServerPath=" + server + "\r\n");
    WriteFileText(orvan, "");
    WriteFileText(server + "\\Other.ini", "");
    EXPECT_EQ(ask(), "0 1 kept");  // 1, not VARIANT_TRUE
    DeleteFileA(orvan.c_str());
    EXPECT_EQ(ask(), "0 0 gone");
    EXPECT_EQ(ask(), "0 0 gone");  // nothing left to delete
    EXPECT_TRUE(PathExists(server + "\\Other.ini"));
    // A server too long to name its Orvan.ini is no usable server either.
    WriteFileText(wkstn, "[Workstation]\r\nServerPath=C:\\" + std::string(252, 's') + "\r\n");
    EXPECT_EQ(ask(), "0 0 gone");
    // Without ServerPath: "\Orvan.ini" on the current drive.
    OutsidePathsGuard outside({"C:\\Orvan.ini"}, sandbox);
    for (const char* want : {"0 0 gone", "0 1 kept"}) {
        WriteFileText(wkstn, "[Workstation]\r\n");
        EXPECT_EQ(ask(), want);
        WriteFileText("C:\\Orvan.ini", "");
    }
    EXPECT_EQ(sandbox.LogText(), "");
    EXPECT_EQ(c->ScriptServerSetupComplete(nullptr), E_POINTER);
    // An unreadable install path is a failure logged without box; nothing is deleted on the way.
    sandbox.RemoveOrvantaKey();  // the control read its log path while the key was there
    EXPECT_EQ(ask(), "80070002 77 kept");
    const auto log = LogOf(sandbox);
    ASSERT_EQ(log.size(), 2u);  // after the null pointer's
    EXPECT_TRUE(log[1].code == "80070002" && EndsWithPieces(log[1].tail, "szInstallPath: \r\n")) << log[1].tail;
    EXPECT_TRUE(responder.Shown().empty());
}

TEST_F(InitTest, SetScriptServerStoresACopyAndRefusesOneWithANulInside) {
    Probe c;
    EXPECT_EQ(c.MappedScriptServer(), nullptr);
    ov::BStr share(L"\\\\files\\scripts"), empty(L"");
    ov::BStr embedded = ov::BStr::Attach(SysAllocStringLen(L"S:\\a\0tail", 9));
    const struct {
        BSTR in;
        HRESULT hr;
        std::string want;  // the field afterwards
    } rows[] = {{share.Get(), S_OK, "\\\\files\\scripts"},
                {embedded.Get(), E_INVALIDARG, "\\\\files\\scripts"},  // refused: Init would write "S:\a"
                {empty.Get(), S_OK, ""},
                {nullptr, S_OK, "<null>"}};
    for (const auto& row : rows) {
        EXPECT_EQ(c->SetScriptServer(row.in), row.hr) << row.want;
        // Its length too: Narrow takes the whole BSTR. Empty is not null.
        EXPECT_TRUE(FieldText(c.MappedScriptServer()) == row.want && (!row.in || c.MappedScriptServer() != row.in))
            << row.want;
    }
    const auto log = LogOf(sandbox);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].code + " " + log[0].tail.substr(log[0].tail.find("\r\n") + 2),
              "80070057 bstrMappedScriptServer: Length Invalid\r\n");
    EXPECT_EQ(responder.Shown().size(), 1u);
}
