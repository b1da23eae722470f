// What a control is to its container: its window, the container's sites and advise sinks,
// its extent and the persistence of that extent. The default interface implementations of
// control_interfaces.h forward here.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <ocidl.h>

#include "unique_any.h"

namespace ov {

class ControlBase {
public:
    // Two inches square.
    static constexpr LONG kDefaultExtent = 5080;  // HIMETRIC

    ControlBase() = default;
    ControlBase(const ControlBase&) = delete;
    ControlBase& operator=(const ControlBase&) = delete;
    // Destroys the window and lets go of the container's interfaces without calling them:
    // by now the container has either closed the control or is gone.
    ~ControlBase();

    // Gives back the control window's class when the module is unloaded, so that a module
    // loaded again (at another address, say) registers its own.
    static void UnregisterWindowClass(HINSTANCE instance);

    // Answered by the outermost object; reaches the control's own interfaces.
    virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) = 0;

    // Draws the control into dc on bounds (logical units of dc). The DC's state is saved
    // around the call, so the control may change it freely.
    virtual HRESULT OnDraw(HDC dc, const RECT& bounds) = 0;

    // Site and activation.
    HRESULT SetClientSite(IOleClientSite* site);
    HRESULT GetClientSite(IOleClientSite** site);
    HRESULT DoVerb(LONG verb, IOleClientSite* activeSite);
    HRESULT InPlaceActivate(LONG verb);
    HRESULT InPlaceDeactivate();
    HRESULT UIDeactivate();
    HRESULT Close(DWORD saveOption);
    HRESULT GetWindow(HWND* hwnd);
    HRESULT SetObjectRects(const RECT* pos, const RECT* clip);
    HRESULT FreezeEvents(BOOL freeze);

    // Extent and drawing.
    HRESULT GetExtent(DWORD aspect, SIZEL* size);
    HRESULT SetExtent(DWORD aspect, const SIZEL* size);
    HRESULT GetNaturalExtent(DWORD aspect, const DVEXTENTINFO* info, SIZEL* size);
    HRESULT Draw(DWORD aspect, HDC dc, const RECTL* bounds);
    // The drawing as a metafile picture of the current extent.
    HRESULT RenderMetafile(STGMEDIUM* medium);

    // Advise sinks: object (close, save, rename), data and view.
    HRESULT Advise(IAdviseSink* sink, DWORD* connection);
    HRESULT Unadvise(DWORD connection);
    HRESULT EnumAdvise(IEnumSTATDATA** advises);
    HRESULT DataAdvise(FORMATETC* format, DWORD advf, IAdviseSink* sink, DWORD* connection);
    HRESULT DataUnadvise(DWORD connection);
    HRESULT EnumDataAdvise(IEnumSTATDATA** advises);
    HRESULT SetViewAdvise(DWORD aspects, DWORD advf, IAdviseSink* sink);
    HRESULT GetViewAdvise(DWORD* aspects, DWORD* advf, IAdviseSink** sink);

    // Persisted properties "_cx" and "_cy": the extent.
    HRESULT IsDirty() const { return dirty_ ? S_OK : S_FALSE; }
    HRESULT InitNew();
    HRESULT Load(IStream* stream);
    HRESULT Save(IStream* stream, BOOL clearDirty);
    HRESULT GetSizeMax(ULARGE_INTEGER* size);
    HRESULT LoadStorage(IStorage* storage);
    HRESULT SaveStorage(IStorage* storage, BOOL sameAsLoad);

    // Registered class settings of the control (misc status, user type, verbs).
    HRESULT ClassId(CLSID* clsid);

protected:
    // The window's messages, before the default handling; true when handled.
    virtual bool ProcessWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result);

    // Tells the container that the drawing or the data changed.
    void FireViewChange();
    void SendOnDataChange();

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    HRESULT CreateControlWindow(HWND parent, const RECT& pos);
    void DestroyControlWindow();
    HRESULT UIActivate();
    HRESULT EnsureOleAdviseHolder();
    HRESULT EnsureDataAdviseHolder();
    void OnFocus(BOOL gotFocus);
    LRESULT OnPaint(HDC given);

    HWND hwnd_ = nullptr;
    ComPtr<IOleClientSite> clientSite_;
    ComPtr<IOleInPlaceSite> inPlaceSite_;
    ComPtr<IOleInPlaceFrame> frame_;
    ComPtr<IOleInPlaceUIWindow> uiWindow_;
    ComPtr<IOleAdviseHolder> oleAdviseHolder_;
    ComPtr<IDataAdviseHolder> dataAdviseHolder_;
    ComPtr<IAdviseSink> viewSink_;
    DWORD viewAspects_ = 0;
    DWORD viewAdvf_ = 0;
    SIZEL extent_{kDefaultExtent, kDefaultExtent};
    SIZEL naturalExtent_{kDefaultExtent, kDefaultExtent};
    bool inPlaceActive_ = false;
    bool uiActive_ = false;
    bool dirty_ = false;
    ULONG freezeCount_ = 0;
};

}  // namespace ov
