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
constexpr HRESULT kAccessDenied = static_cast<HRESULT>(0x80070005u);
constexpr char kNoDataReason[] = "Could not find ORVAN data.\r\n";

using Fields = std::map<std::string, std::string>;

std::string WindowsDirectory() {
    char buf[MAX_PATH + 1] = {};
    GetWindowsDirectoryA(buf, MAX_PATH);
    return buf;
}

std::string ExpectedDownloadPath() {
    std::string dpf = WindowsDirectory() + "\\downloaded program files";
    return PathExists(dpf) ? dpf : WindowsDirectory() + "\\occache";
}

// What a successful first run gives, with the server and the local path it used.
Fields FirstRunFields(const std::string& server, const std::string& local) {
    return {
        {"WindowsDir", WindowsDirectory()},
        {"DownloadPath", ExpectedDownloadPath()},
        {"CachedMLVersion", ""},
        {"MLReadMe", "MLReadMe.txt"},
        {"CachedMLDVersion", ""},
        {"MLReadMeDev", "MLReadMeDev.txt"},
        {"ServerPath", server},
        {"LocalPLORVANPath", local},
        {"LocalNWXORVANPath", local},
        {"AppsPath", "Apps"},
        {"ScriptingPath", "Scripts"},
        {"ProductionPath", "Prod"},
        {"FilePath", "File"},
        {"BitmapPath", "Bitmap"},
        {"BackupPath", "Backup"},
        {"DevelopPath", "Develop"},
        {"HelpPath", "Help"},
        {"InstalledMLVersion", ""},
        {"InstalledMLDVersion", ""},
    };
}

// Every field of Init's as it stands, by name; null fields as "<null>".
Fields FieldsOf(const Probe& p) {
    Fields out;
    for (const FieldRef& f : InitFields()) out[f.name] = FieldText(p.Fields().*f.member);
    return out;
}

// Each field and, where there is one, its property, against the expected texts.
void ExpectFields(const Probe& p, const Fields& expected) {
    for (const FieldRef& f : InitFields()) {
        auto want = expected.find(f.name);
        ASSERT_NE(want, expected.end()) << f.name;
        BSTR field = p.Fields().*f.member;
        ASSERT_NE(field, nullptr) << f.name << " stayed null";
        EXPECT_EQ(Narrow(field), want->second) << f.name;
        auto getter = FieldGetters().find(f.name);
        if (getter == FieldGetters().end()) continue;
        BSTR got = nullptr;
        ASSERT_EQ((p.Get()->*getter->second)(&got), S_OK) << f.name;
        EXPECT_EQ(FieldText(got), want->second) << "property " << f.name;
        SysFreeString(got);
    }
}

void ExpectAllNull(const Probe& p) {
    for (const FieldRef& f : InitFields()) EXPECT_EQ(p.Fields().*f.member, nullptr) << f.name;
}

std::string Repeat(char c, size_t n) { return std::string(n, c); }

const char kOrvanIniText[] =
    "[Applications]\r\nAppsPath=Apps\r\n"
    "[Scripting]\r\nScriptingPath=Scripts\r\nProductionPath=Prod\r\nFilePath=File\r\nBitmapPath=Bitmap\r\n"
    "BackupPath=Backup\r\nDevelopmentPath=Develop\r\nCommand=commlist.cmd\r\nCommandInsertList=commfile.cmd\r\n"
    "Screen=scrnlist.cmd\r\nScreenInsertList=scrnfile.cmd\r\nSkeleton=skeleton.cmd\r\nEnabled=1\r\n"
    "[Help]\r\nHelpPath=Help\r\nScriptEditor=scrpedtr.hlp\r\nDialogEditor=dbeditor.hlp\r\n";

struct IniRow {
    const char* app;
    const char* key;
    const char* value;
};

// What the first run writes into Orvan.ini.
const IniRow kOrvanRows[] = {
    {"Applications", "AppsPath", "Apps"},
    {"Scripting", "ScriptingPath", "Scripts"},
    {"Scripting", "ProductionPath", "Prod"},
    {"Scripting", "FilePath", "File"},
    {"Scripting", "BitmapPath", "Bitmap"},
    {"Scripting", "BackupPath", "Backup"},
    {"Scripting", "DevelopmentPath", "Develop"},
    {"Scripting", "Command", "commlist.cmd"},
    {"Scripting", "CommandInsertList", "commfile.cmd"},
    {"Scripting", "Screen", "scrnlist.cmd"},
    {"Scripting", "ScreenInsertList", "scrnfile.cmd"},
    {"Scripting", "Skeleton", "skeleton.cmd"},
    {"Scripting", "Enabled", "1"},
    {"Help", "HelpPath", "Help"},
    {"Help", "ScriptEditor", "scrpedtr.hlp"},
    {"Help", "DialogEditor", "dbeditor.hlp"},
};

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

    std::vector<LogRecord> Log() const { return ParseLog(sandbox.LogText()); }

    static void SetServer(const Probe& p, const std::string& path) {
        std::wstring w = Wide(path);
        ov::BStr b(w.c_str());
        ASSERT_EQ(p->SetScriptServer(b.Get()), S_OK);
    }

    // Wkstn.ini and Orvan.ini of a configured workstation, written as the first run would.
    void WriteConfiguredLayout() {
        MakeDirs(server);
        WriteFileText(wkstn, "[Workstation]\r\nServerPath=" + server + "\r\n");
        WriteFileText(orvan, kOrvanIniText);
    }

    void ExpectOneNoDataBox() {
        ASSERT_EQ(responder.Shown().size(), 1u);
        EXPECT_EQ(responder.Shown()[0].title, "OVCustomInstall Error");
        EXPECT_NE(responder.Shown()[0].text.find("Could not find ORVAN data."), std::string::npos)
            << responder.Shown()[0].text;
    }
};

}  // namespace

