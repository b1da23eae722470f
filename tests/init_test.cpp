// Init: a new workstation set up, a configured one read back, the registry and INF inputs,
// the free-space checks on a really small drive, and every failure leaving the fields alone.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>

#include "support/dialog_responder.h"
#include "support/layout_support.h"
#include "support/test_support.h"

using namespace ovtest;
using namespace ovtest::layout;

namespace {

constexpr HRESULT kMediumFull = static_cast<HRESULT>(0x80030070u);
constexpr HRESULT kTooLong = static_cast<HRESULT>(0x800700CEu);
constexpr HRESULT kNoData = static_cast<HRESULT>(0x80040201u);
constexpr char kNoDataReason[] = "Could not find ORVAN data.\r\n";
constexpr char kDefaultLocal[] = "C:\\Orvan\\Pellar";

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

// Each field and, where there is one, its property against the expected texts. The property
// is read twice: two equal strings, each a new copy that is neither the other nor any field.
void ExpectFields(const Probe& p, const Fields& expected) {
    for (const FieldRef& f : VisibleFields::InitFields()) {
        const std::string& want = expected.at(f.first);
        EXPECT_EQ(p.Text(f.first), want) << f.first;
        auto getter = FieldGetters().find(f.first);
        if (getter == FieldGetters().end()) continue;
        BSTR a = nullptr, b = nullptr;
        ASSERT_EQ((p.Fields().*getter->second)(&a), S_OK) << f.first;
        ASSERT_EQ((p.Fields().*getter->second)(&b), S_OK) << f.first;
        EXPECT_EQ(FieldText(a), want) << "property " << f.first;
        EXPECT_EQ(FieldText(b), want) << "property " << f.first;
        EXPECT_NE(a, b) << f.first;
        for (const FieldRef& g : VisibleFields::InitFields())
            EXPECT_NE(a, p.Field(g.first)) << f.first << " is " << g.first;
        SysFreeString(a);
        SysFreeString(b);
    }
}

const char kOrvanIniText[] =
    "[Applications]\r\nAppsPath=Apps\r\n"
    "[Scripting]\r\nScriptingPath=Scripts\r\nProductionPath=Prod\r\nFilePath=File\r\nBitmapPath=Bitmap\r\n"
    "BackupPath=Backup\r\nDevelopmentPath=Develop\r\nCommand=commlist.cmd\r\nCommandInsertList=commfile.cmd\r\n"
    "Screen=scrnlist.cmd\r\nScreenInsertList=scrnfile.cmd\r\nSkeleton=skeleton.cmd\r\nEnabled=1\r\n"
    "[Help]\r\nHelpPath=Help\r\nScriptEditor=scrpedtr.hlp\r\nDialogEditor=dbeditor.hlp\r\n";
const char kEmpIniText[] = "[Scripting]\r\nAutomaticBackupEnabled=1\r\nWarningsEnabled=1\r\n";

// Wkstn.ini as the first run writes it.
std::string WkstnIniText(const std::string& server) {
    return "[Workstation]\r\nServerPath=" + server + "\r\n[Scripting]\r\nProductionPath=" + server +
           "\\Scripts\\Prod\r\n";
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
    const std::string local = sandbox / "local";
    const std::string localPellar = local + "\\Pellar";
    const std::string server = sandbox / "srv\\deep\\server";
    const std::string orvan = server + "\\Orvan.ini";
    const std::string wkstn = sandbox / "Wkstn.ini";

    void SetUp() override { dos.Set(local + "\\"); }

    std::vector<ParsedRecord> Log() const { return LogOf(sandbox); }

    // Every field of Init's: where it points and what it says.
    static std::vector<std::pair<const void*, std::string>> Snapshot(const Probe& c) {
        std::vector<std::pair<const void*, std::string>> out;
        for (const FieldRef& f : VisibleFields::InitFields()) out.push_back({c.Field(f.first), c.Text(f.first)});
        return out;
    }

    static void SetServer(const Probe& p, const std::string& path) {
        ASSERT_EQ(p->SetScriptServer(ov::BStr(Wide(path).c_str()).Get()), S_OK);
    }

    // One failing Init: its result, the records it adds (the last from the control, with the
    // code logged and ending with these pieces), one box, and every field as it was before.
    void ExpectFails(const Probe& c, HRESULT result, HRESULT logged, const std::string& pieces, size_t records = 1) {
        const auto before = Snapshot(c);
        const size_t earlier = Log().size();
        responder.Clear();
        EXPECT_EQ(c->Init(), result);
        auto log = Log();
        ASSERT_EQ(log.size(), earlier + records) << sandbox.LogText();
        EXPECT_EQ(log.back().code, HexCode(logged));
        EXPECT_EQ(log.back().file, "OVCustInst");
        EXPECT_TRUE(EndsWithPieces(log.back().tail, pieces)) << log.back().tail;
        EXPECT_EQ(responder.Shown().size(), 1u);
        EXPECT_EQ(Snapshot(c), before);
    }

    // A configured branch without the data it needs: E_FAIL, the record names what is missing.
    void ExpectNoData(const Probe& c, const std::string& pieces) {
        ExpectFails(c, E_FAIL, kNoData, pieces);
        ASSERT_FALSE(Log().empty());
        EXPECT_EQ(Log().back().tail, kNoDataReason + pieces);
        ASSERT_EQ(responder.Shown().size(), 1u);
        EXPECT_NE(responder.Shown()[0].text.find("Could not find ORVAN data."), std::string::npos);
    }
};

}  // namespace

