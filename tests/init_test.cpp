// Init: a new workstation set up, a configured one read back, the registry and INF inputs,
// the free-space checks on a really small drive, and every failure leaving the fields alone.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>

#include "support/dialog_responder.h"
#include "support/layout_support.h"

using namespace ovtest;

namespace {

constexpr HRESULT kMediumFull = static_cast<HRESULT>(0x80030070u);
constexpr HRESULT kTooLong = static_cast<HRESULT>(0x800700CEu);
constexpr HRESULT kPathNotFound = HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
constexpr char kDefaultLocal[] = "C:\\Orvan\\Pellar";
const char kOrvanIniText[] =
    "[Applications]\r\nAppsPath=Apps\r\n"
    "[Scripting]\r\nScriptingPath=Scripts\r\nProductionPath=Prod\r\nFilePath=File\r\nBitmapPath=Bitmap\r\n"
    "BackupPath=Backup\r\nDevelopmentPath=Develop\r\nCommand=commlist.cmd\r\nCommandInsertList=commfile.cmd\r\n"
    "Screen=scrnlist.cmd\r\nScreenInsertList=scrnfile.cmd\r\nSkeleton=skeleton.cmd\r\nEnabled=1\r\n"
    "[Help]\r\nHelpPath=Help\r\nScriptEditor=scrpedtr.hlp\r\nDialogEditor=dbeditor.hlp\r\n";

using Fields = std::map<std::string, std::string>;

std::string WindowsDirectory() {
    char buf[MAX_PATH + 1] = {};
    GetWindowsDirectoryA(buf, MAX_PATH);
    return buf;
}

// What a successful first run gives, with the server and the local path it used.
Fields FirstRunFields(const std::string& server, const std::string& local) {
    const std::string windows = WindowsDirectory(), dpf = windows + "\\downloaded program files";
    return {{"WindowsDir", windows}, {"DownloadPath", PathExists(dpf) ? dpf : windows + "\\occache"},
            {"CachedMLVersion", ""}, {"MLReadMe", "MLReadMe.txt"}, {"CachedMLDVersion", ""},
            {"MLReadMeDev", "MLReadMeDev.txt"}, {"ServerPath", server}, {"LocalPLORVANPath", local},
            {"LocalNWXORVANPath", local}, {"AppsPath", "Apps"}, {"ScriptingPath", "Scripts"},
            {"ProductionPath", "Prod"}, {"FilePath", "File"}, {"BitmapPath", "Bitmap"}, {"BackupPath", "Backup"},
            {"DevelopPath", "Develop"}, {"HelpPath", "Help"}, {"InstalledMLVersion", ""}, {"InstalledMLDVersion", ""}};
}

std::string WkstnIniText(const std::string& server) {
    return "[Workstation]\r\nServerPath=" + server + "\r\n[Scripting]\r\nProductionPath=" + server + "\\Scripts\\Prod\r\n";
}

void MakeDirs(const std::string& path) {
    for (size_t at = path.find('\\', 3); at != std::string::npos; at = path.find('\\', at + 1))
        CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
    CreateDirectoryA(path.c_str(), nullptr);
}

class InitTest : public ::testing::Test {
protected:
    InstallSandbox sandbox;
    RegistryValueGuard dos{"Software\\Orvanta", "DOSInstallPath"};
    DialogResponder responder;  // answers every box and records it
    const std::string local = sandbox / "local", localPellar = local + "\\Pellar";
    const std::string server = sandbox / "srv\\deep\\server", orvan = server + "\\Orvan.ini";
    const std::string wkstn = sandbox / "Wkstn.ini";

    void SetUp() override { dos.Set(local + "\\"); }
    static void SetServer(const Probe& p, const std::string& path) {
        ASSERT_EQ(p->SetScriptServer(ov::BStr::FromAnsi(path.c_str()).Get()), S_OK);
    }

