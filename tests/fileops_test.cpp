// CopyFile, CreateDir and GetFreeDiskSpace through the registered control on real files, also in
// a double-byte ANSI code page.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <tuple>

#include "fileops/free_space.h"
#include "support/layout_support.h"

using namespace ovtest;

namespace {

class FileOpsTest : public ::testing::Test {
protected:
    HRESULT Copy(const std::string& name, const std::string& from, const std::string& to) {
        return control->CopyFile(Text(name).Get(), Text(from).Get(), Text(to).Get());
    }
    HRESULT MakeDir(const std::string& path) { return control->CreateDir(Text(path).Get()); }
    HRESULT FreeSpace(const std::string& drive, ULONG* to) { return control->GetFreeDiskSpace(Text(drive).Get(), to); }
    static ov::BStr Text(const std::string& s) { return ov::BStr::FromAnsi(s.c_str()); }
    // Each record's tail ends with its own of these pieces, and each showed a box.
    void ExpectReports(const std::vector<std::string>& pieces) {
        const auto log = LogOf(sandbox);
        ASSERT_EQ(log.size(), pieces.size()) << sandbox.LogText();
        for (size_t i = 0; i < pieces.size(); ++i) EXPECT_TRUE(EndsWithPieces(log[i].tail, pieces[i])) << log[i].tail;
        EXPECT_EQ(responder.Shown().size(), pieces.size());
    }

    InstallSandbox sandbox;
    DialogResponder responder;
    ov::ComPtr<IOVCustInst> control = CreateControl();
};

}  // namespace

TEST_F(FileOpsTest, CopyAddsTheSeparatorOnlyWhereMissingOverwritesAndCreateDirMakesEveryParent) {
    const std::string src = sandbox / "src", dst = sandbox / "dst", a = sandbox / "a";
    CreateDirectoryA(src.c_str(), nullptr);
    CreateDirectoryA(dst.c_str(), nullptr);
    for (const auto& [text, from, to] : {std::tuple<const char*, std::string, std::string>{"first", src, dst + "\\"},
                                         {"second", src + "\\", dst}}) {
        WriteFileText(src + "\\a.txt", text);
        ASSERT_EQ(Copy("a.txt", from, to), S_OK) << text;
        EXPECT_EQ(ReadFileText(dst + "\\a.txt"), text);
    }
    // Again when present; with a trailing backslash; something that exists as a file is present.
    for (const std::string& path : {a + "\\b\\c", a + "\\b\\c", a + "\\t\\u\\", src + "\\a.txt"}) {
        ASSERT_EQ(MakeDir(path), S_OK) << path;
        EXPECT_TRUE(PathExists(path)) << path;
    }
    EXPECT_TRUE(responder.Shown().empty() && sandbox.LogText().empty());
}

TEST_F(FileOpsTest, CopyLengthLimitsCountTheNameWithEachDirectory) {
    // Within the platform's path limit (directories of 198 characters, and 60) the copy goes through.
    const std::string name = std::string(56, 'f') + ".txt";
    const std::string shortDir = sandbox / std::string(197 - sandbox.Path().size(), 'd');
    const std::string copyDir = shortDir.substr(0, shortDir.size() - 1) + "c", dir = shortDir + "dd";
    ASSERT_TRUE(MakeDir(shortDir) == S_OK && MakeDir(copyDir) == S_OK && MakeDir(dir) == S_OK);
    WriteFileText(shortDir + "\\" + name, "long");
    EXPECT_EQ(Copy(name, shortDir, copyDir), S_OK);
    EXPECT_EQ(ReadFileText(copyDir + "\\" + name), "long");
    // 200 + 60 = 260 passes the length checks; the joined 261-character path is the
    // platform's to refuse, and is reported with the full texts, not as a bad argument.
    EXPECT_EQ(Copy(name, dir, dir), HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE));
    // 200 + 61 fails on the source directory before the (empty) destination is looked at.
    EXPECT_EQ(Copy(name + "x", dir, ""), E_INVALIDARG);
    ExpectReports({"szSourceDir: " + dir + "\\" + name + "\r\nszDestDir: " + dir + "\\" + name + "\r\n",
                   "bstrSourceDir: Length Invalid\r\n"});
}

