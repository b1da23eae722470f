// The signed code-download cabinet (made by scripts/sign.sh; ctest's SetupPage.CodeDownloadCabinet
// names its folder in OV_SIGNED_DIR) read back through the platform's FDI, its INF through the
// profile functions, each row held against what the registered DLL and its version resource say.
#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>

#include "extractor.h"
#include "support/test_support.h"

namespace {

using namespace ovtest;

std::vector<std::string> Keys(const std::string& inf, const char* section) {
    const std::string all = Ini(inf, section, nullptr, "");  // names, each ended by a NUL
    std::vector<std::string> keys;
    for (size_t at = 0; at < all.size(); at = all.find('\0', at) + 1) keys.push_back(all.c_str() + at);
    return keys;
}

std::string RegisteredText(const std::string& subKey) {  // a default value under HKEY_CLASSES_ROOT
    char value[MAX_PATH] = {};
    DWORD size = sizeof value;
    if (RegGetValueA(HKEY_CLASSES_ROOT, subKey.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value, &size)) return "";
    return value;
}

// A value of the file's version resource, empty when absent: a string by its path, or for "\\" the
// fixed file version as the download's INF writes it ("1,0,0,12").
std::string VersionOf(const std::string& path, const char* what = "\\") {
    DWORD ignored = 0;
    std::vector<char> data(GetFileVersionInfoSizeA(path.c_str(), &ignored));
    void* value = nullptr;
    UINT length = 0;
    if (data.empty() || !GetFileVersionInfoA(path.c_str(), 0, static_cast<DWORD>(data.size()), data.data()) ||
        !VerQueryValueA(data.data(), what, &value, &length))
        return "";
    if (std::strcmp(what, "\\")) return static_cast<const char*>(value);
    const auto* fixed = static_cast<VS_FIXEDFILEINFO*>(value);
    return std::to_string(HIWORD(fixed->dwFileVersionMS)) + "," + std::to_string(LOWORD(fixed->dwFileVersionMS)) +
           "," + std::to_string(HIWORD(fixed->dwFileVersionLS)) + "," + std::to_string(LOWORD(fixed->dwFileVersionLS));
}
const char kOriginalFilename[] = "\\StringFileInfo\\040904B0\\OriginalFilename";

bool SameText(const std::string& a, const std::string& b) { return _stricmp(a.c_str(), b.c_str()) == 0; }

class CodeDownloadCabinet : public ::testing::Test {
protected:
    void SetUp() override {
        const char* dir = std::getenv("OV_SIGNED_DIR");
        if (!dir || !*dir) GTEST_SKIP() << "OV_SIGNED_DIR not set: ctest's SetupPage.CodeDownloadCabinet runs this";
        ovpkg::MappedFile cab(ovpkg::Widen(std::string(dir) + "\\OVCustInstSrv.cab"));
        ovpkg::Payload payload{cab.Data(), cab.Size(), nullptr, "", ""};
        ovpkg::ExtractCabinet(payload, ovpkg::Widen(out_.Path()));
        inf_ = out_ / "OVCustInstSrv.inf";
        clsid_ = RegisteredText("OVCustInstSrv.OVCustInst\\CLSID");
        ASSERT_FALSE(clsid_.empty()) << "the control is not registered";
    }
    InstallSandbox out_;  // a folder of the test's own for what the cabinet holds
    std::string inf_, clsid_;
};

TEST_F(CodeDownloadCabinet, InfNamesTheDllClassAndVersionAsTheRegisteredDll) {
    const std::string registered = RegisteredText("CLSID\\" + clsid_ + "\\InprocServer32");
    const std::vector<std::string> code = Keys(inf_, "Add.Code");
    std::string dll;  // the [Add.Code] entry the DLL's version resource names
    for (const std::string& name : code)
        if (SameText(name, VersionOf(registered, kOriginalFilename))) dll = name;
    ASSERT_FALSE(dll.empty()) << "[Add.Code] does not name " << VersionOf(registered, kOriginalFilename);
    const std::string inCab = out_ / dll;
    struct Row {
        const char* what;
        std::string inInf, expected;
    } rows[] = {
        {"[Version] Signature", Ini(inf_, "Version", "Signature", ""), "$CHICAGO$"},
        {"[Version] AdvancedINF", Ini(inf_, "Version", "AdvancedINF", ""), "2.0"},
        {"the DLL's clsid: the registered class", Ini(inf_, dll.c_str(), "clsid", ""), clsid_},
        {"the DLL's FileVersion: the registered DLL's", Ini(inf_, dll.c_str(), "FileVersion", ""),
         VersionOf(registered)},
        {"the DLL's FileVersion: the cabinet's DLL's", Ini(inf_, dll.c_str(), "FileVersion", ""), VersionOf(inCab)},
        {"the DLL comes from the cabinet", Ini(inf_, dll.c_str(), "file-win32-x86", ""), "thiscab"},
        {"the browser registers the DLL", Ini(inf_, dll.c_str(), "RegisterServer", ""), "yes"},
    };
    for (const Row& row : rows) {
        EXPECT_FALSE(row.expected.empty()) << row.what;
        EXPECT_TRUE(SameText(row.inInf, row.expected)) << row.what << ": INF [" << row.inInf << "], expected ["
                                                       << row.expected << "]";
    }
    // Every other file of [Add.Code] is a custom file: in the cabinet, with a destination key
    // that CopyOVCustomFilesFromINF acts on.
    ASSERT_GE(code.size(), 2u) << "no custom file";
    for (const std::string& name : code) {
        EXPECT_TRUE(PathExists(out_ / name)) << name << " is not in the cabinet";
        if (name == dll) continue;
        EXPECT_FALSE(Ini(inf_, name.c_str(), "OVSRVDest", "").empty() &&
                     Ini(inf_, name.c_str(), "OVPLWKSTNDest", "").empty() &&
                     Ini(inf_, name.c_str(), "OVNWXWKSTNDest", "").empty())
            << name << " has no destination key";
    }
}

// The sample page asks for the class and the version that the cabinet brings.
TEST_F(CodeDownloadCabinet, PageObjectTagNamesTheCabinetsClassAndVersion) {
    const char* page = std::getenv("OV_SETUP_PAGE");
    ASSERT_TRUE(page && *page);
    const std::string html = ReadFileText(page);
    std::smatch m;
    ASSERT_TRUE(std::regex_search(html, m, std::regex("<object[^>]*classid=\"clsid:([^\"]+)\"[^>]*codebase=\""
                                                      "OVCustInstSrv\\.cab#version=([^\"]+)\"")))
        << "no object tag with the cabinet as its code base";
    EXPECT_TRUE(SameText("{" + m[1].str() + "}", clsid_)) << m[1];
    EXPECT_EQ(m[2].str(), Ini(inf_, "OVCustInstSrv.dll", "FileVersion", ""));
}

}  // namespace
