// File operations in a double-byte ANSI code page (932), where one character can take two
// bytes and a trail byte can equal a backslash. Run with LC_ALL=ja_JP.UTF-8 (see
// CMakeLists.txt); in other code pages they skip.
#include <gtest/gtest.h>

#include <cstdlib>
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
        root_ = Wide(sandbox_.Path());
    }

    static bool WideDirExists(const std::wstring& path) {
        DWORD a = GetFileAttributesW(path.c_str());
        return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
    }

    // Names in a directory, without "." and "..".
    static std::vector<std::wstring> Entries(const std::wstring& dir) {
        std::vector<std::wstring> names;
        WIN32_FIND_DATAW fd;
        HANDLE h = FindFirstFileW((dir + L"\\*").c_str(), &fd);
        if (h == INVALID_HANDLE_VALUE) return names;
        do {
            std::wstring n = fd.cFileName;
            if (n != L"." && n != L"..") names.push_back(n);
        } while (FindNextFileW(h, &fd));
        FindClose(h);
        return names;
    }

    InstallSandbox sandbox_;
    DialogResponder responder_;
    ov::ComPtr<IOVCustInst> control_;
    std::wstring root_;
};

// U+8868 is 0x95 0x5C in code page 932: its trail byte is a backslash.
const wchar_t kTrailBackslash[] = L"\x8868";

}  // namespace

TEST_F(DoubleByteCodePage, CreateDirDoesNotSplitACharacterAtItsTrailByte) {
    const std::wstring name = std::wstring(L"a") + kTrailBackslash;
    std::wstring path = root_ + L"\\" + name + L"\\sub";
    ov::BStr arg(path.c_str());
    ASSERT_EQ(control_->CreateDir(arg.Get()), S_OK);
    EXPECT_TRUE(WideDirExists(path));
    EXPECT_TRUE(responder_.Shown().empty());
    // Nothing was made from half a character (such as a directory "a").
    EXPECT_EQ(Entries(root_), std::vector<std::wstring>{name});
}

TEST_F(DoubleByteCodePage, CopyAddsTheSeparatorAfterATrailBackslash) {
    std::wstring dir = root_ + L"\\" + kTrailBackslash;
    ASSERT_TRUE(CreateDirectoryW(dir.c_str(), nullptr));
    HANDLE h = CreateFileW((dir + L"\\a.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
    ov::BStr name(L"a.txt"), from(dir.c_str()), to(root_.c_str());
    EXPECT_EQ(control_->CopyFile(name.Get(), from.Get(), to.Get()), S_OK);
    EXPECT_NE(GetFileAttributesW((root_ + L"\\a.txt").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(DoubleByteCodePage, TextThatGrowsPastTheBufferIsRefused) {
    // 200 characters pass the count check but take 400 bytes once converted.
    std::wstring longPath = root_ + L"\\" + std::wstring(200, L'\x3042');
    ASSERT_LE(longPath.size(), 260u);
    ov::BStr dirArg(longPath.c_str());
    EXPECT_EQ(control_->CreateDir(dirArg.Get()), E_INVALIDARG);

    ov::BStr name(L"a.txt"), bigDir(longPath.c_str()), root(root_.c_str());
    EXPECT_EQ(control_->CopyFile(name.Get(), bigDir.Get(), root.Get()), E_INVALIDARG);
    EXPECT_EQ(control_->CopyFile(name.Get(), root.Get(), bigDir.Get()), E_INVALIDARG);

    ULONG space = 5;
    ov::BStr fits((L"C" + std::wstring(129, L'\x3042')).c_str());
    ov::BStr tooBig((L"C" + std::wstring(130, L'\x3042')).c_str());
    EXPECT_EQ(control_->GetFreeDiskSpace(fits.Get(), &space), S_OK);  // 259 bytes
    ULONG untouched = 5;
    EXPECT_EQ(control_->GetFreeDiskSpace(tooBig.Get(), &untouched), E_INVALIDARG);  // 261 bytes
    EXPECT_EQ(untouched, 5u);

    std::string log = sandbox_.LogText();
    EXPECT_NE(log.find("bstrDirPath: Length Invalid"), std::string::npos);
    EXPECT_NE(log.find("bstrSourceDir: Length Invalid"), std::string::npos);
    EXPECT_NE(log.find("bstrDestDir: Length Invalid"), std::string::npos);
    EXPECT_NE(log.find("bstrDrive: Length Invalid"), std::string::npos);
    EXPECT_EQ(responder_.Shown().size(), 4u);
}
