// The registry readers: ReadInstallPath, the control's ReadRegistryValue and its failure
// reports, and what the control's construction makes of the install path.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "environment/registry_readers.h"
#include "support/dialog_responder.h"
#include "support/layout_support.h"

using namespace ovtest;

namespace {

constexpr HRESULT kNotFound = static_cast<HRESULT>(0x80070002u);
const char* const kUntouched = "untouched";

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
    std::string before(MAX_PATH + 40, '#');
    before.replace(0, 9, "previous", 9);  // with its terminator
    DWORD lastError = 0;
    // ReadInstallPath on a copy of `before`, given MAX_PATH bytes of it: the text read, or "unchanged".
    auto read = [&](HRESULT expected) {
        std::string buf = before;
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(ov::ReadInstallPath(&buf[0], MAX_PATH), expected);
        lastError = GetLastError();
        EXPECT_EQ(buf.substr(MAX_PATH), before.substr(MAX_PATH));
        return buf == before ? std::string("unchanged") : std::string(buf.c_str());
    };
    EXPECT_EQ(read(S_OK), sandbox.Path());
    // 259 characters and the terminator fill the 260 bytes exactly; one more does not fit.
    const std::string longest = "C:\\" + std::string(256, 'i');
    sandbox.InstallPathValue().Set(longest);
    EXPECT_EQ(read(S_OK), longest);
    sandbox.InstallPathValue().Set(longest + "i");
    EXPECT_EQ(read(S_OK), "unchanged");
    // Stored without terminator, and no zero byte after it either: the text still ends inside.
    const std::string bytes(MAX_PATH + 1, 'b');
    for (DWORD type : {static_cast<DWORD>(REG_SZ), static_cast<DWORD>(REG_BINARY)}) {
        sandbox.InstallPathValue().SetBytes(bytes.data(), MAX_PATH, type);
        const std::string got = read(S_OK);
        EXPECT_TRUE(got.size() < MAX_PATH && got == std::string(got.size(), 'b')) << type << ": " << got;
    }
    sandbox.InstallPathValue().Remove();
    EXPECT_EQ(read(S_OK), "unchanged");  // the key without the value
    sandbox.RemoveOrvantaKey();
    EXPECT_EQ(read(E_FAIL), "unchanged");
    EXPECT_EQ(lastError, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));  // what callers report
}