// ---- The first run, the configured branch, and failures ----------------------------------

TEST_F(InitTest, FirstRunSetsUpTheLayoutThatTheConfiguredBranchReadsBackAndFailuresKeepTheFields) {
    // An Empxxx.ini that exists is never written, even without its keys.
    const std::string emp = localPellar + "\\Empxxx.ini";
    const std::string empText = "[Scripting]\r\nWarningsEnabled=0\r\n";
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
    EXPECT_EQ(FieldText(first.Fields().MappedScriptServer), server);

    // Values only the configured branch can know, and the fields they go to.
    Fields want = FirstRunFields(server, localPellar);
    want["LocalNWXORVANPath"] = "C:\\Orvan";
    const char* const values[][4] = {{"Applications", "AppsPath", "MyApps", "AppsPath"},
                                     {"Help", "HelpPath", "Manuals", "HelpPath"},
                                     {"Scripting", "MLVer", "7.1", "InstalledMLVersion"},
                                     {"Scripting", "MLDVer", "7.2", "InstalledMLDVersion"}};
    for (auto& v : values) {
        ASSERT_TRUE(WritePrivateProfileStringA(v[0], v[1], v[2], orvan.c_str()));
        want[v[3]] = v[2];
    }
    const std::string orvanBefore = ReadFileText(orvan);

    Probe second;
    const std::string elsewhere = sandbox / "elsewhere";
    SetServer(second, elsewhere);
    ASSERT_EQ(second->Init(), S_OK);
    ExpectFields(second, want);

    // Nothing is written in this branch, and the mapped server is not even created.
    EXPECT_EQ(ReadFileText(wkstn), WkstnIniText(server));
    EXPECT_EQ(ReadFileText(orvan), orvanBefore);
    EXPECT_EQ(ReadFileText(emp), empText);
    EXPECT_FALSE(PathExists(elsewhere));
    EXPECT_TRUE(responder.Shown().empty());
    EXPECT_EQ(sandbox.LogText(), "");

    // A failure keeps every field (see ExpectFails): at the last step of all, a local path whose
    // Empxxx.ini cannot be written ("Pellar" below it is a file)...
    const std::string blocked = sandbox / "blocked";
    CreateDirectoryA(blocked.c_str(), nullptr);
    WriteFileText(blocked + "\\Pellar", "not a directory");
    dos.Set(blocked);
    ExpectFails(second, HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND), HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND),
                "SCRIPTING_APP_NAME: Scripting\r\nAUTO_BACKUP_KEY_NAME: AutomaticBackupEnabled\r\nszEmpPath: " +
                    blocked + "\\Pellar\\Empxxx.ini\r\n");
    dos.Set(local);

    // ...or a first run again, with an empty mapped server: its first free-space check shows a
    // box and logs; Init adds a record without box or pieces.
    DeleteFileA(wkstn.c_str());
    ASSERT_EQ(second->SetScriptServer(ov::BStr(L"").Get()), S_OK);
    ExpectFails(second, E_INVALIDARG, E_INVALIDARG, "", 2);
    auto log = Log();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[1].code, "80070057");
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
    const std::string defaultOrvan = std::string(kDefaultLocal) + "\\Orvan.ini";
    const std::string defaultEmp = std::string(kDefaultLocal) + "\\Empxxx.ini";
    OutsidePathsGuard outside({"C:\\Orvan", kDefaultLocal, defaultOrvan, defaultEmp});
    DeleteFileA(defaultEmp.c_str());  // the guard puts back what was there
    dos.Remove();
    Probe c;
    ASSERT_EQ(c->Init(), S_OK);
    EXPECT_EQ(ReadFileText(wkstn), WkstnIniText(kDefaultLocal));
    EXPECT_EQ(ReadFileText(defaultEmp), kEmpIniText);
    ExpectFields(c, FirstRunFields(kDefaultLocal, kDefaultLocal));
    auto log = Log();
    ASSERT_EQ(log.size(), 2u);  // the registry reader's own record, then the warning
    EXPECT_EQ(log[1].code, "80070002");
    EXPECT_EQ(log[1].file, "OVCustInst");
    EXPECT_TRUE(EndsWithPieces(log[1].tail, "Warning: Failed to read the registy key data\r\n")) << log[1].tail;

    // Present but empty, read back now: the same fallback; the warning carries S_OK and no text.
    dos.Set("");
    ASSERT_EQ(c->Init(), S_OK);
    EXPECT_EQ(c.Text("LocalPLORVANPath"), kDefaultLocal);
    EXPECT_EQ(c.Text("LocalNWXORVANPath"), "C:\\Orvan");
    log = Log();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[2].code, "0");
    EXPECT_TRUE(EndsWithPieces(log[2].tail, "Warning: \r\n")) << log[2].tail;
    EXPECT_TRUE(responder.Shown().empty());

    // DOSInstallPath loses every trailing backslash and gains "\Pellar".
    for (const std::string& value : {local, local + "\\", local + "\\\\\\\\"}) {
        dos.Set(value);
        ASSERT_EQ(c->Init(), S_OK) << value;
        EXPECT_EQ(c.Text("LocalPLORVANPath"), localPellar) << value;
    }
    // Only backslashes: "\Pellar", on the current drive. An Empxxx.ini there keeps Init from
    // creating anything outside the sandbox.
    OutsidePathsGuard pellar({"C:\\Pellar", "C:\\Pellar\\Empxxx.ini"}, sandbox.Path());
    CreateDirectoryA("C:\\Pellar", nullptr);
    if (!PathExists("C:\\Pellar\\Empxxx.ini")) WriteFileText("C:\\Pellar\\Empxxx.ini", "");
    for (const std::string value : {"\\", "\\\\\\"}) {
        dos.Set(value);
        ASSERT_EQ(c->Init(), S_OK) << value;
        EXPECT_EQ(c.Text("LocalPLORVANPath"), "\\Pellar") << value;
    }
    EXPECT_EQ(Log().size(), 3u);
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
    ExpectFails(c, E_ACCESSDENIED, E_ACCESSDENIED,
                "APPLICATIONS_APP_NAME: Applications\r\nAPPS_PATH_KEY_NAME: AppsPath\r\nszAppsPath: Apps\r\n"
                "szORVANPath: " + orvan + "\r\n");
    EXPECT_EQ(ReadFileText(wkstn), WkstnIniText(server));
    EXPECT_FALSE(PathExists(localPellar));  // nothing of the tail ran
    // So the next call reads back, and fails on the first value that was never written.
    ExpectNoData(c, "APPLICATIONS_APP_NAME: Applications\r\nAPPS_PATH_KEY_NAME: AppsPath\r\nszAppsPath: \r\n"
                    "szORVANPath: " + orvan + "\r\n");
    RemoveTree(orvan);
    ExpectNoData(c, "szORVANPath: " + orvan + "\r\n");

    // Each required Orvan.ini value, missing and then present but empty, is named; the ones
    // after it wait. The labels are the section and the key in capitals, "sz" and the key.
    WriteFileText(orvan, "");
    const char* const required[][2] = {{"Applications", "AppsPath"},  {"Scripting", "BackupPath"},
                                       {"Scripting", "BitmapPath"},   {"Scripting", "DevelopmentPath"},
                                       {"Scripting", "FilePath"},     {"Help", "HelpPath"},
                                       {"Scripting", "ProductionPath"}, {"Scripting", "ScriptingPath"}};
    auto upper = [](std::string s) { CharUpperA(&s[0]); return s; };
    for (auto& r : required) {
        const std::string app = r[0], key = r[1];
        const std::string pieces = upper(app) + "_APP_NAME: " + app + "\r\n" + upper(key.substr(0, key.size() - 4)) +
                                   "_PATH_KEY_NAME: " + key + "\r\nsz" + key + ": \r\nszORVANPath: " + orvan + "\r\n";
        ExpectNoData(c, pieces);
        ASSERT_TRUE(WritePrivateProfileStringA(app.c_str(), key.c_str(), "", orvan.c_str()));
        ExpectNoData(c, pieces);
        ASSERT_TRUE(WritePrivateProfileStringA(app.c_str(), key.c_str(), "x", orvan.c_str()));
    }
    // MLVer and MLDVer may be missing.
    ASSERT_EQ(c->Init(), S_OK);
    EXPECT_EQ(c.Text("InstalledMLVersion"), "");
    EXPECT_EQ(c.Text("InstalledMLDVersion"), "");
    EXPECT_EQ(c.Text("AppsPath"), "x");
}