// ---- The first run ------------------------------------------------------------------------

TEST_F(InitTest, FirstRunWithMappedServerWritesEveryFileAndFillsEveryField) {
    Probe c;
    SetServer(c, server);
    ASSERT_EQ(c->Init(), S_OK);

    // The server directory is made with all its missing parents.
    EXPECT_TRUE(GetFileAttributesA(server.c_str()) & FILE_ATTRIBUTE_DIRECTORY);

    EXPECT_EQ(IniValue(wkstn, "Workstation", "ServerPath"), server);
    EXPECT_EQ(IniValue(wkstn, "Scripting", "ProductionPath"), server + "\\Scripts\\Prod");
    EXPECT_EQ(ReadFileText(wkstn), "[Workstation]\r\nServerPath=" + server + "\r\n[Scripting]\r\nProductionPath=" +
                                       server + "\\Scripts\\Prod\r\n");

    for (const IniRow& r : kOrvanRows) EXPECT_EQ(IniValue(orvan, r.app, r.key), r.value) << r.key;
    // The raw text also shows the order of the writes and that nothing else went in.
    EXPECT_EQ(ReadFileText(orvan), kOrvanIniText);

    std::string emp = localPellar + "\\Empxxx.ini";
    EXPECT_EQ(IniValue(emp, "Scripting", "AutomaticBackupEnabled"), "1");
    EXPECT_EQ(IniValue(emp, "Scripting", "WarningsEnabled"), "1");
    EXPECT_EQ(ReadFileText(emp), "[Scripting]\r\nAutomaticBackupEnabled=1\r\nWarningsEnabled=1\r\n");

    ExpectFields(c, FirstRunFields(server, localPellar));
    EXPECT_EQ(FieldText(c.Fields().MappedScriptServer), server);
    EXPECT_TRUE(responder.Shown().empty());
    EXPECT_EQ(sandbox.LogText(), "");
}

TEST_F(InitTest, FirstRunWithoutMappedServerPutsTheServerAtTheDosPath) {
    Probe c;
    ASSERT_EQ(c->Init(), S_OK);
    EXPECT_EQ(IniValue(wkstn, "Workstation", "ServerPath"), localPellar);
    EXPECT_EQ(IniValue(wkstn, "Scripting", "ProductionPath"), localPellar + "\\Scripts\\Prod");
    EXPECT_EQ(ReadFileText(localPellar + "\\Orvan.ini"), kOrvanIniText);
    EXPECT_EQ(IniValue(localPellar + "\\Empxxx.ini", "Scripting", "WarningsEnabled"), "1");
    EXPECT_FALSE(PathExists(server));
    ExpectFields(c, FirstRunFields(localPellar, localPellar));
    EXPECT_EQ(sandbox.LogText(), "");
}

TEST_F(InitTest, FirstRunWithNeitherMappedServerNorDosPathUsesTheDefaultLocalPath) {
    RestorePathsGuard outside({"C:\\Orvan", "C:\\Orvan\\Pellar", "C:\\Orvan\\Pellar\\Orvan.ini",
                               "C:\\Orvan\\Pellar\\Empxxx.ini"});
    dos.Remove();
    Probe c;
    ASSERT_EQ(c->Init(), S_OK);
    EXPECT_EQ(IniValue(wkstn, "Workstation", "ServerPath"), "C:\\Orvan\\Pellar");
    EXPECT_EQ(IniValue(wkstn, "Scripting", "ProductionPath"), "C:\\Orvan\\Pellar\\Scripts\\Prod");
    for (const IniRow& r : kOrvanRows)
        EXPECT_EQ(IniValue("C:\\Orvan\\Pellar\\Orvan.ini", r.app, r.key), r.value) << r.key;
    EXPECT_TRUE(PathExists("C:\\Orvan\\Pellar\\Empxxx.ini"));
    ExpectFields(c, FirstRunFields("C:\\Orvan\\Pellar", "C:\\Orvan\\Pellar"));
    EXPECT_TRUE(responder.Shown().empty());
}

TEST_F(InitTest, ExistingEmpxxxIniIsNotWrittenEvenWithoutItsKeys) {
    MakeDirs(localPellar);
    const std::string emp = localPellar + "\\Empxxx.ini";
    const std::string before = "[Scripting]\r\nWarningsEnabled=0\r\n";
    WriteFileText(emp, before);
    Probe c;
    SetServer(c, server);
    ASSERT_EQ(c->Init(), S_OK);
    EXPECT_EQ(ReadFileText(emp), before);
    EXPECT_EQ(IniValue(emp, "Scripting", "AutomaticBackupEnabled"), "<missing>");

    // And in the configured branch as well.
    ASSERT_EQ(c->Init(), S_OK);
    EXPECT_EQ(ReadFileText(emp), before);
}

// ---- The configured branch ----------------------------------------------------------------

