// CopyFile, CreateDir and GetFreeDiskSpace through the registered control, on real files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <tuple>

#include "fileops/free_space.h"
#include "support/dialog_responder.h"
#include "support/layout_support.h"

using namespace ovtest;

namespace {

class FileOpsTest : public ::testing::Test {
protected:
    void SetUp() override { control_ = CreateControl(); }

    HRESULT Copy(const std::string& name, const std::string& from, const std::string& to) {
        return control_->CopyFile(ov::BStr::FromAnsi(name.c_str()).Get(), ov::BStr::FromAnsi(from.c_str()).Get(),
                                  ov::BStr::FromAnsi(to.c_str()).Get());
    }
    HRESULT MakeDir(const std::string& path) { return control_->CreateDir(ov::BStr::FromAnsi(path.c_str()).Get()); }
    HRESULT FreeSpace(const std::string& drive, ULONG* out) {
        return control_->GetFreeDiskSpace(ov::BStr::FromAnsi(drive.c_str()).Get(), out);
    }
    bool LogHas(const std::string& text) const { return sandbox_.LogText().find(text) != std::string::npos; }
    bool Quiet() const { return responder_.Shown().empty() && sandbox_.LogText().empty(); }

    InstallSandbox sandbox_;
    DialogResponder responder_;
    ov::ComPtr<IOVCustInst> control_;
};

// Nested directories inside base until the path is exactly `length` characters long.
std::string DirOfLength(const std::string& base, size_t length) {
    std::string dir = base;
    while (dir.size() < length) {
        size_t room = length - dir.size() - 1;
        dir += "\\" + std::string(room > 60 ? 60 : room, 'd');
        if (length - dir.size() == 1) dir.back() = 'e', dir += "e";  // never leave a 1-char gap
    }
    return dir;
}

}  // namespace

TEST_F(FileOpsTest, CopyAddsTheSeparatorOnlyWhereMissingAndOverwrites) {
    const std::string src = sandbox_ / "src", dst = sandbox_ / "dst";
    CreateDirectoryA(src.c_str(), nullptr);
    CreateDirectoryA(dst.c_str(), nullptr);
    for (const auto& [text, from, to] : {std::tuple<const char*, std::string, std::string>{"first", src, dst + "\\"},
                                         {"second", src + "\\", dst}}) {
        WriteFileText(src + "\\a.txt", text);
        ASSERT_EQ(Copy("a.txt", from, to), S_OK) << text;
        EXPECT_EQ(ReadFileText(dst + "\\a.txt"), text);
    }
    EXPECT_TRUE(Quiet());
}

TEST_F(FileOpsTest, CreateDirMakesEveryMissingParentAndIsQuietWhenPresent) {
    const std::string a = sandbox_ / "a";
    WriteFileText(sandbox_ / "file", "x");
    // Again when present; with a trailing backslash; something that exists as a file counts as present.
    for (const std::string& path : {a + "\\b\\c", a + "\\b\\c", a + "\\t\\u\\", sandbox_ / "file"}) {
        ASSERT_EQ(MakeDir(path), S_OK) << path;
        EXPECT_TRUE(PathExists(path)) << path;
    }
    EXPECT_TRUE(Quiet());
}

TEST_F(FileOpsTest, CopyLengthLimitsCountTheNameWithEachDirectory) {
    // Within the platform's path limit the copy goes through.
    const std::string name = std::string(56, 'f') + ".txt", shortDir = DirOfLength(sandbox_.Path(), 198);
    const std::string copyDir = shortDir.substr(0, shortDir.size() - 1) + "c";
    ASSERT_EQ(MakeDir(shortDir), S_OK);
    ASSERT_EQ(MakeDir(copyDir), S_OK);
    WriteFileText(shortDir + "\\" + name, "long");
    EXPECT_EQ(Copy(name, shortDir, copyDir), S_OK);
    EXPECT_EQ(ReadFileText(copyDir + "\\" + name), "long");
    EXPECT_TRUE(Quiet());

    // 200 + 60 = 260 passes the length checks; the joined 261-character path is the
    // platform's to refuse, and is reported with the full texts, not as a bad argument.
    const std::string dir = DirOfLength(sandbox_.Path(), 200);
    ASSERT_EQ(dir.size(), 200u);
    EXPECT_EQ(Copy(name, dir, dir), HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE));
    EXPECT_FALSE(LogHas("Length Invalid"));
    EXPECT_TRUE(LogHas("szSourceDir: " + dir + "\\" + name + "\r\n"));
    // 200 + 61 fails on the source directory before the (empty) destination is looked at.
    EXPECT_EQ(Copy(name + "x", dir, ""), E_INVALIDARG);
    EXPECT_TRUE(LogHas("bstrSourceDir: Length Invalid\r\n"));
    EXPECT_FALSE(LogHas("bstrDestDir: "));
    EXPECT_EQ(responder_.Shown().size(), 2u);
}

