// Entry point and exports of the server module.
#include <windows.h>

#include "../control/OVCustInst.h"
#include "../framework/module.h"

namespace {

const ov::ObjectMapEntry kObjectMap[] = {
    ov::OVCustInst::MapEntry(),
    {nullptr, nullptr, nullptr, nullptr},
};

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        ov::g_module.Init(kObjectMap, instance, &LIBID_OVCUSTINSTSRVLib);
        DisableThreadLibraryCalls(instance);
    } else if (reason == DLL_PROCESS_DETACH) {
        // Unloaded while the process goes on (CoFreeUnusedLibraries, FreeLibrary): give back
        // what the module holds. At process exit the platform's libraries may be gone already.
        if (!reserved) {
            ov::g_module.ReleaseTypeLib();
            ov::ControlBase::UnregisterWindowClass(instance);
        }
        ov::g_module.Term();
    }
    return TRUE;
}

STDAPI DllCanUnloadNow() { return ov::g_module.LockCount() == 0 ? S_OK : S_FALSE; }

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* ppv) {
    return ov::g_module.GetClassObject(clsid, riid, ppv);
}

STDAPI DllRegisterServer() { return ov::g_module.RegisterServer(); }

STDAPI DllUnregisterServer() { return ov::g_module.UnregisterServer(); }