TEST_F(InitTest, ConfiguredBranchReadsTheLayoutBackAndIgnoresTheMappedServer) {
    Probe first;
    SetServer(first, server);
    ASSERT_EQ(first->Init(), S_OK);

    // Values only the configured branch can know.
    ASSERT_TRUE(WritePrivateProfileStringA("Applications", "AppsPath", "MyApps", orvan.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringA("Help", "HelpPath", "Manuals", orvan.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringA("Scripting", "MLVer", "7.1", orvan.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringA("Scripting", "MLDVer", "7.2", orvan.c_str()));
    const std::string wkstnBefore = ReadFileText(wkstn);
    const std::string orvanBefore = ReadFileText(orvan);
    const std::string empBefore = ReadFileText(localPellar + "\\Empxxx.ini");

    Probe second;
    const std::string elsewhere = sandbox / "elsewhere";
    SetServer(second, elsewhere);
    ASSERT_EQ(second->Init(), S_OK);

    Fields want = FirstRunFields(server, localPellar);
    want["LocalNWXORVANPath"] = "C:\\Orvan";
    want["AppsPath"] = "MyApps";
    want["HelpPath"] = "Manuals";
    want["InstalledMLVersion"] = "7.1";
    want["InstalledMLDVersion"] = "7.2";
    ExpectFields(second, want);

    // Nothing is written in this branch, and the mapped server is not even created.
    EXPECT_EQ(ReadFileText(wkstn), wkstnBefore);
    EXPECT_EQ(ReadFileText(orvan), orvanBefore);
    EXPECT_EQ(ReadFileText(localPellar + "\\Empxxx.ini"), empBefore);
    EXPECT_FALSE(PathExists(elsewhere));

    // The first object now takes the same branch, and two calls in a row agree.
    ASSERT_EQ(first->Init(), S_OK);
    EXPECT_EQ(FieldsOf(first), FieldsOf(second));
    ASSERT_EQ(second->Init(), S_OK);
    EXPECT_EQ(FieldsOf(first), FieldsOf(second));
    EXPECT_EQ(sandbox.LogText(), "");
}

TEST_F(InitTest, ConfiguredBranchNeedsEveryRequiredOrvanValueInItsOrder) {
    MakeDirs(server);
    WriteFileText(wkstn, "[Workstation]\r\nServerPath=" + server + "\r\n");
    WriteFileText(orvan, "");

    struct Required {
        const char* appLabel;
        const char* app;
        const char* keyLabel;
        const char* key;
        const char* valueLabel;
    };
    const Required order[] = {
        {"APPLICATIONS_APP_NAME: ", "Applications", "APPS_PATH_KEY_NAME: ", "AppsPath", "szAppsPath: "},
        {"SCRIPTING_APP_NAME: ", "Scripting", "BACKUP_PATH_KEY_NAME: ", "BackupPath", "szBackupPath: "},
        {"SCRIPTING_APP_NAME: ", "Scripting", "BITMAP_PATH_KEY_NAME: ", "BitmapPath", "szBitmapPath: "},
        {"SCRIPTING_APP_NAME: ", "Scripting", "DEVELOPMENT_PATH_KEY_NAME: ", "DevelopmentPath",
         "szDevelopmentPath: "},
        {"SCRIPTING_APP_NAME: ", "Scripting", "FILE_PATH_KEY_NAME: ", "FilePath", "szFilePath: "},
        {"HELP_APP_NAME: ", "Help", "HELP_PATH_KEY_NAME: ", "HelpPath", "szHelpPath: "},
        {"SCRIPTING_APP_NAME: ", "Scripting", "PRODUCTION_PATH_KEY_NAME: ", "ProductionPath",
         "szProductionPath: "},
        {"SCRIPTING_APP_NAME: ", "Scripting", "SCRIPTING_PATH_KEY_NAME: ", "ScriptingPath", "szScriptingPath: "},
    };

    Probe c;
    for (const Required& r : order) {
        // Missing, then present but empty: both name this key, and the ones after it wait.
        for (bool presentButEmpty : {false, true}) {
            if (presentButEmpty) {
                ASSERT_TRUE(WritePrivateProfileStringA(r.app, r.key, "", orvan.c_str()));
            }
            responder.Clear();
            EXPECT_EQ(c->Init(), E_FAIL) << r.key;
            auto log = Log();
            ASSERT_FALSE(log.empty());
            EXPECT_EQ(log.back().hresult, "80040201") << r.key;
            EXPECT_EQ(log.back().file, "OVCustInst");
            EXPECT_EQ(log.back().body, std::string(kNoDataReason) + r.appLabel + r.app + "\r\n" + r.keyLabel + r.key +
                                           "\r\n" + r.valueLabel + "\r\nszORVANPath: " + orvan + "\r\n")
                << r.key << (presentButEmpty ? " (empty)" : " (missing)");
            ExpectOneNoDataBox();
            ExpectAllNull(c);
        }
        ASSERT_TRUE(WritePrivateProfileStringA(r.app, r.key, "x", orvan.c_str()));
    }
    // MLVer and MLDVer may be missing.
    ASSERT_EQ(c->Init(), S_OK);
    EXPECT_EQ(Narrow(c.Fields().InstalledMLVersion), "");
    EXPECT_EQ(Narrow(c.Fields().InstalledMLDVersion), "");
    EXPECT_NE(c.Fields().InstalledMLDVersion, nullptr);
    EXPECT_EQ(Narrow(c.Fields().AppsPath), "x");
}

TEST_F(InitTest, ConfiguredBranchWithoutOrvanIniFails) {
    MakeDirs(server);
    WriteFileText(wkstn, "[Workstation]\r\nServerPath=" + server + "\r\n");
    Probe c;
    EXPECT_EQ(c->Init(), E_FAIL);
    auto log = Log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].hresult, "80040201");
    EXPECT_EQ(log[0].body, std::string(kNoDataReason) + "szORVANPath: " + orvan + "\r\n");
    ExpectOneNoDataBox();
    ExpectAllNull(c);
    EXPECT_FALSE(PathExists(localPellar));
}

TEST_F(InitTest, ConfiguredBranchWithoutServerPathFails) {
    const std::string expectedBody = std::string(kNoDataReason) +
                                     "WKSTN_APP_NAME: Workstation\r\nSERVER_PATH_KEY_NAME: ServerPath\r\n"
                                     "szServerPath: \r\nszWKSTNPath: " +
                                     wkstn + "\r\n";
    for (const char* text : {"[Workstation]\r\nServerPath=\r\n", "[Other]\r\nServerPath=C:\\x\r\n"}) {
        WriteFileText(wkstn, text);
        responder.Clear();
        Probe c;
        SetServer(c, server);  // not consulted here
        EXPECT_EQ(c->Init(), E_FAIL) << text;
        auto log = Log();
        ASSERT_FALSE(log.empty());
        EXPECT_EQ(log.back().hresult, "80040201");
        EXPECT_EQ(log.back().body, expectedBody) << text;
        ExpectOneNoDataBox();
        ExpectAllNull(c);
        EXPECT_EQ(ReadFileText(wkstn), text);
    }
    EXPECT_FALSE(PathExists(server));
    EXPECT_FALSE(PathExists(localPellar));
}

TEST_F(InitTest, FirstRunFailingAfterItsFirstWriteLeavesWkstnIniForTheConfiguredBranch) {
    // A directory where Orvan.ini should go makes the first write to it fail.
    MakeDirs(orvan);
    Probe c;
    SetServer(c, server);
    EXPECT_EQ(c->Init(), kAccessDenied);
    auto log = Log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].hresult, "80070005");
    EXPECT_TRUE(EndsWithPieces(log[0].body, "APPLICATIONS_APP_NAME: Applications\r\nAPPS_PATH_KEY_NAME: AppsPath\r\n"
                                      "szAppsPath: Apps\r\nszORVANPath: " +
                                          orvan + "\r\n"))
        << log[0].body;
    ASSERT_EQ(responder.Shown().size(), 1u);
    ExpectAllNull(c);
    // Both Wkstn.ini rows went in before the failure; nothing of the tail ran.
    EXPECT_EQ(IniValue(wkstn, "Workstation", "ServerPath"), server);
    EXPECT_EQ(IniValue(wkstn, "Scripting", "ProductionPath"), server + "\\Scripts\\Prod");
    EXPECT_FALSE(PathExists(localPellar));

    // The next call reads back and fails on the first value that was never written.
    responder.Clear();
    EXPECT_EQ(c->Init(), E_FAIL);
    EXPECT_TRUE(EndsWith(sandbox.LogText(), "APPS_PATH_KEY_NAME: AppsPath\r\nszAppsPath: \r\nszORVANPath: " + orvan +
                                                "\r\n"));
    ExpectOneNoDataBox();

    // With only the first Orvan.ini row in place, the next missing one is named.
    RemoveTree(orvan);
    WriteFileText(orvan, "[Applications]\r\nAppsPath=Apps\r\n");
    responder.Clear();
    EXPECT_EQ(c->Init(), E_FAIL);
    EXPECT_EQ(ParseLog(sandbox.LogText()).back().body,
              std::string(kNoDataReason) + "SCRIPTING_APP_NAME: Scripting\r\nBACKUP_PATH_KEY_NAME: BackupPath\r\n"
                                           "szBackupPath: \r\nszORVANPath: " +
                  orvan + "\r\n");
    ExpectAllNull(c);
}