TEST_F(FileOpsTest, EmptyOrOverlongArgumentsNameTheirLabel) {
    ULONG space = 7;
    const struct {
        HRESULT hr;
        const char* label;
    } rows[] = {
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
    const auto log = LogOf(sandbox_);
    ASSERT_EQ(log.size(), std::size(rows));
    for (size_t i = 0; i < std::size(rows); ++i) {
        EXPECT_EQ(rows[i].hr, E_INVALIDARG) << "row " << i;
        EXPECT_TRUE(EndsWithPieces(log[i].tail, std::string(rows[i].label) + "Length Invalid\r\n")) << "row " << i;
    }
    EXPECT_EQ(responder_.Shown().size(), std::size(rows));
    EXPECT_EQ(space, 7u);
}

TEST_F(FileOpsTest, PlatformFailuresReportThePathThatFailedWithTheBox) {
    WriteFileText(sandbox_ / "file", "x");
    ULONG space = 12345;
    const std::string src = sandbox_.Path(), dst = sandbox_ / "dst";
    const struct {
        std::function<HRESULT()> call;
        std::string pieces;
    } rows[] = {
        {[&] { return Copy("gone.txt", src, dst); },
         "szFileName: gone.txt\r\nszSourceDir: " + src + "\\gone.txt\r\nszDestDir: " + dst + "\\gone.txt\r\n"},
        {[&] { return MakeDir(sandbox_ / "file\\sub\\leaf"); }, "szDirPath: " + (sandbox_ / "file\\sub") + "\r\n"},
        {[&] { return MakeDir(sandbox_ / "file\\leaf"); }, "szDirPath: " + (sandbox_ / "file\\leaf") + "\r\n"},
        {[&] { return MakeDir("\\share\\dir"); }, "szDirPath: \r\n"},              // the empty first prefix
        {[&] { return MakeDir("Q:\\nodrive\\x"); }, "szDirPath: Q:\\nodrive\r\n"},  // a root is never created
        {[&] { return FreeSpace("Q", &space); }, "szDrive: Q:\\\r\n"},
    };
    for (size_t i = 0; i < std::size(rows); ++i) {
        const HRESULT hr = rows[i].call();
        EXPECT_TRUE(FAILED(hr) && HRESULT_FACILITY(hr) == FACILITY_WIN32) << "row " << i << ": " << HexCode(hr);
        const auto log = LogOf(sandbox_);
        ASSERT_EQ(log.size(), i + 1) << "row " << i;
        EXPECT_EQ(log[i].code, HexCode(hr)) << "row " << i;
        EXPECT_TRUE(EndsWithPieces(log[i].tail, rows[i].pieces)) << "row " << i << ": " << log[i].tail;
        EXPECT_EQ(responder_.Shown().size(), i + 1) << "row " << i;
    }
    EXPECT_EQ(space, 12345u);
}

TEST_F(FileOpsTest, FreeSpaceUsesTheFirstLetterAndSaturatesAndIsExactOnASmallDrive) {
    ULARGE_INTEGER free;
    ULONG space = 0;
    ASSERT_TRUE(GetDiskFreeSpaceExA("C:\\", nullptr, nullptr, &free));
    for (const char* drive : {"c", "C:", "C:\\some\\dir"}) {
        ASSERT_EQ(FreeSpace(drive, &space), S_OK) << drive;
        if (free.QuadPart > 0xFFFFFFFFull) { EXPECT_EQ(space, 0xFFFFFFFFu) << drive; }
    }
    EXPECT_TRUE(Quiet());
    const char* small = std::getenv("OV_SMALL_DRIVE");
    if (!small) GTEST_SKIP() << "no small drive mounted (scripts/test.sh mounts one as root)";
    ASSERT_TRUE(GetDiskFreeSpaceExA((std::string(small) + "\\").c_str(), nullptr, nullptr, &free));
    ASSERT_EQ(FreeSpace(small, &space), S_OK);
    EXPECT_EQ(space, free.QuadPart);
    EXPECT_LT(space, 1024u * 1024u);
}

TEST(FreeBytes, ProductSaturatesInsteadOfWrapping) {
    const std::uint32_t rows[][4] = {
        {8, 512, 10, 40960},
        {1, 1, 0xFFFFFFFFu, 0xFFFFFFFFu},
        {2, 0x80000000u, 1, 0xFFFFFFFFu},                         // 2^32 exactly
        {0x10000u, 0x10000u, 0x10000u, 0xFFFFFFFFu},              // 2^48
        {0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu},     // past 64 bits
        {0, 512, 100, 0},
    };
    for (const auto& r : rows) EXPECT_EQ(ov::FreeBytesSaturated(r[0], r[1], r[2]), r[3]) << r[0] << "x" << r[1] << "x" << r[2];
}
