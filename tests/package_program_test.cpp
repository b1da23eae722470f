// The package program and its builder, run as processes on real files and the real registry:
// what a package unpacks and refuses, the marker it leaves, and the INF the server reads back.
// (That an independent reader finds and checks the cabinet: PackageReadByCabextract.)
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

#include "cabinet_writer.h"
#include "support/test_support.h"

using namespace ovtest;

namespace {

using Tree = std::vector<std::pair<std::string, std::string>>;
const Files kScratch = {"dest dir", "io"};  // below the sandbox: the destination, caught output

std::string Tool(const std::string& name) { return DllPath().substr(0, DllPath().rfind('\\') + 1) + name; }

std::string Bytes(size_t n, unsigned seed) {  // incompressible
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>((seed = seed * 1103515245u + 12345u) >> 23);
    return s;
}

// Nested folders, an empty file, binary files up to 5 MB (more than one cabinet folder holds,
// so the package unpacks folders side by side), names with blanks.
const Tree kTree = {{"Readme.txt", "read me\r\n"},
                    {"empty.txt", ""},
                    {"sub dir\\with blanks.txt", "x y z"},
                    {"sub dir\\deeper\\deepest\\big.bin", Bytes(5 << 20, 1)},
                    {"sub dir\\deeper\\zeros.bin", std::string(70000, '\0')}};

void MakeTree(const std::string& root, const Tree& tree) {
    for (const auto& [name, text] : tree) {
        const std::string path = root + "\\" + name;
        for (size_t at = path.find('\\', 3); at != std::string::npos; at = path.find('\\', at + 1))
            CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
        WriteFileText(path, text);
    }
}

struct Outcome {
    int code;
    std::string out, err;
};

// Runs a command line; its output and error output go to files beside `scratch`.
Outcome Execute(std::string commandLine, const std::string& scratch) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    DWORD code = static_cast<DWORD>(-1);
    {
        auto create = [&](const char* ext) {
            return CreateFileA((scratch + ext).c_str(), GENERIC_WRITE, 0, &inherit, CREATE_ALWAYS, 0, nullptr);
        };
        ov::UniqueHFile out(create(".out")), err(create(".err"));
        STARTUPINFOA si{};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdOutput = out.Get();
        si.hStdError = err.Get();
        PROCESS_INFORMATION pi{};
        if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi))
            return {-1, "", "cannot start " + commandLine};
        ov::UniqueHandle process(pi.hProcess), thread(pi.hThread);
        WaitForSingleObject(process.Get(), INFINITE);
        GetExitCodeProcess(process.Get(), &code);
    }
    return {static_cast<int>(code), ReadFileText(scratch + ".out"), ReadFileText(scratch + ".err")};
}

class PackageProgramTest : public ::testing::Test {
public:
    void SetUp() override {
        MakeTree(src, kTree);
        CreateDirectoryA((sandbox / "io").c_str(), nullptr);
    }
    // ovpack <kind> <version> <source folder> <output folder> [<read-me>]
    Outcome Build(const std::string& kindAndVersion, const std::string& source = "", const std::string& readMe = "") {
        const std::string from = source.empty() ? src : source;
        return Execute(
            "\"" + Tool("ovpack.exe") + "\" " + kindAndVersion + " \"" + from + "\" " + pellar + " " + readMe,
            sandbox / "io\\build");
    }
    // The server's command line: path, two blanks, "/auto", a blank, the destination.
    Outcome Unpack(const std::string& package, const std::string& destination) {
        return Execute(package + "  /auto " + destination, sandbox / "io\\unpack");
    }
    // root holds what src holds (and the extra folders), byte for byte.
    void ExpectSameAsSource(const std::string& root, Files extra = {}) {
        Files want = Below(src);
        for (const std::string& f : want)
            EXPECT_TRUE(f.back() == '\\' || ReadFileText(root + "\\" + f) == ReadFileText(src + "\\" + f)) << f;
        want.insert(want.end(), extra.begin(), extra.end());
        std::sort(want.begin(), want.end());
        EXPECT_EQ(Below(root), want);
    }

    InstallSandbox sandbox;
    const std::string src = sandbox / "src", pellar = sandbox / "Pellar", dest = sandbox / "dest dir\\x y";
    const std::string package = pellar + "\\MLS6.1.exe", marker = sandbox / "OVMLSOK.TMP";
};