// ---- Fields and properties ----------------------------------------------------------------

TEST_F(InitTest, FailingInitLeavesEveryFieldExactlyAsItWas) {
    Probe c;
    SetServer(c, server);
    ASSERT_EQ(c->Init(), S_OK);
    std::map<std::string, BSTR> pointers;
    for (const FieldRef& f : InitFields()) pointers[f.name] = c.Fields().*f.member;
    const Fields texts = FieldsOf(c);

    auto expectUnchanged = [&](const char* what) {
        for (const FieldRef& f : InitFields()) {
            EXPECT_EQ(c.Fields().*f.member, pointers[f.name]) << what << ": " << f.name;
        }
        EXPECT_EQ(FieldsOf(c), texts) << what;
    };

    // Orvan.ini gone (configured branch).
    const std::string orvanText = ReadFileText(orvan);
    DeleteFileA(orvan.c_str());
    EXPECT_EQ(c->Init(), E_FAIL);
    expectUnchanged("Orvan.ini missing");
    WriteFileText(orvan, orvanText);

    // A DOS path too long for its buffer.
    dos.Set("C:\\" + Repeat('d', 252));
    EXPECT_EQ(c->Init(), kTooLong);
    expectUnchanged("long DOS path");
    dos.Set(local);

    // A local path whose Empxxx.ini cannot be written: "Pellar" below it is a file.
    const std::string blocked = sandbox / "blocked";
    CreateDirectoryA(blocked.c_str(), nullptr);
    WriteFileText(blocked + "\\Pellar", "not a directory");
    dos.Set(blocked);
    EXPECT_EQ(c->Init(), static_cast<HRESULT>(0x80070003u));
    ASSERT_FALSE(Log().empty());
    EXPECT_EQ(Log().back().hresult, "80070003");
    EXPECT_TRUE(EndsWithPieces(Log().back().body, "SCRIPTING_APP_NAME: Scripting\r\nAUTO_BACKUP_KEY_NAME: "
                                                  "AutomaticBackupEnabled\r\nszEmpPath: " +
                                                      blocked + "\\Pellar\\Empxxx.ini\r\n"))
        << Log().back().body;
    expectUnchanged("Empxxx.ini not writable");
    dos.Set(local);

    // Back to a first run that fails at its first free-space check.
    DeleteFileA(wkstn.c_str());
    c->SetScriptServer(ov::BStr(L"").Get());
    EXPECT_EQ(c->Init(), E_INVALIDARG);
    expectUnchanged("empty mapped server");

    EXPECT_EQ(responder.Shown().size(), 4u);

    // A success replaces them all.
    SetServer(c, server);
    ASSERT_EQ(c->Init(), S_OK);
    ExpectFields(c, FirstRunFields(server, localPellar));
}

