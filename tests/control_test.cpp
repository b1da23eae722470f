// The control as COM clients bind to it: registration, type library, lifetime, interface identity
// and the getters' own checks.
#include <gtest/gtest.h>

#include <objsafe.h>
#include <ocidl.h>
#include <olectl.h>

#include <tuple>

#include "support/test_support.h"

using namespace ovtest;

namespace {

const char kClsid[] = "{5C7E2B1A-3F41-4D2A-9B6E-2F0C41A7D381}";

// A string value under HKEY_CLASSES_ROOT, or "<missing>".
std::string ClassesValue(const std::string& key, const char* name) {
    char buf[1024] = {};
    DWORD size = sizeof buf;
    return RegGetValueA(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_REG_SZ, nullptr, buf, &size) ? "<missing>" : buf;
}

// The guid of a type, or GUID_NULL.
GUID GuidOf(ITypeInfo* info) {
    TYPEATTR* attr = nullptr;
    GUID guid = GUID_NULL;
    if (info && SUCCEEDED(info->GetTypeAttr(&attr))) guid = attr->guid, info->ReleaseTypeAttr(attr);
    return guid;
}

HRESULT LoadTypeLib(ITypeLib** lib) { return LoadRegTypeLib(LIBID_OVCUSTINSTSRVLib, 1, 0, LOCALE_NEUTRAL, lib); }

}  // namespace

