// CopyOVCustomFilesFromINF through the registered control, with real files in the download,
// Windows and SYSTEM directories of the prefix.
#include <gtest/gtest.h>

#include "support/test_support.h"

using namespace ovtest;

namespace {

class CustomFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        dos.Set(sandbox / "local");
        control->SetScriptServer(ov::BStr(Wide(server).c_str()).Get());
        ASSERT_EQ(control->Init(), S_OK);
        ov::BStr download;
        control->get_DownloadPath(download.Put());
        downloads = Narrow(download.Get());
        CreateDirectoryA(downloads.c_str(), nullptr);
    }
    void TearDown() override {
        for (const std::string& f : placed) DeleteFileA(f.c_str());
        if (madeSystem) RemoveDirectoryA((windows + "\\SYSTEM").c_str());
    }
    // A file the download left behind, with its own name as content.
    void Downloaded(const std::string& dir, const std::string& name) {
        placed.push_back(dir + "\\" + name);
        WriteFileText(placed.back(), name);
    }
    HRESULT Copy(const std::string& inf) { return control->CopyOVCustomFilesFromINF(ov::BStr(Wide(inf).c_str()).Get()); }

    InstallSandbox sandbox;
    RegistryValueGuard dos{"Software\\Orvanta", "DOSInstallPath"};
    const std::string server = sandbox / "server", local = sandbox / "local\\Pellar", windows = "C:\\windows";
    std::string downloads;
    std::vector<std::string> placed;
    bool madeSystem = false;  // a 64-bit prefix may have no SYSTEM directory
    ov::ComPtr<IOVCustInst> control = CreateControl();
};

}  // namespace

TEST_F(CustomFilesTest, EachSectionsFileGoesWhereItsKeysSay) {
    Downloaded(downloads, "ov-a.dat");
    Downloaded(windows, "ov-b.dat");
    madeSystem = CreateDirectoryA((windows + "\\SYSTEM").c_str(), nullptr) != FALSE;
    Downloaded(windows + "\\SYSTEM", "ov-c.dat");
    Downloaded(downloads, "ov-d.dat");
    Downloaded(downloads, "ov-e.dat");
    // 258 characters of comment, then the rest of that line read as a line of its own.
    const std::string longLine = "; " + std::string(256, '-') + "OVSRVDest=Help";
    WriteFileText(sandbox / "custom.inf",
                  "[Version]\r\nsignature=\"$CHICAGO$\"\r\n"
                  "[ov-a.dat]\r\nfile-win32-x86=thiscab\r\nOVSRVDest=Apps\r\n"
                  "[ov-b.dat]\r\nDestDir=10\r\nOVPLWKSTNDest=prod\r\n"
                  "[ov-c.dat]\r\nDestDir=11\r\nOVPLWKSTNDest=elsewhere\r\n"
                  "[ov-d.dat]\r\n" + longLine + "\r\n"
                  "[ov-e.dat]\r\nOVSRVDest=File");  // the last line has no line feed
    DialogResponder responder;
    EXPECT_EQ(Copy(sandbox / "custom.inf"), S_OK);
    const struct {
        std::string copy, from;
    } rows[] = {
        {server + "\\Apps\\ov-a.dat", "ov-a.dat"},
        {local + "\\Scripts\\Prod\\ov-b.dat", "ov-b.dat"},
        {local + "\\ov-c.dat", "ov-c.dat"},  // a value that names no directory: the base
        {server + "\\Help\\ov-d.dat", "ov-d.dat"},
        {server + "\\Scripts\\File\\ov-e.dat", "ov-e.dat"},
    };
    for (const auto& row : rows) EXPECT_EQ(ReadFileText(row.copy), row.from) << row.copy;
    EXPECT_EQ(sandbox.LogText(), "");
}