TEST_F(InitTest, EachPropertyReadIsANewCopyOfTheField) {
    Probe c;
    SetServer(c, server);
    ASSERT_EQ(c->Init(), S_OK);
    for (const auto& g : FieldGetters()) {
        BSTR a = nullptr, b = nullptr;
        ASSERT_EQ((c.Get()->*g.second)(&a), S_OK) << g.first;
        ASSERT_EQ((c.Get()->*g.second)(&b), S_OK) << g.first;
        ASSERT_NE(a, nullptr) << g.first;
        ASSERT_NE(b, nullptr) << g.first;
        EXPECT_NE(a, b) << g.first;
        EXPECT_EQ(SysStringLen(a), SysStringLen(b)) << g.first;
        EXPECT_EQ(Narrow(a), Narrow(b)) << g.first;
        for (const FieldRef& f : InitFields()) {
            EXPECT_NE(a, c.Fields().*f.member) << g.first << " handed out field " << f.name;
        }
        SysFreeString(a);
        SysFreeString(b);
    }
}

TEST_F(InitTest, ThroughTheRegisteredServerTheFirstRunFillsTheProperties) {
    auto control = CreateControl();
    std::wstring w = Wide(server);
    ASSERT_EQ(control->SetScriptServer(ov::BStr(w.c_str()).Get()), S_OK);
    ASSERT_EQ(control->Init(), S_OK);
    Fields want = FirstRunFields(server, localPellar);
    for (const auto& g : FieldGetters()) {
        BSTR v = nullptr;
        ASSERT_EQ((control.Get()->*g.second)(&v), S_OK) << g.first;
        EXPECT_EQ(FieldText(v), want[g.first]) << g.first;
        SysFreeString(v);
    }
    EXPECT_EQ(ReadFileText(orvan), kOrvanIniText);
}

// ---- Registry and INF inputs --------------------------------------------------------------

TEST_F(InitTest, DosInstallPathLosesItsTrailingBackslashesAndGainsPellar) {
    Probe c;
    SetServer(c, server);
    bool firstRun = true;
    for (const std::string& value : {local, local + "\\", local + "\\\\\\\\"}) {
        dos.Set(value);
        ASSERT_EQ(c->Init(), S_OK) << value;
        EXPECT_EQ(Narrow(c.Fields().LocalPLORVANPath), localPellar) << value;
        EXPECT_EQ(Narrow(c.Fields().LocalNWXORVANPath), firstRun ? localPellar : "C:\\Orvan") << value;
        firstRun = false;
    }
    EXPECT_EQ(sandbox.LogText(), "");

    // Only backslashes: "\Pellar", on the current drive. An Empxxx.ini there keeps Init from
    // creating anything outside the sandbox.
    CurrentDirectoryGuard cwd(sandbox.Path());
    RestorePathsGuard outside({"C:\\Pellar", "C:\\Pellar\\Empxxx.ini"});
    CreateDirectoryA("C:\\Pellar", nullptr);
    if (!PathExists("C:\\Pellar\\Empxxx.ini")) WriteFileText("C:\\Pellar\\Empxxx.ini", "");
    for (const std::string value : {"\\", "\\\\\\"}) {
        dos.Set(value);
        ASSERT_EQ(c->Init(), S_OK) << value;
        EXPECT_EQ(Narrow(c.Fields().LocalPLORVANPath), "\\Pellar") << value;
    }
    EXPECT_EQ(sandbox.LogText(), "");
    EXPECT_TRUE(responder.Shown().empty());
}

TEST_F(InitTest, DosInstallPathAbsentOrEmptyIsAWarningWithoutBox) {
    RestorePathsGuard outside({"C:\\Orvan", "C:\\Orvan\\Pellar", "C:\\Orvan\\Pellar\\Empxxx.ini"});
    dos.Remove();
    Probe c;
    SetServer(c, server);
    ASSERT_EQ(c->Init(), S_OK);
    EXPECT_EQ(Narrow(c.Fields().LocalPLORVANPath), "C:\\Orvan\\Pellar");
    EXPECT_EQ(Narrow(c.Fields().LocalNWXORVANPath), "C:\\Orvan\\Pellar");
    EXPECT_EQ(Narrow(c.Fields().ServerPath), server);
    EXPECT_TRUE(PathExists("C:\\Orvan\\Pellar\\Empxxx.ini"));

    auto log = Log();
    ASSERT_EQ(log.size(), 2u);  // the reader's own record, then the warning
    EXPECT_EQ(log[0].hresult, "80070002");
    EXPECT_TRUE(EndsWith(log[0].body, "bstrSubKey: DOSInstallPath\r\nError: Failed to read the registy key data\r\n"));
    EXPECT_EQ(log[1].hresult, "80070002");
    EXPECT_EQ(log[1].file, "OVCustInst");
    EXPECT_TRUE(EndsWithPieces(log[1].body, "Warning: Failed to read the registy key data\r\n")) << log[1].body;

    // Present but empty: the same fallback; the warning carries S_OK and an empty text.
    dos.Set("");
    ASSERT_EQ(c->Init(), S_OK);
    EXPECT_EQ(Narrow(c.Fields().LocalPLORVANPath), "C:\\Orvan\\Pellar");
    EXPECT_EQ(Narrow(c.Fields().LocalNWXORVANPath), "C:\\Orvan");
    log = Log();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[2].hresult, "0");
    EXPECT_TRUE(EndsWithPieces(log[2].body, "Warning: \r\n")) << log[2].body;
    EXPECT_TRUE(responder.Shown().empty());
}