TEST_F(FileOpsTest, EmptyOrOverlongArgumentsNameTheirLabelAndEachFailureThePathThatFailed) {
    WriteFileText(sandbox / "file", "x");
    ULONG space = 7;
    const std::string src = sandbox.Path(), dst = sandbox / "dst";
    const struct {
        std::function<HRESULT()> call;
        HRESULT hr;  // 0: any error of the platform's
        std::string pieces;
    } rows[] = {
        {[&] { return Copy("", "C:\\", "C:\\"); }, E_INVALIDARG, "bstrFileName: Length Invalid\r\n"},
        {[&] { return Copy(std::string(261, 'x'), "C:\\", "C:\\"); }, E_INVALIDARG, "bstrFileName: Length Invalid\r\n"},
        {[&] { return Copy("a.txt", "", "C:\\"); }, E_INVALIDARG, "bstrSourceDir: Length Invalid\r\n"},
        {[&] { return Copy("a.txt", "C:\\", ""); }, E_INVALIDARG, "bstrDestDir: Length Invalid\r\n"},
        {[&] { return Copy("a.txt", "C:\\", std::string(256, 'x')); }, E_INVALIDARG, "bstrDestDir: Length Invalid\r\n"},
        {[&] { return MakeDir(""); }, E_INVALIDARG, "bstrDirPath: Length Invalid\r\n"},
        {[&] { return MakeDir(std::string(261, 'x')); }, E_INVALIDARG, "bstrDirPath: Length Invalid\r\n"},
        {[&] { return FreeSpace("", &space); }, E_INVALIDARG, "bstrDrive: Length Invalid\r\n"},
        {[&] { return FreeSpace(std::string(261, 'C'), &space); }, E_INVALIDARG, "bstrDrive: Length Invalid\r\n"},
        {[&] { return Copy("gone.txt", src, dst); }, HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND),
         "szFileName: gone.txt\r\nszSourceDir: " + src + "\\gone.txt\r\nszDestDir: " + dst + "\\gone.txt\r\n"},
        {[&] { return MakeDir(sandbox / "file\\sub\\leaf"); }, 0, "szDirPath: " + (sandbox / "file\\sub") + "\r\n"},
        {[&] { return MakeDir(sandbox / "file\\leaf"); }, 0, "szDirPath: " + (sandbox / "file\\leaf") + "\r\n"},
        {[&] { return MakeDir("\\share\\dir"); }, 0, "szDirPath: \r\n"},              // the empty first prefix
        {[&] { return MakeDir("Q:\\nodrive\\x"); }, 0, "szDirPath: Q:\\nodrive\r\n"},  // a root is never created
        {[&] { return FreeSpace("Q", &space); }, 0, "szDrive: Q:\\\r\n"},
    };
    std::vector<std::string> reports;
    for (size_t i = 0; i < std::size(rows); ++i) {
        const HRESULT hr = rows[i].call();
        EXPECT_TRUE(rows[i].hr ? hr == rows[i].hr : HRESULT_FACILITY(hr) == FACILITY_WIN32 && FAILED(hr)) << i;
        reports.push_back(rows[i].pieces);
    }
    ExpectReports(reports);
    EXPECT_EQ(space, 7u);
}

TEST_F(FileOpsTest, FreeSpaceUsesTheFirstLetterAndSaturatesAndIsExactOnASmallDrive) {
    ULARGE_INTEGER free;
    ULONG space = 0;
    ASSERT_TRUE(GetDiskFreeSpaceExA("C:\\", nullptr, nullptr, &free));
    for (const char* drive : {"c", "C:", "C:\\some\\dir"}) {
        ASSERT_EQ(FreeSpace(drive, &space), S_OK);
        if (free.QuadPart > 0xFFFFFFFFull) { EXPECT_EQ(space, 0xFFFFFFFFu); }
    }
    EXPECT_TRUE(responder.Shown().empty());
    const char* small = std::getenv("OV_SMALL_DRIVE");
    if (!small) GTEST_SKIP() << "no small drive mounted (scripts/test.sh mounts one as root)";
    ASSERT_TRUE(GetDiskFreeSpaceExA((std::string(small) + "\\").c_str(), nullptr, nullptr, &free));
    ASSERT_EQ(FreeSpace(small, &space), S_OK);
    EXPECT_TRUE(space == free.QuadPart && space < 1024u * 1024u) << space;
}

