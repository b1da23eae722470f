// Object root, interface map, the outermost object and its class factory.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <cstddef>
#include <new>

#include "module.h"

namespace ov {

// One row of an interface map: an IID and the offset of that interface inside the object.
struct InterfaceEntry {
    const IID* iid;
    std::ptrdiff_t offset;
};

// Offset of base interface I inside class C; Via names the base that I is reached through
// when C has several (IDispatch through the dual interface, say).
#define OV_INTERFACE_OFFSET(C, Via, I) \
    (reinterpret_cast<std::ptrdiff_t>(static_cast<I*>(static_cast<Via*>(reinterpret_cast<C*>(8)))) - 8)
#define OV_INTERFACE(C, I) {&__uuidof(I), OV_INTERFACE_OFFSET(C, I, I)}
#define OV_INTERFACE_VIA(C, I, Via) {&__uuidof(I), OV_INTERFACE_OFFSET(C, Via, I)}
#define OV_INTERFACE_END {nullptr, 0}

// Holds the reference count of a single-threaded (apartment) object and answers
// QueryInterface from the derived class's interface map.
class ObjectRoot {
public:
    ULONG InternalAddRef() { return ++refCount_; }
    ULONG InternalRelease() { return --refCount_; }

    // The first entry of the map also answers IUnknown.
    static HRESULT InternalQueryInterface(void* self, const InterfaceEntry* map, REFIID riid, void** ppv) {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (!map || !map->iid) return E_NOINTERFACE;
        for (const InterfaceEntry* e = map; e->iid; ++e) {
            if (IsEqualIID(*e->iid, riid) || (e == map && IsEqualIID(riid, IID_IUnknown))) {
                IUnknown* p = reinterpret_cast<IUnknown*>(static_cast<char*>(self) + e->offset);
                p->AddRef();
                *ppv = p;
                return S_OK;
            }
        }
        return E_NOINTERFACE;
    }

protected:
    ULONG refCount_ = 0;
};

// The object as created: T's interfaces with IUnknown answered here. It holds one lock on
// the module for its whole life.
template <class T>
class ComObject final : public T {
public:
    ComObject() { g_module.Lock(); }
    ~ComObject() override {
        // Keep teardown from destroying the object a second time.
        this->refCount_ = 1;
        g_module.Unlock();
    }

    STDMETHOD_(ULONG, AddRef)() override { return this->InternalAddRef(); }
    STDMETHOD_(ULONG, Release)() override {
        ULONG n = this->InternalRelease();
        if (n == 0) delete this;
        return n;
    }
    STDMETHOD(QueryInterface)(REFIID riid, void** ppv) override {
        return ObjectRoot::InternalQueryInterface(static_cast<T*>(this), T::InterfaceMap(), riid, ppv);
    }

    static HRESULT CreateInstance(REFIID riid, void** ppv) {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        ComObject* p = new (std::nothrow) ComObject();
        if (!p) return E_OUTOFMEMORY;
        p->InternalAddRef();
        HRESULT hr = p->QueryInterface(riid, ppv);
        p->Release();
        return hr;
    }
};

// Class factory of one class; LockServer holds the module. A factory that a client holds
// keeps the module loaded too, or the client would be left with a pointer into an unloaded
// image.
template <class T>
class ClassFactory final : public IClassFactory {
public:
    ClassFactory() { g_module.Lock(); }
    ~ClassFactory() { g_module.Unlock(); }

    STDMETHOD(QueryInterface)(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
            *ppv = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHOD_(ULONG, AddRef)() override { return InterlockedIncrement(&refCount_); }
    STDMETHOD_(ULONG, Release)() override {
        LONG n = InterlockedDecrement(&refCount_);
        if (n == 0) delete this;
        return static_cast<ULONG>(n);
    }
    STDMETHOD(CreateInstance)(IUnknown* outer, REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        return ComObject<T>::CreateInstance(riid, ppv);
    }
    STDMETHOD(LockServer)(BOOL lock) override {
        if (lock) g_module.Lock(); else g_module.Unlock();
        return S_OK;
    }

    static HRESULT Create(REFIID riid, void** ppv) {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        ClassFactory* f = new (std::nothrow) ClassFactory();
        if (!f) return E_OUTOFMEMORY;
        f->AddRef();
        HRESULT hr = f->QueryInterface(riid, ppv);
        f->Release();
        return hr;
    }

private:
    volatile LONG refCount_ = 0;
};

// What a creatable class gives its object-map entry: its class factory, its instances and
// the registration script of resource RegistryId.
template <class T, const CLSID* Clsid, UINT RegistryId>
class ClassObjectSupport {
public:
    static HRESULT UpdateRegistry(bool doRegister) {
        return g_module.UpdateRegistryFromResource(RegistryId, doRegister);
    }
    static constexpr ObjectMapEntry MapEntry() {
        return {Clsid, &UpdateRegistry, &ClassFactory<T>::Create, &ComObject<T>::CreateInstance};
    }
};

}  // namespace ov
