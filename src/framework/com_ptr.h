// Owning smart pointers for COM interfaces and BSTRs.
#pragma once

#include <windows.h>
#include <oleauto.h>
#include <utility>

namespace ov {

template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(T* p) : p_(p) { if (p_) p_->AddRef(); }
    ComPtr(const ComPtr& o) : ComPtr(o.p_) {}
    ComPtr(ComPtr&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
    ~ComPtr() { Reset(); }
    ComPtr& operator=(ComPtr o) noexcept { std::swap(p_, o.p_); return *this; }

    void Reset() { if (p_) { T* p = p_; p_ = nullptr; p->Release(); } }
    // For out-parameters: releases what is held and hands out the slot.
    T** Put() { Reset(); return &p_; }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }
    T* Get() const { return p_; }
    T* Detach() { T* p = p_; p_ = nullptr; return p; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }

    template <class U>
    HRESULT As(ComPtr<U>& out) const {
        return p_ ? p_->QueryInterface(__uuidof(U), out.PutVoid()) : E_POINTER;
    }

private:
    T* p_ = nullptr;
};

class BStr {
public:
    BStr() = default;
    explicit BStr(const wchar_t* s) : s_(s ? SysAllocString(s) : nullptr) {}
    BStr(BStr&& o) noexcept : s_(o.s_) { o.s_ = nullptr; }
    BStr& operator=(BStr&& o) noexcept { std::swap(s_, o.s_); return *this; }
    BStr(const BStr&) = delete;
    BStr& operator=(const BStr&) = delete;
    ~BStr() { SysFreeString(s_); }

    // Takes ownership of an allocated BSTR.
    static BStr Attach(BSTR s) { BStr b; b.s_ = s; return b; }
    // From narrow text in the ANSI code page; null on a failed allocation.
    static BStr FromAnsi(const char* text);

    BSTR Get() const { return s_; }
    BSTR* Put() { SysFreeString(s_); s_ = nullptr; return &s_; }
    BSTR Detach() { BSTR s = s_; s_ = nullptr; return s; }
    UINT Length() const { return SysStringLen(s_); }

private:
    BSTR s_ = nullptr;
};

inline BStr BStr::FromAnsi(const char* text) {
    int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (n <= 0) return BStr();
    BSTR s = SysAllocStringLen(nullptr, static_cast<UINT>(n - 1));
    if (s) MultiByteToWideChar(CP_ACP, 0, text, -1, s, n);
    return Attach(s);
}

// Closes an open registry key when it goes out of scope.
class RegKey {
public:
    RegKey() = default;
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    ~RegKey() { Close(); }
    HKEY* Put() { Close(); return &k_; }
    HKEY Get() const { return k_; }
    LONG Close() {
        LONG rc = ERROR_SUCCESS;
        if (k_) { rc = RegCloseKey(k_); k_ = nullptr; }
        return rc;
    }

private:
    HKEY k_ = nullptr;
};

}  // namespace ov