TEST(RegistryValue, ReadsUpTo260CharactersAndReportsEachRefusalOrFailureWithoutABox) {
    ModulePathsGuard paths;
    InstallSandbox sandbox;
    DialogResponder responder;
    RegistryValueGuard guard("SOFTWARE\\Orvanta", "OVTestValue");
    Probe control;
    // The value's text and the error text, or the call's failure.
    auto read = [&](const wchar_t* subKey, const wchar_t* name, HRESULT expected) {
        BSTR value = nullptr;
        const char* text = kUntouched;
        EXPECT_EQ(control->ReadRegistryValue(ov::BStr(subKey).Get(), ov::BStr(name).Get(), &value, &text), expected);
        const std::string got = (value ? "[" + Narrow(value) + "] " : std::string("null ")) + text;
        SysFreeString(value);
        return got;
    };
    // An empty value too comes back as a string; the error text is left alone on success.
    const std::string bytes(261, 'b');
    guard.Set(std::string(259, 'v'));
    EXPECT_EQ(read(L"Software\\Orvanta", L"OVTestValue", S_OK), "[" + std::string(259, 'v') + "] untouched");
    guard.Set("");
    EXPECT_EQ(read(L"SOFTWARE\\Orvanta", L"OVTestValue", S_OK), "[] untouched");
    // 260 bytes without terminator, and no zero byte after them either: the text ends inside.
    for (DWORD type : {static_cast<DWORD>(REG_SZ), static_cast<DWORD>(REG_BINARY)}) {
        guard.SetBytes(bytes.data(), 260, type);
        EXPECT_EQ(read(L"SOFTWARE\\Orvanta", L"OVTestValue", S_OK), "[" + bytes.substr(1) + "] untouched") << type;
    }
    EXPECT_EQ(sandbox.LogText(), "");

    // Each refusal or failure: one record naming what the caller was told, and no box.
    guard.Set(std::string(260, 'v'));  // with its terminator, one byte too many
    ov::BStr key(L"SOFTWARE\\Orvanta"), name(L"InstallPath"), held(L"keep me");
    ov::BStr noKey(L"SOFTWARE\\Orvanta\\NoSuchKey"), noValue(L"NoSuchValue"), tooLong(L"OVTestValue");
    BSTR none = nullptr, value = held.Get();
    const std::tuple<BSTR, BSTR, BSTR*, HRESULT, std::string> rows[] = {
        {key.Get(), name.Get(), &value, E_INVALIDARG, "bstrDrive: "},  // an out-parameter that holds a string
        {nullptr, nullptr, &value, E_INVALIDARG, "bstrDrive: "},       // ... is refused before anything else
        {nullptr, name.Get(), &none, E_INVALIDARG, "bstrFilePath: "},
        {key.Get(), nullptr, &none, E_INVALIDARG, "bstrFilePath: "},
        {key.Get(), name.Get(), nullptr, E_INVALIDARG, "bstrFilePath: "},
        {noKey.Get(), name.Get(), &none, kNotFound, "bstrSubKey: SOFTWARE\\Orvanta\\NoSuchKey\r\nError: "},
        {key.Get(), noValue.Get(), &none, kNotFound, "bstrSubKey: NoSuchValue\r\nError: "},
        {key.Get(), tooLong.Get(), &none, HRESULT_FROM_WIN32(ERROR_MORE_DATA),
         "bstrSubKey: OVTestValue\r\nError: "},
    };
    std::vector<std::string> told;
    for (const auto& [k, n, out, hr, label] : rows) {
        const char* text = kUntouched;
        EXPECT_EQ(control->ReadRegistryValue(k, n, out, &text), hr) << label;
        EXPECT_NE(text, kUntouched) << label;
        told.push_back(label + text + "\r\n");
    }
    EXPECT_EQ(value, held.Get());
    EXPECT_EQ(Narrow(held.Get()), "keep me");  // neither freed nor changed
    EXPECT_EQ(none, nullptr);
    // The error text is optional.
    EXPECT_EQ(control->ReadRegistryValue(noKey.Get(), name.Get(), &none, nullptr), kNotFound);
    told.push_back(told[5]);

    const auto log = LogOf(sandbox);
    ASSERT_EQ(log.size(), told.size());
    for (size_t i = 0; i < told.size(); ++i) {
        const HRESULT hr = i < std::size(rows) ? std::get<3>(rows[i]) : kNotFound;
        EXPECT_EQ(log[i].file + " " + log[i].code, "OVCustInst " + HexCode(hr)) << "row " << i;
        EXPECT_EQ(log[i].tail, AsStored(SystemMessage(hr)) + told[i]) << "row " << i;
    }
    EXPECT_TRUE(responder.Shown().empty());
}

TEST(RegistryConstruction, InstallPathGivesPellarItsDirectoryUnlessTooLongOrMissing) {
    ModulePathsGuard paths;
    InstallSandbox sandbox;
    DialogResponder responder;
    const std::string fits = "C:\\" + std::string(249, 'p');  // with "\Pellar": 259, the most a path may have
    const std::pair<std::string, std::string> rows[] = {
        {sandbox.Path(), sandbox.Path() + "\\Pellar"},
        {fits, fits + "\\Pellar"},
        {fits + "p", ""},
        {fits + std::string(7, 'p'), ""},  // the longest install path that is read
    };
    for (const auto& [installPath, pellar] : rows) {
        sandbox.InstallPathValue().Set(installPath);
        std::strcpy(ov::PellarInstallPath, "stale");
        { Probe control; }
        EXPECT_EQ(std::string(ov::InstallPath), installPath);
        EXPECT_EQ(std::string(ov::PellarInstallPath), pellar) << installPath.size();
    }

    // Without the key nothing is logged; in a fresh process Pellar's directory is bare.
    sandbox.RemoveOrvantaKey();
    ov::InstallPath[0] = '\0';
    {
        Probe control;
        EXPECT_EQ(control->LogEnabled, 0);
    }
    EXPECT_STREQ(ov::PellarInstallPath, "\\Pellar");
    // A later object keeps the install path that the process already had.
    std::strcpy(ov::InstallPath, "C:\\Earlier");
    { Probe control; }
    EXPECT_STREQ(ov::PellarInstallPath, "C:\\Earlier\\Pellar");
    { auto created = CreateControl(); }  // the registered module alike
    EXPECT_TRUE(responder.Shown().empty());
    EXPECT_FALSE(PathExists(sandbox / "OVCILog.txt"));
}