    // Each field, and each property read twice: two equal strings, each a new copy that is
    // neither the other nor any field. Properties without a field give empty text.
    static void ExpectFields(const Probe& p, const Fields& expected) {
        const auto fields = p.Snapshot();
        for (const auto& name : Probe::InitFieldNames()) EXPECT_EQ(p.Text(name), expected.at(name)) << name;
        for (const Member& m : Members()) {
            if (!m.get) continue;
            const bool field = expected.count(m.name);
            BSTR a = nullptr, b = nullptr;
            ASSERT_EQ((p.operator->()->*m.get)(&a), S_OK) << m.name;
            ASSERT_EQ((p.operator->()->*m.get)(&b), S_OK) << m.name;
            EXPECT_EQ(Narrow(a) + "|" + Narrow(b), field ? expected.at(m.name) + "|" + expected.at(m.name) : "|") << m.name;
            EXPECT_TRUE(!field || (a && a != b)) << m.name;
            for (const auto& f : fields) EXPECT_TRUE(!a || a != f.first) << m.name << " hands out a field";
            SysFreeString(a);
            SysFreeString(b);
        }
    }

    // One failing Init: its result, the records it adds (the last from the control, with the
    // code logged and ending with these pieces), one box, and every field as it was before.
    void ExpectFails(const Probe& c, HRESULT result, HRESULT logged, const std::string& pieces, size_t records = 1) {
        const auto before = c.Snapshot();
        const size_t earlier = LogOf(sandbox).size();
        responder.Clear();
        EXPECT_EQ(c->Init(), result);
        const auto log = LogOf(sandbox);
        ASSERT_EQ(log.size(), earlier + records) << sandbox.LogText();
        EXPECT_EQ(log.back().file + " " + log.back().code, "OVCustInst " + HexCode(logged));
        EXPECT_TRUE(EndsWithPieces(log.back().tail, pieces)) << log.back().tail;
        EXPECT_EQ(responder.Shown().size(), 1u);
        EXPECT_EQ(c.Snapshot(), before);
    }

