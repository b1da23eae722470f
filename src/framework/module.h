// The module object: object map, lock count, class objects and registration.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

namespace ov {

using CreatorFn = HRESULT (*)(REFIID riid, void** ppv);
using UpdateRegistryFn = HRESULT (*)(bool doRegister);

// One creatable class. The map ends with an entry whose clsid is null.
struct ObjectMapEntry {
    const CLSID* clsid;
    UpdateRegistryFn updateRegistry;
    CreatorFn createClassFactory;
    CreatorFn createInstance;
};

class Module {
public:
    void Init(const ObjectMapEntry* map, HINSTANCE instance, const GUID* libid);
    void Term();

    LONG Lock() { return InterlockedIncrement(&lockCount_); }
    LONG Unlock() { return InterlockedDecrement(&lockCount_); }
    LONG LockCount() const { return lockCount_; }

    HINSTANCE Instance() const { return instance_; }
    const GUID& LibId() const { return *libid_; }

    HRESULT GetClassObject(REFCLSID clsid, REFIID riid, void** ppv);

    // The type information of an interface or class of the module's type library. The library
    // is loaded once per module, from the registry (version 1.0, the first caller's locale),
    // or from the module's own resource when it is not registered; ReleaseTypeLib gives it
    // back when the module is unloaded.
    HRESULT GetTypeInfo(const GUID& guid, LCID lcid, ITypeInfo** out);
    void ReleaseTypeLib();
    HRESULT RegisterServer();
    HRESULT UnregisterServer();

    // Runs the registration script in resource `id` (type "REGISTRY") through the platform's
    // registrar, with %MODULE% set to this module's full path.
    HRESULT UpdateRegistryFromResource(UINT id, bool doRegister);

private:
    HRESULT ModulePath(wchar_t (&path)[MAX_PATH]) const;

    const ObjectMapEntry* map_ = nullptr;
    HINSTANCE instance_ = nullptr;
    const GUID* libid_ = &GUID_NULL;
    volatile LONG lockCount_ = 0;
    // Set once; objects of several apartments may race to load it.
    ITypeLib* volatile typeLib_ = nullptr;
};

extern Module g_module;

}  // namespace ov