// Under Wine a drive's free bytes come in 4 KiB units (tests of Init on a small drive), so the
// threshold itself is tried here: more than 128000 bytes, not 128 KiB, is enough.
TEST(FreeBytes, ProductSaturatesInsteadOfWrappingAndMoreThan128000IsEnough) {
    const std::uint32_t rows[][4] = {
        {8, 512, 10, 40960}, {0, 512, 100, 0}, {1, 1, 0xFFFFFFFFu, 0xFFFFFFFFu},
        {2, 0x80000000u, 1, 0xFFFFFFFFu},                      // 2^32 exactly
        {0x10000u, 0x10000u, 0x10000u, 0xFFFFFFFFu},           // 2^48
        {0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu},  // past 64 bits
    };
    for (const auto& r : rows) EXPECT_EQ(ov::FreeBytesSaturated(r[0], r[1], r[2]), r[3]) << r[0] << " " << r[1];
    for (const auto& [bytes, enough] : {std::pair<std::uint32_t, bool>{0, false}, {127999, false}, {128000, false},
                                        {128001, true}, {131072, true}, {0xFFFFFFFFu, true}})
        EXPECT_EQ(ov::EnoughSpace(bytes), enough) << bytes;
}

// In code page 932 one character can take two bytes, and a trail byte can equal a backslash
// (U+8868 is 0x95 0x5C). ctest runs these with LC_ALL=ja_JP.UTF-8; elsewhere they skip.
class DoubleByteCodePage : public FileOpsTest {
protected:
    void SetUp() override {
        if (GetACP() != 932) GTEST_SKIP() << "needs the ANSI code page 932";
    }
    static std::string Ansi(const std::wstring& w) { return Narrow(ov::BStr(w.c_str()).Get()); }
};

TEST_F(DoubleByteCodePage, CreateDirAndCopyDoNotSplitACharacterAtItsTrailByte) {
    const std::string name = "a" + Ansi(L"\x8868"), dir = sandbox / name;
    ASSERT_EQ(MakeDir(dir + "\\sub"), S_OK);
    EXPECT_TRUE(PathExists(dir + "\\sub"));
    // Nothing was made from half a character (such as a directory "a").
    EXPECT_EQ(Below(sandbox.Path()), (Files{name + "\\", name + "\\sub\\"}));
    // The separator is added after a trail backslash.
    WriteFileText(dir + "\\b.txt", "b");
    EXPECT_EQ(Copy("b.txt", dir, sandbox.Path()), S_OK);
    EXPECT_EQ(ReadFileText(sandbox / "b.txt"), "b");
    EXPECT_TRUE(responder.Shown().empty());
}

TEST_F(DoubleByteCodePage, TextThatGrowsPastTheBufferIsRefused) {
    // 200 characters pass a count of characters but take 400 bytes once converted.
    const std::string longPath = sandbox / Ansi(std::wstring(200, L'\x3042')), kana = Ansi(L"\x3042");
    const std::string fits = "C" + Ansi(std::wstring(129, L'\x3042')), tooBig = fits + kana;  // 259, 261 bytes
    ULONG space = 5;
    EXPECT_EQ(MakeDir(longPath), E_INVALIDARG);
    EXPECT_EQ(Copy("a.txt", longPath, sandbox.Path()), E_INVALIDARG);
    EXPECT_EQ(Copy("a.txt", sandbox.Path(), longPath), E_INVALIDARG);
    EXPECT_EQ(FreeSpace(fits, &space), S_OK);
    space = 5;
    EXPECT_EQ(FreeSpace(tooBig, &space), E_INVALIDARG);
    EXPECT_EQ(space, 5u);
    ExpectReports({"bstrDirPath: Length Invalid\r\n", "bstrSourceDir: Length Invalid\r\n",
                   "bstrDestDir: Length Invalid\r\n", "bstrDrive: Length Invalid\r\n"});
}