    // A configured branch without the data it needs: E_FAIL, and the record names what is missing.
    void ExpectNoData(const Probe& c, const std::string& pieces) {
        ExpectFails(c, E_FAIL, static_cast<HRESULT>(0x80040201u), pieces);
        EXPECT_EQ(LogOf(sandbox).back().tail, "Could not find ORVAN data.\r\n" + pieces);
        EXPECT_NE(responder.Shown().at(0).text.find("Could not find ORVAN data."), std::string::npos);
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
    EXPECT_EQ(ReadFileText(emp), empText);
    ExpectFields(first, FirstRunFields(server, localPellar));
    EXPECT_EQ(FieldText(first.MappedScriptServer()), server);

    // Values only the configured branch can know, and the fields they go to.
    Fields want = FirstRunFields(server, localPellar);
    want["LocalNWXORVANPath"] = "C:\\Orvan";
    for (auto& v : {std::vector<const char*>{"Applications", "AppsPath", "MyApps", "AppsPath"},
                    {"Help", "HelpPath", "Manuals", "HelpPath"}, {"Scripting", "MLVer", "7.1", "InstalledMLVersion"},
                    {"Scripting", "MLDVer", "7.2", "InstalledMLDVersion"}}) {
        ASSERT_TRUE(WritePrivateProfileStringA(v[0], v[1], v[2], orvan.c_str()));
        want[v[3]] = v[2];
    }
    const std::string orvanBefore = ReadFileText(orvan), elsewhere = sandbox / "elsewhere";
    Probe second;
    SetServer(second, elsewhere);
    ASSERT_EQ(second->Init(), S_OK);
    ExpectFields(second, want);
    // Nothing is written in this branch, and the mapped server is not even created.
    EXPECT_EQ(ReadFileText(wkstn) + ReadFileText(orvan) + ReadFileText(emp), WkstnIniText(server) + orvanBefore + empText);
    EXPECT_FALSE(PathExists(elsewhere));
    EXPECT_TRUE(responder.Shown().empty());
    EXPECT_EQ(sandbox.LogText(), "");

    // A failure keeps every field (see ExpectFails): at the last step of all, a local path whose
    // Empxxx.ini cannot be written ("Pellar" below it is a file)...
    const std::string blocked = sandbox / "blocked";
    CreateDirectoryA(blocked.c_str(), nullptr);
    WriteFileText(blocked + "\\Pellar", "not a directory");
    dos.Set(blocked);
    ExpectFails(second, kPathNotFound, kPathNotFound,
                "SCRIPTING_APP_NAME: Scripting\r\nAUTO_BACKUP_KEY_NAME: AutomaticBackupEnabled\r\nszEmpPath: " +
                    blocked + "\\Pellar\\Empxxx.ini\r\n");
    dos.Set(local);
    // ...or a first run again, with an empty mapped server: its first free-space check shows a
    // box and logs; Init adds a record without box or pieces.
    DeleteFileA(wkstn.c_str());
    SetServer(second, "");
    ExpectFails(second, E_INVALIDARG, E_INVALIDARG, "", 2);
    const auto log = LogOf(sandbox);
    ASSERT_EQ(log.size(), 3u);
    EXPECT_TRUE(log[1].code == "80070057" && EndsWithPieces(log[1].tail, "bstrDrive: Length Invalid\r\n")) << log[1].tail;
    EXPECT_EQ(log[2].tail.find(": "), std::string::npos) << log[2].tail;
    EXPECT_FALSE(PathExists(wkstn));

    // Null: the server goes to the DOS path, and a success replaces every field.
    ASSERT_EQ(second->SetScriptServer(nullptr), S_OK);
    ASSERT_EQ(second->Init(), S_OK);
    ExpectFields(second, FirstRunFields(localPellar, localPellar));
}

TEST_F(InitTest, LocalPathIsDosInstallPathLessTrailingBackslashesPlusPellarOrTheDefault) {
    // No DOSInstallPath: the default, after a warning without box.
    const std::string defaultEmp = std::string(kDefaultLocal) + "\\Empxxx.ini";
    OutsidePathsGuard outside({"C:\\Orvan", kDefaultLocal, std::string(kDefaultLocal) + "\\Orvan.ini", defaultEmp});
    DeleteFileA(defaultEmp.c_str());  // the guard puts back what was there
    dos.Remove();
    Probe c;
    ASSERT_EQ(c->Init(), S_OK);
    EXPECT_EQ(ReadFileText(wkstn), WkstnIniText(kDefaultLocal));
    EXPECT_EQ(ReadFileText(defaultEmp), "[Scripting]\r\nAutomaticBackupEnabled=1\r\nWarningsEnabled=1\r\n");
    ExpectFields(c, FirstRunFields(kDefaultLocal, kDefaultLocal));
    auto log = LogOf(sandbox);
    ASSERT_EQ(log.size(), 2u);  // the registry reader's own record, then the warning
    EXPECT_EQ(log[1].file + " " + log[1].code, "OVCustInst 80070002");
    EXPECT_TRUE(EndsWithPieces(log[1].tail, "Warning: Failed to read the registy key data\r\n")) << log[1].tail;
    // Present but empty, read anew: the same fallback; the warning carries S_OK and no text.
    dos.Set("");
    ASSERT_EQ(c->Init(), S_OK);
    EXPECT_EQ(c.Text("LocalPLORVANPath") + "|" + c.Text("LocalNWXORVANPath"), std::string(kDefaultLocal) + "|C:\\Orvan");
    log = LogOf(sandbox);
    ASSERT_EQ(log.size(), 3u);
    EXPECT_TRUE(log[2].code == "0" && EndsWithPieces(log[2].tail, "Warning: \r\n")) << log[2].tail;

    // Only backslashes: "\Pellar", on the current drive. An Empxxx.ini there keeps Init from
    // creating anything outside the sandbox.
    OutsidePathsGuard pellar({"C:\\Pellar", "C:\\Pellar\\Empxxx.ini"}, sandbox.Path());
    CreateDirectoryA("C:\\Pellar", nullptr);
    if (!PathExists("C:\\Pellar\\Empxxx.ini")) WriteFileText("C:\\Pellar\\Empxxx.ini", "");
    const std::pair<std::string, std::string> rows[] = {
        {local, localPellar}, {local + "\\", localPellar}, {local + "\\\\\\\\", localPellar},
        {"\\", "\\Pellar"}, {"\\\\\\", "\\Pellar"}};
    for (const auto& [value, want] : rows) {
        dos.Set(value);
        ASSERT_EQ(c->Init(), S_OK) << value;
        EXPECT_EQ(c.Text("LocalPLORVANPath"), want) << value;
    }
    EXPECT_EQ(LogOf(sandbox).size(), 3u);
    EXPECT_TRUE(responder.Shown().empty());
}

TEST_F(InitTest, ConfiguredBranchWithoutItsRequiredDataFailsNamingWhatIsMissing) {
    Probe c;
    SetServer(c, server);  // not consulted in this branch
    for (const char* text : {"[Workstation]\r\nServerPath=\r\n", "[Other]\r\nServerPath=C:\\x\r\n"}) {
        WriteFileText(wkstn, text);
        ExpectNoData(c, "WKSTN_APP_NAME: Workstation\r\nSERVER_PATH_KEY_NAME: ServerPath\r\nszServerPath: \r\n"
                        "szWKSTNPath: " + wkstn + "\r\n");
        EXPECT_EQ(ReadFileText(wkstn), text);
    }
    EXPECT_FALSE(PathExists(server));

    // A first run failing after its Wkstn.ini rows: a directory where Orvan.ini should go.
    DeleteFileA(wkstn.c_str());
    MakeDirs(orvan);
    const std::string apps = "APPLICATIONS_APP_NAME: Applications\r\nAPPS_PATH_KEY_NAME: AppsPath\r\nszAppsPath: ";
    ExpectFails(c, E_ACCESSDENIED, E_ACCESSDENIED, apps + "Apps\r\nszORVANPath: " + orvan + "\r\n");
    EXPECT_EQ(ReadFileText(wkstn), WkstnIniText(server));
    EXPECT_FALSE(PathExists(localPellar));  // nothing of the tail ran
    // So the next call reads back, and fails on the first value that was never written.
    ExpectNoData(c, apps + "\r\nszORVANPath: " + orvan + "\r\n");
    RemoveTree(orvan);
    ExpectNoData(c, "szORVANPath: " + orvan + "\r\n");

    // Each required Orvan.ini value, missing and then present but empty, is named; the ones
    // after it wait.
    WriteFileText(orvan, "");
    const char* const rows[][3] = {
        {"Applications", "AppsPath", "APPLICATIONS_APP_NAME: Applications\r\nAPPS_PATH_KEY_NAME: "},
        {"Scripting", "BackupPath", "SCRIPTING_APP_NAME: Scripting\r\nBACKUP_PATH_KEY_NAME: "},
        {"Scripting", "BitmapPath", "SCRIPTING_APP_NAME: Scripting\r\nBITMAP_PATH_KEY_NAME: "},
        {"Scripting", "DevelopmentPath", "SCRIPTING_APP_NAME: Scripting\r\nDEVELOPMENT_PATH_KEY_NAME: "},
        {"Scripting", "FilePath", "SCRIPTING_APP_NAME: Scripting\r\nFILE_PATH_KEY_NAME: "},
        {"Help", "HelpPath", "HELP_APP_NAME: Help\r\nHELP_PATH_KEY_NAME: "},
        {"Scripting", "ProductionPath", "SCRIPTING_APP_NAME: Scripting\r\nPRODUCTION_PATH_KEY_NAME: "},
        {"Scripting", "ScriptingPath", "SCRIPTING_APP_NAME: Scripting\r\nSCRIPTING_PATH_KEY_NAME: "}};
    for (const auto& r : rows) {
        const std::string pieces = std::string(r[2]) + r[1] + "\r\nsz" + r[1] + ": \r\nszORVANPath: " + orvan + "\r\n";
        SCOPED_TRACE(r[1]);
        ExpectNoData(c, pieces);
        ASSERT_TRUE(WritePrivateProfileStringA(r[0], r[1], "", orvan.c_str()));
        ExpectNoData(c, pieces);
        ASSERT_TRUE(WritePrivateProfileStringA(r[0], r[1], "x", orvan.c_str()));
    }
    // MLVer and MLDVer may be missing.
    ASSERT_EQ(c->Init(), S_OK);
    EXPECT_EQ(c.Text("AppsPath") + "|" + c.Text("InstalledMLVersion") + "|" + c.Text("InstalledMLDVersion"), "x||");
}

TEST_F(InitTest, InfFilesGiveVersionsAndReadMeNamesOrTheirDefaultsAndDownloadPathFollowsItsFolder) {
    // C:\windows belongs to the whole prefix: an existing folder is moved aside and back.
    const std::string windows = WindowsDirectory(), dpf = windows + "\\downloaded program files";
    const std::string aside = windows + "\\ovtest-dpf-aside-" + std::to_string(GetCurrentProcessId());
    struct PutBack {
        std::string from, to;
        bool moved;
        ~PutBack() {
            RemoveDirectoryA(to.c_str());
            if (moved) MoveFileA(from.c_str(), to.c_str());
        }
    } putBack{aside, dpf, PathExists(dpf) && MoveFileA(dpf.c_str(), aside.c_str())};
    ASSERT_FALSE(PathExists(dpf));

    const std::string mls = sandbox / "Pellar\\OVMLSInstall.inf", mld = sandbox / "Pellar\\OVMLDInstall.inf";
    CreateDirectoryA((sandbox / "Pellar").c_str(), nullptr);
    Probe c;
    SetServer(c, server);
    // A missing key or a key in another section gives its default (as missing files do on
    // every first run here).
    const struct {
        const char *mlsText, *mldText;
        bool dpfThere;
        const char* want;  // CachedMLVersion|MLReadMe|CachedMLDVersion|MLReadMeDev
    } rows[] = {
        {"[ORVAN]\r\nMLVer=4.1.2\r\nMLReadMe=Scripts412.txt\r\n", "[ORVAN]\r\nMLDVer=2.0.5\r\nMLReadMeDev=Dev205.txt\r\n",
         false, "4.1.2|Scripts412.txt|2.0.5|Dev205.txt"},
        {"[ORVAN]\r\nMLVer=4.2\r\n", "[Other]\r\nMLDVer=9\r\nMLReadMeDev=x.txt\r\n", true,
         "4.2|MLReadMe.txt||MLReadMeDev.txt"},
    };
    for (const auto& r : rows) {
        WriteFileText(mls, r.mlsText);
        WriteFileText(mld, r.mldText);
        if (r.dpfThere) { ASSERT_TRUE(CreateDirectoryA(dpf.c_str(), nullptr)); }
        ASSERT_EQ(c->Init(), S_OK);
        EXPECT_EQ(c.Text("CachedMLVersion") + "|" + c.Text("MLReadMe") + "|" + c.Text("CachedMLDVersion") + "|" +
                      c.Text("MLReadMeDev"), r.want);
        EXPECT_EQ(c.Text("DownloadPath"), r.dpfThere ? dpf : windows + "\\occache");
    }
    EXPECT_EQ(sandbox.LogText(), "");
}

TEST_F(InitTest, OverLongValuesAreRefusedNotCutAndPackageListsBeyondThePathLimitGiveTheDefaults) {
    // Each on a new object, whose log stays where it found it; nothing is written.
    auto refused = [&](const std::string& mapped, const std::string& label, const std::string& install = "") {
        Probe c;
        if (!install.empty()) sandbox.InstallPathValue().Set(install);
        SetServer(c, mapped);
        ExpectFails(c, kTooLong, kTooLong, label + ": Length Invalid\r\n");
        sandbox.InstallPathValue().Set(sandbox.Path());
    };
    refused(sandbox / std::string(300, 'm'), "MappedScriptServer");  // longer than a path buffer
    // Exactly 260 characters fit; Orvan.ini beside them would not.
    const std::string full = sandbox.Path() + "\\" + std::string(259 - sandbox.Path().size(), 's');
    refused(full, "szORVANPath");
    RemoveTree(full);
    dos.Set("C:\\" + std::string(252, 'd') + "\\\\");  // "\Pellar" would not fit
    refused(server, "szDOSPath");
    dos.Set(local);
    refused(server, "szWKSTNPath", "C:\\" + std::string(250, 'i'));  // no room for "\Wkstn.ini"
    EXPECT_FALSE(PathExists(wkstn) || PathExists(server));

    // 240 characters leave room for "\Wkstn.ini" but not for "\Pellar\OVMLSInstall.inf".
    const std::string install = sandbox.Path() + "\\" + std::string(239 - sandbox.Path().size(), 'p');
    ASSERT_TRUE(CreateDirectoryA(install.c_str(), nullptr));
    sandbox.InstallPathValue().Set(install);
    Probe c;
    SetServer(c, server);
    ASSERT_EQ(c->Init(), S_OK);
    EXPECT_EQ(c.Text("MLReadMe") + "|" + c.Text("MLReadMeDev") + "|" + c.Text("CachedMLVersion"),
              "MLReadMe.txt|MLReadMeDev.txt|");
    EXPECT_TRUE(PathExists(install + "\\Wkstn.ini"));
    sandbox.InstallPathValue().Set(sandbox.Path());
}

namespace {

// A folder on the small tmpfs drive (OV_SMALL_DRIVE) and a filler file that sets its free space.
class InitSmallDriveTest : public InitTest {
protected:
    std::string root, dir, filler;
    static constexpr ULONGLONG kPage = 4096;

