// The control created through the registry: getters, interfaces, lifetime and dispatch.
#include <gtest/gtest.h>

#include <objsafe.h>
#include <ocidl.h>

#include <regex>
#include <vector>

#include "framework/object_safety.h"
#include "support/dialog_responder.h"
#include "support/test_support.h"

using namespace ovtest;

namespace {

using CanUnloadFn = HRESULT(STDAPICALLTYPE*)();

}  // namespace

TEST(ControlGetters, EveryPropertyIsEmptyBeforeInit) {
    InstallSandbox sandbox;
    auto control = CreateControl();
    for (const auto& g : AllGetters()) {
        BSTR value = reinterpret_cast<BSTR>(1);
        EXPECT_EQ((control.Get()->*g.second)(&value), S_OK) << g.first;
        EXPECT_EQ(value, nullptr) << g.first;
    }
    EXPECT_EQ(sandbox.LogText(), "");
}

TEST(ControlGetters, NullOutPointerIsReportedWithTheBox) {
    InstallSandbox sandbox;
    DialogResponder responder;
    auto control = CreateControl();
    for (const auto& g : AllGetters()) {
        EXPECT_EQ((control.Get()->*g.second)(nullptr), E_INVALIDARG) << g.first;
    }
    ASSERT_EQ(responder.Shown().size(), AllGetters().size());
    const ShownWindow& box = responder.Shown().front();
    EXPECT_EQ(box.title, "OVCustomInstall Error");
    EXPECT_EQ(box.buttons, std::vector<std::string>{"OK"});
    EXPECT_EQ(box.text.rfind("The following error was detected:\r\n\r\n\r\n", 0), 0u) << box.text;
    EXPECT_NE(box.text.find("\r\n\r\nThe operation was not completed successfully"), std::string::npos);

    // One record per report, each naming the control and the code, and nothing after the
    // reason: no pieces.
    char* reason = nullptr;
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, static_cast<DWORD>(E_INVALIDARG), 0x0400, reinterpret_cast<char*>(&reason), 0, nullptr);
    ASSERT_NE(reason, nullptr);
    std::string storedReason = std::regex_replace(reason, std::regex("\n"), "\r\n");  // text mode
    LocalFree(reason);
    const std::regex record("\r\nTime: \\(mm/dd/yy\\)   [0-9]+/[0-9]+/[0-9]+   [0-9]+:[0-9]+:[0-9]+ \r\n"
                            "File:    OVCustInst\r\nLine:    [0-9]+\r\nHRESULT: 80070057\r\nReason:  ");
    std::string log = sandbox.LogText();
    std::vector<std::string> tails;
    for (std::sregex_token_iterator it(log.begin(), log.end(), record, -1), end; it != end; ++it) tails.push_back(*it);
    ASSERT_EQ(tails.size(), AllGetters().size() + 1);
    EXPECT_EQ(tails[0], "");
    for (size_t i = 1; i < tails.size(); ++i) EXPECT_EQ(tails[i], storedReason) << "record " << i;
}

TEST(ControlGetters, FieldlessPropertiesStayEmptyAfterInit) {
    InstallSandbox sandbox;
    RegistryValueGuard dosPath("Software\\Orvanta", "DOSInstallPath");
    dosPath.Set(sandbox / "local");
    auto control = CreateControl();
    BSTR before = reinterpret_cast<BSTR>(1);
    ASSERT_EQ(control->get_ScriptingConversionPath(&before), S_OK);
    EXPECT_EQ(before, nullptr);
    // Reading properties does not set up a workstation; Init does.
    EXPECT_FALSE(PathExists(sandbox / "Wkstn.ini"));

    ov::BStr server(Wide(sandbox / "server").c_str());
    ASSERT_EQ(control->SetScriptServer(server.Get()), S_OK);
    ASSERT_EQ(control->Init(), S_OK);
    for (Getter get : {&IOVCustInst::get_ConvertLogPath, &IOVCustInst::get_ScriptingConversionPath}) {
        BSTR value = reinterpret_cast<BSTR>(1);
        ASSERT_EQ((control.Get()->*get)(&value), S_OK);
        EXPECT_EQ(SysStringLen(value), 0u);
        SysFreeString(value);
    }
}

