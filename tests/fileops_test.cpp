// CopyFile, CreateDir and GetFreeDiskSpace through the registered control, on real files.
#include <gtest/gtest.h>

#include <cstdlib>

#include "fileops/free_space.h"
#include "support/dialog_responder.h"
#include "support/test_support.h"

using namespace ovtest;

namespace {

class FileOpsTest : public ::testing::Test {
protected:
    void SetUp() override { control_ = CreateControl(); }

    HRESULT Copy(const std::string& name, const std::string& from, const std::string& to) {
        ov::BStr n(Wide(name).c_str()), f(Wide(from).c_str()), t(Wide(to).c_str());
        return control_->CopyFile(n.Get(), f.Get(), t.Get());
    }
    HRESULT MakeDir(const std::string& path) {
        ov::BStr p(Wide(path).c_str());
        return control_->CreateDir(p.Get());
    }
    HRESULT FreeSpace(const std::string& drive, ULONG* out) {
        ov::BStr d(Wide(drive).c_str());
        return control_->GetFreeDiskSpace(d.Get(), out);
    }
    // The one message box expected, with its reason line.
    void ExpectOneBox(const std::string& reasonPart) {
        ASSERT_EQ(responder_.Shown().size(), 1u);
        EXPECT_EQ(responder_.Shown()[0].title, "OVCustomInstall Error");
        EXPECT_NE(responder_.Shown()[0].text.find(reasonPart), std::string::npos) << responder_.Shown()[0].text;
    }
    bool LogHas(const std::string& text) const { return sandbox_.LogText().find(text) != std::string::npos; }

    InstallSandbox sandbox_;
    DialogResponder responder_;
    ov::ComPtr<IOVCustInst> control_;
};

std::string FileNameOf(size_t length) {
    std::string s(length - 4, 'f');
    return s + ".txt";
}

// Nested directories inside base until the path is exactly `length` characters long.
std::string DirOfLength(const std::string& base, size_t length) {
    std::string dir = base;
    while (dir.size() < length) {
        size_t room = length - dir.size() - 1;
        dir += "\\" + std::string(room > 60 ? 60 : room, 'd');
        if (length - dir.size() == 1) dir.back() = 'e', dir += "e";  // never leave a 1-char gap
    }
    return dir.substr(0, length);
}

}  // namespace

TEST_F(FileOpsTest, CopyAddsTheSeparatorOnlyWhereMissingAndOverwrites) {
    std::string src = sandbox_ / "src", dst = sandbox_ / "dst";
    CreateDirectoryA(src.c_str(), nullptr);
    CreateDirectoryA(dst.c_str(), nullptr);
    WriteFileText(src + "\\a.txt", "first");
    ASSERT_EQ(Copy("a.txt", src, dst + "\\"), S_OK);
    EXPECT_EQ(ReadFileText(dst + "\\a.txt"), "first");

    WriteFileText(src + "\\a.txt", "second");
    ASSERT_EQ(Copy("a.txt", src + "\\", dst), S_OK);
    EXPECT_EQ(ReadFileText(dst + "\\a.txt"), "second");
    EXPECT_TRUE(responder_.Shown().empty());
    EXPECT_EQ(sandbox_.LogText(), "");
}

TEST_F(FileOpsTest, CopyLengthLimitsCountNameWithEachDirectory) {
    // Within the platform's path limit the copy goes through.
    std::string shortDir = DirOfLength(sandbox_.Path(), 198);
    ASSERT_EQ(MakeDir(shortDir), S_OK);
    std::string name = FileNameOf(60);
    WriteFileText(shortDir + "\\" + name, "long");
    std::string copyDir = shortDir.substr(0, shortDir.size() - 1) + "c";
    ASSERT_EQ(MakeDir(copyDir), S_OK);
    EXPECT_EQ(Copy(name, shortDir, copyDir), S_OK);
    EXPECT_EQ(ReadFileText(copyDir + "\\" + name), "long");
    EXPECT_TRUE(responder_.Shown().empty());

    // 200 + 60 = 260 passes the length checks; the joined 261-character path is the
    // platform's to refuse, and is reported with the full texts, not as a bad argument.
    std::string dir = DirOfLength(sandbox_.Path(), 200);
    ASSERT_EQ(dir.size(), 200u);
    EXPECT_EQ(Copy(name, dir, dir), HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE));
    EXPECT_FALSE(LogHas("Length Invalid"));
    EXPECT_TRUE(LogHas("szSourceDir: " + dir + "\\" + name + "\r\n"));

    // 200 + 61 fails on the source directory before the (empty) destination is looked at.
    responder_.Clear();
    EXPECT_EQ(Copy(FileNameOf(61), dir, ""), E_INVALIDARG);
    ExpectOneBox("");
    EXPECT_TRUE(LogHas("bstrSourceDir: Length Invalid\r\n"));
    EXPECT_FALSE(LogHas("bstrDestDir: "));
}

