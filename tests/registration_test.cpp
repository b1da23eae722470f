// Registration through regsvr32: the registry rows, re-registration and removal.
#include <gtest/gtest.h>

#include "support/test_support.h"

using namespace ovtest;

namespace {

const char kClsidKey[] = "CLSID\\{5C7E2B1A-3F41-4D2A-9B6E-2F0C41A7D381}";
const char kClsid[] = "{5C7E2B1A-3F41-4D2A-9B6E-2F0C41A7D381}";

// The string value of a key under HKEY_CLASSES_ROOT, or "<missing>".
std::string ClassesValue(const std::string& key, const char* name = nullptr) {
    HKEY k;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_QUERY_VALUE, &k) != ERROR_SUCCESS) return "<missing>";
    char buf[1024] = {};
    DWORD size = sizeof buf - 1, type = 0;
    LONG rc = RegQueryValueExA(k, name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
    RegCloseKey(k);
    if (rc != ERROR_SUCCESS) return "<no value>";
    return type == REG_SZ ? std::string(buf) : "<not a string>";
}

bool ClassesKeyExists(const std::string& key) {
    HKEY k;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_QUERY_VALUE, &k) != ERROR_SUCCESS) return false;
    RegCloseKey(k);
    return true;
}

std::string ModulePath() { return DllPath(); }

// Puts the registration back whatever a test did to it.
struct KeepRegistered {
    ~KeepRegistered() { RegisterServer(); }
};

}  // namespace

TEST(Registration, WritesEveryRowOfTheScript) {
    ASSERT_EQ(RegisterServer(), 0);
    EXPECT_EQ(ClassesValue("OVCustInstSrv.OVCustInst.1"), "OVCustInst Class");
    EXPECT_EQ(ClassesValue("OVCustInstSrv.OVCustInst.1\\CLSID"), kClsid);
    EXPECT_EQ(ClassesValue("OVCustInstSrv.OVCustInst"), "OVCustInst Class");
    EXPECT_EQ(ClassesValue("OVCustInstSrv.OVCustInst\\CLSID"), kClsid);
    EXPECT_EQ(ClassesValue("OVCustInstSrv.OVCustInst\\CurVer"), "OVCustInstSrv.OVCustInst.1");

    const std::string c = kClsidKey;
    EXPECT_EQ(ClassesValue(c), "OVCustInst Class");
    EXPECT_EQ(ClassesValue(c + "\\ProgID"), "OVCustInstSrv.OVCustInst.1");
    EXPECT_EQ(ClassesValue(c + "\\VersionIndependentProgID"), "OVCustInstSrv.OVCustInst");
    EXPECT_EQ(ClassesValue(c + "\\InprocServer32"), ModulePath());
    EXPECT_EQ(ClassesValue(c + "\\InprocServer32", "ThreadingModel"), "Apartment");
    EXPECT_EQ(ClassesValue(c + "\\ToolboxBitmap32"), ModulePath() + ", 101");
    EXPECT_EQ(ClassesValue(c + "\\MiscStatus"), "0");
    EXPECT_EQ(ClassesValue(c + "\\MiscStatus\\1"), "131473");
    EXPECT_EQ(ClassesValue(c + "\\TypeLib"), "{5C7E2B0C-3F41-4D2A-9B6E-2F0C41A7D381}");
    EXPECT_EQ(ClassesValue(c + "\\Version"), "1.0");
    for (const char* empty : {"\\Programmable", "\\Control", "\\Insertable"}) {
        EXPECT_TRUE(ClassesKeyExists(c + empty)) << empty;
        EXPECT_EQ(ClassesValue(c + empty), "<no value>") << empty;
    }
    EXPECT_TRUE(ClassesKeyExists("TypeLib\\{5C7E2B0C-3F41-4D2A-9B6E-2F0C41A7D381}\\1.0"));
}

TEST(Registration, RegisteringAgainRebuildsTheClassKeyWhole) {
    KeepRegistered keep;
    ASSERT_EQ(RegisterServer(), 0);
    // A stray subkey under the class key must not survive: the key is removed and rebuilt.
    HKEY stray;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, (std::string(kClsidKey) + "\\Stray").c_str(), 0, nullptr, 0,
                              KEY_WRITE, nullptr, &stray, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(stray);
    ASSERT_EQ(RegisterServer(), 0);
    EXPECT_FALSE(ClassesKeyExists(std::string(kClsidKey) + "\\Stray"));
    EXPECT_EQ(ClassesValue(kClsidKey), "OVCustInst Class");
    EXPECT_EQ(ClassesValue(std::string(kClsidKey) + "\\InprocServer32"), ModulePath());
}

TEST(Registration, UnregisteringKeepsClsidRootAndRemovesTheRest) {
    KeepRegistered keep;
    ASSERT_EQ(RegisterServer(), 0);
    ASSERT_EQ(UnregisterServer(), 0);
    EXPECT_TRUE(ClassesKeyExists("CLSID"));
    EXPECT_FALSE(ClassesKeyExists(kClsidKey));
    EXPECT_FALSE(ClassesKeyExists("OVCustInstSrv.OVCustInst"));
    EXPECT_FALSE(ClassesKeyExists("OVCustInstSrv.OVCustInst.1"));
    EXPECT_FALSE(ClassesKeyExists("TypeLib\\{5C7E2B0C-3F41-4D2A-9B6E-2F0C41A7D381}\\1.0"));

    // Without registration the class cannot be created.
    IUnknown* p = nullptr;
    EXPECT_EQ(CoCreateInstance(CLSID_OVCustInst, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(&p)),
              REGDB_E_CLASSNOTREG);
}

TEST(Registration, ExportsAnswerDirectly) {
    HMODULE dll = LoadLibraryA(DllPath().c_str());
    ASSERT_NE(dll, nullptr);
    for (const char* name : {"DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer", "DllUnregisterServer"})
        EXPECT_NE(GetProcAddress(dll, name), nullptr) << name;

    using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    auto getClassObject = Export<GetClassObjectFn>(dll, "DllGetClassObject");
    void* p = reinterpret_cast<void*>(1);
    EXPECT_EQ(getClassObject(IID_IDispatch, IID_IClassFactory, &p), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(p, nullptr);

    IClassFactory* factory = nullptr;
    ASSERT_EQ(getClassObject(CLSID_OVCustInst, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    IUnknown* outer = reinterpret_cast<IUnknown*>(factory);
    IUnknown* obj = nullptr;
    EXPECT_EQ(factory->CreateInstance(outer, IID_IUnknown, reinterpret_cast<void**>(&obj)), CLASS_E_NOAGGREGATION);
    factory->Release();
    FreeLibrary(dll);
}
