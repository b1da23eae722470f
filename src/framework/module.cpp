#include "module.h"

#include <oleauto.h>

#include "unique_any.h"
#include "registrar.h"
#include "last_error.h"

namespace ov {

Module g_module;

void Module::Init(const ObjectMapEntry* map, HINSTANCE instance, const GUID* libid) {
    map_ = map;
    instance_ = instance;
    libid_ = libid;
}

void Module::Term() {
    map_ = nullptr;
}

HRESULT Module::GetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    for (const ObjectMapEntry* e = map_; e && e->clsid; ++e) {
        if (IsEqualCLSID(*e->clsid, clsid)) return e->createClassFactory(riid, ppv);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT Module::GetTypeInfo(const GUID& guid, LCID lcid, ITypeInfo** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!typeLib_) {
        ComPtr<ITypeLib> lib;
        HRESULT hr = LoadRegTypeLib(*libid_, 1, 0, lcid, lib.Put());
        if (FAILED(hr)) {
            wchar_t path[MAX_PATH];
            hr = ModulePath(path);
            if (SUCCEEDED(hr)) hr = LoadTypeLibEx(path, REGKIND_NONE, lib.Put());
            if (FAILED(hr)) return hr;
        }
        // The first to finish keeps its library; a later one lets its own go.
        if (!InterlockedCompareExchangePointer(reinterpret_cast<void* volatile*>(&typeLib_), lib.Get(), nullptr))
            lib.Detach();
    }
    return typeLib_->GetTypeInfoOfGuid(guid, out);
}

void Module::ReleaseTypeLib() {
    void* lib = InterlockedExchangePointer(reinterpret_cast<void* volatile*>(&typeLib_), nullptr);
    if (lib) static_cast<ITypeLib*>(lib)->Release();
}

HRESULT Module::ModulePath(wchar_t (&path)[MAX_PATH]) const {
    DWORD n = GetModuleFileNameW(instance_, path, MAX_PATH);
    if (n == 0) return LastErrorHResult();
    if (n >= MAX_PATH) return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    return S_OK;
}

HRESULT Module::UpdateRegistryFromResource(UINT id, bool doRegister) {
    wchar_t path[MAX_PATH];
    HRESULT hr = ModulePath(path);
    if (FAILED(hr)) return hr;

    ComPtr<IRegistrar> registrar;
    hr = CoCreateInstance(CLSID_Registrar, nullptr, CLSCTX_INPROC_SERVER, IID_IRegistrar,
                          registrar.PutVoid());
    if (FAILED(hr)) return hr;
    hr = registrar->AddReplacement(L"MODULE", path);
    if (FAILED(hr)) return hr;
    return doRegister ? registrar->ResourceRegister(path, id, L"REGISTRY")
                      : registrar->ResourceUnregister(path, id, L"REGISTRY");
}

HRESULT Module::RegisterServer() {
    for (const ObjectMapEntry* e = map_; e && e->clsid; ++e) {
        HRESULT hr = e->updateRegistry(true);
        if (FAILED(hr)) return hr;
    }
    wchar_t path[MAX_PATH];
    HRESULT hr = ModulePath(path);
    if (FAILED(hr)) return hr;
    ComPtr<ITypeLib> typeLib;
    hr = LoadTypeLibEx(path, REGKIND_NONE, typeLib.Put());
    if (FAILED(hr)) return hr;
    return RegisterTypeLib(typeLib.Get(), path, nullptr);
}

HRESULT Module::UnregisterServer() {
    HRESULT result = S_OK;
    for (const ObjectMapEntry* e = map_; e && e->clsid; ++e) {
        HRESULT hr = e->updateRegistry(false);
        if (FAILED(hr)) result = hr;
    }
    // The library was registered for the module's own bitness (win32 or win64).
    HRESULT hr = UnRegisterTypeLib(*libid_, 1, 0, LOCALE_NEUTRAL, sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32);
    return FAILED(result) ? result : hr;
}

}  // namespace ov
