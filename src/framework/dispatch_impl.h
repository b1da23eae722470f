// IDispatch of a dual interface, answered from the module's type library.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "unique_any.h"
#include "module.h"

namespace ov {

// The members of an interface by name, read once from the module's type information. Script
// engines look a member up by name before every call, so this answer must be cheap.
class MemberTable {
public:
    explicit MemberTable(const IID& iid);
    // The member's DISPID, its name compared without regard to case as the type library
    // does; false when there is no such member (the type information then gives the error).
    bool Find(const wchar_t* name, DISPID* id) const;

private:
    // Names are kept with ASCII letters in lower case. A name with any other character than
    // ASCII is left to the type information, whose rules for case are the platform's.
    static constexpr std::size_t kLongest = 63;
    static bool Fold(const wchar_t* name, wchar_t (&folded)[kLongest + 1], std::size_t* length);
    std::vector<std::pair<std::wstring, DISPID>> members_;
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
        return g_module.GetTypeInfo(__uuidof(I), lcid, info);
    }
    STDMETHOD(GetIDsOfNames)(REFIID, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override {
        if (count == 1 && names && names[0] && ids) {
            static const MemberTable members(__uuidof(I));
            if (members.Find(names[0], ids)) return S_OK;
        }
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
