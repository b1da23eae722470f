// IDispatch of a dual interface, answered from the registered type library.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include "com_ptr.h"
#include "module.h"

namespace ov {

// Loads the type information of `iid` from the module's registered type library (version
// 1.0, the caller's locale) on first use.
class TypeInfoHolder {
public:
    explicit TypeInfoHolder(const IID& iid) : iid_(iid) {}
    HRESULT Get(LCID lcid, ITypeInfo** out) {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (!info_) {
            ComPtr<ITypeLib> lib;
            HRESULT hr = LoadRegTypeLib(g_module.LibId(), 1, 0, lcid, lib.Put());
            if (FAILED(hr)) return hr;
            hr = lib->GetTypeInfoOfGuid(iid_, info_.Put());
            if (FAILED(hr)) return hr;
        }
        *out = info_.Get();
        (*out)->AddRef();
        return S_OK;
    }

private:
    const IID& iid_;
    ComPtr<ITypeInfo> info_;
};

template <class I>
class DispatchImpl : public I {
public:
    STDMETHOD(GetTypeInfoCount)(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 1;
        return S_OK;
    }
    STDMETHOD(GetTypeInfo)(UINT index, LCID lcid, ITypeInfo** info) override {
        if (!info) return E_POINTER;
        *info = nullptr;
        if (index != 0) return DISP_E_BADINDEX;
        return typeInfo_.Get(lcid, info);
    }
    STDMETHOD(GetIDsOfNames)(REFIID, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override {
        ComPtr<ITypeInfo> info;
        HRESULT hr = typeInfo_.Get(lcid, info.Put());
        if (FAILED(hr)) return hr;
        return info->GetIDsOfNames(names, count, ids);
    }
    STDMETHOD(Invoke)(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                      VARIANT* result, EXCEPINFO* excep, UINT* argErr) override {
        if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
        ComPtr<ITypeInfo> info;
        HRESULT hr = typeInfo_.Get(lcid, info.Put());
        if (FAILED(hr)) return hr;
        return info->Invoke(static_cast<I*>(this), id, flags, params, result, excep, argErr);
    }

private:
    TypeInfoHolder typeInfo_{__uuidof(I)};
};

}  // namespace ov
