// Whether the workstation points at a usable script server, and handing the control one.
#include <gtest/gtest.h>

#include "support/dialog_responder.h"
#include "support/layout_support.h"
#include "support/test_support.h"

using namespace ovtest;
using namespace ovtest::layout;

namespace {

constexpr VARIANT_BOOL kUntouched = 77;

class ScriptServerTest : public ::testing::Test {
protected:
    InstallSandbox sandbox;
    DialogResponder responder;  // nothing here should show a box; a stray one is recorded
    const std::string server = sandbox / "srv";
    const std::string wkstn = sandbox / "Wkstn.ini";

    void SetUp() override { CreateDirectoryA(server.c_str(), nullptr); }

    // The answer and the result of one call.
    static std::pair<HRESULT, VARIANT_BOOL> Ask(IOVCustInst* c) {
        VARIANT_BOOL answer = kUntouched;
        HRESULT hr = c->ScriptServerSetupComplete(&answer);
        return {hr, answer};
    }
};

}  // namespace

TEST_F(ScriptServerTest, WithoutWkstnIniTheAnswerIsZero) {
    Probe c;
    EXPECT_EQ(Ask(c.Get()), std::make_pair(S_OK, VARIANT_BOOL(0)));
    EXPECT_FALSE(PathExists(wkstn));
    EXPECT_TRUE(PathExists(server));
    EXPECT_EQ(sandbox.LogText(), "");
    EXPECT_TRUE(responder.Shown().empty());
}

TEST_F(ScriptServerTest, ServerHoldingOrvanIniAnswersOneAndChangesNothing) {
    const std::string wkstnText = "[Workstation]\r\nServerPath=" + server + "\r\n";
    WriteFileText(wkstn, wkstnText);
    WriteFileText(server + "\\Orvan.ini", "[Applications]\r\nAppsPath=Apps\r\n");
    Probe c;
    // 1, not VARIANT_TRUE.
    EXPECT_EQ(Ask(c.Get()), std::make_pair(S_OK, VARIANT_BOOL(1)));
    EXPECT_EQ(ReadFileText(wkstn), wkstnText);
    EXPECT_EQ(Ask(c.Get()), std::make_pair(S_OK, VARIANT_BOOL(1)));
    EXPECT_EQ(sandbox.LogText(), "");
}

TEST_F(ScriptServerTest, ServerWithoutOrvanIniAnswersZeroAndRemovesWkstnIni) {
    WriteFileText(wkstn, "[Workstation]\r\nServerPath=" + server + "\r\n");
    WriteFileText(server + "\\Other.ini", "[x]\r\ny=1\r\n");
    Probe c;
    EXPECT_EQ(Ask(c.Get()), std::make_pair(S_OK, VARIANT_BOOL(0)));
    EXPECT_FALSE(PathExists(wkstn));
    // Only Wkstn.ini goes.
    EXPECT_TRUE(PathExists(server + "\\Other.ini"));
    // Again: nothing left to delete, still 0.
    EXPECT_EQ(Ask(c.Get()), std::make_pair(S_OK, VARIANT_BOOL(0)));
    EXPECT_EQ(sandbox.LogText(), "");
    EXPECT_TRUE(responder.Shown().empty());
}

TEST_F(ScriptServerTest, WkstnIniWithoutServerPathLooksInTheRootOfTheCurrentDrive) {
    CurrentDirectoryGuard cwd(sandbox.Path());
    RestorePathsGuard outside({"C:\\Orvan.ini"});
    DeleteFileA("C:\\Orvan.ini");
    WriteFileText(wkstn, "[Workstation]\r\n");
    Probe c;
    EXPECT_EQ(Ask(c.Get()), std::make_pair(S_OK, VARIANT_BOOL(0)));
    EXPECT_FALSE(PathExists(wkstn));

    // With "\Orvan.ini" present on the current drive the same Wkstn.ini is complete.
    WriteFileText("C:\\Orvan.ini", "");
    WriteFileText(wkstn, "[Workstation]\r\n");
    EXPECT_EQ(Ask(c.Get()), std::make_pair(S_OK, VARIANT_BOOL(1)));
    EXPECT_TRUE(PathExists(wkstn));
}

TEST_F(ScriptServerTest, UnreadableInstallPathIsAFailureLoggedWithoutBox) {
    Probe c;  // its log path was read while the key was there
    WriteFileText(wkstn, "[Workstation]\r\nServerPath=" + server + "\r\n");
    sandbox.RemoveOrvantaKey();
    auto [hr, answer] = Ask(c.Get());
    EXPECT_TRUE(FAILED(hr)) << std::hex << hr;
    EXPECT_EQ(answer, kUntouched);
    auto log = ParseLog(sandbox.LogText());
    ASSERT_EQ(log.size(), 1u);
    char code[16];
    std::snprintf(code, sizeof code, "%lX", static_cast<unsigned long>(hr));
    EXPECT_EQ(log[0].hresult, code);
    EXPECT_EQ(log[0].file, "OVCustInst");
    EXPECT_TRUE(EndsWithPieces(log[0].body, "szInstallPath: \r\n")) << log[0].body;
    EXPECT_TRUE(responder.Shown().empty());
    // Nothing was deleted on the way.
    EXPECT_TRUE(PathExists(wkstn));
}