// ---- INF files and the download path ------------------------------------------------------

TEST_F(InitTest, InfFilesGiveVersionsAndReadMeNamesOrTheirDefaultsAndDownloadPathFollowsItsFolder) {
    // C:\windows belongs to the whole prefix: an existing folder is moved aside and back.
    const std::string windows = WindowsDirectory();
    const std::string dpf = windows + "\\downloaded program files";
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

    const std::string pellar = sandbox / "Pellar";
    const std::string mls = pellar + "\\OVMLSInstall.inf", mld = pellar + "\\OVMLDInstall.inf";
    CreateDirectoryA(pellar.c_str(), nullptr);
    Probe c;
    SetServer(c, server);
    auto expect = [&](const char* ver, const char* readMe, const char* dver, const char* readMeDev, bool dpfThere) {
        if (dpfThere) ASSERT_TRUE(CreateDirectoryA(dpf.c_str(), nullptr));
        else RemoveDirectoryA(dpf.c_str());
        ASSERT_EQ(c->Init(), S_OK);
        EXPECT_EQ(c.Text("CachedMLVersion"), ver);
        EXPECT_EQ(c.Text("MLReadMe"), readMe);
        EXPECT_EQ(c.Text("CachedMLDVersion"), dver);
        EXPECT_EQ(c.Text("MLReadMeDev"), readMeDev);
        EXPECT_EQ(c.Text("DownloadPath"), dpfThere ? dpf : windows + "\\occache");
    };
    WriteFileText(mls, "[ORVAN]\r\nMLVer=4.1.2\r\nMLReadMe=Scripts412.txt\r\n");
    WriteFileText(mld, "[ORVAN]\r\nMLDVer=2.0.5\r\nMLReadMeDev=Dev205.txt\r\n");
    expect("4.1.2", "Scripts412.txt", "2.0.5", "Dev205.txt", false);
    // A missing key or a key in another section gives its default (as missing files do on every
    // first run here).
    WriteFileText(mls, "[ORVAN]\r\nMLVer=4.2\r\n");
    WriteFileText(mld, "[Other]\r\nMLDVer=9\r\nMLReadMeDev=x.txt\r\n");
    expect("4.2", "MLReadMe.txt", "", "MLReadMeDev.txt", true);
    EXPECT_EQ(sandbox.LogText(), "");
}

