// Arguments a hostile page may pass: look-alike path characters that the ANSI code page would
// map by best fit, a NUL inside the text, line breaks meant to forge log records, a value that
// reads like the end of a record's pieces. Each is
// refused or logged harmlessly, and the log still reads as whole records.
#include <gtest/gtest.h>

#include "support/test_support.h"

using namespace ovtest;

TEST(HostileArguments, AreRefusedWithTheirLabelAndCannotForgeLogRecords) {
    InstallSandbox sandbox;
    auto control = CreateControl();
    const std::wstring dir = Wide(sandbox.Path());
    auto bstr = [](const std::wstring& s) { return ov::BStr::Attach(SysAllocStringLen(s.data(), UINT(s.size()))); };
    const std::wstring fullwidthUp = L"\xFF3C\xFF0E\xFF0E\xFF3C";  // "＼．．＼": "\..\" by best fit
    const struct {
        const char* name;
        std::function<HRESULT()> call;
        HRESULT hr;
        std::string pieces;  // what the record holds after the reason
    } rows[] = {
        {"fullwidth separators in a file name",
         [&] { return control->CopyFile(bstr(L"x" + fullwidthUp + L"y").Get(), bstr(dir).Get(), bstr(dir).Get()); },
         E_INVALIDARG, "bstrFileName: Length Invalid\r\n"},
        {"fullwidth separators in a directory",
         [&] { return control->CreateDir(bstr(dir + fullwidthUp + L"x").Get()); }, E_INVALIDARG,
         "bstrDirPath: Length Invalid\r\n"},
        {"a NUL inside a directory",
         [&] { return control->CreateDir(bstr(dir + std::wstring(L"\\ok\0\\..\\x", 9)).Get()); }, E_INVALIDARG,
         "bstrDirPath: Length Invalid\r\n"},
        {"a NUL inside the package path",
         [&] { return control->RunSEE(bstr(dir + std::wstring(L"\\a.exe\0b", 8)).Get(), bstr(dir).Get()); },
         E_INVALIDARG, "bstrSEEPath: Length Invalid\r\n"},
        {"a NUL inside the mapped server",
         [&] { return control->SetScriptServer(bstr(dir + std::wstring(L"\\srv\0\\x", 7)).Get()); }, E_INVALIDARG,
         "bstrMappedScriptServer: Length Invalid\r\n"},
        {"a file named as the end of the pieces",
         [&] { return control->CopyFile(bstr(L"END").Get(), bstr(dir).Get(), bstr(dir).Get()); },
         HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND),
         "szFileName: END\r\nszSourceDir: " + sandbox.Path() + "\\END\r\nszDestDir: " + sandbox.Path() + "\\END\r\n"},
        {"a forged record in a file name",
         [&] {
             return control->CopyFile(bstr(L"a\r\nTime: (mm/dd/yy)   1/1/2000   0:0:0 \r\nFile:    x").Get(),
                                      bstr(dir).Get(), bstr(dir).Get());
         },
         HRESULT_FROM_WIN32(ERROR_INVALID_NAME),
         "szFileName: a\\r\\nTime: (mm/dd/yy)   1/1/2000   0:0:0 \\r\\nFile:    x\r\n"},
    };
    for (const auto& row : rows) {
        DeleteFileA((sandbox / "OVCILog.txt").c_str());
        DialogResponder responder;
        EXPECT_EQ(row.call(), row.hr) << row.name;
        const ParsedLog log = SplitLogRecords(sandbox.LogText());
        ASSERT_EQ(log.error, "") << row.name;
        ASSERT_EQ(log.records.size(), 1u) << row.name;
        EXPECT_NE(log.records[0].tail.find("\n" + row.pieces), std::string::npos) << row.name << log.records[0].tail;
        EXPECT_EQ(responder.Shown().size(), 1u) << row.name;
    }
    EXPECT_FALSE(PathExists(sandbox / "x"));
}
