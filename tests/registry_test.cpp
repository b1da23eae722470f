// The registry readers: ReadInstallPath, the control's ReadRegistryValue and its failure
// reports, and what the control's construction makes of the install path.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "control/OVCustInst.h"
#include "environment/registry_readers.h"
#include "framework/com_ptr.h"
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

// The control constructed in this process, so that its own members can be called and the
// module-wide buffers seen.
class LocalControl {
public:
    LocalControl() : object_(new ov::ComObject<ov::OVCustInst>()) { object_->AddRef(); }
    ~LocalControl() { object_->Release(); }
    LocalControl(const LocalControl&) = delete;
    LocalControl& operator=(const LocalControl&) = delete;
    ov::OVCustInst* operator->() const { return object_; }

private:
    ov::ComObject<ov::OVCustInst>* object_;
};

// What one call of ReadRegistryValue left behind.
struct Outcome {
    HRESULT hr;
    std::string value;  // the BSTR's text
    bool valueSet;      // a BSTR was stored
    const char* errorText;
};

const char* const kUntouched = "untouched";

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

// The record that a failure of ReadRegistryValue leaves: no box, module OVCustInst.
void ExpectReadRecord(const ParsedRecord& r, HRESULT hr, const std::string& pieces) {
    char code[16];
    std::snprintf(code, sizeof code, "%lX", static_cast<unsigned long>(hr));
    EXPECT_EQ(r.file, "OVCustInst");
    EXPECT_EQ(r.code, code);
    EXPECT_EQ(r.tail, "Reason:  " + AsStored(SystemMessage(hr)) + pieces);
}

// Puts the module-wide path buffers back as the test found them.
class ModulePathsGuard {
public:
    ModulePathsGuard() {
        std::memcpy(install_, ov::InstallPath, sizeof install_);
        std::memcpy(pellar_, ov::PellarInstallPath, sizeof pellar_);
    }
    ~ModulePathsGuard() {
        std::memcpy(ov::InstallPath, install_, sizeof install_);
        std::memcpy(ov::PellarInstallPath, pellar_, sizeof pellar_);
    }
    ModulePathsGuard(const ModulePathsGuard&) = delete;
    ModulePathsGuard& operator=(const ModulePathsGuard&) = delete;

private:
    char install_[sizeof ov::InstallPath];
    char pellar_[sizeof ov::PellarInstallPath];
};

std::string Buffer(const char* b, size_t n) { return std::string(b, n); }

// Size in bytes of a stored value, or 0 when it is missing.
DWORD StoredSize(const char* subKey, const char* name) {
    HKEY key;
    DWORD size = 0;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return 0;
    if (RegQueryValueExA(key, name, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS) size = 0;
    RegCloseKey(key);
    return size;
}

}  // namespace