TEST_F(InitTest, InfFilesGiveTheVersionsAndReadMeNamesWithTheirDefaults) {
    const std::string pellar = sandbox / "Pellar";
    CreateDirectoryA(pellar.c_str(), nullptr);
    WriteFileText(pellar + "\\OVMLSInstall.inf", "[ORVAN]\r\nMLVer=4.1.2\r\nMLReadMe=Scripts412.txt\r\n");
    WriteFileText(pellar + "\\OVMLDInstall.inf", "[ORVAN]\r\nMLDVer=2.0.5\r\nMLReadMeDev=Dev205.txt\r\n");
    Probe c;
    SetServer(c, server);
    ASSERT_EQ(c->Init(), S_OK);
    EXPECT_EQ(Narrow(c.Fields().CachedMLVersion), "4.1.2");
    EXPECT_EQ(Narrow(c.Fields().MLReadMe), "Scripts412.txt");
    EXPECT_EQ(Narrow(c.Fields().CachedMLDVersion), "2.0.5");
    EXPECT_EQ(Narrow(c.Fields().MLReadMeDev), "Dev205.txt");

    // A missing key, a key in another section, a missing file: each gives its default.
    WriteFileText(pellar + "\\OVMLSInstall.inf", "[ORVAN]\r\nMLVer=4.2\r\n");
    WriteFileText(pellar + "\\OVMLDInstall.inf", "[Other]\r\nMLDVer=9\r\nMLReadMeDev=x.txt\r\n");
    ASSERT_EQ(c->Init(), S_OK);
    EXPECT_EQ(Narrow(c.Fields().CachedMLVersion), "4.2");
    EXPECT_EQ(Narrow(c.Fields().MLReadMe), "MLReadMe.txt");
    EXPECT_EQ(Narrow(c.Fields().CachedMLDVersion), "");
    EXPECT_EQ(Narrow(c.Fields().MLReadMeDev), "MLReadMeDev.txt");

    DeleteFileA((pellar + "\\OVMLSInstall.inf").c_str());
    ASSERT_EQ(c->Init(), S_OK);
    EXPECT_EQ(Narrow(c.Fields().CachedMLVersion), "");
    EXPECT_EQ(Narrow(c.Fields().MLReadMe), "MLReadMe.txt");
    EXPECT_EQ(sandbox.LogText(), "");
}

TEST_F(InitTest, DownloadPathIsDownloadedProgramFilesOnlyWhenThatExists) {
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

    Probe c;
    SetServer(c, server);
    ASSERT_EQ(c->Init(), S_OK);
    EXPECT_EQ(Narrow(c.Fields().DownloadPath), windows + "\\occache");
    EXPECT_EQ(Narrow(c.Fields().WindowsDir), windows);

    ASSERT_TRUE(CreateDirectoryA(dpf.c_str(), nullptr));
    ASSERT_EQ(c->Init(), S_OK);
    EXPECT_EQ(Narrow(c.Fields().DownloadPath), windows + "\\downloaded program files");
    RemoveDirectoryA(dpf.c_str());

    ASSERT_EQ(c->Init(), S_OK);
    EXPECT_EQ(Narrow(c.Fields().DownloadPath), windows + "\\occache");
}

// ---- Values too long for their buffers ----------------------------------------------------

TEST_F(InitTest, OverLongValuesAreRefusedNotCut) {
    // A mapped server longer than a path buffer.
    {
        Probe c;
        SetServer(c, sandbox / Repeat('m', 300));
        EXPECT_EQ(c->Init(), kTooLong);
        auto log = Log();
        ASSERT_EQ(log.size(), 1u);
        EXPECT_EQ(log[0].hresult, "800700CE");
        EXPECT_TRUE(EndsWithPieces(log[0].body, "MappedScriptServer: Length Invalid\r\n")) << log[0].body;
        ASSERT_EQ(responder.Shown().size(), 1u);
        ExpectAllNull(c);
        EXPECT_FALSE(PathExists(wkstn));
    }
    // A mapped server of exactly 260 characters fits; Orvan.ini beside it would not, and
    // the call stops before the first write.
    {
        responder.Clear();
        const std::string full = sandbox.Path() + "\\" + Repeat('s', 259 - sandbox.Path().size());
        ASSERT_EQ(full.size(), 260u);
        Probe c;
        SetServer(c, full);
        EXPECT_EQ(c->Init(), kTooLong);
        ASSERT_FALSE(Log().empty());
        EXPECT_EQ(Log().back().hresult, "800700CE");
        EXPECT_TRUE(EndsWithPieces(Log().back().body, "szORVANPath: Length Invalid\r\n")) << Log().back().body;
        EXPECT_TRUE(PathExists(full));
        EXPECT_FALSE(PathExists(wkstn));
        ExpectAllNull(c);
        RemoveTree(full);
    }
    // A DOS path whose "\Pellar" would not fit.
    {
        responder.Clear();
        dos.Set("C:\\" + Repeat('d', 252) + "\\\\");
        Probe c;
        SetServer(c, server);
        EXPECT_EQ(c->Init(), kTooLong);
        ASSERT_FALSE(Log().empty());
        EXPECT_EQ(Log().back().hresult, "800700CE");
        EXPECT_TRUE(EndsWithPieces(Log().back().body, "szDOSPath: Length Invalid\r\n")) << Log().back().body;
        ASSERT_EQ(responder.Shown().size(), 1u);
        EXPECT_FALSE(PathExists(wkstn));
        ExpectAllNull(c);
        dos.Set(local);
    }
    // An install path too long for "\Wkstn.ini" (the log stays where the object found it).
    {
        responder.Clear();
        Probe c;
        sandbox.InstallPathValue().Set("C:\\" + Repeat('i', 250));
        SetServer(c, server);
        EXPECT_EQ(c->Init(), kTooLong);
        ASSERT_FALSE(Log().empty());
        EXPECT_EQ(Log().back().hresult, "800700CE");
        EXPECT_TRUE(EndsWithPieces(Log().back().body, "szWKSTNPath: Length Invalid\r\n")) << Log().back().body;
        ASSERT_EQ(responder.Shown().size(), 1u);
        ExpectAllNull(c);
        sandbox.InstallPathValue().Set(sandbox.Path());
    }
}