// ---- Values too long for their buffers ----------------------------------------------------

TEST_F(InitTest, PackageListsBeyondThePathLimitGiveTheDefaults) {
    // 240 characters leave room for "\Wkstn.ini" but not for "\Pellar\OVMLSInstall.inf".
    const std::string install = sandbox.Path() + "\\" + std::string(239 - sandbox.Path().size(), 'p');
    ASSERT_EQ(install.size(), 240u);
    ASSERT_TRUE(CreateDirectoryA(install.c_str(), nullptr));
    sandbox.InstallPathValue().Set(install);
    Probe c;
    SetServer(c, server);
    ASSERT_EQ(c->Init(), S_OK);
    EXPECT_EQ(Narrow(c.Field("MLReadMe")), "MLReadMe.txt");
    EXPECT_EQ(Narrow(c.Field("MLReadMeDev")), "MLReadMeDev.txt");
    EXPECT_EQ(Narrow(c.Field("CachedMLVersion")), "");
    EXPECT_TRUE(PathExists(install + "\\Wkstn.ini"));
    sandbox.InstallPathValue().Set(sandbox.Path());
}

TEST_F(InitTest, OverLongValuesAreRefusedNotCut) {
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
    ASSERT_EQ(full.size(), 260u);
    refused(full, "szORVANPath");
    EXPECT_TRUE(PathExists(full));
    RemoveTree(full);
    dos.Set("C:\\" + std::string(252, 'd') + "\\\\");  // "\Pellar" would not fit
    refused(server, "szDOSPath");
    dos.Set(local);
    refused(server, "szWKSTNPath", "C:\\" + std::string(250, 'i'));  // no room for "\Wkstn.ini"
    EXPECT_FALSE(PathExists(wkstn));
    EXPECT_FALSE(PathExists(server));
}

