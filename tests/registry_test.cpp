// The registry readers and their failure reports, and what the control's construction makes of the
// install path.
#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

#include "diagnostics/install_path.h"
#include "support/layout_support.h"

using namespace ovtest;

namespace {

// Puts the module-wide path buffers back as the test found them.
struct ModulePathsGuard {
    const std::string install = ov::InstallPath, pellar = ov::PellarInstallPath;
    ~ModulePathsGuard() {
        std::strcpy(ov::InstallPath, install.c_str());
        std::strcpy(ov::PellarInstallPath, pellar.c_str());
    }
};

}  // namespace

TEST(RegistryInstallPath, FillsTheBufferOnlyFromAValueThatIsThereAndFits) {
    InstallSandbox sandbox;
    const std::string before = std::string("previous\0", 9) + std::string(MAX_PATH + 31, '#');
    const std::string longest = "C:\\" + std::string(256, 'i'), bytes(MAX_PATH + 1, 'b');
    std::string buf;
    // Rows: the value's type (REG_NONE: removed), its bytes, and what a buffer of 260 then holds.
    for (const auto& [type, stored, size, want] : std::vector<std::tuple<DWORD, std::string, DWORD, std::string>>{
             {REG_SZ, longest, 260, longest},               // 259 characters and the terminator fill it
             {REG_SZ, longest + "i", 261, "unchanged"},     // one more does not fit
             {REG_SZ, bytes, 260, bytes.substr(2)},         // no terminator, no zero byte after it
             {REG_BINARY, bytes, 260, bytes.substr(2)},
             {REG_NONE, "", 0, "unchanged"}}) {             // the key without the value
        if (type == REG_NONE) sandbox.InstallPathValue().Remove();
        else sandbox.InstallPathValue().SetBytes(stored.data(), size, type);
        buf = before;
        EXPECT_EQ(ov::ReadInstallPath(&buf[0], MAX_PATH), S_OK) << size;
        EXPECT_EQ(buf.substr(MAX_PATH), before.substr(MAX_PATH)) << size;
        EXPECT_EQ(buf == before ? "unchanged" : std::string(buf.c_str()), want) << size;
    }
    // Removed and made again with another value between two reads: the new key is read.
    sandbox.RemoveOrvantaKey();
    sandbox.InstallPathValue().Set("C:\\Again");
    buf = before;
    EXPECT_EQ(ov::ReadInstallPath(&buf[0], MAX_PATH), S_OK);
    EXPECT_STREQ(buf.c_str(), "C:\\Again");
    sandbox.RemoveOrvantaKey();
    buf = before;
    LONG registryError = ERROR_SUCCESS;  // what callers report
    const HRESULT hr = ov::ReadInstallPath(&buf[0], MAX_PATH, &registryError);
    EXPECT_TRUE(hr == E_FAIL && registryError == ERROR_FILE_NOT_FOUND && buf == before) << registryError;
}