TEST_F(FileOpsTest, EmptyOrOverlongArgumentsNameTheirLabel) {
    ULONG space = 7;
    struct Case {
        HRESULT hr;
        const char* label;
    } cases[] = {
        {Copy("", "C:\\", "C:\\"), "bstrFileName: "},
        {Copy(std::string(261, 'x'), "C:\\", "C:\\"), "bstrFileName: "},
        {Copy("a.txt", "", "C:\\"), "bstrSourceDir: "},
        {Copy("a.txt", "C:\\", ""), "bstrDestDir: "},
        {Copy("a.txt", "C:\\", std::string(256, 'x')), "bstrDestDir: "},
        {MakeDir(""), "bstrDirPath: "},
        {MakeDir(std::string(261, 'x')), "bstrDirPath: "},
        {FreeSpace("", &space), "bstrDrive: "},
        {FreeSpace(std::string(261, 'C'), &space), "bstrDrive: "},
    };
    std::string log = sandbox_.LogText();
    size_t at = 0;
    for (const Case& c : cases) {
        EXPECT_EQ(c.hr, E_INVALIDARG) << c.label;
        // Records appear in call order, each with its label and "Length Invalid".
        size_t found = log.find(std::string(c.label) + "Length Invalid\r\n", at);
        EXPECT_NE(found, std::string::npos) << c.label;
        if (found != std::string::npos) at = found + 1;
    }
    EXPECT_EQ(responder_.Shown().size(), std::size(cases));
    EXPECT_EQ(space, 7u);
}