    void SetUp() override {
        InitTest::SetUp();
        const char* drive = std::getenv("OV_SMALL_DRIVE");
        if (!drive || !*drive) GTEST_SKIP() << "OV_SMALL_DRIVE not set: no small drive mounted";
        root = std::string(drive).substr(0, 2) + "\\";
        dir = root + "ov-" + std::to_string(GetCurrentProcessId());
        filler = dir + "\\filler.bin";
        ASSERT_TRUE(CreateDirectoryA(dir.c_str(), nullptr));
    }
    void TearDown() override {
        if (!dir.empty()) RemoveTree(dir);
    }
    ULONGLONG Free() const {
        ULARGE_INTEGER free{};
        return GetDiskFreeSpaceExA(root.c_str(), &free, nullptr, nullptr) ? free.QuadPart : 0;
    }
    // Rewrites the filler (with real data: an extended file would stay sparse) so that the
    // drive shows exactly `target` bytes free.
    bool FillTo(ULONGLONG target) {
        DeleteFileA(filler.c_str());
        if (Free() < target) return false;
        WriteFileText(filler, std::string(static_cast<size_t>(Free() - target), '\0'));
        return Free() == target;
    }
};

}  // namespace

TEST_F(InitSmallDriveTest, NoMoreThanTheThresholdFreeOnAnyDriveInvolvedFailsTheCall) {
    const std::string smallServer = dir + "\\srv", smallOrvan = smallServer + "\\Orvan.ini";
    const std::string smallInstall = dir + "\\inst";
    CreateDirectoryA(smallInstall.c_str(), nullptr);
    ASSERT_TRUE(FillTo(31 * kPage));  // 126976 bytes: not more than 128000
    {  // The server's drive: nothing is made.
        Probe c;
        SetServer(c, smallServer);
        ExpectFails(c, kMediumFull, kMediumFull, "szRawServerPath: " + smallServer + "\r\n");
        EXPECT_FALSE(PathExists(smallServer) || PathExists(wkstn));
    }
    {  // The workstation's drive (the log stays in the sandbox): nothing is made.
        Probe c;
        sandbox.InstallPathValue().Set(smallInstall);
        SetServer(c, server);
        ExpectFails(c, kMediumFull, kMediumFull, "szWKSTNPath: " + smallInstall + "\\Wkstn.ini\r\n");
        EXPECT_FALSE(PathExists(smallInstall + "\\Wkstn.ini") || PathExists(server));
        sandbox.InstallPathValue().Set(sandbox.Path());
    }

    // 131072 bytes pass the first checks; Orvan.ini then takes a page of the drive, and the
    // last check fails.
    ASSERT_TRUE(FillTo(32 * kPage));
    Probe c;
    SetServer(c, smallServer);
    ExpectFails(c, kMediumFull, kMediumFull, "szORVANPath: " + smallOrvan + "\r\n");
    ASSERT_LE(Free(), 128000u) << "the writes did not take the drive below the threshold";
    // Wkstn.ini made by this call is gone again; what went into Orvan.ini stays.
    EXPECT_FALSE(PathExists(wkstn) || PathExists(localPellar + "\\Empxxx.ini"));
    EXPECT_EQ(ReadFileText(smallOrvan), kOrvanIniText);

    // With room again the next call is a first run once more, and passes.
    ASSERT_TRUE(FillTo(40 * kPage));
    ASSERT_EQ(c->Init(), S_OK);
    ExpectFields(c, FirstRunFields(smallServer, localPellar));
    EXPECT_EQ(ReadFileText(wkstn), WkstnIniText(smallServer));
    // Low space in the configured branch: this call made no Wkstn.ini, so it takes none away.
    ASSERT_TRUE(FillTo(31 * kPage));
    ExpectFails(c, kMediumFull, kMediumFull, "szORVANPath: " + smallOrvan + "\r\n");
    EXPECT_EQ(ReadFileText(wkstn), WkstnIniText(smallServer));
}

namespace {

// Runs where the ANSI code page is 932 (Japanese), where a second byte can be 0x5C, the
// backslash. Elsewhere it skips.
class InitDoubleByteCodePage : public InitTest {
protected:
    void SetUp() override {
        if (GetACP() != 932) GTEST_SKIP() << "needs the ANSI code page 932";
        InitTest::SetUp();
    }
    static std::wstring WideField(BSTR b) { return b ? std::wstring(b, SysStringLen(b)) : L"<null>"; }
    const wchar_t kTrailBackslash = L'\x8868';  // 0x95 0x5C in code page 932
};

}  // namespace

TEST_F(InitDoubleByteCodePage, MappedServerIsMeasuredInBytesNotCharacters) {
    {  // 150 characters, 300 bytes: short as a BSTR, too long as a path buffer.
        Probe c;
        const std::wstring tooLong = Wide(sandbox.Path()) + L"\\" + std::wstring(150, kTrailBackslash);
        ASSERT_EQ(c->SetScriptServer(ov::BStr(tooLong.c_str()).Get()), S_OK);
        ExpectFails(c, kTooLong, kTooLong, "MappedScriptServer: Length Invalid\r\n");
        EXPECT_FALSE(PathExists(wkstn));
    }
    // 60 such characters fit, and come back unchanged.
    Probe c;
    const std::wstring fits = Wide(sandbox.Path()) + L"\\" + std::wstring(60, kTrailBackslash);
    ASSERT_EQ(c->SetScriptServer(ov::BStr(fits.c_str()).Get()), S_OK);
    ASSERT_EQ(c->Init(), S_OK);
    EXPECT_EQ(WideField(c.Field("ServerPath")), fits);
    EXPECT_NE(GetFileAttributesW((fits + L"\\Orvan.ini").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(InitDoubleByteCodePage, DosPathKeepsACharacterWhoseSecondByteIsABackslash) {
    const std::wstring wideLocal = Wide(local) + L"\\a" + kTrailBackslash;
    const std::string narrowLocal = Narrow(ov::BStr(wideLocal.c_str()).Get());
    ASSERT_EQ(narrowLocal.back(), '\\');  // the trail byte
    Probe c;
    SetServer(c, server);
    for (const std::string& value : {narrowLocal, narrowLocal + "\\", narrowLocal + "\\\\\\"}) {
        dos.Set(value);
        ASSERT_EQ(c->Init(), S_OK) << value;
        EXPECT_EQ(WideField(c.Field("LocalPLORVANPath")), wideLocal + L"\\Pellar");
    }
}
