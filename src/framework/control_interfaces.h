// Default implementations of the standard control interfaces. T is the control class: it
// derives from ControlBase, which does the work, and from each implementation it offers.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <cstddef>
#include <ocidl.h>

#include "control_base.h"
#include "dispatch_impl.h"

namespace ov {

// Runs the body of a COM method; nothing thrown inside gets past it.
template <class F>
HRESULT Guarded(F&& body) noexcept {
    try {
        return body();
    } catch (...) {
        return E_UNEXPECTED;
    }
}

// The class id of a creatable class, from its object-map entry.
template <class T>
const CLSID& ClassIdOf() {
    return *T::MapEntry().clsid;
}

template <class T>
class ViewObjectExImpl : public IViewObjectEx {
public:
    // IViewObject
    STDMETHOD(Draw)(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc, LPCRECTL bounds, LPCRECTL,
                    WINBOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) override {
        return Guarded([&] { return Control().Draw(aspect, dc, bounds); });
    }
    STDMETHOD(GetColorSet)(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** colors) override {
        if (!colors) return E_POINTER;
        *colors = nullptr;
        return S_FALSE;  // no palette of its own
    }
    STDMETHOD(Freeze)(DWORD, LONG, void*, DWORD*) override { return E_NOTIMPL; }
    STDMETHOD(Unfreeze)(DWORD) override { return E_NOTIMPL; }
    STDMETHOD(SetAdvise)(DWORD aspects, DWORD advf, IAdviseSink* sink) override {
        return Guarded([&] { return Control().SetViewAdvise(aspects, advf, sink); });
    }
    STDMETHOD(GetAdvise)(DWORD* aspects, DWORD* advf, IAdviseSink** sink) override {
        return Guarded([&] { return Control().GetViewAdvise(aspects, advf, sink); });
    }
    // IViewObject2
    STDMETHOD(GetExtent)(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) override {
        return Guarded([&] { return Control().GetExtent(aspect, size); });
    }
    // IViewObjectEx
    STDMETHOD(GetRect)(DWORD, LPRECTL) override { return E_NOTIMPL; }
    STDMETHOD(GetViewStatus)(DWORD* status) override {
        if (!status) return E_POINTER;
        *status = 0;  // makes no promise about opacity
        return S_OK;
    }
    STDMETHOD(QueryHitPoint)(DWORD aspect, LPCRECT bounds, POINT at, LONG, DWORD* result) override {
        if (!bounds || !result) return E_POINTER;
        if (aspect != DVASPECT_CONTENT) return E_FAIL;
        *result = PtInRect(bounds, at) ? HITRESULT_HIT : HITRESULT_OUTSIDE;
        return S_OK;
    }
    STDMETHOD(QueryHitRect)(DWORD aspect, LPCRECT bounds, LPCRECT location, LONG, DWORD* result) override {
        if (!bounds || !location || !result) return E_POINTER;
        if (aspect != DVASPECT_CONTENT) return E_FAIL;
        RECT common;
        *result = IntersectRect(&common, bounds, location) ? HITRESULT_HIT : HITRESULT_OUTSIDE;
        return S_OK;
    }
    STDMETHOD(GetNaturalExtent)(DWORD aspect, LONG, DVTARGETDEVICE*, HDC, DVEXTENTINFO* info,
                                LPSIZEL size) override {
        return Guarded([&] { return Control().GetNaturalExtent(aspect, info, size); });
    }

private:
    ControlBase& Control() { return *static_cast<T*>(this); }
};

template <class T>
class OleInPlaceObjectWindowlessImpl : public IOleInPlaceObjectWindowless {
public:
    // IOleWindow
    STDMETHOD(GetWindow)(HWND* hwnd) override {
        return Guarded([&] { return Control().GetWindow(hwnd); });
    }
    STDMETHOD(ContextSensitiveHelp)(WINBOOL) override { return E_NOTIMPL; }
    // IOleInPlaceObject
    STDMETHOD(InPlaceDeactivate)() override {
        return Guarded([&] { return Control().InPlaceDeactivate(); });
    }
    STDMETHOD(UIDeactivate)() override {
        return Guarded([&] { return Control().UIDeactivate(); });
    }
    STDMETHOD(SetObjectRects)(LPCRECT pos, LPCRECT clip) override {
        return Guarded([&] { return Control().SetObjectRects(pos, clip); });
    }
    STDMETHOD(ReactivateAndUndo)() override { return E_NOTIMPL; }
    // IOleInPlaceObjectWindowless: the control always has a window of its own.
    STDMETHOD(OnWindowMessage)(UINT, WPARAM, LPARAM, LRESULT* result) override {
        if (result) *result = 0;
        return S_FALSE;
    }
    STDMETHOD(GetDropTarget)(IDropTarget** target) override {
        if (target) *target = nullptr;
        return E_NOTIMPL;
    }

private:
    ControlBase& Control() { return *static_cast<T*>(this); }
};

template <class T>
class OleInPlaceActiveObjectImpl : public IOleInPlaceActiveObject {
public:
    STDMETHOD(GetWindow)(HWND* hwnd) override {
        return Guarded([&] { return Control().GetWindow(hwnd); });
    }
    STDMETHOD(ContextSensitiveHelp)(WINBOOL) override { return E_NOTIMPL; }
    STDMETHOD(TranslateAccelerator)(LPMSG) override { return S_FALSE; }
    STDMETHOD(OnFrameWindowActivate)(WINBOOL) override { return S_OK; }
    STDMETHOD(OnDocWindowActivate)(WINBOOL) override { return S_OK; }
    STDMETHOD(ResizeBorder)(LPCRECT, IOleInPlaceUIWindow*, WINBOOL) override { return S_OK; }
    STDMETHOD(EnableModeless)(WINBOOL) override { return S_OK; }

private:
    ControlBase& Control() { return *static_cast<T*>(this); }
};

template <class T>
class OleControlImpl : public IOleControl {
public:
    STDMETHOD(GetControlInfo)(CONTROLINFO* info) override {
        if (!info) return E_POINTER;
        // No mnemonics; cb is the caller's.
        info->hAccel = nullptr;
        info->cAccel = 0;
        info->dwFlags = 0;
        return S_OK;
    }
    STDMETHOD(OnMnemonic)(MSG*) override { return E_NOTIMPL; }
    STDMETHOD(OnAmbientPropertyChange)(DISPID) override { return S_OK; }
    STDMETHOD(FreezeEvents)(WINBOOL freeze) override {
        return Guarded([&] { return Control().FreezeEvents(freeze); });
    }

private:
    ControlBase& Control() { return *static_cast<T*>(this); }
};

template <class T>
class OleObjectImpl : public IOleObject {
public:
    STDMETHOD(SetClientSite)(IOleClientSite* site) override {
        return Guarded([&] { return Control().SetClientSite(site); });
    }
    STDMETHOD(GetClientSite)(IOleClientSite** site) override {
        return Guarded([&] { return Control().GetClientSite(site); });
    }
    STDMETHOD(SetHostNames)(LPCOLESTR, LPCOLESTR) override { return S_OK; }
    STDMETHOD(Close)(DWORD saveOption) override {
        return Guarded([&] { return Control().Close(saveOption); });
    }
    STDMETHOD(SetMoniker)(DWORD, IMoniker*) override { return E_NOTIMPL; }
    STDMETHOD(GetMoniker)(DWORD, DWORD, IMoniker** moniker) override {
        if (moniker) *moniker = nullptr;
        return E_NOTIMPL;
    }
    STDMETHOD(InitFromData)(IDataObject*, WINBOOL, DWORD) override { return E_NOTIMPL; }
    STDMETHOD(GetClipboardData)(DWORD, IDataObject** data) override {
        if (data) *data = nullptr;
        return E_NOTIMPL;
    }
    STDMETHOD(DoVerb)(LONG verb, LPMSG, IOleClientSite* activeSite, LONG, HWND, LPCRECT) override {
        return Guarded([&] { return Control().DoVerb(verb, activeSite); });
    }
    STDMETHOD(EnumVerbs)(IEnumOLEVERB** verbs) override {
        return Guarded([&] { return OleRegEnumVerbs(ClassIdOf<T>(), verbs); });
    }
    STDMETHOD(Update)() override { return S_OK; }
    STDMETHOD(IsUpToDate)() override { return S_OK; }
    STDMETHOD(GetUserClassID)(CLSID* clsid) override {
        if (!clsid) return E_POINTER;
        *clsid = ClassIdOf<T>();
        return S_OK;
    }
    STDMETHOD(GetUserType)(DWORD form, LPOLESTR* type) override {
        return Guarded([&] { return OleRegGetUserType(ClassIdOf<T>(), form, type); });
    }
    STDMETHOD(SetExtent)(DWORD aspect, SIZEL* size) override {
        return Guarded([&] { return Control().SetExtent(aspect, size); });
    }
    STDMETHOD(GetExtent)(DWORD aspect, SIZEL* size) override {
        return Guarded([&] { return Control().GetExtent(aspect, size); });
    }
    STDMETHOD(Advise)(IAdviseSink* sink, DWORD* connection) override {
        return Guarded([&] { return Control().Advise(sink, connection); });
    }
    STDMETHOD(Unadvise)(DWORD connection) override {
        return Guarded([&] { return Control().Unadvise(connection); });
    }
    STDMETHOD(EnumAdvise)(IEnumSTATDATA** advises) override {
        return Guarded([&] { return Control().EnumAdvise(advises); });
    }
    STDMETHOD(GetMiscStatus)(DWORD aspect, DWORD* status) override {
        return Guarded([&] { return OleRegGetMiscStatus(ClassIdOf<T>(), aspect, status); });
    }
    STDMETHOD(SetColorScheme)(LOGPALETTE*) override { return E_NOTIMPL; }

private:
    ControlBase& Control() { return *static_cast<T*>(this); }
};

// What both persistence interfaces answer alike: the class and whether the extent changed.
template <class T, class I>
class PersistDefaults : public I {
public:
    STDMETHOD(GetClassID)(CLSID* clsid) override {
        if (!clsid) return E_POINTER;
        *clsid = ClassIdOf<T>();
        return S_OK;
    }
    STDMETHOD(IsDirty)() override {
        return Guarded([&] { return Control().IsDirty(); });
    }

protected:
    ControlBase& Control() { return *static_cast<T*>(this); }
};

template <class T>
class PersistStreamInitImpl : public PersistDefaults<T, IPersistStreamInit> {
    using PersistDefaults<T, IPersistStreamInit>::Control;

public:
    STDMETHOD(Load)(LPSTREAM stream) override {
        return Guarded([&] { return Control().Load(stream); });
    }
    STDMETHOD(Save)(LPSTREAM stream, WINBOOL clearDirty) override {
        return Guarded([&] { return Control().Save(stream, clearDirty); });
    }
    STDMETHOD(GetSizeMax)(ULARGE_INTEGER* size) override {
        return Guarded([&] { return Control().GetSizeMax(size); });
    }
    STDMETHOD(InitNew)() override {
        return Guarded([&] { return Control().InitNew(); });
    }
};

template <class T>
class PersistStorageImpl : public PersistDefaults<T, IPersistStorage> {
    using PersistDefaults<T, IPersistStorage>::Control;

public:
    STDMETHOD(InitNew)(IStorage* storage) override {
        if (!storage) return E_POINTER;
        return Guarded([&] { return Control().InitNew(); });
    }
    STDMETHOD(Load)(IStorage* storage) override {
        return Guarded([&] { return Control().LoadStorage(storage); });
    }
    STDMETHOD(Save)(IStorage* storage, WINBOOL sameAsLoad) override {
        return Guarded([&] { return Control().SaveStorage(storage, sameAsLoad); });
    }
    // The storage is not kept between calls, so there is nothing to let go of or pick up.
    STDMETHOD(SaveCompleted)(IStorage*) override { return S_OK; }
    STDMETHOD(HandsOffStorage)() override { return S_OK; }
};

template <class T>
class SpecifyPropertyPagesImpl : public ISpecifyPropertyPages {
public:
    STDMETHOD(GetPages)(CAUUID* pages) override {
        if (!pages) return E_POINTER;
        pages->cElems = 0;
        pages->pElems = nullptr;
        return S_OK;
    }
};

template <class T>
class QuickActivateImpl : public IQuickActivate {
public:
    STDMETHOD(QuickActivate)(QACONTAINER* container, QACONTROL* control) override {
        return Guarded([&]() -> HRESULT {
            if (!container || !control) return E_POINTER;
            if (container->cbSize < offsetof(QACONTAINER, pPropertyNotifySink) ||
                control->cbSize < offsetof(QACONTROL, dwEventCookie))
                return E_INVALIDARG;
            ControlBase& c = Control();
            HRESULT hr = c.SetClientSite(container->pClientSite);
            if (FAILED(hr)) return hr;
            if (container->pAdviseSink) c.SetViewAdvise(DVASPECT_CONTENT, 0, container->pAdviseSink);
            DWORD misc = 0;
            OleRegGetMiscStatus(ClassIdOf<T>(), DVASPECT_CONTENT, &misc);
            control->dwMiscStatus = misc;
            control->dwViewStatus = 0;
            // No events and no property notifications to connect.
            if (control->cbSize >= offsetof(QACONTROL, dwPropNotifyCookie) + sizeof(DWORD)) {
                control->dwEventCookie = 0;
                control->dwPropNotifyCookie = 0;
            }
            if (control->cbSize >= sizeof(QACONTROL)) control->dwPointerActivationPolicy = 0;
            return S_OK;
        });
    }
    STDMETHOD(SetContentExtent)(LPSIZEL size) override {
        return Guarded([&] { return Control().SetExtent(DVASPECT_CONTENT, size); });
    }
    STDMETHOD(GetContentExtent)(LPSIZEL size) override {
        return Guarded([&] { return Control().GetExtent(DVASPECT_CONTENT, size); });
    }

private:
    ControlBase& Control() { return *static_cast<T*>(this); }
};

// The control's data: its drawing as a metafile picture.
template <class T>
class DataObjectImpl : public IDataObject {
public:
    STDMETHOD(GetData)(FORMATETC* format, STGMEDIUM* medium) override {
        if (!format || !medium) return E_POINTER;
        HRESULT hr = QueryGetData(format);
        if (hr != S_OK) return hr;
        return Guarded([&] { return Control().RenderMetafile(medium); });
    }
    STDMETHOD(GetDataHere)(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    STDMETHOD(QueryGetData)(FORMATETC* format) override {
        if (!format) return E_POINTER;
        if (format->cfFormat != CF_METAFILEPICT) return DV_E_FORMATETC;
        if (!(format->tymed & TYMED_MFPICT)) return DV_E_TYMED;
        if (format->dwAspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
        if (format->lindex != -1) return DV_E_LINDEX;
        return S_OK;
    }
    STDMETHOD(GetCanonicalFormatEtc)(FORMATETC*, FORMATETC* out) override {
        if (out) out->ptd = nullptr;
        return E_NOTIMPL;
    }
    STDMETHOD(SetData)(FORMATETC*, STGMEDIUM*, WINBOOL) override { return E_NOTIMPL; }
    STDMETHOD(EnumFormatEtc)(DWORD, IEnumFORMATETC** formats) override {
        if (formats) *formats = nullptr;
        return E_NOTIMPL;
    }
    STDMETHOD(DAdvise)(FORMATETC* format, DWORD advf, IAdviseSink* sink, DWORD* connection) override {
        return Guarded([&] { return Control().DataAdvise(format, advf, sink, connection); });
    }
    STDMETHOD(DUnadvise)(DWORD connection) override {
        return Guarded([&] { return Control().DataUnadvise(connection); });
    }
    STDMETHOD(EnumDAdvise)(IEnumSTATDATA** advises) override {
        return Guarded([&] { return Control().EnumDataAdvise(advises); });
    }

private:
    ControlBase& Control() { return *static_cast<T*>(this); }
};

// The coclass's type information from the module's type library. The control has no
// events, so there is no default source interface.
template <class T>
class ProvideClassInfo2Impl : public IProvideClassInfo2 {
public:
    STDMETHOD(GetClassInfo)(ITypeInfo** info) override {
        return Guarded([&] { return g_module.GetTypeInfo(ClassIdOf<T>(), LANG_NEUTRAL, info); });
    }
    STDMETHOD(GetGUID)(DWORD kind, GUID* guid) override {
        if (!guid) return E_POINTER;
        *guid = GUID_NULL;
        return kind == GUIDKIND_DEFAULT_SOURCE_DISP_IID ? E_FAIL : E_INVALIDARG;
    }
};

}  // namespace ov