TEST_F(ScriptServerTest, NullAnswerPointerIsRefused) {
    Probe c;
    EXPECT_EQ(c->ScriptServerSetupComplete(nullptr), E_POINTER);
    EXPECT_TRUE(responder.Shown().empty());
}

TEST_F(ScriptServerTest, SetScriptServerStoresACopyUpToTheFirstNullCharacter) {
    Probe c;
    BSTR& field = c.Fields().MappedScriptServer;
    EXPECT_EQ(field, nullptr);

    ov::BStr first(L"\\\\files\\scripts");
    ASSERT_EQ(c->SetScriptServer(first.Get()), S_OK);
    ASSERT_NE(field, nullptr);
    EXPECT_NE(field, first.Get());
    EXPECT_EQ(Narrow(field), "\\\\files\\scripts");

    ov::BStr embedded = ov::BStr::Attach(SysAllocStringLen(L"S:\\a\0tail", 9));
    ASSERT_EQ(c->SetScriptServer(embedded.Get()), S_OK);
    EXPECT_EQ(SysStringLen(field), 4u);
    EXPECT_EQ(Narrow(field), "S:\\a");

    ov::BStr empty(L"");
    ASSERT_EQ(c->SetScriptServer(empty.Get()), S_OK);
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(SysStringLen(field), 0u);

    ASSERT_EQ(c->SetScriptServer(nullptr), S_OK);
    EXPECT_EQ(field, nullptr);
    EXPECT_EQ(sandbox.LogText(), "");
}

TEST_F(ScriptServerTest, EmptyMappedServerFailsInitAtItsFirstFreeSpaceCheckWhileNullFallsBack) {
    RegistryValueGuard dos("Software\\Orvanta", "DOSInstallPath");
    const std::string local = sandbox / "local";
    dos.Set(local);
    Probe c;
    ov::BStr empty(L"");
    ASSERT_EQ(c->SetScriptServer(empty.Get()), S_OK);
    EXPECT_EQ(c->Init(), E_INVALIDARG);
    // The free-space check shows its own box; Init adds a record without box or pieces.
    ASSERT_EQ(responder.Shown().size(), 1u);
    auto log = ParseLog(sandbox.LogText());
    ASSERT_EQ(log.size(), 2u) << sandbox.LogText();
    EXPECT_EQ(log[0].hresult, "80070057");
    EXPECT_TRUE(EndsWithPieces(log[0].body, "bstrDrive: Length Invalid\r\n")) << log[0].body;
    EXPECT_EQ(log[1].hresult, "80070057");
    EXPECT_EQ(log[1].body.find(": "), std::string::npos) << log[1].body;
    EXPECT_FALSE(PathExists(wkstn));
    EXPECT_EQ(c.Fields().ServerPath, nullptr);

    // Null: the server goes to the DOS path.
    ASSERT_EQ(c->SetScriptServer(nullptr), S_OK);
    ASSERT_EQ(c->Init(), S_OK);
    EXPECT_EQ(Narrow(c.Fields().ServerPath), local + "\\Pellar");
    EXPECT_EQ(IniValue(wkstn, "Workstation", "ServerPath"), local + "\\Pellar");
}

TEST_F(ScriptServerTest, ThroughTheRegisteredServerAnIncompleteWorkstationIsSetUpAndThenComplete) {
    RegistryValueGuard dos("Software\\Orvanta", "DOSInstallPath");
    dos.Set(sandbox / "local");
    auto control = CreateControl();
    EXPECT_EQ(Ask(control.Get()), std::make_pair(S_OK, VARIANT_BOOL(0)));
    const std::string mapped = sandbox / "mapped\\server";
    std::wstring w = Wide(mapped);
    ASSERT_EQ(control->SetScriptServer(ov::BStr(w.c_str()).Get()), S_OK);
    ASSERT_EQ(control->Init(), S_OK);
    EXPECT_EQ(Ask(control.Get()), std::make_pair(S_OK, VARIANT_BOOL(1)));
    BSTR got = nullptr;
    ASSERT_EQ(control->get_ServerPath(&got), S_OK);
    EXPECT_EQ(FieldText(got), mapped);
    SysFreeString(got);

    // A server that loses its Orvan.ini makes the workstation incomplete again.
    DeleteFileA((mapped + "\\Orvan.ini").c_str());
    EXPECT_EQ(Ask(control.Get()), std::make_pair(S_OK, VARIANT_BOOL(0)));
    EXPECT_FALSE(PathExists(wkstn));
}