TEST(RegistryValue, ReadsUpTo260CharactersAndReportsEachRefusalOrFailureWithoutABox) {
    ModulePathsGuard paths;
    InstallSandbox sandbox;
    DialogResponder responder;
    RegistryValueGuard guard("SOFTWARE\\Orvanta", "OVTestValue");
    Probe control;
    ov::BStr key(L"SOFTWARE\\Orvanta"), name(L"OVTestValue"), held(L"keep me");
    // The value's text, "null" when none was stored; the error text is left alone on success.
    auto read = [&](const std::string& stored, DWORD size, DWORD type) {
        guard.SetBytes(stored.data(), size, type);
        ov::BStr value;
        const char* text = "untouched";
        EXPECT_EQ(control->ReadRegistryValue(key.Get(), name.Get(), value.Put(), &text), S_OK);
        return (value.Get() ? Narrow(value.Get()) : "null") + " " + text;
    };
    const std::string v259(259, 'v'), b261(261, 'b');
    EXPECT_EQ(read(v259, 260, REG_SZ), v259 + " untouched");
    EXPECT_EQ(read("", 1, REG_SZ), " untouched");  // empty, but a string
    // 260 bytes without terminator, and no zero byte after them either: the text ends inside.
    EXPECT_EQ(read(b261, 260, REG_SZ), b261.substr(1) + " untouched");
    EXPECT_EQ(read(b261, 260, REG_BINARY), b261.substr(1) + " untouched");
    EXPECT_EQ(sandbox.LogText(), "");

    // Each refusal or failure: one record naming what the caller was told, and no box.
    guard.Set(std::string(260, 'v'));  // with its terminator, one byte too many
    ov::BStr noKey(L"SOFTWARE\\Orvanta\\NoSuchKey"), noValue(L"NoSuchValue");
    BSTR none = nullptr, value = held.Get();
    const HRESULT notFound = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    const std::tuple<BSTR, BSTR, BSTR*, HRESULT, std::string> rows[] = {
        {key.Get(), name.Get(), &value, E_INVALIDARG, "bstrDrive: "},  // an out-parameter that holds a string
        {nullptr, nullptr, &value, E_INVALIDARG, "bstrDrive: "},       // ... is refused before anything else
        {nullptr, name.Get(), &none, E_INVALIDARG, "bstrFilePath: "},
        {key.Get(), nullptr, &none, E_INVALIDARG, "bstrFilePath: "},
        {key.Get(), name.Get(), nullptr, E_INVALIDARG, "bstrFilePath: "},
        {noKey.Get(), name.Get(), &none, notFound, "bstrSubKey: SOFTWARE\\Orvanta\\NoSuchKey\r\nError: "},
        {key.Get(), noValue.Get(), &none, notFound, "bstrSubKey: NoSuchValue\r\nError: "},
        {key.Get(), name.Get(), &none, HRESULT_FROM_WIN32(ERROR_MORE_DATA), "bstrSubKey: OVTestValue\r\nError: "},
    };
    std::vector<std::pair<HRESULT, std::string>> told;
    for (const auto& [k, n, out, hr, label] : rows) {
        const char* text = "untouched";
        EXPECT_EQ(control->ReadRegistryValue(k, n, out, &text), hr) << label;
        told.push_back({hr, AsStored(SystemMessage(hr)) + label + text + "\r\n"});
    }
    EXPECT_TRUE(value == held.Get() && Narrow(held.Get()) == "keep me" && !none);  // neither freed nor changed
    EXPECT_EQ(control->ReadRegistryValue(noKey.Get(), name.Get(), &none, nullptr), notFound);  // the text is optional
    told.push_back(told[5]);
    const auto log = LogOf(sandbox);
    ASSERT_EQ(log.size(), told.size());
    for (size_t i = 0; i < told.size(); ++i)
        EXPECT_EQ(log[i].file + " " + log[i].code + " " + log[i].tail,
                  "OVCustInst " + HexCode(told[i].first) + " " + told[i].second) << "row " << i;
    EXPECT_TRUE(responder.Shown().empty());
}

TEST(RegistryConstruction, InstallPathGivesPellarAndTheLogTheirPathsUnlessTooLongOrMissing) {
    ModulePathsGuard paths;
    InstallSandbox sandbox;
    DialogResponder responder;
    // With "\OVCILog.txt" the longest is 260 characters, with "\Pellar" the one that fits is 259.
    const std::string longest = "C:\\" + std::string(245, 'p'), fits = longest + "pppp";
    // Rows: the install path ("-": the key without the value), then the Pellar and log paths.
    for (const auto& [installPath, want] : std::vector<std::pair<std::string, std::string>>{
             {sandbox.Path(), sandbox.Path() + "\\Pellar|" + sandbox.Path() + "\\OVCILog.txt"},
             {"-", sandbox.Path() + "\\Pellar|\\OVCILog.txt"},  // the drive root; Pellar's as the process had it
             {longest, longest + "\\Pellar|" + longest + "\\OVCILog.txt"}, {longest + "p", longest + "p\\Pellar|"},
             {fits, fits + "\\Pellar|"}, {fits + "p", "|"},
             {fits + "ppppppp", "|"}}) {  // the longest install path that is read
        if (installPath == "-") sandbox.InstallPathValue().Remove();
        else sandbox.InstallPathValue().Set(installPath);
        std::strcpy(ov::PellarInstallPath, "stale");
        Probe control;
        EXPECT_EQ(std::string(ov::PellarInstallPath) + "|" + control->LogFilePath, want) << installPath.size();
        EXPECT_EQ(control->LogEnabled, want.back() != '|') << installPath.size();
    }
    // Without the key nothing is logged; in a fresh process Pellar's directory is bare.
    sandbox.RemoveOrvantaKey();
    ov::InstallPath[0] = '\0';
    EXPECT_EQ(Probe()->LogEnabled, 0);
    EXPECT_STREQ(ov::PellarInstallPath, "\\Pellar");
    // A later object keeps the install path that the process already had.
    std::strcpy(ov::InstallPath, "C:\\Earlier");
    { Probe control; }
    EXPECT_STREQ(ov::PellarInstallPath, "C:\\Earlier\\Pellar");
    CreateControl();  // the registered module alike
    EXPECT_TRUE(responder.Shown().empty());
    EXPECT_FALSE(PathExists(sandbox / "OVCILog.txt"));
}
