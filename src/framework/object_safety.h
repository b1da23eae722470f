// IObjectSafety: the options an object declares for scripting and initialisation.
#pragma once

#include <windows.h>
#include <objsafe.h>

// The mingw header declares the interface without binding its IID for __uuidof.
__CRT_UUID_DECL(IObjectSafety, 0xcb5bdc81, 0x93c1, 0x11cf, 0x8f, 0x20, 0x00, 0x80, 0x5f, 0x2c, 0xd0, 0x64)

namespace ov {

template <DWORD Supported>
class ObjectSafetyImpl : public IObjectSafety {
public:
    STDMETHOD(GetInterfaceSafetyOptions)(REFIID riid, DWORD* supported, DWORD* enabled) override {
        if (!supported || !enabled) return E_POINTER;
        if (!Answers(riid)) {
            *supported = *enabled = 0;
            return E_NOINTERFACE;
        }
        *supported = Supported;
        *enabled = current_ & Supported;
        return S_OK;
    }
    STDMETHOD(SetInterfaceSafetyOptions)(REFIID riid, DWORD mask, DWORD enabled) override {
        if ((mask & Supported) != mask) return E_FAIL;
        if (!Answers(riid)) return E_NOINTERFACE;
        current_ = (current_ & ~mask) | (enabled & mask);
        return S_OK;
    }

private:
    bool Answers(REFIID riid) {
        IUnknown* p = nullptr;
        if (FAILED(this->QueryInterface(riid, reinterpret_cast<void**>(&p))) || !p)
            return false;
        p->Release();
        return true;
    }

    DWORD current_ = 0;
};

}  // namespace ov
