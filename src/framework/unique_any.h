// One owner for every kind of handle the server opens: a registry key, a BSTR, a FILE, a
// metafile, global or local memory, a COM pointer. Each kind is only its close function.
#pragma once

#include <windows.h>
#include <oleauto.h>
#include <cstdint>
#include <cstdio>
#include <utility>

namespace ov {

// Owns a handle of type T that CloseFn releases; the handle whose value is InvalidValue (null,
// or -1 for the kinds that use INVALID_HANDLE_VALUE) owns nothing.
template <class T, auto CloseFn, std::intptr_t InvalidValue = 0>
class UniqueAny {
    static T Invalid() { return reinterpret_cast<T>(InvalidValue); }

public:
    UniqueAny() = default;
    explicit UniqueAny(T value) : v_(value) {}
    UniqueAny(UniqueAny&& o) noexcept : v_(o.Detach()) {}
    UniqueAny& operator=(UniqueAny&& o) noexcept {
        Reset(o.Detach());
        return *this;
    }
    UniqueAny(const UniqueAny&) = delete;
    UniqueAny& operator=(const UniqueAny&) = delete;
    ~UniqueAny() { Reset(); }

    // Closes what is held and takes value.
    void Reset(T value = Invalid()) {
        T old = std::exchange(v_, value);
        if (old != Invalid()) CloseFn(old);
    }
    T Get() const { return v_; }
    // For out-parameters: closes what is held and hands out the slot.
    T* Put() {
        Reset();
        return &v_;
    }
    T Detach() { return std::exchange(v_, Invalid()); }
    explicit operator bool() const { return v_ != Invalid(); }

private:
    T v_ = Invalid();
};

namespace detail {
inline void CloseFile(FILE* f) { std::fclose(f); }
inline void FreeLocal(void* p) { LocalFree(p); }
inline void FreeGlobal(HGLOBAL g) { GlobalFree(g); }
inline void DeleteMetafile(HMETAFILE m) { DeleteMetaFile(m); }
inline void CloseKey(HKEY k) { RegCloseKey(k); }
inline void ReleaseUnknown(IUnknown* p) { p->Release(); }
inline void CloseFind(HANDLE h) { FindClose(h); }
inline void CloseKernelHandle(HANDLE h) { CloseHandle(h); }
}  // namespace detail

using RegKey = UniqueAny<HKEY, &detail::CloseKey>;
using UniqueFile = UniqueAny<FILE*, &detail::CloseFile>;
using UniqueMetafile = UniqueAny<HMETAFILE, &detail::DeleteMetafile>;
using UniqueGlobal = UniqueAny<HGLOBAL, &detail::FreeGlobal>;
// Memory the platform allocated for us with LocalAlloc (FormatMessage's buffer, say).
using UniqueLocal = UniqueAny<void*, &detail::FreeLocal>;
// One name per empty value, as the platform's functions answer "none": a process, thread,
// event or file mapping is null when there is none; a file of CreateFile is
// INVALID_HANDLE_VALUE.
using UniqueHandle = UniqueAny<HANDLE, &detail::CloseKernelHandle>;
using UniqueHFile = UniqueAny<HANDLE, &detail::CloseKernelHandle, -1>;
// A directory search of FindFirstFile.
using UniqueFind = UniqueAny<HANDLE, &detail::CloseFind, -1>;

// An owned BSTR; a null one stands for the empty string.
class BStr : public UniqueAny<BSTR, &SysFreeString> {
public:
    BStr() = default;
    // A copy of s up to its first null character; null for null.
    explicit BStr(const wchar_t* s) : UniqueAny(s ? SysAllocString(s) : nullptr) {}

    // Takes ownership of an allocated BSTR.
    static BStr Attach(BSTR s) { return BStr(UniqueAny(s)); }
    // From narrow text in the ANSI code page; null on a failed allocation.
    static BStr FromAnsi(const char* text);

    UINT Length() const { return SysStringLen(Get()); }

private:
    explicit BStr(UniqueAny&& owned) : UniqueAny(std::move(owned)) {}
};

inline BStr BStr::FromAnsi(const char* text) {
    int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (n <= 0) return BStr();
    BSTR s = SysAllocStringLen(nullptr, static_cast<UINT>(n - 1));
    if (s) MultiByteToWideChar(CP_ACP, 0, text, -1, s, n);
    return Attach(s);
}

// An owned reference to a COM interface. Unlike the other kinds it can be shared: a copy
// takes a reference of its own.
template <class I>
class ComPtr : public UniqueAny<I*, &detail::ReleaseUnknown> {
    using Base = UniqueAny<I*, &detail::ReleaseUnknown>;

public:
    ComPtr() = default;
    ComPtr(I* p) : Base(p) { AddRefHeld(); }
    ComPtr(const ComPtr& o) : ComPtr(o.Get()) {}
    ComPtr(ComPtr&&) noexcept = default;
    ComPtr& operator=(ComPtr o) noexcept {
        Base::operator=(std::move(o));
        return *this;
    }

    void** PutVoid() { return reinterpret_cast<void**>(this->Put()); }
    I* operator->() const { return this->Get(); }

    template <class U>
    HRESULT As(ComPtr<U>& out) const {
        return this->Get() ? this->Get()->QueryInterface(__uuidof(U), out.PutVoid()) : E_POINTER;
    }

private:
    void AddRefHeld() {
        if (this->Get()) this->Get()->AddRef();
    }
};

}  // namespace ov