TEST(Registration, WritesTheRowsClientsDependOnAndRemovesThem) {
    const std::string clsidKey = std::string("CLSID\\") + kClsid;
    const std::tuple<std::string, const char*, std::string> rows[] = {
        {clsidKey + "\\InprocServer32", nullptr, DllPath()},
        {clsidKey + "\\InprocServer32", "ThreadingModel", "Apartment"},
        {"OVCustInstSrv.OVCustInst\\CLSID", nullptr, kClsid},
        {"OVCustInstSrv.OVCustInst.1\\CLSID", nullptr, kClsid},
        {clsidKey + "\\TypeLib", nullptr, "{5C7E2B0C-3F41-4D2A-9B6E-2F0C41A7D381}"},
    };
    ov::ComPtr<ITypeLib> lib;
    ASSERT_EQ(RegisterServer(), 0);
    for (const auto& [key, name, value] : rows) EXPECT_EQ(ClassesValue(key, name), value) << key;
    EXPECT_EQ(LoadTypeLib(lib.Put()), S_OK);
    ASSERT_EQ(RegisterServer(true), 0);
    for (const auto& [key, name, value] : rows) EXPECT_EQ(ClassesValue(key, name), "<missing>") << key;
    EXPECT_NE(LoadTypeLib(lib.Put()), S_OK);
    void* p = nullptr;
    EXPECT_EQ(CoCreateInstance(CLSID_OVCustInst, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &p), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(RegisterServer(), 0);
}

TEST(ControlTypeLib, EveryMemberHasItsDispidAndSlotEarlyAndLateBound) {
    ov::ComPtr<ITypeLib> lib;
    ov::ComPtr<ITypeInfo> dispatchView, iface;
    HREFTYPE ref = 0;  // the vtable view of the dual interface
    ASSERT_EQ(LoadTypeLib(lib.Put()), S_OK);
    ASSERT_EQ(lib->GetTypeInfoOfGuid(IID_IOVCustInst, dispatchView.Put()), S_OK);
    ASSERT_EQ(dispatchView->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref), S_OK);
    ASSERT_EQ(dispatchView->GetRefTypeInfo(ref, iface.Put()), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(iface->GetTypeAttr(&attr), S_OK);
    const UINT count = attr->cFuncs, flags = attr->wTypeFlags & (TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION);
    iface->ReleaseTypeAttr(attr);
    EXPECT_EQ(count, Members().size());
    EXPECT_EQ(flags, static_cast<UINT>(TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION));

    ov::ComPtr<IDispatch> disp;
    ASSERT_EQ(CreateControl().As(disp), S_OK);
    for (UINT i = 0; i < Members().size() && i < count; ++i) {
        const Member& m = Members()[i];
        FUNCDESC* f = nullptr;
        ASSERT_EQ(iface->GetFuncDesc(i, &f), S_OK);
        EXPECT_TRUE(f->memid == m.id && f->oVft / sizeof(void*) == m.slot) << m.name << ": " << f->memid;
        EXPECT_EQ(f->invkind, m.get ? INVOKE_PROPERTYGET : INVOKE_FUNC) << m.name;
        iface->ReleaseFuncDesc(f);
        // Late bound through the object itself, by name in any case, as scripts spell it.
        std::wstring exact = Wide(m.name), upper = exact;
        CharUpperW(&upper[0]);
        for (std::wstring* name : {&exact, &upper}) {
            LPOLESTR names = &(*name)[0];
            DISPID id = 0;
            EXPECT_TRUE(disp->GetIDsOfNames(IID_NULL, &names, 1, 0, &id) == S_OK && id == m.id) << m.name;
        }
    }
    // A member's name cut short, run on, or with a letter outside ASCII names nothing.
    for (std::wstring unknown : {L"NoSuchMember", L"ServerPat", L"ServerPathX", L"ServerPat\u0125", L""}) {
        LPOLESTR names = &unknown[0];
        DISPID id = 0;
        EXPECT_EQ(disp->GetIDsOfNames(IID_NULL, &names, 1, 0, &id), DISP_E_UNKNOWNNAME) << Narrow(names);
    }
}

TEST(ControlLifetime, ObjectsAndServerLocksKeepTheModuleLoaded) {
    auto control = CreateControl();
    EXPECT_EQ(CanUnloadNow(), S_FALSE);
    control.Reset();
    EXPECT_EQ(CanUnloadNow(), S_OK);
    // Each call through a class object of its own, released at once.
    auto withFactory = [](auto call) {
        ov::ComPtr<IClassFactory> f;
        HRESULT hr = CoGetClassObject(CLSID_OVCustInst, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory, f.PutVoid());
        return SUCCEEDED(hr) ? call(f.Get()) : hr;
    };
    ASSERT_EQ(withFactory([](IClassFactory* f) { return f->LockServer(TRUE); }), S_OK);
    EXPECT_EQ(CanUnloadNow(), S_FALSE);
    ASSERT_EQ(withFactory([](IClassFactory* f) { return f->LockServer(FALSE); }), S_OK);
    EXPECT_EQ(CanUnloadNow(), S_OK);
    void* obj = nullptr;
    EXPECT_EQ(withFactory([&](IClassFactory* f) { return f->CreateInstance(f, IID_IUnknown, &obj); }),
              CLASS_E_NOAGGREGATION);
    EXPECT_EQ(CanUnloadNow(), S_OK);  // the refused object left no lock behind
    auto getClassObject = Export<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(
        GetModuleHandleA("OVCustInstSrv.dll"), "DllGetClassObject");
    obj = reinterpret_cast<void*>(1);
    ASSERT_NE(getClassObject, nullptr);
    EXPECT_EQ(getClassObject(IID_IDispatch, IID_IClassFactory, &obj), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(obj, nullptr);
}

TEST(ControlInterfaces, EveryInterfaceLeadsBackToOneIdentityAndTheClass) {
    auto control = CreateControl();
    ov::ComPtr<IUnknown> identity;
    ASSERT_EQ(control->QueryInterface(IID_IUnknown, identity.PutVoid()), S_OK);
    const IID* const offered[] = {
        &IID_IOVCustInst, &IID_IDispatch, &IID_IViewObjectEx, &IID_IViewObject2, &IID_IViewObject,
        &IID_IOleInPlaceObjectWindowless, &IID_IOleInPlaceObject, &IID_IOleWindow, &IID_IOleInPlaceActiveObject,
        &IID_IOleControl, &IID_IOleObject, &IID_IPersistStreamInit, &IID_IPersist, &IID_ISpecifyPropertyPages,
        &IID_IQuickActivate, &IID_IPersistStorage, &IID_IDataObject, &IID_IProvideClassInfo, &IID_IProvideClassInfo2,
        &IID_IObjectSafety};
    for (size_t i = 0; i < std::size(offered); ++i) {  // each answers, leads to the same IUnknown and back
        ov::ComPtr<IUnknown> p, back;
        ov::ComPtr<IOVCustInst> again;
        ASSERT_EQ(control->QueryInterface(*offered[i], p.PutVoid()), S_OK) << "interface " << i;
        EXPECT_TRUE(p->QueryInterface(IID_IUnknown, back.PutVoid()) == S_OK && back.Get() == identity.Get() &&
                    p.As(again) == S_OK) << "interface " << i;
    }
    for (REFIID iid : {IID_IConnectionPointContainer, IID_IPersistPropertyBag, IID_IClassFactory}) {
        IUnknown* p = reinterpret_cast<IUnknown*>(1);
        EXPECT_TRUE(control->QueryInterface(iid, reinterpret_cast<void**>(&p)) == E_NOINTERFACE && !p);
    }

    // The class information is the coclass, with the automation interface as its default.
    ov::ComPtr<IProvideClassInfo> classInfo;
    ov::ComPtr<ITypeInfo> info, dual;
    HREFTYPE ref = 0;
    ASSERT_TRUE(control.As(classInfo) == S_OK && classInfo->GetClassInfo(info.Put()) == S_OK);
    ASSERT_TRUE(info->GetRefTypeOfImplType(0, &ref) == S_OK && info->GetRefTypeInfo(ref, dual.Put()) == S_OK);
    EXPECT_TRUE(GuidOf(info.Get()) == CLSID_OVCustInst && GuidOf(dual.Get()) == IID_IOVCustInst);
    ov::ComPtr<IPersist> persist;
    CLSID clsid = GUID_NULL;
    ASSERT_TRUE(control.As(persist) == S_OK && persist->GetClassID(&clsid) == S_OK);
    EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_OVCustInst));
    // No property pages: nothing for the container to free.
    ov::ComPtr<ISpecifyPropertyPages> pages;
    CAUUID none{5, reinterpret_cast<GUID*>(1)};
    ASSERT_TRUE(control.As(pages) == S_OK && pages->GetPages(&none) == S_OK);
    EXPECT_TRUE(none.cElems == 0 && none.pElems == nullptr);
}

