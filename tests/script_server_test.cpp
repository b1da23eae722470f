// Whether the workstation points at a usable script server, and handing the control one.
// (Init with an empty or null mapped server: init_test.cpp.)
#include <gtest/gtest.h>

#include "support/dialog_responder.h"
#include "support/layout_support.h"

using namespace ovtest;

namespace {

constexpr VARIANT_BOOL kUntouched = 77;

class ScriptServerTest : public ::testing::Test {
protected:
    InstallSandbox sandbox;
    DialogResponder responder;  // nothing here may show a box (checked at the end of each test)
    const std::string server = sandbox / "srv", wkstn = sandbox / "Wkstn.ini";
    Probe c;  // made in the sandbox: its log goes there

    void SetUp() override { CreateDirectoryA(server.c_str(), nullptr); }
    void TearDown() override { EXPECT_TRUE(responder.Shown().empty()); }
    // The call's result and answer, as "hr answer".
    std::string Ask() {
        VARIANT_BOOL answer = kUntouched;
        HRESULT hr = c->ScriptServerSetupComplete(&answer);
        return HexCode(hr) + " " + std::to_string(answer);
    }
};

}  // namespace

TEST_F(ScriptServerTest, CompleteOnlyWhenWkstnIniNamesAServerWithOrvanIniElseWkstnIniGoes) {
    EXPECT_EQ(Ask(), "0 0");  // no Wkstn.ini
    EXPECT_FALSE(PathExists(wkstn));
    const std::string wkstnText = "[Workstation]\r\nServerPath=" + server + "\r\n";
    WriteFileText(wkstn, wkstnText);
    WriteFileText(server + "\\Orvan.ini", "[Applications]\r\nAppsPath=Apps\r\n");
    WriteFileText(server + "\\Other.ini", "[x]\r\ny=1\r\n");
    EXPECT_EQ(Ask(), "0 1");  // 1, not VARIANT_TRUE
    EXPECT_EQ(Ask(), "0 1");
    EXPECT_EQ(ReadFileText(wkstn), wkstnText);

    DeleteFileA((server + "\\Orvan.ini").c_str());
    EXPECT_EQ(Ask(), "0 0");
    EXPECT_FALSE(PathExists(wkstn));
    EXPECT_TRUE(PathExists(server + "\\Other.ini"));
    EXPECT_EQ(Ask(), "0 0");  // nothing left to delete
    EXPECT_EQ(sandbox.LogText(), "");
    EXPECT_EQ(c->ScriptServerSetupComplete(nullptr), E_POINTER);
}

TEST_F(ScriptServerTest, WkstnIniWithoutServerPathLooksInTheRootOfTheCurrentDrive) {
    OutsidePathsGuard outside({"C:\\Orvan.ini"}, sandbox.Path());
    for (bool orvanThere : {false, true}) {
        if (orvanThere) WriteFileText("C:\\Orvan.ini", "");
        else DeleteFileA("C:\\Orvan.ini");
        WriteFileText(wkstn, "[Workstation]\r\n");
        EXPECT_EQ(Ask(), orvanThere ? "0 1" : "0 0");
        EXPECT_EQ(PathExists(wkstn), orvanThere);
    }
}

TEST_F(ScriptServerTest, UnreadableInstallPathIsAFailureLoggedWithoutBox) {
    WriteFileText(wkstn, "[Workstation]\r\nServerPath=" + server + "\r\n");
    sandbox.RemoveOrvantaKey();  // the control read its log path while the key was there
    EXPECT_EQ(Ask(), "80070002 77");
    const auto log = LogOf(sandbox);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].file + " " + log[0].code, "OVCustInst 80070002");
    EXPECT_TRUE(EndsWithPieces(log[0].tail, "szInstallPath: \r\n")) << log[0].tail;
    EXPECT_TRUE(PathExists(wkstn));  // nothing was deleted on the way
}

TEST_F(ScriptServerTest, SetScriptServerStoresACopyUpToTheFirstNullCharacter) {
    EXPECT_EQ(c.MappedScriptServer(), nullptr);
    ov::BStr first(L"\\\\files\\scripts");
    ASSERT_EQ(c->SetScriptServer(first.Get()), S_OK);
    EXPECT_NE(c.MappedScriptServer(), first.Get());
    EXPECT_EQ(FieldText(c.MappedScriptServer()), "\\\\files\\scripts");
    ASSERT_EQ(c->SetScriptServer(ov::BStr::Attach(SysAllocStringLen(L"S:\\a\0tail", 9)).Get()), S_OK);
    EXPECT_EQ(FieldText(c.MappedScriptServer()), "S:\\a");  // its length too: Narrow takes the whole BSTR
    ASSERT_EQ(c->SetScriptServer(ov::BStr(L"").Get()), S_OK);
    EXPECT_EQ(FieldText(c.MappedScriptServer()), "");  // empty, not null
    ASSERT_EQ(c->SetScriptServer(nullptr), S_OK);
    EXPECT_EQ(c.MappedScriptServer(), nullptr);
    EXPECT_EQ(sandbox.LogText(), "");
}
