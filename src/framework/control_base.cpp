#include "control_base.h"

#include <olectl.h>

#include <utility>

#include "last_error.h"
#include "module.h"

namespace ov {

namespace {

constexpr wchar_t kWindowClass[] = L"OVControlWindow";

// The class belongs to the module's instance, so a module loaded again at another address
// gets a class of its own rather than one whose procedure points into the old image.
bool RegisterWindowClass(HINSTANCE instance, WNDPROC proc) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    if (GetClassInfoExW(instance, kWindowClass, &wc)) return true;
    wc = WNDCLASSEXW{};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kWindowClass;
    return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

// Notifications a container reflects back to the control that sent them.
bool IsReflected(UINT msg) {
    switch (msg) {
    case OCM_COMMAND: case OCM_CTLCOLORBTN: case OCM_CTLCOLOREDIT: case OCM_CTLCOLORDLG:
    case OCM_CTLCOLORLISTBOX: case OCM_CTLCOLORMSGBOX: case OCM_CTLCOLORSCROLLBAR:
    case OCM_CTLCOLORSTATIC: case OCM_DRAWITEM: case OCM_MEASUREITEM: case OCM_DELETEITEM:
    case OCM_VKEYTOITEM: case OCM_CHARTOITEM: case OCM_COMPAREITEM: case OCM_HSCROLL:
    case OCM_VSCROLL: case OCM_PARENTNOTIFY: case OCM_NOTIFY:
        return true;
    default:
        return false;
    }
}

// Stream layout of the persisted properties: a version word, then "_cx" and "_cy" as
// unsigned 32-bit HIMETRIC values.
constexpr WORD kStreamVersion = 1;
constexpr ULONG kStreamSize = sizeof(WORD) + 2 * sizeof(ULONG);
constexpr wchar_t kContentsStream[] = L"Contents";

HRESULT ReadExactly(IStream* stream, void* data, ULONG size) {
    ULONG got = 0;
    HRESULT hr = stream->Read(data, size, &got);
    if (FAILED(hr)) return hr;
    return got == size ? S_OK : STG_E_READFAULT;
}

HRESULT WriteExactly(IStream* stream, const void* data, ULONG size) {
    ULONG put = 0;
    HRESULT hr = stream->Write(data, size, &put);
    if (FAILED(hr)) return hr;
    return put == size ? S_OK : STG_E_WRITEFAULT;
}

}  // namespace

void ControlBase::UnregisterWindowClass(HINSTANCE instance) { UnregisterClassW(kWindowClass, instance); }

ControlBase::~ControlBase() { DestroyControlWindow(); }

// ---- Site and activation

HRESULT ControlBase::SetClientSite(IOleClientSite* site) {
    // A container that drops its site without closing us first still gets us out of it.
    if (!site && inPlaceActive_) InPlaceDeactivate();
    clientSite_ = site;
    return S_OK;
}

HRESULT ControlBase::GetClientSite(IOleClientSite** site) {
    if (!site) return E_POINTER;
    *site = clientSite_.Get();
    if (*site) (*site)->AddRef();
    return S_OK;
}

HRESULT ControlBase::DoVerb(LONG verb, IOleClientSite* activeSite) {
    if (!clientSite_ && activeSite) clientSite_ = activeSite;
    switch (verb) {
    case OLEIVERB_PRIMARY:
    case OLEIVERB_SHOW:
    case OLEIVERB_INPLACEACTIVATE:
    case OLEIVERB_UIACTIVATE:
        return InPlaceActivate(verb);
    case OLEIVERB_HIDE:
        UIDeactivate();
        if (hwnd_) ShowWindow(hwnd_, SW_HIDE);
        return S_OK;
    case OLEIVERB_DISCARDUNDOSTATE:
        return S_OK;
    default:
        break;
    }
    // Verbs the control does not know: positive ones act as the primary verb.
    if (verb > 0) {
        HRESULT hr = InPlaceActivate(OLEIVERB_PRIMARY);
        return FAILED(hr) ? hr : OLEOBJ_S_INVALIDVERB;
    }
    return E_NOTIMPL;
}

HRESULT ControlBase::InPlaceActivate(LONG verb) {
    if (!clientSite_) return S_OK;  // nowhere to be activated in
    if (!inPlaceActive_) {
        ComPtr<IOleInPlaceSite> site;
        HRESULT hr = clientSite_->QueryInterface(IID_IOleInPlaceSite, site.PutVoid());
        if (FAILED(hr)) return hr;
        hr = site->CanInPlaceActivate();
        if (FAILED(hr)) return hr;
        if (hr != S_OK) return E_FAIL;
        hr = site->OnInPlaceActivate();
        if (FAILED(hr)) return hr;
        inPlaceSite_ = site;
        inPlaceActive_ = true;

        HWND parent = nullptr;
        RECT pos{}, clip{};
        OLEINPLACEFRAMEINFO frameInfo{};
        frameInfo.cb = sizeof frameInfo;
        hr = site->GetWindow(&parent);
        if (SUCCEEDED(hr))
            hr = site->GetWindowContext(frame_.Put(), uiWindow_.Put(), &pos, &clip, &frameInfo);
        if (SUCCEEDED(hr)) hr = CreateControlWindow(parent, pos);
        if (FAILED(hr)) {
            InPlaceDeactivate();
            return hr;
        }
        SetObjectRects(&pos, &clip);
    }
    if (hwnd_ && !IsWindowVisible(hwnd_)) ShowWindow(hwnd_, SW_SHOWNA);
    if (verb == OLEIVERB_PRIMARY || verb == OLEIVERB_UIACTIVATE) return UIActivate();
    return S_OK;
}

HRESULT ControlBase::UIActivate() {
    if (uiActive_) return S_OK;
    if (!inPlaceSite_) return E_UNEXPECTED;
    uiActive_ = true;
    HRESULT hr = inPlaceSite_->OnUIActivate();
    if (FAILED(hr)) {
        uiActive_ = false;
        return hr;
    }
    ComPtr<IOleInPlaceActiveObject> active;
    QueryInterface(IID_IOleInPlaceActiveObject, active.PutVoid());
    if (frame_) {
        frame_->SetActiveObject(active.Get(), nullptr);
        frame_->SetBorderSpace(nullptr);
    }
    if (uiWindow_) {
        uiWindow_->SetActiveObject(active.Get(), nullptr);
        uiWindow_->SetBorderSpace(nullptr);
    }
    if (hwnd_ && GetFocus() != hwnd_) SetFocus(hwnd_);
    return S_OK;
}

HRESULT ControlBase::UIDeactivate() {
    if (!uiActive_) return S_OK;
    uiActive_ = false;
    if (uiWindow_) uiWindow_->SetActiveObject(nullptr, nullptr);
    if (frame_) frame_->SetActiveObject(nullptr, nullptr);
    if (inPlaceSite_) inPlaceSite_->OnUIDeactivate(FALSE);
    return S_OK;
}

HRESULT ControlBase::InPlaceDeactivate() {
    if (!inPlaceActive_) return S_OK;
    UIDeactivate();
    inPlaceActive_ = false;
    DestroyControlWindow();
    ComPtr<IOleInPlaceSite> site = std::move(inPlaceSite_);
    frame_.Reset();
    uiWindow_.Reset();
    if (site) site->OnInPlaceDeactivate();
    return S_OK;
}

HRESULT ControlBase::Close(DWORD saveOption) {
    InPlaceDeactivate();
    if ((saveOption == OLECLOSE_SAVEIFDIRTY || saveOption == OLECLOSE_PROMPTSAVE) && dirty_ && clientSite_)
        clientSite_->SaveObject();
    if (oleAdviseHolder_) oleAdviseHolder_->SendOnClose();
    return S_OK;
}

HRESULT ControlBase::GetWindow(HWND* hwnd) {
    if (!hwnd) return E_POINTER;
    *hwnd = hwnd_;
    return hwnd_ ? S_OK : E_FAIL;
}

HRESULT ControlBase::SetObjectRects(const RECT* pos, const RECT* clip) {
    if (!pos || !clip) return E_POINTER;
    if (!hwnd_) return S_OK;
    // Show only the part of the control inside the clip rectangle.
    RECT visible{};
    IntersectRect(&visible, pos, clip);
    if (EqualRect(&visible, pos)) {
        SetWindowRgn(hwnd_, nullptr, TRUE);
    } else {
        OffsetRect(&visible, -pos->left, -pos->top);
        HRGN region = CreateRectRgnIndirect(&visible);
        if (region && !SetWindowRgn(hwnd_, region, TRUE)) DeleteObject(region);
    }
    SetWindowPos(hwnd_, nullptr, pos->left, pos->top, pos->right - pos->left, pos->bottom - pos->top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    return S_OK;
}

HRESULT ControlBase::FreezeEvents(BOOL freeze) {
    if (freeze) ++freezeCount_;
    else if (freezeCount_ > 0) --freezeCount_;
    return S_OK;
}

// ---- Window

HRESULT ControlBase::CreateControlWindow(HWND parent, const RECT& pos) {
    if (hwnd_) {
        SetParent(hwnd_, parent);
        return S_OK;
    }
    HINSTANCE instance = g_module.Instance();
    if (!RegisterWindowClass(instance, &WindowProc)) return LastErrorHResult();
    HWND hwnd = CreateWindowExW(0, kWindowClass, L"", WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, pos.left,
                                pos.top, pos.right - pos.left, pos.bottom - pos.top, parent, nullptr, instance,
                                this);
    return hwnd ? S_OK : LastErrorHResult();
}

void ControlBase::DestroyControlWindow() {
    HWND hwnd = hwnd_;
    hwnd_ = nullptr;
    if (!hwnd) return;
    // Detached first: the messages of its destruction must not reach a half-torn object.
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    if (IsWindow(hwnd)) DestroyWindow(hwnd);
}

LRESULT CALLBACK ControlBase::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    try {
        if (msg == WM_NCCREATE) {
            auto* created = static_cast<ControlBase*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
            if (created) created->hwnd_ = hwnd;
        }
        auto* self = reinterpret_cast<ControlBase*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (self && msg == WM_NCDESTROY) {
            // Destroyed from outside, with its parent, say.
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            if (self->hwnd_ == hwnd) self->hwnd_ = nullptr;
        } else if (self) {
            LRESULT result = 0;
            if (self->ProcessWindowMessage(msg, wParam, lParam, &result)) return result;
        }
        if (IsReflected(msg)) return DefWindowProcW(hwnd, msg - OCM__BASE, wParam, lParam);
    } catch (...) {
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

bool ControlBase::ProcessWindowMessage(UINT msg, WPARAM wParam, LPARAM, LRESULT* result) {
    switch (msg) {
    case WM_PAINT:
        *result = OnPaint(reinterpret_cast<HDC>(wParam));
        return true;
    case WM_SETFOCUS:
        OnFocus(TRUE);
        if (inPlaceActive_ && !uiActive_) UIActivate();
        return false;
    case WM_KILLFOCUS:
        OnFocus(FALSE);
        return false;
    case WM_MOUSEACTIVATE:
        InPlaceActivate(OLEIVERB_UIACTIVATE);
        return false;
    default:
        return false;
    }
}

LRESULT ControlBase::OnPaint(HDC given) {
    // A DC in wParam (WM_PRINTCLIENT style) is drawn into as it is.
    PAINTSTRUCT ps{};
    HDC dc = given ? given : BeginPaint(hwnd_, &ps);
    if (!dc) return 0;
    RECT client{};
    GetClientRect(hwnd_, &client);
    RECTL bounds{client.left, client.top, client.right, client.bottom};
    Draw(DVASPECT_CONTENT, dc, &bounds);
    if (!given) EndPaint(hwnd_, &ps);
    return 0;
}

void ControlBase::OnFocus(BOOL gotFocus) {
    if (!inPlaceActive_ || !clientSite_) return;
    ComPtr<IOleControlSite> site;
    if (SUCCEEDED(clientSite_->QueryInterface(IID_IOleControlSite, site.PutVoid()))) site->OnFocus(gotFocus);
}

// ---- Extent and drawing

HRESULT ControlBase::GetExtent(DWORD aspect, SIZEL* size) {
    if (!size) return E_POINTER;
    if (aspect != DVASPECT_CONTENT) return E_INVALIDARG;
    *size = extent_;
    return S_OK;
}

HRESULT ControlBase::SetExtent(DWORD aspect, const SIZEL* size) {
    if (!size) return E_POINTER;
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (size->cx < 0 || size->cy < 0) return E_INVALIDARG;
    if (size->cx == extent_.cx && size->cy == extent_.cy) return S_OK;
    extent_ = *size;
    dirty_ = true;
    SendOnDataChange();
    FireViewChange();
    return S_OK;
}

HRESULT ControlBase::GetNaturalExtent(DWORD aspect, const DVEXTENTINFO* info, SIZEL* size) {
    if (!info || !size) return E_POINTER;
    if (aspect != DVASPECT_CONTENT || info->dwExtentMode != DVEXTENT_CONTENT) return E_NOTIMPL;
    *size = naturalExtent_;
    return S_OK;
}

HRESULT ControlBase::Draw(DWORD aspect, HDC dc, const RECTL* bounds) {
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    // A windowed control always draws into given bounds.
    if (!dc || !bounds) return E_INVALIDARG;
    RECT rc{bounds->left, bounds->top, bounds->right, bounds->bottom};
    // The container's DC comes back as it was given.
    int saved = SaveDC(dc);
    HRESULT hr = OnDraw(dc, rc);
    if (saved) RestoreDC(dc, saved);
    return hr;
}

HRESULT ControlBase::RenderMetafile(STGMEDIUM* medium) {
    if (!medium) return E_POINTER;
    // Logical units are screen pixels, so that text comes out at its usual size.
    int dpiX = 96, dpiY = 96;
    if (HDC screen = GetDC(nullptr)) {
        dpiX = GetDeviceCaps(screen, LOGPIXELSX);
        dpiY = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
    }
    RECTL bounds{0, 0, MulDiv(extent_.cx, dpiX, 2540), MulDiv(extent_.cy, dpiY, 2540)};
    HDC dc = CreateMetaFileW(nullptr);
    if (!dc) return E_OUTOFMEMORY;
    SetWindowOrgEx(dc, 0, 0, nullptr);
    SetWindowExtEx(dc, bounds.right, bounds.bottom, nullptr);
    HRESULT hr = Draw(DVASPECT_CONTENT, dc, &bounds);
    UniqueMetafile metafile(CloseMetaFile(dc));
    if (!metafile) return E_OUTOFMEMORY;
    if (FAILED(hr)) return hr;
    UniqueGlobal global(GlobalAlloc(GMEM_MOVEABLE | GMEM_SHARE, sizeof(METAFILEPICT)));
    auto* pict = global ? static_cast<METAFILEPICT*>(GlobalLock(global.Get())) : nullptr;
    if (!pict) return E_OUTOFMEMORY;
    pict->mm = MM_ANISOTROPIC;
    pict->xExt = extent_.cx;
    pict->yExt = extent_.cy;
    pict->hMF = metafile.Detach();  // the picture owns it from here on
    GlobalUnlock(global.Get());
    medium->tymed = TYMED_MFPICT;
    medium->hMetaFilePict = global.Detach();
    medium->pUnkForRelease = nullptr;
    return S_OK;
}

void ControlBase::FireViewChange() {
    if (hwnd_) InvalidateRect(hwnd_, nullptr, TRUE);
    if (viewSink_ && (viewAspects_ & DVASPECT_CONTENT)) {
        ComPtr<IAdviseSink> sink = viewSink_;
        if (viewAdvf_ & ADVF_ONLYONCE) viewSink_.Reset();
        sink->OnViewChange(DVASPECT_CONTENT, -1);
    }
}

void ControlBase::SendOnDataChange() {
    if (!dataAdviseHolder_) return;
    ComPtr<IDataObject> data;
    if (SUCCEEDED(QueryInterface(IID_IDataObject, data.PutVoid())))
        dataAdviseHolder_->SendOnDataChange(data.Get(), 0, 0);
}

// ---- Advise sinks

// The advise holders are made when the first sink arrives or is asked for.
HRESULT ControlBase::EnsureOleAdviseHolder() {
    return oleAdviseHolder_ ? S_OK : CreateOleAdviseHolder(oleAdviseHolder_.Put());
}

HRESULT ControlBase::EnsureDataAdviseHolder() {
    return dataAdviseHolder_ ? S_OK : CreateDataAdviseHolder(dataAdviseHolder_.Put());
}

HRESULT ControlBase::Advise(IAdviseSink* sink, DWORD* connection) {
    HRESULT made = EnsureOleAdviseHolder();
    if (FAILED(made)) return made;
    return oleAdviseHolder_->Advise(sink, connection);
}

HRESULT ControlBase::Unadvise(DWORD connection) {
    return oleAdviseHolder_ ? oleAdviseHolder_->Unadvise(connection) : OLE_E_NOCONNECTION;
}

HRESULT ControlBase::EnumAdvise(IEnumSTATDATA** advises) {
    if (!advises) return E_POINTER;
    *advises = nullptr;
    HRESULT made = EnsureOleAdviseHolder();
    if (FAILED(made)) return made;
    return oleAdviseHolder_->EnumAdvise(advises);
}

HRESULT ControlBase::DataAdvise(FORMATETC* format, DWORD advf, IAdviseSink* sink, DWORD* connection) {
    HRESULT made = EnsureDataAdviseHolder();
    if (FAILED(made)) return made;
    ComPtr<IDataObject> data;
    HRESULT hr = QueryInterface(IID_IDataObject, data.PutVoid());
    if (FAILED(hr)) return hr;
    return dataAdviseHolder_->Advise(data.Get(), format, advf, sink, connection);
}

HRESULT ControlBase::DataUnadvise(DWORD connection) {
    return dataAdviseHolder_ ? dataAdviseHolder_->Unadvise(connection) : OLE_E_NOCONNECTION;
}

HRESULT ControlBase::EnumDataAdvise(IEnumSTATDATA** advises) {
    if (!advises) return E_POINTER;
    *advises = nullptr;
    HRESULT made = EnsureDataAdviseHolder();
    if (FAILED(made)) return made;
    return dataAdviseHolder_->EnumAdvise(advises);
}

HRESULT ControlBase::SetViewAdvise(DWORD aspects, DWORD advf, IAdviseSink* sink) {
    viewSink_ = sink;
    viewAspects_ = aspects;
    viewAdvf_ = advf;
    if (sink && (advf & ADVF_PRIMEFIRST) && (aspects & DVASPECT_CONTENT)) FireViewChange();
    return S_OK;
}

HRESULT ControlBase::GetViewAdvise(DWORD* aspects, DWORD* advf, IAdviseSink** sink) {
    if (aspects) *aspects = viewAspects_;
    if (advf) *advf = viewAdvf_;
    if (sink) {
        *sink = viewSink_.Get();
        if (*sink) (*sink)->AddRef();
    }
    return S_OK;
}

// ---- Persistence

HRESULT ControlBase::InitNew() {
    extent_ = SIZEL{kDefaultExtent, kDefaultExtent};
    dirty_ = false;
    return S_OK;
}

HRESULT ControlBase::Load(IStream* stream) {
    if (!stream) return E_POINTER;
    WORD version = 0;
    ULONG cx = 0, cy = 0;
    HRESULT hr = ReadExactly(stream, &version, sizeof version);
    if (SUCCEEDED(hr) && version != kStreamVersion) hr = E_FAIL;
    if (SUCCEEDED(hr)) hr = ReadExactly(stream, &cx, sizeof cx);
    if (SUCCEEDED(hr)) hr = ReadExactly(stream, &cy, sizeof cy);
    if (FAILED(hr)) return hr;
    if (cx > 0x7FFFFFFFu || cy > 0x7FFFFFFFu) return E_FAIL;
    extent_ = SIZEL{static_cast<LONG>(cx), static_cast<LONG>(cy)};
    dirty_ = false;
    return S_OK;
}

HRESULT ControlBase::Save(IStream* stream, BOOL clearDirty) {
    if (!stream) return E_POINTER;
    const WORD version = kStreamVersion;
    const ULONG cx = static_cast<ULONG>(extent_.cx), cy = static_cast<ULONG>(extent_.cy);
    HRESULT hr = WriteExactly(stream, &version, sizeof version);
    if (SUCCEEDED(hr)) hr = WriteExactly(stream, &cx, sizeof cx);
    if (SUCCEEDED(hr)) hr = WriteExactly(stream, &cy, sizeof cy);
    if (SUCCEEDED(hr) && clearDirty) dirty_ = false;
    return hr;
}

HRESULT ControlBase::GetSizeMax(ULARGE_INTEGER* size) {
    if (!size) return E_POINTER;
    size->QuadPart = kStreamSize;
    return S_OK;
}

HRESULT ControlBase::LoadStorage(IStorage* storage) {
    if (!storage) return E_POINTER;
    ComPtr<IStream> stream;
    HRESULT hr = storage->OpenStream(kContentsStream, nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, stream.Put());
    if (FAILED(hr)) return hr;
    return Load(stream.Get());
}

HRESULT ControlBase::SaveStorage(IStorage* storage, BOOL sameAsLoad) {
    if (!storage) return E_POINTER;
    ComPtr<IStream> stream;
    HRESULT hr = storage->CreateStream(kContentsStream, STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE, 0, 0,
                                       stream.Put());
    if (FAILED(hr)) return hr;
    return Save(stream.Get(), sameAsLoad);
}

HRESULT ControlBase::ClassId(CLSID* clsid) {
    if (!clsid) return E_POINTER;
    ComPtr<IPersist> persist;
    HRESULT hr = QueryInterface(IID_IPersist, persist.PutVoid());
    if (FAILED(hr)) return hr;
    return persist->GetClassID(clsid);
}

}  // namespace ov