TEST(ControlInterfaces, AnswersItsInterfacesAndNoOthers) {
    auto control = CreateControl();
    for (REFIID iid : {IID_IUnknown, IID_IDispatch, IID_IOVCustInst, IID_IObjectSafety}) {
        IUnknown* p = nullptr;
        EXPECT_EQ(control->QueryInterface(iid, reinterpret_cast<void**>(&p)), S_OK);
        if (p) p->Release();
    }
    for (REFIID iid : {IID_IConnectionPointContainer, IID_IPersistPropertyBag, IID_IClassFactory}) {
        IUnknown* p = reinterpret_cast<IUnknown*>(1);
        EXPECT_EQ(control->QueryInterface(iid, reinterpret_cast<void**>(&p)), E_NOINTERFACE);
        EXPECT_EQ(p, nullptr);
    }
    // IUnknown is one identity whichever interface it is asked through.
    ov::ComPtr<IUnknown> a, b;
    ASSERT_EQ(control->QueryInterface(IID_IUnknown, a.PutVoid()), S_OK);
    ov::ComPtr<IObjectSafety> safety;
    ASSERT_EQ(control.As(safety), S_OK);
    ASSERT_EQ(safety->QueryInterface(IID_IUnknown, b.PutVoid()), S_OK);
    EXPECT_EQ(a.Get(), b.Get());
}

TEST(ControlInterfaces, ObjectSafetyOffersBothOptionsAndStartsAtNone) {
    auto control = CreateControl();
    ov::ComPtr<IObjectSafety> safety;
    ASSERT_EQ(control.As(safety), S_OK);
    DWORD supported = 0, enabled = 99;
    ASSERT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled), S_OK);
    EXPECT_EQ(supported, 3u);
    EXPECT_EQ(enabled, 0u);

    EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, 3, 3), S_OK);
    ASSERT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled), S_OK);
    EXPECT_EQ(enabled, 3u);
    EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, 1, 0), S_OK);
    ASSERT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled), S_OK);
    EXPECT_EQ(enabled, 2u);
    // An option outside the supported ones is refused; an interface it lacks is not offered.
    EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, 4, 4), E_FAIL);
    EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IConnectionPointContainer, &supported, &enabled), E_NOINTERFACE);
}

TEST(ControlLifetime, ModuleCannotUnloadWhileAnObjectLives) {
    auto control = CreateControl();
    HMODULE dll = GetModuleHandleA("OVCustInstSrv.dll");
    ASSERT_NE(dll, nullptr);
    auto canUnload = Export<CanUnloadFn>(dll, "DllCanUnloadNow");
    ASSERT_NE(canUnload, nullptr);
    EXPECT_EQ(canUnload(), S_FALSE);
    control.Reset();
    EXPECT_EQ(canUnload(), S_OK);

    // LockServer holds the module without any object; each call uses a factory of its own.
    auto lockServer = [](BOOL lock) {
        ov::ComPtr<IClassFactory> factory;
        HRESULT hr = CoGetClassObject(CLSID_OVCustInst, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                                      factory.PutVoid());
        return SUCCEEDED(hr) ? factory->LockServer(lock) : hr;
    };
    ASSERT_EQ(lockServer(TRUE), S_OK);
    EXPECT_EQ(canUnload(), S_FALSE);
    ASSERT_EQ(lockServer(FALSE), S_OK);
    EXPECT_EQ(canUnload(), S_OK);
}

TEST(ControlDispatch, ReadsPropertiesLateBoundAndRefusesUnknownNames) {
    auto control = CreateControl();
    ov::ComPtr<IDispatch> disp;
    ASSERT_EQ(control.As(disp), S_OK);
    UINT count = 0;
    ASSERT_EQ(disp->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);

    LPOLESTR name = const_cast<LPOLESTR>(L"ServerPath");
    DISPID id = 0;
    ASSERT_EQ(disp->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id), S_OK);
    EXPECT_EQ(id, 16);
    DISPPARAMS none{};
    VARIANT result;
    VariantInit(&result);
    ASSERT_EQ(disp->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr),
              S_OK);
    EXPECT_EQ(result.vt, VT_BSTR);
    VariantClear(&result);

    LPOLESTR bogus = const_cast<LPOLESTR>(L"NoSuchMember");
    EXPECT_EQ(disp->GetIDsOfNames(IID_NULL, &bogus, 1, LOCALE_USER_DEFAULT, &id), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(disp->Invoke(2, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, &result, nullptr, nullptr),
              DISP_E_MEMBERNOTFOUND);
}