TEST(ControlGetters, NullBeforeInitAndANullOutPointerIsReportedWithTheBox) {
    InstallSandbox sandbox;
    DialogResponder responder;
    auto control = CreateControl();
    size_t getters = 0;
    for (const Member& m : Members()) {
        BSTR value = reinterpret_cast<BSTR>(1);
        if (m.get && ++getters) { EXPECT_TRUE((control.Get()->*m.get)(&value) == S_OK && !value) << m.name; }
    }
    EXPECT_EQ(sandbox.LogText(), "");
    for (const Member& m : Members())
        if (m.get) { EXPECT_EQ((control.Get()->*m.get)(nullptr), E_INVALIDARG) << m.name; }
    // One box and one record per call, naming the control and the code, without pieces.
    ASSERT_EQ(responder.Shown().size(), getters);
    EXPECT_TRUE(responder.Shown()[0].title == "OVCustomInstall Error" && responder.Shown()[0].buttons.size() == 1 &&
                responder.Shown()[0].text.find(SystemMessage(E_INVALIDARG)) != std::string::npos);
    const ParsedLog log = SplitLogRecords(sandbox.LogText());
    const std::string invalid = SystemMessage(E_INVALIDARG);
    ASSERT_EQ(log.records.size(), getters) << log.error;
    for (const ParsedRecord& r : log.records)
        EXPECT_EQ(r.file + " " + r.code + " " + r.tail, "OVCustInst 80070057 Reason:  " + AsStored(invalid));
}