TEST_F(FileOpsTest, CopyOfMissingSourceReportsTheThreeFullPaths) {
    std::string src = sandbox_.Path(), dst = sandbox_ / "dst";
    EXPECT_EQ(Copy("gone.txt", src, dst), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    ExpectOneBox("");
    EXPECT_TRUE(LogHas("HRESULT: 80070002\r\n"));
    EXPECT_TRUE(LogHas("szFileName: gone.txt\r\nszSourceDir: " + src + "\\gone.txt\r\nszDestDir: " + dst +
                       "\\gone.txt\r\n"));
}

TEST_F(FileOpsTest, CreateDirMakesEveryMissingParentAndIsQuietWhenPresent) {
    std::string a = sandbox_ / "a";
    CreateDirectoryA(a.c_str(), nullptr);
    ASSERT_EQ(MakeDir(a + "\\b\\c"), S_OK);
    EXPECT_TRUE(GetFileAttributesA((a + "\\b\\c").c_str()) & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(MakeDir(a + "\\b\\c"), S_OK);
    // A trailing backslash creates the last component too.
    ASSERT_EQ(MakeDir(a + "\\t\\u\\"), S_OK);
    EXPECT_TRUE(PathExists(a + "\\t\\u"));
    // Something that exists as a file counts as present.
    WriteFileText(a + "\\file", "x");
    EXPECT_EQ(MakeDir(a + "\\file"), S_OK);
    EXPECT_TRUE(responder_.Shown().empty());
    EXPECT_EQ(sandbox_.LogText(), "");
}

TEST_F(FileOpsTest, CreateDirReportsTheComponentThatFailed) {
    // A file in the way of an intermediate directory: that prefix is reported.
    WriteFileText(sandbox_ / "file", "x");
    std::string blocked = sandbox_ / "file\\sub\\leaf";
    HRESULT hr = MakeDir(blocked);
    EXPECT_TRUE(FAILED(hr));
    EXPECT_EQ(HRESULT_FACILITY(hr), FACILITY_WIN32);
    ExpectOneBox("");
    EXPECT_TRUE(LogHas("szDirPath: " + (sandbox_ / "file\\sub") + "\r\n"));

    // A leading backslash fails at once on the empty prefix.
    responder_.Clear();
    EXPECT_TRUE(FAILED(MakeDir("\\share\\dir")));
    ExpectOneBox("");
    EXPECT_TRUE(LogHas("szDirPath: \r\n"));
}

TEST_F(FileOpsTest, CreateDirOnAMissingDriveReportsTheFirstMissingPrefix) {
    HRESULT hr = MakeDir("Q:\\nodrive\\x");
    EXPECT_TRUE(FAILED(hr));
    // The root "Q:\" is never created; the first prefix tried is "Q:\nodrive".
    EXPECT_TRUE(LogHas("szDirPath: Q:\\nodrive\r\n"));
}

TEST_F(FileOpsTest, CreateDirReportsTheWholePathWhenOnlyTheLastComponentFails) {
    // Every prefix exists (one of them as a file), so only the final creation fails.
    WriteFileText(sandbox_ / "file", "x");
    std::string path = sandbox_ / "file\\leaf";
    HRESULT hr = MakeDir(path);
    EXPECT_TRUE(FAILED(hr));
    EXPECT_EQ(HRESULT_FACILITY(hr), FACILITY_WIN32);
    ExpectOneBox("");
    EXPECT_TRUE(LogHas("szDirPath: " + path + "\r\n"));
}

TEST_F(FileOpsTest, FreeSpaceUsesTheFirstLetterAndSaturates) {
    ULARGE_INTEGER avail, total, free;
    ASSERT_TRUE(GetDiskFreeSpaceExA("C:\\", &avail, &total, &free));
    ULONG a = 0, b = 0, c = 0;
    ASSERT_EQ(FreeSpace("c", &a), S_OK);
    ASSERT_EQ(FreeSpace("C:", &b), S_OK);
    ASSERT_EQ(FreeSpace("C:\\some\\dir", &c), S_OK);
    if (free.QuadPart <= 0xFFFFFFFFull) GTEST_SKIP() << "drive C: has 4 GiB or less free";
    EXPECT_EQ(a, 0xFFFFFFFFu);
    EXPECT_EQ(b, 0xFFFFFFFFu);
    EXPECT_EQ(c, 0xFFFFFFFFu);
    EXPECT_TRUE(responder_.Shown().empty());
}

TEST_F(FileOpsTest, FreeSpaceOfAMissingDriveLeavesTheResultAlone) {
    ULONG space = 12345;
    HRESULT hr = FreeSpace("Q", &space);
    EXPECT_TRUE(FAILED(hr));
    EXPECT_EQ(HRESULT_FACILITY(hr), FACILITY_WIN32);
    EXPECT_EQ(space, 12345u);
    ExpectOneBox("");
    EXPECT_TRUE(LogHas("szDrive: Q:\\\r\n"));
}

TEST_F(FileOpsTest, FreeSpaceOfASmallDriveIsExact) {
    const char* drive = std::getenv("OV_SMALL_DRIVE");
    if (!drive) GTEST_SKIP() << "no small drive mounted (scripts/test.sh mounts one as root)";
    ULARGE_INTEGER avail, total, free;
    ASSERT_TRUE(GetDiskFreeSpaceExA((std::string(drive) + "\\").c_str(), &avail, &total, &free));
    ULONG space = 0;
    ASSERT_EQ(FreeSpace(drive, &space), S_OK);
    EXPECT_EQ(space, free.QuadPart);
    EXPECT_LT(space, 1024u * 1024u);
}

TEST(FreeBytes, ProductSaturatesInsteadOfWrapping) {
    EXPECT_EQ(ov::FreeBytesSaturated(8, 512, 10), 40960u);
    EXPECT_EQ(ov::FreeBytesSaturated(1, 1, 0xFFFFFFFFu), 0xFFFFFFFFu);
    EXPECT_EQ(ov::FreeBytesSaturated(2, 0x80000000u, 1), 0xFFFFFFFFu);      // 2^32 exactly
    EXPECT_EQ(ov::FreeBytesSaturated(0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu), 0xFFFFFFFFu);  // past 64 bits
    EXPECT_EQ(ov::FreeBytesSaturated(0x10000u, 0x10000u, 0x10000u), 0xFFFFFFFFu);  // 2^48
    EXPECT_EQ(ov::FreeBytesSaturated(0, 512, 100), 0u);
}

TEST(FreeBytes, ThresholdIsMoreThan128000BytesNot128KiB) {
    EXPECT_FALSE(ov::EnoughSpace(0));
    EXPECT_FALSE(ov::EnoughSpace(128000));
    EXPECT_TRUE(ov::EnoughSpace(128001));
    EXPECT_TRUE(ov::EnoughSpace(131071));
    EXPECT_TRUE(ov::EnoughSpace(0xFFFFFFFFu));
}