TEST(RegistryInstallPath, MissingKeyFailsAndLeavesTheBufferAsItWas) {
    InstallSandbox sandbox;
    sandbox.RemoveOrvantaKey();
    char buf[300];
    std::memset(buf, '#', sizeof buf);
    std::strcpy(buf, "previous");
    const std::string before = Buffer(buf, sizeof buf);
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(ov::ReadInstallPath(buf, MAX_PATH), E_FAIL);
    EXPECT_EQ(Buffer(buf, sizeof buf), before);
    // Callers report the thread's last error: it must name the missing key.
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST(RegistryInstallPath, KeyWithoutTheValueSucceedsAndLeavesTheBufferAsItWas) {
    InstallSandbox sandbox;
    sandbox.InstallPathValue().Remove();
    char buf[300];
    std::memset(buf, '#', sizeof buf);
    std::strcpy(buf, "previous");
    const std::string before = Buffer(buf, sizeof buf);
    EXPECT_EQ(ov::ReadInstallPath(buf, MAX_PATH), S_OK);
    EXPECT_EQ(Buffer(buf, sizeof buf), before);
}

TEST(RegistryInstallPath, ReadsTheValueUpToTheCallersSize) {
    InstallSandbox sandbox;
    char buf[MAX_PATH + 40];
    std::memset(buf, '#', sizeof buf);
    EXPECT_EQ(ov::ReadInstallPath(buf, MAX_PATH), S_OK);
    EXPECT_EQ(std::string(buf), sandbox.Path());

    // 259 characters and the terminator fill the 260 bytes exactly.
    const std::string longest = "C:\\" + std::string(256, 'i');
    sandbox.InstallPathValue().Set(longest);
    std::memset(buf, '#', sizeof buf);
    EXPECT_EQ(ov::ReadInstallPath(buf, MAX_PATH), S_OK);
    EXPECT_EQ(std::string(buf), longest);
    EXPECT_EQ(Buffer(buf + MAX_PATH, 40), std::string(40, '#'));

    // One more does not fit: the buffer keeps what it held.
    sandbox.InstallPathValue().Set(longest + "i");
    std::strcpy(buf, "previous");
    EXPECT_EQ(ov::ReadInstallPath(buf, MAX_PATH), S_OK);
    EXPECT_STREQ(buf, "previous");
}

TEST(RegistryInstallPath, ValueFillingTheBufferWithoutTerminatorEndsInsideIt) {
    InstallSandbox sandbox;
    // No zero byte after the data either: the registry would take it as the terminator.
    const std::string bytes(MAX_PATH + 1, 'b');
    for (DWORD type : {static_cast<DWORD>(REG_SZ), static_cast<DWORD>(REG_BINARY)}) {
        sandbox.InstallPathValue().SetBytes(bytes.data(), MAX_PATH, type);
        ASSERT_EQ(StoredSize(kOrvanta, "InstallPath"), static_cast<DWORD>(MAX_PATH));
        char buf[MAX_PATH + 40];
        std::memset(buf, '#', sizeof buf);
        EXPECT_EQ(ov::ReadInstallPath(buf, MAX_PATH), S_OK);
        const std::string got = Buffer(buf, strnlen(buf, sizeof buf));
        EXPECT_LT(got.size(), static_cast<size_t>(MAX_PATH)) << type;
        EXPECT_EQ(got, std::string(got.size(), 'b')) << type;
        EXPECT_EQ(Buffer(buf + MAX_PATH, 40), std::string(40, '#')) << type;
    }
}

TEST(RegistryValue, OutParameterHoldingAStringIsRefusedBeforeAnyOtherCheck) {
    ModulePathsGuard paths;
    InstallSandbox sandbox;
    DialogResponder responder;
    LocalControl control;
    ov::BStr key(L"SOFTWARE\\Orvanta"), name(L"InstallPath");
    ov::BStr held(L"keep me");
    const std::vector<std::pair<BSTR, BSTR>> args = {
        {key.Get(), name.Get()}, {nullptr, nullptr}, {nullptr, name.Get()}, {key.Get(), nullptr}};
    for (const auto& a : args) {
        BSTR value = held.Get();
        const char* text = kUntouched;
        EXPECT_EQ(control->ReadRegistryValue(a.first, a.second, &value, &text), E_INVALIDARG);
        EXPECT_EQ(value, held.Get());
        EXPECT_STREQ(text, kNonNullOut);
    }
    // Neither freed nor changed.
    EXPECT_EQ(Narrow(held.Get()), "keep me");
    EXPECT_EQ(held.Length(), 7u);

    ParsedLog parsed = SplitLogRecords(sandbox.LogText());
    ASSERT_EQ(parsed.error, "");
    ASSERT_EQ(parsed.records.size(), args.size());
    for (const auto& r : parsed.records)
        ExpectReadRecord(r, E_INVALIDARG, std::string("bstrDrive: ") + kNonNullOut + "\r\n");
    EXPECT_TRUE(responder.Shown().empty());
}

TEST(RegistryValue, NullSubKeyOrValueNameIsRefused) {
    ModulePathsGuard paths;
    InstallSandbox sandbox;
    DialogResponder responder;
    LocalControl control;
    ov::BStr key(L"SOFTWARE\\Orvanta"), name(L"InstallPath");
    for (const auto& a : std::vector<std::pair<BSTR, BSTR>>{{nullptr, name.Get()}, {key.Get(), nullptr}}) {
        BSTR value = nullptr;
        const char* text = kUntouched;
        EXPECT_EQ(control->ReadRegistryValue(a.first, a.second, &value, &text), E_INVALIDARG);
        EXPECT_EQ(value, nullptr);
        EXPECT_STREQ(text, kNullArgs);
    }
    // No place to put the value at all counts the same.
    const char* text = kUntouched;
    EXPECT_EQ(control->ReadRegistryValue(key.Get(), name.Get(), nullptr, &text), E_INVALIDARG);
    EXPECT_STREQ(text, kNullArgs);

    ParsedLog parsed = SplitLogRecords(sandbox.LogText());
    ASSERT_EQ(parsed.error, "");
    ASSERT_EQ(parsed.records.size(), 3u);
    for (const auto& r : parsed.records)
        ExpectReadRecord(r, E_INVALIDARG, std::string("bstrFilePath: ") + kNullArgs + "\r\n");
    EXPECT_TRUE(responder.Shown().empty());
}

TEST(RegistryValue, MissingKeyOrValueIsReportedWithTheNameAndThePlatformsCode) {
    ModulePathsGuard paths;
    InstallSandbox sandbox;
    DialogResponder responder;
    LocalControl control;

    Outcome noKey = Read(control, L"SOFTWARE\\Orvanta\\NoSuchKey", L"InstallPath");
    EXPECT_EQ(noKey.hr, static_cast<HRESULT>(0x80070002u));
    EXPECT_FALSE(noKey.valueSet);
    EXPECT_STREQ(noKey.errorText, kOpenFailed);

    Outcome noValue = Read(control, L"SOFTWARE\\Orvanta", L"NoSuchValue");
    EXPECT_EQ(noValue.hr, static_cast<HRESULT>(0x80070002u));
    EXPECT_FALSE(noValue.valueSet);
    EXPECT_STREQ(noValue.errorText, kReadFailed);

    // The error text is optional.
    ov::BStr key(L"SOFTWARE\\Orvanta\\NoSuchKey"), name(L"InstallPath");
    BSTR value = nullptr;
    EXPECT_EQ(control->ReadRegistryValue(key.Get(), name.Get(), &value, nullptr), static_cast<HRESULT>(0x80070002u));

    ParsedLog parsed = SplitLogRecords(sandbox.LogText());
    ASSERT_EQ(parsed.error, "");
    ASSERT_EQ(parsed.records.size(), 3u);
    ExpectReadRecord(parsed.records[0], static_cast<HRESULT>(0x80070002u),
                     std::string("bstrSubKey: SOFTWARE\\Orvanta\\NoSuchKey\r\nError: ") + kOpenFailed + "\r\n");
    // The value's name stands under the sub key's label.
    ExpectReadRecord(parsed.records[1], static_cast<HRESULT>(0x80070002u),
                     std::string("bstrSubKey: NoSuchValue\r\nError: ") + kReadFailed + "\r\n");
    EXPECT_TRUE(responder.Shown().empty());
}

TEST(RegistryValue, ReadsUpTo259CharactersAndLongerValuesGiveMoreData) {
    ModulePathsGuard paths;
    InstallSandbox sandbox;
    DialogResponder responder;
    RegistryValueGuard guard(kOrvanta, kTestValue);
    LocalControl control;

    const std::string longest(259, 'v');
    guard.Set(longest);
    Outcome ok = Read(control, L"Software\\Orvanta", L"OVTestValue");
    EXPECT_EQ(ok.hr, S_OK);
    EXPECT_EQ(ok.value, longest);
    EXPECT_EQ(ok.errorText, kUntouched);  // left alone on success
    EXPECT_EQ(sandbox.LogText(), "");

    guard.Set(longest + "v");
    Outcome tooLong = Read(control, L"SOFTWARE\\Orvanta", L"OVTestValue");
    EXPECT_EQ(tooLong.hr, static_cast<HRESULT>(0x800700EAu));
    EXPECT_FALSE(tooLong.valueSet);
    EXPECT_STREQ(tooLong.errorText, kReadFailed);

    ParsedLog parsed = SplitLogRecords(sandbox.LogText());
    ASSERT_EQ(parsed.error, "");
    ASSERT_EQ(parsed.records.size(), 1u);
    ExpectReadRecord(parsed.records[0], static_cast<HRESULT>(0x800700EAu),
                     std::string("bstrSubKey: OVTestValue\r\nError: ") + kReadFailed + "\r\n");
    EXPECT_TRUE(responder.Shown().empty());
}

TEST(RegistryValue, EmptyValueGivesAnEmptyStringThatIsNotNull) {
    ModulePathsGuard paths;
    InstallSandbox sandbox;
    RegistryValueGuard guard(kOrvanta, kTestValue);
    guard.Set("");
    LocalControl control;
    Outcome empty = Read(control, L"SOFTWARE\\Orvanta", L"OVTestValue");
    EXPECT_EQ(empty.hr, S_OK);
    EXPECT_TRUE(empty.valueSet);
    EXPECT_EQ(empty.value, "");
}

TEST(RegistryValue, DataFillingTheWholeBufferWithoutTerminatorStaysInside) {
    ModulePathsGuard paths;
    InstallSandbox sandbox;
    DialogResponder responder;
    RegistryValueGuard guard(kOrvanta, kTestValue);
    LocalControl control;
    // No zero byte after the data either: the registry would take it as the terminator.
    const std::string bytes(261, 'b');
    for (DWORD type : {static_cast<DWORD>(REG_SZ), static_cast<DWORD>(REG_BINARY)}) {
        guard.SetBytes(bytes.data(), 260, type);
        ASSERT_EQ(StoredSize(kOrvanta, kTestValue), 260u);
        Outcome full = Read(control, L"SOFTWARE\\Orvanta", L"OVTestValue");
        EXPECT_EQ(full.hr, S_OK) << type;
        EXPECT_LE(full.value.size(), 260u) << type;
        EXPECT_EQ(full.value, std::string(full.value.size(), 'b')) << type;
    }
    EXPECT_EQ(sandbox.LogText(), "");
    EXPECT_TRUE(responder.Shown().empty());
}

TEST(RegistryConstruction, WithoutTheOrvantaKeyNothingIsLoggedOrShownAndPellarIsBare) {
    ModulePathsGuard paths;
    InstallSandbox sandbox;
    sandbox.RemoveOrvantaKey();
    DialogResponder responder;
    // As in a fresh process.
    ov::InstallPath[0] = '\0';
    std::strcpy(ov::PellarInstallPath, "stale");
    {
        LocalControl control;
        EXPECT_EQ(control->LogEnabled, 0);
    }
    EXPECT_STREQ(ov::InstallPath, "");
    EXPECT_STREQ(ov::PellarInstallPath, "\\Pellar");

    // A later object keeps the install path that the process already had.
    std::strcpy(ov::InstallPath, "C:\\Earlier");
    { LocalControl control; }
    EXPECT_STREQ(ov::InstallPath, "C:\\Earlier");
    EXPECT_STREQ(ov::PellarInstallPath, "C:\\Earlier\\Pellar");

    // The registered module behaves alike.
    { auto created = CreateControl(); }
    EXPECT_TRUE(responder.Shown().empty());
    EXPECT_FALSE(PathExists(sandbox / "OVCILog.txt"));
}

TEST(RegistryConstruction, InstallPathFillsBothModuleBuffers) {
    ModulePathsGuard paths;
    InstallSandbox sandbox;
    DialogResponder responder;
    std::strcpy(ov::PellarInstallPath, "stale");
    { LocalControl control; }
    EXPECT_EQ(std::string(ov::InstallPath), sandbox.Path());
    EXPECT_EQ(std::string(ov::PellarInstallPath), sandbox.Path() + "\\Pellar");
    EXPECT_EQ(sandbox.LogText(), "");
    EXPECT_TRUE(responder.Shown().empty());
}

TEST(RegistryConstruction, InstallPathTooLongForPellarLeavesItEmptyWithoutOverflow) {
    ModulePathsGuard paths;
    InstallSandbox sandbox;
    DialogResponder responder;
    // 252 characters and "\Pellar" make 259, the most a path may have.
    const std::string fits = "C:\\" + std::string(249, 'p');
    sandbox.InstallPathValue().Set(fits);
    { LocalControl control; }
    EXPECT_EQ(std::string(ov::PellarInstallPath), fits + "\\Pellar");

    for (size_t extra : {1u, 7u}) {  // 253 characters, and the longest install path that is read
        const std::string tooLong = fits + std::string(extra, 'p');
        sandbox.InstallPathValue().Set(tooLong);
        std::strcpy(ov::PellarInstallPath, "stale");
        { LocalControl control; }
        EXPECT_EQ(std::string(ov::InstallPath), tooLong);
        EXPECT_STREQ(ov::PellarInstallPath, "") << extra;
    }
    EXPECT_TRUE(responder.Shown().empty());
}
