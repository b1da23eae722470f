// File operations in a double-byte ANSI code page (932), where one character can take two
// bytes and a trail byte can equal a backslash. ctest runs them with LC_ALL=ja_JP.UTF-8 (see
// CMakeLists.txt); in other code pages they skip.
#include <gtest/gtest.h>

#include <vector>

#include "support/dialog_responder.h"
#include "support/test_support.h"

using namespace ovtest;

namespace {

class DoubleByteCodePage : public ::testing::Test {
protected:
    void SetUp() override {
        if (GetACP() != 932) GTEST_SKIP() << "needs the ANSI code page 932";
        control_ = CreateControl();
    }
    HRESULT Copy(const std::wstring& name, const std::wstring& from, const std::wstring& to) {
        return control_->CopyFile(ov::BStr(name.c_str()).Get(), ov::BStr(from.c_str()).Get(), ov::BStr(to.c_str()).Get());
    }

    InstallSandbox sandbox_;
    DialogResponder responder_;
    ov::ComPtr<IOVCustInst> control_;
    const std::wstring root_ = Wide(sandbox_.Path());
    const std::wstring trailBackslash_ = L"\x8868";  // 0x95 0x5C in code page 932
};

}  // namespace

TEST_F(DoubleByteCodePage, CreateDirDoesNotSplitACharacterAtItsTrailByte) {
    const std::wstring name = L"a" + trailBackslash_, path = root_ + L"\\" + name + L"\\sub";
    ASSERT_EQ(control_->CreateDir(ov::BStr(path.c_str()).Get()), S_OK);
    EXPECT_NE(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(responder_.Shown().empty());
    // Nothing was made from half a character (such as a directory "a").
    std::vector<std::wstring> entries;
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((root_ + L"\\*").c_str(), &fd);
    for (BOOL more = h != INVALID_HANDLE_VALUE; more; more = FindNextFileW(h, &fd))
        if (fd.cFileName[0] != L'.') entries.push_back(fd.cFileName);
    FindClose(h);
    EXPECT_EQ(entries, std::vector<std::wstring>{name});
}

TEST_F(DoubleByteCodePage, CopyAddsTheSeparatorAfterATrailBackslash) {
    const std::wstring dir = root_ + L"\\" + trailBackslash_;
    ASSERT_TRUE(CreateDirectoryW(dir.c_str(), nullptr));
    CloseHandle(CreateFileW((dir + L"\\a.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    EXPECT_EQ(Copy(L"a.txt", dir, root_), S_OK);
    EXPECT_NE(GetFileAttributesW((root_ + L"\\a.txt").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(DoubleByteCodePage, TextThatGrowsPastTheBufferIsRefused) {
    // 200 characters pass a count of characters but take 400 bytes once converted.
    const std::wstring longPath = root_ + L"\\" + std::wstring(200, L'\x3042');
    ASSERT_LE(longPath.size(), 260u);
    EXPECT_EQ(control_->CreateDir(ov::BStr(longPath.c_str()).Get()), E_INVALIDARG);
    EXPECT_EQ(Copy(L"a.txt", longPath, root_), E_INVALIDARG);
    EXPECT_EQ(Copy(L"a.txt", root_, longPath), E_INVALIDARG);
    ULONG space = 5;
    const std::wstring fits = L"C" + std::wstring(129, L'\x3042'), tooBig = fits + L"\x3042";  // 259, 261 bytes
    EXPECT_EQ(control_->GetFreeDiskSpace(ov::BStr(fits.c_str()).Get(), &space), S_OK);
    space = 5;
    EXPECT_EQ(control_->GetFreeDiskSpace(ov::BStr(tooBig.c_str()).Get(), &space), E_INVALIDARG);
    EXPECT_EQ(space, 5u);

    const std::string log = sandbox_.LogText();
    for (const char* label : {"bstrDirPath: ", "bstrSourceDir: ", "bstrDestDir: ", "bstrDrive: "})
        EXPECT_NE(log.find(std::string(label) + "Length Invalid"), std::string::npos) << label;
    EXPECT_EQ(responder_.Shown().size(), 4u);
}