// ---- Free space, measured on a really small drive -----------------------------------------

namespace {

constexpr ULONGLONG kPage = 4096;

// A folder on the small tmpfs drive and a filler file that sets the drive's free space.
class SmallDrive {
public:
    SmallDrive() {
        const char* drive = std::getenv("OV_SMALL_DRIVE");
        if (!drive || !*drive) return;
        root_ = std::string(drive).substr(0, 2) + "\\";
        static unsigned counter = 0;
        dir_ = root_ + "ov-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter);
        available_ = CreateDirectoryA(dir_.c_str(), nullptr) != FALSE;
        filler_ = dir_ + "\\filler.bin";
    }
    ~SmallDrive() {
        if (available_) RemoveTree(dir_);
    }
    SmallDrive(const SmallDrive&) = delete;
    SmallDrive& operator=(const SmallDrive&) = delete;

    bool Available() const { return available_; }
    std::string operator/(const std::string& rel) const { return dir_ + "\\" + rel; }

    ULONGLONG Free() const {
        DWORD spc = 0, bps = 0, freeClusters = 0, total = 0;
        if (!GetDiskFreeSpaceA(root_.c_str(), &spc, &bps, &freeClusters, &total)) return 0;
        return static_cast<ULONGLONG>(spc) * bps * freeClusters;
    }

    // Grows or shrinks the filler until the drive shows exactly `target` bytes free.
    bool FillTo(ULONGLONG target) {
        for (int round = 0; round < 8; ++round) {
            ULONGLONG now = Free();
            if (now == target) return true;
            HANDLE h = CreateFileA(filler_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
            if (h == INVALID_HANDLE_VALUE) return false;
            LARGE_INTEGER size{};
            GetFileSizeEx(h, &size);
            if (now > target) {
                // Real data: a file extended without writing would stay sparse.
                SetFilePointer(h, 0, nullptr, FILE_END);
                std::string zeros(static_cast<size_t>(now - target), '\0');
                DWORD written = 0;
                WriteFile(h, zeros.data(), static_cast<DWORD>(zeros.size()), &written, nullptr);
            } else {
                LONGLONG cut = static_cast<LONGLONG>(target - now);
                LARGE_INTEGER end;
                end.QuadPart = size.QuadPart > cut ? size.QuadPart - cut : 0;
                SetFilePointerEx(h, end, nullptr, FILE_BEGIN);
                SetEndOfFile(h);
            }
            CloseHandle(h);
        }
        return Free() == target;
    }

private:
    std::string root_, dir_, filler_;
    bool available_ = false;
};

class InitSmallDriveTest : public InitTest {
protected:
    SmallDrive drive;
    void SetUp() override {
        InitTest::SetUp();
        if (!std::getenv("OV_SMALL_DRIVE")) GTEST_SKIP() << "OV_SMALL_DRIVE not set: no small drive mounted";
        ASSERT_TRUE(drive.Available());
    }
};

}  // namespace

TEST_F(InitSmallDriveTest, ServerDriveAtOrBelowTheThresholdIsRefusedBeforeAnythingIsMade) {
    const std::string smallServer = drive / "srv";
    ASSERT_TRUE(drive.FillTo(31 * kPage));  // 126976 bytes: not more than 128000
    Probe c;
    SetServer(c, smallServer);
    EXPECT_EQ(c->Init(), kMediumFull);
    auto log = Log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].hresult, "80030070");
    EXPECT_TRUE(EndsWithPieces(log[0].body, "szRawServerPath: " + smallServer + "\r\n")) << log[0].body;
    ASSERT_EQ(responder.Shown().size(), 1u);
    EXPECT_FALSE(PathExists(smallServer));
    EXPECT_FALSE(PathExists(wkstn));
    ExpectAllNull(c);
}

TEST_F(InitSmallDriveTest, WorkstationDriveAtOrBelowTheThresholdIsRefused) {
    ASSERT_TRUE(drive.FillTo(31 * kPage));
    Probe c;  // its log stays in the sandbox
    const std::string smallInstall = drive / "inst";
    CreateDirectoryA(smallInstall.c_str(), nullptr);
    sandbox.InstallPathValue().Set(smallInstall);
    SetServer(c, server);
    EXPECT_EQ(c->Init(), kMediumFull);
    auto log = Log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_TRUE(EndsWithPieces(log[0].body, "szWKSTNPath: " + smallInstall + "\\Wkstn.ini\r\n")) << log[0].body;
    EXPECT_FALSE(PathExists(server));
    EXPECT_FALSE(PathExists(smallInstall + "\\Wkstn.ini"));
    sandbox.InstallPathValue().Set(sandbox.Path());
}

