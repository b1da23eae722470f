// IDispatch of a dual interface, answered from the module's type library.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include "unique_any.h"
#include "module.h"

namespace ov {

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
        return g_module.GetTypeInfo(__uuidof(I), lcid, info);
    }
    STDMETHOD(GetIDsOfNames)(REFIID, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override {
        ComPtr<ITypeInfo> info;
        HRESULT hr = g_module.GetTypeInfo(__uuidof(I), lcid, info.Put());
        if (FAILED(hr)) return hr;
        return info->GetIDsOfNames(names, count, ids);
    }
    STDMETHOD(Invoke)(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                      VARIANT* result, EXCEPINFO* excep, UINT* argErr) override {
        if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
        ComPtr<ITypeInfo> info;
        HRESULT hr = g_module.GetTypeInfo(__uuidof(I), lcid, info.Put());
        if (FAILED(hr)) return hr;
        return info->Invoke(static_cast<I*>(this), id, flags, params, result, excep, argErr);
    }
};

}  // namespace ov
