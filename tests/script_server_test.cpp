// Whether the workstation points at a usable script server, and handing the control one.
// (Init with an empty or null mapped server: init_test.cpp.)
#include <gtest/gtest.h>

#include "support/dialog_responder.h"
#include "support/layout_support.h"
#include "support/test_support.h"

using namespace ovtest;
using namespace ovtest::layout;

namespace {

constexpr VARIANT_BOOL kUntouched = 77;
using Answer = std::pair<HRESULT, VARIANT_BOOL>;

class ScriptServerTest : public ::testing::Test {
protected:
    InstallSandbox sandbox;
    DialogResponder responder;  // nothing here may show a box (checked at the end of each test)
    const std::string server = sandbox / "srv";
    const std::string wkstn = sandbox / "Wkstn.ini";
    const std::string wkstnText = "[Workstation]\r\nServerPath=" + server + "\r\n";
    Probe c;  // made in the sandbox: its log goes there

    void SetUp() override { CreateDirectoryA(server.c_str(), nullptr); }
    void TearDown() override { EXPECT_TRUE(responder.Shown().empty()); }

    Answer Ask() {
        VARIANT_BOOL answer = kUntouched;
        HRESULT hr = c->ScriptServerSetupComplete(&answer);
        return {hr, answer};
    }
};

}  // namespace

TEST_F(ScriptServerTest, WithoutWkstnIniTheAnswerIsZero) {
    EXPECT_EQ(Ask(), Answer(S_OK, 0));
    EXPECT_FALSE(PathExists(wkstn));
    EXPECT_TRUE(PathExists(server));
    EXPECT_EQ(sandbox.LogText(), "");
    EXPECT_EQ(c->ScriptServerSetupComplete(nullptr), E_POINTER);
}

TEST_F(ScriptServerTest, ServerWithOrvanIniAnswersOneAndWithoutItZeroRemovingOnlyWkstnIni) {
    WriteFileText(wkstn, wkstnText);
    WriteFileText(server + "\\Orvan.ini", "[Applications]\r\nAppsPath=Apps\r\n");
    WriteFileText(server + "\\Other.ini", "[x]\r\ny=1\r\n");
    EXPECT_EQ(Ask(), Answer(S_OK, 1));  // 1, not VARIANT_TRUE
    EXPECT_EQ(Ask(), Answer(S_OK, 1));
    EXPECT_EQ(ReadFileText(wkstn), wkstnText);

    DeleteFileA((server + "\\Orvan.ini").c_str());
    EXPECT_EQ(Ask(), Answer(S_OK, 0));
    EXPECT_FALSE(PathExists(wkstn));
    EXPECT_TRUE(PathExists(server + "\\Other.ini"));
    EXPECT_EQ(Ask(), Answer(S_OK, 0));  // nothing left to delete
    EXPECT_EQ(sandbox.LogText(), "");
}

TEST_F(ScriptServerTest, WkstnIniWithoutServerPathLooksInTheRootOfTheCurrentDrive) {
    OutsidePathsGuard outside({"C:\\Orvan.ini"}, sandbox.Path());
    DeleteFileA("C:\\Orvan.ini");
    WriteFileText(wkstn, "[Workstation]\r\n");
    EXPECT_EQ(Ask(), Answer(S_OK, 0));
    EXPECT_FALSE(PathExists(wkstn));

    // With "\Orvan.ini" present on the current drive the same Wkstn.ini is complete.
    WriteFileText("C:\\Orvan.ini", "");
    WriteFileText(wkstn, "[Workstation]\r\n");
    EXPECT_EQ(Ask(), Answer(S_OK, 1));
    EXPECT_TRUE(PathExists(wkstn));
}

TEST_F(ScriptServerTest, UnreadableInstallPathIsAFailureLoggedWithoutBox) {
    WriteFileText(wkstn, wkstnText);
    sandbox.RemoveOrvantaKey();  // the control read its log path while the key was there
    Answer got = Ask();
    EXPECT_TRUE(FAILED(got.first)) << std::hex << got.first;
    EXPECT_EQ(got.second, kUntouched);
    auto log = LogOf(sandbox);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].code, HexCode(got.first));
    EXPECT_EQ(log[0].file, "OVCustInst");
    EXPECT_TRUE(EndsWithPieces(log[0].tail, "szInstallPath: \r\n")) << log[0].tail;
    EXPECT_TRUE(PathExists(wkstn));  // nothing was deleted on the way
}

TEST_F(ScriptServerTest, SetScriptServerStoresACopyUpToTheFirstNullCharacter) {
    const ov::BStr& field = c.Fields().MappedScriptServer;
    EXPECT_EQ(field.Get(), nullptr);
    ov::BStr first(L"\\\\files\\scripts");
    ASSERT_EQ(c->SetScriptServer(first.Get()), S_OK);
    EXPECT_NE(field.Get(), first.Get());
    EXPECT_EQ(FieldText(field), "\\\\files\\scripts");

    ov::BStr embedded = ov::BStr::Attach(SysAllocStringLen(L"S:\\a\0tail", 9));
    ASSERT_EQ(c->SetScriptServer(embedded.Get()), S_OK);
    EXPECT_EQ(FieldText(field), "S:\\a");  // its length too: Narrow takes the whole BSTR

    ASSERT_EQ(c->SetScriptServer(ov::BStr(L"").Get()), S_OK);
    EXPECT_EQ(FieldText(field), "");  // empty, not null

    ASSERT_EQ(c->SetScriptServer(nullptr), S_OK);
    EXPECT_EQ(field.Get(), nullptr);
    EXPECT_EQ(sandbox.LogText(), "");
}