TEST_F(InitSmallDriveTest, EnoughSpaceOnTheServerDrivePasses) {
    const std::string smallServer = drive / "srv";
    ASSERT_TRUE(drive.FillTo(40 * kPage));
    Probe c;
    SetServer(c, smallServer);
    ASSERT_EQ(c->Init(), S_OK);
    EXPECT_EQ(ReadFileText(smallServer + "\\Orvan.ini"), kOrvanIniText);
    ExpectFields(c, FirstRunFields(smallServer, localPellar));
    EXPECT_EQ(sandbox.LogText(), "");
}

TEST_F(InitSmallDriveTest, SpaceUsedByTheWritesFailsTheTailWhichTakesBackItsWkstnIni) {
    const std::string smallServer = drive / "srv";
    const std::string smallOrvan = smallServer + "\\Orvan.ini";
    // 131072 bytes pass the first check; Orvan.ini then takes a page of the drive.
    ASSERT_TRUE(drive.FillTo(32 * kPage));
    Probe c;
    SetServer(c, smallServer);
    EXPECT_EQ(c->Init(), kMediumFull);
    ASSERT_LE(drive.Free(), 128000u) << "the writes did not take the drive below the threshold";

    auto log = Log();
    ASSERT_EQ(log.size(), 1u) << sandbox.LogText();
    EXPECT_EQ(log[0].hresult, "80030070");
    EXPECT_TRUE(EndsWithPieces(log[0].body, "szORVANPath: " + smallOrvan + "\r\n")) << log[0].body;
    ASSERT_EQ(responder.Shown().size(), 1u);
    // Wkstn.ini made by this call is gone again; what went into Orvan.ini stays.
    EXPECT_FALSE(PathExists(wkstn));
    EXPECT_EQ(ReadFileText(smallOrvan), kOrvanIniText);
    EXPECT_FALSE(PathExists(localPellar + "\\Empxxx.ini"));
    ExpectAllNull(c);

    // With room again the next call is a first run once more.
    ASSERT_TRUE(drive.FillTo(40 * kPage));
    ASSERT_EQ(c->Init(), S_OK);
    EXPECT_EQ(Narrow(c.Fields().LocalNWXORVANPath), localPellar);
    EXPECT_EQ(IniValue(wkstn, "Workstation", "ServerPath"), smallServer);
}

TEST_F(InitSmallDriveTest, LowSpaceInTheConfiguredBranchKeepsWkstnIniAndTheFields) {
    const std::string smallServer = drive / "srv";
    ASSERT_TRUE(drive.FillTo(40 * kPage));
    Probe c;
    SetServer(c, smallServer);
    ASSERT_EQ(c->Init(), S_OK);
    const Fields before = FieldsOf(c);
    BSTR serverField = c.Fields().ServerPath;

    ASSERT_TRUE(drive.FillTo(31 * kPage));
    EXPECT_EQ(c->Init(), kMediumFull);
    auto log = Log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_TRUE(EndsWithPieces(log[0].body, "szORVANPath: " + smallServer + "\\Orvan.ini\r\n")) << log[0].body;
    ASSERT_EQ(responder.Shown().size(), 1u);
    // This call made no Wkstn.ini, so it takes none away.
    EXPECT_EQ(IniValue(wkstn, "Workstation", "ServerPath"), smallServer);
    EXPECT_EQ(FieldsOf(c), before);
    EXPECT_EQ(c.Fields().ServerPath, serverField);
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
    // 150 characters, 300 bytes: short as a BSTR, too long as a path buffer.
    {
        Probe c;
        std::wstring tooLong = Wide(sandbox.Path()) + L"\\" + std::wstring(150, kTrailBackslash);
        ASSERT_EQ(c->SetScriptServer(ov::BStr(tooLong.c_str()).Get()), S_OK);
        EXPECT_EQ(c->Init(), kTooLong);
        ASSERT_FALSE(Log().empty());
        EXPECT_TRUE(EndsWithPieces(Log().back().body, "MappedScriptServer: Length Invalid\r\n"));
        EXPECT_FALSE(PathExists(wkstn));
        ExpectAllNull(c);
    }
    // 60 such characters fit, and come back unchanged.
    responder.Clear();
    Probe c;
    std::wstring fits = Wide(sandbox.Path()) + L"\\" + std::wstring(60, kTrailBackslash);
    ASSERT_EQ(c->SetScriptServer(ov::BStr(fits.c_str()).Get()), S_OK);
    ASSERT_EQ(c->Init(), S_OK);
    EXPECT_EQ(WideField(c.Fields().ServerPath), fits);
    EXPECT_NE(GetFileAttributesW((fits + L"\\Orvan.ini").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(InitDoubleByteCodePage, DosPathKeepsACharacterWhoseSecondByteIsABackslash) {
    const std::wstring wideLocal = Wide(local) + L"\\a" + kTrailBackslash;
    std::string narrowLocal;
    {
        ov::BStr b(wideLocal.c_str());
        narrowLocal = Narrow(b.Get());
    }
    ASSERT_EQ(narrowLocal.back(), '\\');  // the trail byte
    Probe c;
    SetServer(c, server);
    for (const std::string& value : {narrowLocal, narrowLocal + "\\", narrowLocal + "\\\\\\"}) {
        dos.Set(value);
        ASSERT_EQ(c->Init(), S_OK);
        EXPECT_EQ(WideField(c.Fields().LocalPLORVANPath), wideLocal + L"\\Pellar");
    }
}