TEST_F(PackageProgramTest, UnpacksEveryFileByteForByteReplacingWhatIsThereThenLeavesTheMarker) {
    ASSERT_EQ(Build("scripts 6.1").code, 0);
    const std::string built = ReadFileText(package);
    const ovpkg::Payload payload = ovpkg::FindPayload(reinterpret_cast<const BYTE*>(built.data()), built.size());
    EXPECT_EQ(payload.cabinet[26] | payload.cabinet[27] << 8, 2);  // its folders
    MakeTree(dest, {{"Readme.txt", "an older text that is longer"}});
    SetFileAttributesA((dest + "\\Readme.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    const Files outside = Below(sandbox.Path(), kScratch);
    const Outcome o = Unpack(package, dest);
    EXPECT_EQ(o.code, 0);
    EXPECT_EQ(o.err, "");
    ExpectSameAsSource(dest);
    EXPECT_TRUE(DeleteFileA(marker.c_str()));
    EXPECT_EQ(Below(sandbox.Path(), kScratch), outside);
    // Without "/auto" it only tells what it holds.
    const Outcome told = Execute(package, sandbox / "io\\told");
    EXPECT_EQ(told.code, 0);
    for (const char* part : {"standard scripts", "version 6.1", "sub dir\\deeper\\deepest\\big.bin"})
        EXPECT_NE(told.out.find(part), std::string::npos) << part;
}

// Each kind: the package's name, the INF keys the server reads and the marker it waits for.
// The two editor packages share one INF, each adding its key.
TEST_F(PackageProgramTest, EachKindWritesItsInfKeysAndLeavesItsMarker) {
    const struct {
        const char *kindAndVersion, *readMe, *inf, *marker;
        std::vector<std::pair<const char*, const char*>> keys;  // the last names the package
    } rows[] = {
        {"scripts 4.1", "Notes.txt", "OVMLSInstall.inf", "OVMLSOK.TMP",
         {{"MLVer", "4.1"}, {"MLReadMe", "Notes.txt"}, {"SEE", "MLS4.1.exe"}}},
        {"dev 4.1b", "", "OVMLDInstall.inf", "OVMLDOK.TMP",
         {{"MLDVer", "4.1b"}, {"MLReadMeDev", "MLReadMeDev.txt"}, {"SEE", "MLD4.1b.exe"}}},
        {"editor1 7", "", "OVMLEInstall.inf", "OVMLEOK.TMP", {{"SEE2", "<none>"}, {"SEE1", "MLEdit7.exe"}}},
        {"editor2 7_2", "", "OVMLEInstall.inf", "OVMLEOK.TMP", {{"SEE1", "MLEdit7.exe"}, {"SEE2", "MLEHelp7_2.exe"}}}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.kindAndVersion);
        ASSERT_EQ(Build(row.kindAndVersion, "", row.readMe).code, 0);
        const std::string inf = pellar + "\\" + row.inf;
        for (const auto& [key, value] : row.keys) EXPECT_EQ(Ini(inf, "ORVAN", key), value) << key;
        EXPECT_EQ(Unpack(pellar + "\\" + Ini(inf, "ORVAN", row.keys.back().first), dest).code, 0);
        EXPECT_TRUE(DeleteFileA((sandbox / row.marker).c_str()));
    }
}

TEST_F(PackageProgramTest, BuilderRefusesWhatCannotMakeAPackageAndWritesNothing) {
    CreateDirectoryA((sandbox / "empty").c_str(), nullptr);
    // One file more than a cabinet can count (its file count has 16 bits), empty files in 256
    // folders.
    const std::string many = sandbox / "many";
    CreateDirectoryA(many.c_str(), nullptr);
    for (int folder = 0; folder < 256; ++folder) {
        const std::string in = many + "\\" + std::to_string(folder);
        CreateDirectoryA(in.c_str(), nullptr);
        for (int file = 0; file < (folder ? 256 : 257); ++file)
            ovpkg::UniqueHandle(CreateFileA((in + "\\" + std::to_string(file)).c_str(), GENERIC_WRITE, 0, nullptr,
                                            CREATE_NEW, 0, nullptr));
    }
    // Kind and version, and the source folder.
    const std::pair<std::string, std::string> rows[] = {
        {"scripts 1", "missing"}, {"scripts 1", "empty"}, {"tools 1", "src"}, {"scripts 1/2", "src"},
        {"scripts 1\\2", "src"}, {"scripts 1:2", "src"}, {"scripts 1*", "src"}, {"scripts 1\\\"2", "src"},
        {"scripts \"\"", "src"}, {"scripts 1.", "src"}, {"scripts \" 1\"", "src"}, {"scripts \"1\t2\"", "src"},
        {"scripts 123456789012345678901234567890123", "src"}, {"scripts 1", "many"}};
    for (const auto& [kindAndVersion, source] : rows) {
        SCOPED_TRACE(kindAndVersion + " from " + source);
        const Outcome o = Build(kindAndVersion, sandbox / source);
        EXPECT_NE(o.code, 0);
        EXPECT_NE(o.err.find("ovpack: "), std::string::npos) << o.err;
        EXPECT_FALSE(PathExists(pellar));
    }
}

// The builder's INF as Init reads it, and the package run by the server on a new script
// server, where nothing is asked.
TEST_F(PackageProgramTest, InstallMLScriptsInstallsABuiltPackageAndRecordsItsVersion) {
    ASSERT_EQ(Build("scripts 6.1", "", "\"Notes 6.1.txt\"").code, 0);
    RegistryValueGuard local{"Software\\Orvanta", "DOSInstallPath"};  // Init's local path, in the sandbox
    ASSERT_TRUE(local.Set(sandbox / "local"));
    const std::string server = sandbox / "server";
    ov::ComPtr<IOVCustInst> control = CreateControl();
    ASSERT_EQ(control->SetScriptServer(ov::BStr(ovpkg::Widen(server).c_str()).Get()), S_OK);
    ASSERT_EQ(control->InstallMLScripts(), S_OK) << sandbox.LogText();
    ov::BStr cached, readMe;
    EXPECT_EQ(control->get_CachedMLVersion(cached.Put()), S_OK);
    EXPECT_EQ(control->get_MLReadMe(readMe.Put()), S_OK);
    EXPECT_EQ(ovpkg::Narrow(cached ? cached.Get() : L""), "6.1");
    EXPECT_EQ(ovpkg::Narrow(readMe ? readMe.Get() : L""), "Notes 6.1.txt");
    ExpectSameAsSource(server + "\\Scripts", {"Backup\\", "File\\"});
    EXPECT_EQ(Ini(server + "\\Orvan.ini", "Scripting", "MLVer"), "6.1");
}

// Each fault: the package says why on standard error, exits non-zero, writes nothing outside
// the destination and leaves no marker, not even one from before.
class FaultTest;
struct Fault {
    const char *name, *says;
    std::function<void(FaultTest&)> arrange;
};
void PrintTo(const Fault& row, std::ostream* os) { *os << row.name; }

class FaultTest : public PackageProgramTest, public ::testing::WithParamInterface<Fault> {
public:
    std::string run = package, to = dest;  // what the row runs, and where to
    ov::UniqueHFile held;              // a file the row keeps open

    void Changed(const std::function<void(std::string&)>& change) {
        std::string bytes = ReadFileText(package);
        change(bytes);
        WriteFileText(run = sandbox / "changed.exe", bytes);
    }
    // A package holding a file name that the builder never writes.
    void Holding(const std::wstring& name) {
        const std::wstring readMe = ovpkg::Widen(src + "\\Readme.txt");
        const std::wstring cab = ovpkg::Widen(sandbox / "crafted.cab");
        ovpkg::WriteCabinet({{readMe, L"Readme.txt"}, {readMe, name}}, cab);
        ovpkg::WritePackage(ReadFileText(Tool("ovsee.exe")), cab, ovpkg::MakeTag(ovpkg::Kind::Scripts, "1"),
                            ovpkg::Widen(run = sandbox / "crafted.exe"));
    }
    // A package whose cabinet, made by hand, has a header and its tag but no folder and no file.
    void Empty() {
        const ovpkg::PackageTag tag = ovpkg::MakeTag(ovpkg::Kind::Scripts, "1");
        const unsigned char header[40] = {'M', 'S', 'C', 'F', 0, 0, 0, 0, 104, 0, 0, 0, 0, 0, 0, 0, 104, 0, 0, 0,
                                          0,   0,   0,   0,   3, 1, 0, 0, 0,   0, 4, 0, 0, 0, 0, 0, 64, 0, 0, 0};
        WriteFileText(run = sandbox / "empty.exe", ReadFileText(Tool("ovsee.exe")) +
                                                       std::string(reinterpret_cast<const char*>(header), 40) +
                                                       std::string(reinterpret_cast<const char*>(&tag), sizeof tag));
    }
};

const Fault kFaults[] = {
    {"Truncated", "truncated", [](FaultTest& t) { t.Changed([](std::string& b) { b.resize(b.size() - 1000); }); }},
    {"Corrupted", "damaged", [](FaultTest& t) { t.Changed([](std::string& b) { b[b.size() * 2 / 3] ^= 0x10; }); }},
    {"MissingDrive", "cannot make the folder",
     [](FaultTest& t) {
         char d = 'Y';
         while (d > 'D' && GetDriveTypeA((std::string(1, d) + ":\\").c_str()) != DRIVE_NO_ROOT_DIR) --d;
         t.to = std::string(1, d) + ":\\ovtest";
     }},
    // sysfs: not even root may make a folder there
    {"UnwritableDrive", "cannot make the folder", [](FaultTest& t) { t.to = "Z:\\sys\\ovtest"; }},
    {"LastFileInUse", "cannot write",
     [](FaultTest& t) {
         MakeTree(t.dest, {{"sub dir\\with blanks.txt", ""}});
         t.held.Reset(CreateFileA((t.dest + "\\sub dir\\with blanks.txt").c_str(), GENERIC_READ, 0, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
     }},
    {"FullDisk", "cannot write",
     [](FaultTest& t) {
         const char* drive = std::getenv("OV_SMALL_DRIVE");
         if (!drive || !*drive) GTEST_SKIP() << "OV_SMALL_DRIVE not set: no small drive mounted";
         t.to = std::string(drive) + "\\ovtest package";
     }},
    {"ParentPart", "unsafe", [](FaultTest& t) { t.Holding(L"..\\evil.txt"); }},
    {"AbsoluteWithDrive", "unsafe", [](FaultTest& t) { t.Holding(L"C:\\ovtest-evil.txt"); }},
    {"TooLongForItsBuffer", "longer than", [](FaultTest& t) { t.Holding(std::wstring(240, L'n')); }},
    // One row for each reason the name rule gives; its own tables hold the names (PackageEntryName).
    {"DeviceInAFolderPart", "names a device", [](FaultTest& t) { t.Holding(L"sub\\AUX  .log\\x.txt"); }},
    {"EmptyCabinet", "holds no files", [](FaultTest& t) { t.Empty(); }},
};

TEST_P(FaultTest, SaysWhyExitsNonZeroAndLeavesNoMarker) {
    ASSERT_EQ(Build("scripts 6.1").code, 0);
    GetParam().arrange(*this);
    if (IsSkipped()) return;
    const Files outside = Below(sandbox.Path(), kScratch);
    WriteFileText(marker, "");
    const Outcome o = Unpack(run, to);
    held.Reset();
    EXPECT_NE(o.code, 0);
    EXPECT_NE(o.err.find(GetParam().says), std::string::npos) << o.err;
    EXPECT_EQ(Below(sandbox.Path(), kScratch), outside);  // the old marker gone too
    for (const std::string& f : Below(sandbox / "dest dir")) EXPECT_EQ(f.rfind("x y\\", 0), 0u) << f;
    EXPECT_FALSE(PathExists("C:\\ovtest-evil.txt"));
    if (to.rfind(sandbox.Path(), 0) != 0) {  // the small drive is shared: emptied again
        const Files left = Below(to);
        for (auto f = left.rbegin(); f != left.rend(); ++f)
            f->back() == '\\' ? RemoveDirectoryA((to + "\\" + *f).c_str()) : DeleteFileA((to + "\\" + *f).c_str());
        RemoveDirectoryA(to.c_str());
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, FaultTest, ::testing::ValuesIn(kFaults),
                         [](const ::testing::TestParamInfo<Fault>& row) { return std::string(row.param.name); });

}  // namespace
