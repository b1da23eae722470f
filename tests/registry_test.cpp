// The registry readers: ReadInstallPath, the control's ReadRegistryValue and its failure
// reports, and what the control's construction makes of the install path.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "control/OVCustInst.h"
#include "environment/registry_readers.h"
#include "framework/unique_any.h"
#include "framework/object_root.h"
#include "support/dialog_responder.h"
#include "support/log_records.h"
#include "support/test_support.h"

using namespace ovtest;

namespace {

constexpr char kOrvanta[] = "SOFTWARE\\Orvanta";
constexpr char kTestValue[] = "OVTestValue";
constexpr char kNonNullOut[] = "The out-parameter was passed as non-null.";
constexpr char kNullArgs[] = "The registry key or data is null.  Please enter values for these parameters.";
constexpr char kOpenFailed[] = "Failed to open the registry key";
constexpr char kReadFailed[] = "Failed to read the registy key data";
const char* const kUntouched = "untouched";
constexpr HRESULT kNotFound = static_cast<HRESULT>(0x80070002u);

// The control constructed in this process, so that its own members can be called and the
// module-wide buffers seen.
struct LocalControl {
    ov::ComObject<ov::OVCustInst>* const object = new ov::ComObject<ov::OVCustInst>();
    LocalControl() { object->AddRef(); }
    ~LocalControl() { object->Release(); }
    ov::OVCustInst* operator->() const { return object; }
};

// What one call of ReadRegistryValue left behind.
struct Outcome {
    HRESULT hr;
    std::string value;  // the BSTR's text
    bool valueSet;      // a BSTR was stored
    const char* errorText;
};

Outcome Read(LocalControl& control, const wchar_t* subKey, const wchar_t* name) {
    ov::BStr key(subKey), valueName(name);
    BSTR value = nullptr;
    Outcome out{E_UNEXPECTED, "", false, kUntouched};
    out.hr = control->ReadRegistryValue(key.Get(), valueName.Get(), &value, &out.errorText);
    out.valueSet = value != nullptr;
    out.value = Narrow(value);
    SysFreeString(value);
    return out;
}

// Puts the module-wide path buffers back as the test found them.
struct ModulePathsGuard {
    const std::string install = ov::InstallPath, pellar = ov::PellarInstallPath;
    ~ModulePathsGuard() {
        std::strcpy(ov::InstallPath, install.c_str());
        std::strcpy(ov::PellarInstallPath, pellar.c_str());
    }
};

// Size in bytes of a stored value, or 0 when it is missing.
DWORD StoredSize(const char* name) {
    HKEY key;
    DWORD size = 0;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kOrvanta, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return 0;
    if (RegQueryValueExA(key, name, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS) size = 0;
    RegCloseKey(key);
    return size;
}

}  // namespace

TEST(RegistryInstallPath, FillsTheBufferOnlyFromAValueThatIsThereAndFits) {
    InstallSandbox sandbox;
    std::string before(MAX_PATH + 40, '#');
    before.replace(0, 9, "previous", 9);  // with its terminator
    LONG registryError = -1;
    // ReadInstallPath on a copy of `before`, given MAX_PATH bytes of it: the text read, or "unchanged".
    auto read = [&](HRESULT expected) {
        std::string buf = before;
        EXPECT_EQ(ov::ReadInstallPath(&buf[0], MAX_PATH, &registryError), expected);
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
        ASSERT_EQ(StoredSize("InstallPath"), static_cast<DWORD>(MAX_PATH));
        const std::string got = read(S_OK);
        EXPECT_LT(got.size(), static_cast<size_t>(MAX_PATH)) << type;
        EXPECT_EQ(got, std::string(got.size(), 'b')) << type;
    }

    sandbox.InstallPathValue().Remove();
    EXPECT_EQ(read(S_OK), "unchanged");  // the key without the value
    sandbox.RemoveOrvantaKey();
    EXPECT_EQ(read(E_FAIL), "unchanged");
    // Callers report the registry's error: it must name the missing key.
    EXPECT_EQ(registryError, ERROR_FILE_NOT_FOUND);
}

TEST(RegistryValue, ReadsUpTo259CharactersAndReportsEachRefusalOrFailureWithoutABox) {
    ModulePathsGuard paths;
    InstallSandbox sandbox;
    DialogResponder responder;
    RegistryValueGuard guard(kOrvanta, kTestValue);
    LocalControl control;
    // An empty value too comes back as a string, empty but not null.
    for (const std::string& stored : {std::string(259, 'v'), std::string()}) {
        guard.Set(stored);
        Outcome ok = Read(control, L"Software\\Orvanta", L"OVTestValue");
        EXPECT_EQ(ok.hr, S_OK);
        EXPECT_TRUE(ok.valueSet);
        EXPECT_EQ(ok.value, stored);
        EXPECT_EQ(ok.errorText, kUntouched);  // left alone on success
    }
    // 260 bytes without terminator, and no zero byte after them either: the text ends inside.
    const std::string bytes(261, 'b');
    for (DWORD type : {static_cast<DWORD>(REG_SZ), static_cast<DWORD>(REG_BINARY)}) {
        guard.SetBytes(bytes.data(), 260, type);
        ASSERT_EQ(StoredSize(kTestValue), 260u);
        Outcome full = Read(control, L"SOFTWARE\\Orvanta", L"OVTestValue");
        EXPECT_EQ(full.hr, S_OK) << type;
        EXPECT_EQ(full.value, std::string(260, 'b')) << type;
    }
    EXPECT_EQ(sandbox.LogText(), "");

    guard.Set(std::string(260, 'v'));
    ov::BStr key(L"SOFTWARE\\Orvanta"), name(L"InstallPath"), held(L"keep me");
    // An out-parameter that holds a string is refused before anything else is looked at.
    const std::pair<BSTR, BSTR> nonNull[] = {
        {key.Get(), name.Get()}, {nullptr, nullptr}, {nullptr, name.Get()}, {key.Get(), nullptr}};
    for (const auto& [k, n] : nonNull) {
        BSTR value = held.Get();
        const char* text = kUntouched;
        EXPECT_EQ(control->ReadRegistryValue(k, n, &value, &text), E_INVALIDARG);
        EXPECT_EQ(value, held.Get());
        EXPECT_STREQ(text, kNonNullOut);
    }
    EXPECT_EQ(Narrow(held.Get()), "keep me");  // neither freed nor changed
    // A null sub key, value name or place for the value.
    BSTR none = nullptr;
    const std::tuple<BSTR, BSTR, BSTR*> nulls[] = {
        {nullptr, name.Get(), &none}, {key.Get(), nullptr, &none}, {key.Get(), name.Get(), nullptr}};
    for (const auto& [k, n, out] : nulls) {
        const char* text = kUntouched;
        EXPECT_EQ(control->ReadRegistryValue(k, n, out, &text), E_INVALIDARG);
        EXPECT_STREQ(text, kNullArgs);
    }
    EXPECT_EQ(none, nullptr);

    // One record each, in the module's name.
    std::vector<std::pair<HRESULT, std::string>> expected(4, {E_INVALIDARG, std::string("bstrDrive: ") + kNonNullOut});
    expected.insert(expected.end(), 3, {E_INVALIDARG, std::string("bstrFilePath: ") + kNullArgs});
    const struct {
        const wchar_t *subKey, *name;
        HRESULT hr;
        const char *text, *logged;  // a value's name stands under the sub key's label
    } failures[] = {
        {L"SOFTWARE\\Orvanta\\NoSuchKey", L"InstallPath", kNotFound, kOpenFailed, "SOFTWARE\\Orvanta\\NoSuchKey"},
        {L"SOFTWARE\\Orvanta", L"NoSuchValue", kNotFound, kReadFailed, "NoSuchValue"},
        {L"SOFTWARE\\Orvanta", L"OVTestValue", static_cast<HRESULT>(0x800700EAu), kReadFailed, "OVTestValue"},
    };
    for (const auto& f : failures) {
        Outcome out = Read(control, f.subKey, f.name);
        EXPECT_EQ(out.hr, f.hr);
        EXPECT_FALSE(out.valueSet);
        EXPECT_STREQ(out.errorText, f.text);
        expected.push_back({f.hr, std::string("bstrSubKey: ") + f.logged + "\r\nError: " + f.text});
    }
    // The error text is optional.
    ov::BStr noKey(failures[0].subKey);
    BSTR value = nullptr;
    EXPECT_EQ(control->ReadRegistryValue(noKey.Get(), name.Get(), &value, nullptr), kNotFound);
    expected.push_back(expected[7]);

    ParsedLog parsed = SplitLogRecords(sandbox.LogText());
    ASSERT_EQ(parsed.error, "");
    ASSERT_EQ(parsed.records.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(parsed.records[i].file, "OVCustInst");
        EXPECT_EQ(parsed.records[i].code, HexCode(expected[i].first)) << i;
        EXPECT_EQ(parsed.records[i].tail,
                  "Reason:  " + AsStored(SystemMessage(expected[i].first)) + expected[i].second + "\r\n")
            << i;
    }
    EXPECT_TRUE(responder.Shown().empty());
}

TEST(RegistryConstruction, InstallPathGivesPellarItsDirectoryUnlessTooLongOrMissing) {
    ModulePathsGuard paths;
    InstallSandbox sandbox;
    DialogResponder responder;
    // 252 characters and "\Pellar" make 259, the most a path may have.
    const std::string fits = "C:\\" + std::string(249, 'p');
    const std::pair<std::string, std::string> rows[] = {
        {sandbox.Path(), sandbox.Path() + "\\Pellar"},
        {fits, fits + "\\Pellar"},
        {fits + "p", ""},
        {fits + std::string(7, 'p'), ""},  // the longest install path that is read
    };
    for (const auto& [installPath, pellar] : rows) {
        sandbox.InstallPathValue().Set(installPath);
        std::strcpy(ov::PellarInstallPath, "stale");
        { LocalControl control; }
        EXPECT_EQ(std::string(ov::InstallPath), installPath);
        EXPECT_EQ(std::string(ov::PellarInstallPath), pellar) << installPath.size();
    }
    EXPECT_EQ(sandbox.LogText(), "");  // nothing is reported where everything fits

    // Without the key nothing is logged or shown; in a fresh process Pellar's directory is bare.
    sandbox.RemoveOrvantaKey();
    ov::InstallPath[0] = '\0';
    {
        LocalControl control;
        EXPECT_EQ(control->LogEnabled, 0);
    }
    EXPECT_STREQ(ov::InstallPath, "");
    EXPECT_STREQ(ov::PellarInstallPath, "\\Pellar");
    // A later object keeps the install path that the process already had.
    std::strcpy(ov::InstallPath, "C:\\Earlier");
    { LocalControl control; }
    EXPECT_STREQ(ov::PellarInstallPath, "C:\\Earlier\\Pellar");
    { auto created = CreateControl(); }  // the registered module alike
    EXPECT_TRUE(responder.Shown().empty());
    EXPECT_FALSE(PathExists(sandbox / "OVCILog.txt"));
}