TEST_F(CustomFilesTest, TheFirstFailureEndsTheCopyAndIsReturned) {
    Downloaded(downloads, "ov-first.dat");
    Downloaded(downloads, "ov-third.dat");
    WriteFileText(sandbox / "three.inf", "[ov-first.dat]\nOVSRVDest=Apps\n[ov-missing.dat]\nOVSRVDest=Apps\n"
                                         "[ov-third.dat]\nOVSRVDest=Apps\n");
    static const char garbage[] = "\0\x1a[\xff]\r\r\n=OVSRVDest\0[]OVSRVDest=Apps";
    WriteFileText(sandbox / "garbage.inf", std::string(garbage, sizeof garbage - 1) + std::string(5000, '\x01'));
    const struct {
        const char* name;
        std::string inf;
        HRESULT hr;
        std::vector<std::string> codes;  // the first with its box, a repeat of a callee's without
    } rows[] = {
        {"a copy fails in the middle", sandbox / "three.inf", HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND),
         {"80070002", "80070002"}},
        {"binary garbage", sandbox / "garbage.inf", S_OK, {}},
        {"missing INF", sandbox / "none.inf", HRESULT_FROM_WIN32(ERROR_OPEN_FAILED), {"8007006E"}},
        {"empty path", "", E_INVALIDARG, {"80070057"}},
        {"path too long", "C:\\" + std::string(258, 'i'), E_INVALIDARG, {"80070057"}},
    };
    for (const auto& row : rows) {
        DeleteFileA((sandbox / "OVCILog.txt").c_str());
        DialogResponder responder;
        EXPECT_EQ(Copy(row.inf), row.hr) << row.name;
        std::vector<std::string> codes;
        for (const ParsedRecord& r : SplitLogRecords(sandbox.LogText()).records) codes.push_back(r.code);
        EXPECT_EQ(codes, row.codes) << row.name;
        EXPECT_EQ(responder.Shown().size(), row.codes.empty() ? 0u : 1u) << row.name;
    }
    EXPECT_TRUE(PathExists(server + "\\Apps\\ov-first.dat"));  // copied before the failure stays
    EXPECT_FALSE(PathExists(server + "\\Apps\\ov-third.dat"));
    EXPECT_NE(sandbox.LogText().find("bstrINFPath: Length Invalid"), std::string::npos);
}

// ASCII text as a Unicode file holds it: the byte-order mark FF FE, then each character
// followed by a zero byte.
static std::string SavedAsUnicode(const std::string& ascii) {
    std::string out = "\xff\xfe";
    for (char c : ascii) out += std::string(1, c) + '\0';
    return out;
}

TEST_F(CustomFilesTest, ACtrlZEndsTheInfAndAPathTooLongOrAUnicodeInfIsRefusedWithItsRecord) {
    Downloaded(downloads, "ov-read.dat");
    Downloaded(downloads, "ov-after.dat");
    // A scripting directory whose name alone fits, but not with the server before it and the
    // backup directory after it.
    const std::string scripting(250, 's');
    ASSERT_TRUE(WritePrivateProfileStringA("Scripting", "ScriptingPath", scripting.c_str(),
                                           (server + "\\Orvan.ini").c_str()));
    const struct {
        const char* name;
        std::string inf;
        HRESULT hr;
        std::string record;  // code and pieces, or empty for none
        std::vector<std::string> copied, absent;
    } rows[] = {
        {"Ctrl-Z ends the INF", "[ov-read.dat]\r\nOVSRVDest=Apps\r\n\x1a\r\n[ov-after.dat]\r\nOVSRVDest=Apps\r\n", S_OK, "",
         {server + "\\Apps\\ov-read.dat"}, {server + "\\Apps\\ov-after.dat"}},
        {"an INF saved as Unicode", SavedAsUnicode("[ov-read.dat]\r\nOVSRVDest=Help\r\n"),
         HRESULT_FROM_WIN32(ERROR_INVALID_DATA), "8007000D szINFPath: " + (sandbox / "row.inf") + "\r\n", {},
         {server + "\\Help\\ov-read.dat"}},
        {"destination too long", "[ov-after.dat]\r\nOVSRVDest=Backup\r\n", HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE),
         "800700CE szFileName: ov-after.dat\r\nszDestDir: Length Invalid\r\n", {}, {}},
    };
    for (const auto& row : rows) {
        DeleteFileA((sandbox / "OVCILog.txt").c_str());
        WriteFileText(sandbox / "row.inf", row.inf);
        DialogResponder responder;
        EXPECT_EQ(Copy(sandbox / "row.inf"), row.hr) << row.name;
        std::string record;
        for (const ParsedRecord& r : SplitLogRecords(sandbox.LogText()).records)
            record += r.code + " " + r.tail.substr(r.tail.find("\r\n") + 2);
        EXPECT_EQ(record, row.record) << row.name;
        EXPECT_EQ(responder.Shown().size(), row.record.empty() ? 0u : 1u) << row.name;
        for (const std::string& f : row.copied) EXPECT_EQ(ReadFileText(f), f.substr(f.rfind('\\') + 1)) << row.name;
        for (const std::string& f : row.absent) EXPECT_FALSE(PathExists(f)) << row.name << ": " << f;
    }
}