// ---- Free space, measured on a really small drive -----------------------------------------

namespace {

constexpr ULONGLONG kPage = 4096;

// A folder on the small tmpfs drive (OV_SMALL_DRIVE) and a filler file that sets its free space.
class InitSmallDriveTest : public InitTest {
protected:
    std::string root, dir, filler;

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
    const std::string smallServer = dir + "\\srv";
    const std::string smallOrvan = smallServer + "\\Orvan.ini";
    ASSERT_TRUE(FillTo(31 * kPage));  // 126976 bytes: not more than 128000
    {  // The server's drive: nothing is made.
        Probe c;
        SetServer(c, smallServer);
        ExpectFails(c, kMediumFull, kMediumFull, "szRawServerPath: " + smallServer + "\r\n");
        EXPECT_FALSE(PathExists(smallServer) || PathExists(wkstn));
    }
    {  // The workstation's drive (the log stays in the sandbox): nothing is made.
        const std::string smallInstall = dir + "\\inst";
        CreateDirectoryA(smallInstall.c_str(), nullptr);
        Probe c;
        sandbox.InstallPathValue().Set(smallInstall);
        SetServer(c, server);
        ExpectFails(c, kMediumFull, kMediumFull, "szWKSTNPath: " + smallInstall + "\\Wkstn.ini\r\n");
        EXPECT_FALSE(PathExists(smallInstall + "\\Wkstn.ini"));
        EXPECT_FALSE(PathExists(server));
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
    EXPECT_FALSE(PathExists(wkstn));
    EXPECT_EQ(ReadFileText(smallOrvan), kOrvanIniText);
    EXPECT_FALSE(PathExists(localPellar + "\\Empxxx.ini"));

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

// ---- A double-byte ANSI code page ---------------------------------------------------------

namespace {

// Runs where the ANSI code page is 932 (Japanese), where one character can take two bytes
// and a second byte can be 0x5C, the backslash. Elsewhere it skips.
class InitDoubleByteCodePage : public InitTest {
protected:
    void SetUp() override {
        if (GetACP() != 932) GTEST_SKIP() << "needs the ANSI code page 932";
        InitTest::SetUp();
    }
    static std::wstring WideField(BSTR b) { return b ? std::wstring(b, SysStringLen(b)) : L"<null>"; }
};

// U+8868 is 0x95 0x5C in code page 932.
constexpr wchar_t kTrailBackslash = L'\x8868';

}  // namespace

TEST_F(InitDoubleByteCodePage, MappedServerIsMeasuredInBytesNotCharacters) {
    {  // 150 characters, 300 bytes: short as a BSTR, too long as a path buffer.
        Probe c;
        std::wstring tooLong = Wide(sandbox.Path()) + L"\\" + std::wstring(150, kTrailBackslash);
        ASSERT_EQ(c->SetScriptServer(ov::BStr(tooLong.c_str()).Get()), S_OK);
        ExpectFails(c, kTooLong, kTooLong, "MappedScriptServer: Length Invalid\r\n");
        EXPECT_FALSE(PathExists(wkstn));
    }
    // 60 such characters fit, and come back unchanged.
    Probe c;
    std::wstring fits = Wide(sandbox.Path()) + L"\\" + std::wstring(60, kTrailBackslash);
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
        ASSERT_EQ(c->Init(), S_OK);
        EXPECT_EQ(WideField(c.Field("LocalPLORVANPath")), wideLocal + L"\\Pellar");
    }
}
