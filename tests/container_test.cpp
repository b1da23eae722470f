// The control as a container sees it: its control interfaces, extent, persistence, drawing,
// notifications, in-place activation in a site of our own and in Wine's AtlAxWin host.
#include <gtest/gtest.h>

#include <ole2.h>
#include <objsafe.h>
#include <olectl.h>
#include <ocidl.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <iterator>
#include <vector>

#include "support/test_support.h"

using namespace ovtest;

namespace {

using CanUnloadFn = HRESULT(STDAPICALLTYPE*)();

// What the registration script stores as the control's MiscStatus.
constexpr DWORD kRegisteredMiscStatus = 131473;

template <class I>
ov::ComPtr<I> Query(const ov::ComPtr<IOVCustInst>& control) {
    ov::ComPtr<I> p;
    EXPECT_EQ(control.As(p), S_OK);
    return p;
}

SIZEL ExtentOf(const ov::ComPtr<IOVCustInst>& control) {
    SIZEL size{-1, -1};
    EXPECT_EQ(Query<IOleObject>(control)->GetExtent(DVASPECT_CONTENT, &size), S_OK);
    return size;
}

void ExpectExtent(const ov::ComPtr<IOVCustInst>& control, LONG cx, LONG cy) {
    SIZEL size = ExtentOf(control);
    EXPECT_EQ(size.cx, cx);
    EXPECT_EQ(size.cy, cy);
}

// Reference counts that the tests can watch; the objects live on the test's stack.
class Counted {
public:
    ULONG Refs() const { return refs_; }

protected:
    ULONG AddRefImpl() { return ++refs_; }
    ULONG ReleaseImpl() { return --refs_; }

private:
    ULONG refs_ = 1;
};

class AdviseSinkSpy final : public IAdviseSinkEx, public Counted {
public:
    STDMETHOD(QueryInterface)(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IAdviseSink) ||
            IsEqualIID(riid, IID_IAdviseSinkEx)) {
            *ppv = static_cast<IAdviseSinkEx*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHOD_(ULONG, AddRef)() override { return AddRefImpl(); }
    STDMETHOD_(ULONG, Release)() override { return ReleaseImpl(); }

    void STDMETHODCALLTYPE OnDataChange(FORMATETC* format, STGMEDIUM* medium) override {
        ++dataChanges;
        lastFormat = format ? format->cfFormat : 0;
        lastTymed = medium ? medium->tymed : static_cast<DWORD>(TYMED_NULL);
    }
    void STDMETHODCALLTYPE OnViewChange(DWORD aspect, LONG) override {
        ++viewChanges;
        lastAspect = aspect;
    }
    void STDMETHODCALLTYPE OnRename(IMoniker*) override {}
    void STDMETHODCALLTYPE OnSave() override {}
    void STDMETHODCALLTYPE OnClose() override { ++closes; }
    void STDMETHODCALLTYPE OnViewStatusChange(DWORD) override {}

    int dataChanges = 0;
    int viewChanges = 0;
    int closes = 0;
    DWORD lastAspect = 0;
    CLIPFORMAT lastFormat = 0;
    DWORD lastTymed = TYMED_NULL;
};

// A minimal in-place container: a client site and an in-place site over a parent window,
// without frame or document window.
class TestSite final : public IOleClientSite, public IOleInPlaceSite, public Counted {
public:
    TestSite(HWND parent, RECT pos) : parent_(parent), pos_(pos) {}

    STDMETHOD(QueryInterface)(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IOleClientSite)) {
            *ppv = static_cast<IOleClientSite*>(this);
        } else if (IsEqualIID(riid, IID_IOleWindow) || IsEqualIID(riid, IID_IOleInPlaceSite)) {
            *ppv = static_cast<IOleInPlaceSite*>(this);
        } else {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    STDMETHOD_(ULONG, AddRef)() override { return AddRefImpl(); }
    STDMETHOD_(ULONG, Release)() override { return ReleaseImpl(); }

    // IOleClientSite
    STDMETHOD(SaveObject)() override {
        ++saves;
        return S_OK;
    }
    STDMETHOD(GetMoniker)(DWORD, DWORD, IMoniker** mk) override {
        if (mk) *mk = nullptr;
        return E_NOTIMPL;
    }
    STDMETHOD(GetContainer)(IOleContainer** c) override {
        if (c) *c = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHOD(ShowObject)() override { return S_OK; }
    STDMETHOD(OnShowWindow)(WINBOOL) override { return S_OK; }
    STDMETHOD(RequestNewObjectLayout)() override { return E_NOTIMPL; }

    // IOleWindow
    STDMETHOD(GetWindow)(HWND* hwnd) override {
        *hwnd = parent_;
        return S_OK;
    }
    STDMETHOD(ContextSensitiveHelp)(WINBOOL) override { return E_NOTIMPL; }

    // IOleInPlaceSite
    STDMETHOD(CanInPlaceActivate)() override { return S_OK; }
    STDMETHOD(OnInPlaceActivate)() override {
        ++inPlaceActivations;
        return S_OK;
    }
    STDMETHOD(OnUIActivate)() override {
        ++uiActivations;
        return S_OK;
    }
    STDMETHOD(GetWindowContext)(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT pos, LPRECT clip,
                                LPOLEINPLACEFRAMEINFO info) override {
        *frame = nullptr;
        *doc = nullptr;
        *pos = pos_;
        *clip = pos_;
        info->fMDIApp = FALSE;
        info->hwndFrame = parent_;
        info->haccel = nullptr;
        info->cAccelEntries = 0;
        return S_OK;
    }
    STDMETHOD(Scroll)(SIZE) override { return E_NOTIMPL; }
    STDMETHOD(OnUIDeactivate)(WINBOOL) override {
        ++uiDeactivations;
        return S_OK;
    }
    STDMETHOD(OnInPlaceDeactivate)() override {
        ++inPlaceDeactivations;
        return S_OK;
    }
    STDMETHOD(DiscardUndoState)() override { return S_OK; }
    STDMETHOD(DeactivateAndUndo)() override { return S_OK; }
    STDMETHOD(OnPosRectChange)(LPCRECT) override { return S_OK; }

    int saves = 0;
    int inPlaceActivations = 0;
    int inPlaceDeactivations = 0;
    int uiActivations = 0;
    int uiDeactivations = 0;

private:
    HWND parent_;
    RECT pos_;
};

// A top-level window to put controls into; destroyed with the test.
class ParentWindow {
public:
    ParentWindow()
        : hwnd_(CreateWindowExA(0, "STATIC", "parent", WS_POPUP | WS_VISIBLE, 0, 0, 400, 300, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr)) {}
    ~ParentWindow() {
        if (IsWindow(hwnd_)) DestroyWindow(hwnd_);
    }
    HWND Get() const { return hwnd_; }

private:
    HWND hwnd_;
};

// A 32-bit top-down memory bitmap filled with grey, with a white brush, a black pen and red
// text selected, and its logical origin moved to `origin` so that text overhanging the
// drawing on the left stays on the bitmap.
class Canvas {
public:
    static constexpr COLORREF kBackground = RGB(128, 128, 128);

    Canvas(int width, int height, POINT origin) : width_(width), height_(height) {
        dc_ = CreateCompatibleDC(nullptr);
        BITMAPINFO bi{};
        bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        bi.bmiHeader.biWidth = width;
        bi.bmiHeader.biHeight = -height;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        bi.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        bitmap_ = CreateDIBSection(dc_, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
        bits_ = static_cast<DWORD*>(bits);
        oldBitmap_ = SelectObject(dc_, bitmap_);
        for (int i = 0; bits_ && i < width * height; ++i) bits_[i] = 0x808080;
        SelectObject(dc_, GetStockObject(WHITE_BRUSH));
        SelectObject(dc_, GetStockObject(BLACK_PEN));
        SetTextColor(dc_, RGB(255, 0, 0));
        SetViewportOrgEx(dc_, origin.x, origin.y, nullptr);
    }
    ~Canvas() {
        SelectObject(dc_, oldBitmap_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    bool Ok() const { return dc_ && bitmap_ && bits_; }
    HDC Dc() const { return dc_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    COLORREF At(int x, int y) const {
        GdiFlush();
        DWORD p = bits_[y * width_ + x];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }

private:
    int width_, height_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ oldBitmap_ = nullptr;
    DWORD* bits_ = nullptr;
};

// The bounding box of the red caption's pixels (antialiased edges count when mostly red).
struct Ink {
    int left = INT_MAX, top = INT_MAX, right = -1, bottom = -1, count = 0;
};

Ink FindCaptionInk(const Canvas& canvas) {
    Ink ink;
    for (int y = 0; y < canvas.Height(); ++y) {
        for (int x = 0; x < canvas.Width(); ++x) {
            COLORREF c = canvas.At(x, y);
            if (GetRValue(c) >= 128 && GetGValue(c) < 128 && GetBValue(c) < 128) {
                ink.left = std::min(ink.left, x);
                ink.right = std::max(ink.right, x);
                ink.top = std::min(ink.top, y);
                ink.bottom = std::max(ink.bottom, y);
                ++ink.count;
            }
        }
    }
    return ink;
}

// The drawing on `bounds` (bitmap coordinates): the frame on the bounds' edge with the brush
// inside and nothing outside, and the caption centred on the middle with its baseline there.
void ExpectFramedCaption(const Canvas& canvas, const RECT& r) {
    const COLORREF black = RGB(0, 0, 0), white = RGB(255, 255, 255), grey = Canvas::kBackground;
    const int low = r.bottom - 3;  // a row well below the caption
    EXPECT_EQ(canvas.At(r.left, low), black);
    EXPECT_EQ(canvas.At(r.right - 1, low), black);
    EXPECT_EQ(canvas.At(r.left + 1, low), white);
    EXPECT_EQ(canvas.At(r.right - 2, low), white);
    EXPECT_EQ(canvas.At(r.left - 1, low), grey);
    EXPECT_EQ(canvas.At(r.right, low), grey);
    EXPECT_EQ(canvas.At(r.left + 3, r.top), black);
    EXPECT_EQ(canvas.At(r.left + 3, r.bottom - 1), black);
    EXPECT_EQ(canvas.At(r.left + 3, r.top - 1), grey);
    EXPECT_EQ(canvas.At(r.left + 3, r.bottom), grey);

    const int centreX = (r.left + r.right) / 2, baseline = (r.top + r.bottom) / 2;
    Ink ink = FindCaptionInk(canvas);
    ASSERT_GT(ink.count, 30) << "no caption drawn";
    // Centred horizontally: as much ink on either side of the centre.
    EXPECT_LT(ink.left, centreX - 10);
    EXPECT_GT(ink.right, centreX + 10);
    EXPECT_LE(std::abs((ink.left + ink.right) - 2 * centreX), 3) << ink.left << ".." << ink.right;
    // On the baseline: the glyphs (none with descenders) end just above it, nothing below.
    EXPECT_LE(ink.bottom, baseline) << "ink below the baseline";
    EXPECT_GE(ink.bottom, baseline - 2) << "caption does not reach the baseline";
    EXPECT_LT(ink.top, baseline - 5);
}

const IID* const kMappedInterfaces[] = {
    &IID_IOVCustInst, &IID_IDispatch, &IID_IViewObjectEx, &IID_IViewObject2, &IID_IViewObject,
    &IID_IOleInPlaceObjectWindowless, &IID_IOleInPlaceObject, &IID_IOleWindow, &IID_IOleInPlaceActiveObject,
    &IID_IOleControl, &IID_IOleObject, &IID_IPersistStreamInit, &IID_IPersist, &IID_ISpecifyPropertyPages,
    &IID_IQuickActivate, &IID_IPersistStorage, &IID_IDataObject, &IID_IProvideClassInfo,
    &IID_IProvideClassInfo2, &IID_IObjectSafety,
};

}  // namespace

TEST(ContainerInterfaces, AnswersEveryControlInterfaceAsOneObject) {
    auto control = CreateControl();
    ov::ComPtr<IUnknown> identity;
    ASSERT_EQ(control->QueryInterface(IID_IUnknown, identity.PutVoid()), S_OK);
    for (size_t i = 0; i < std::size(kMappedInterfaces); ++i) {
        ov::ComPtr<IUnknown> p;
        ASSERT_EQ(control->QueryInterface(*kMappedInterfaces[i], p.PutVoid()), S_OK) << "map entry " << i;
        ASSERT_TRUE(p);
        ov::ComPtr<IUnknown> back;
        ASSERT_EQ(p->QueryInterface(IID_IUnknown, back.PutVoid()), S_OK);
        EXPECT_EQ(back.Get(), identity.Get());
    }
    for (REFIID iid : {IID_IConnectionPointContainer, IID_IPersistPropertyBag, IID_IRunnableObject}) {
        IUnknown* p = reinterpret_cast<IUnknown*>(1);
        EXPECT_EQ(control->QueryInterface(iid, reinterpret_cast<void**>(&p)), E_NOINTERFACE);
        EXPECT_EQ(p, nullptr);
    }
    // Not activated yet: no window.
    HWND hwnd = reinterpret_cast<HWND>(1);
    EXPECT_EQ(Query<IOleWindow>(control)->GetWindow(&hwnd), E_FAIL);
    EXPECT_EQ(hwnd, nullptr);
}

TEST(ContainerInterfaces, ClassInfoPagesAndRegisteredSettings) {
    auto control = CreateControl();
    ov::ComPtr<ITypeInfo> info;
    ASSERT_EQ(Query<IProvideClassInfo>(control)->GetClassInfo(info.Put()), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->typekind, TKIND_COCLASS);
    EXPECT_TRUE(IsEqualGUID(attr->guid, CLSID_OVCustInst));
    info->ReleaseTypeAttr(attr);
    // Its default interface is the automation interface.
    HREFTYPE ref = 0;
    ov::ComPtr<ITypeInfo> dual;
    ASSERT_EQ(info->GetRefTypeOfImplType(0, &ref), S_OK);
    ASSERT_EQ(info->GetRefTypeInfo(ref, dual.Put()), S_OK);
    ASSERT_EQ(dual->GetTypeAttr(&attr), S_OK);
    EXPECT_TRUE(IsEqualGUID(attr->guid, IID_IOVCustInst));
    dual->ReleaseTypeAttr(attr);

    // No events, so no default source interface.
    GUID source = IID_IOVCustInst;
    EXPECT_EQ(Query<IProvideClassInfo2>(control)->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source), E_FAIL);
    EXPECT_TRUE(IsEqualGUID(source, GUID_NULL));

    CAUUID pages{5, reinterpret_cast<GUID*>(1)};
    ASSERT_EQ(Query<ISpecifyPropertyPages>(control)->GetPages(&pages), S_OK);
    EXPECT_EQ(pages.cElems, 0u);
    EXPECT_EQ(pages.pElems, nullptr);

    auto ole = Query<IOleObject>(control);
    DWORD misc = 0;
    ASSERT_EQ(ole->GetMiscStatus(DVASPECT_CONTENT, &misc), S_OK);
    EXPECT_EQ(misc, kRegisteredMiscStatus);
    CLSID clsid = GUID_NULL;
    ASSERT_EQ(Query<IPersist>(control)->GetClassID(&clsid), S_OK);
    EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_OVCustInst));
    LPOLESTR type = nullptr;
    ASSERT_EQ(ole->GetUserType(USERCLASSTYPE_FULL, &type), S_OK);
    EXPECT_STREQ(type, L"OVCustInst Class");
    CoTaskMemFree(type);
}

TEST(ContainerExtent, StartsAtTwoInchesAndFollowsSetExtent) {
    auto control = CreateControl();
    ExpectExtent(control, 5080, 5080);
    auto ole = Query<IOleObject>(control);
    SIZEL size{};
    EXPECT_EQ(ole->GetExtent(DVASPECT_ICON, &size), E_INVALIDARG);
    EXPECT_EQ(Query<IPersistStreamInit>(control)->IsDirty(), S_FALSE);

    SIZEL wanted{1234, 567};
    ASSERT_EQ(ole->SetExtent(DVASPECT_CONTENT, &wanted), S_OK);
    ExpectExtent(control, 1234, 567);
    // Every view of the extent agrees; the natural extent stays.
    SIZEL seen{};
    ASSERT_EQ(Query<IViewObject2>(control)->GetExtent(DVASPECT_CONTENT, -1, nullptr, &seen), S_OK);
    EXPECT_EQ(seen.cx, 1234);
    EXPECT_EQ(seen.cy, 567);
    ASSERT_EQ(Query<IQuickActivate>(control)->GetContentExtent(&seen), S_OK);
    EXPECT_EQ(seen.cx, 1234);
    EXPECT_EQ(seen.cy, 567);
    DVEXTENTINFO mode{sizeof(DVEXTENTINFO), DVEXTENT_CONTENT, {0, 0}};
    ASSERT_EQ(Query<IViewObjectEx>(control)->GetNaturalExtent(DVASPECT_CONTENT, -1, nullptr, nullptr, &mode, &seen),
              S_OK);
    EXPECT_EQ(seen.cx, 5080);
    EXPECT_EQ(seen.cy, 5080);
    EXPECT_EQ(Query<IPersistStreamInit>(control)->IsDirty(), S_OK);

    SIZEL other{10, 20};
    ASSERT_EQ(Query<IQuickActivate>(control)->SetContentExtent(&other), S_OK);
    ExpectExtent(control, 10, 20);
    EXPECT_EQ(ole->SetExtent(DVASPECT_ICON, &wanted), DV_E_DVASPECT);
    ExpectExtent(control, 10, 20);
}

TEST(ContainerPersistence, StreamRoundTripAndInitNew) {
    auto saved = CreateControl();
    SIZEL wanted{1234, 567};
    ASSERT_EQ(Query<IOleObject>(saved)->SetExtent(DVASPECT_CONTENT, &wanted), S_OK);
    auto persist = Query<IPersistStreamInit>(saved);
    ov::ComPtr<IStream> stream;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, stream.Put()), S_OK);
    ASSERT_EQ(persist->Save(stream.Get(), TRUE), S_OK);
    EXPECT_EQ(persist->IsDirty(), S_FALSE);
    STATSTG stat{};
    ASSERT_EQ(stream->Stat(&stat, STATFLAG_NONAME), S_OK);
    ULARGE_INTEGER max{};
    ASSERT_EQ(persist->GetSizeMax(&max), S_OK);
    EXPECT_GT(stat.cbSize.QuadPart, 0u);
    EXPECT_GE(max.QuadPart, stat.cbSize.QuadPart);

    auto loaded = CreateControl();
    auto loader = Query<IPersistStreamInit>(loaded);
    LARGE_INTEGER start{};
    ASSERT_EQ(stream->Seek(start, STREAM_SEEK_SET, nullptr), S_OK);
    ASSERT_EQ(loader->Load(stream.Get()), S_OK);
    ExpectExtent(loaded, 1234, 567);
    EXPECT_EQ(loader->IsDirty(), S_FALSE);
    ASSERT_EQ(loader->InitNew(), S_OK);
    ExpectExtent(loaded, 5080, 5080);

    // A stream cut short loads nothing.
    std::vector<BYTE> bytes(static_cast<size_t>(stat.cbSize.QuadPart));
    ULONG got = 0;
    ASSERT_EQ(stream->Seek(start, STREAM_SEEK_SET, nullptr), S_OK);
    ASSERT_EQ(stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &got), S_OK);
    ov::ComPtr<IStream> cut;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, cut.Put()), S_OK);
    ASSERT_EQ(cut->Write(bytes.data(), got - 1, nullptr), S_OK);
    ASSERT_EQ(cut->Seek(start, STREAM_SEEK_SET, nullptr), S_OK);
    EXPECT_TRUE(FAILED(loader->Load(cut.Get())));
    ExpectExtent(loaded, 5080, 5080);
}

TEST(ContainerPersistence, StorageRoundTripThroughContentsStream) {
    ov::ComPtr<ILockBytes> bytes;
    ASSERT_EQ(CreateILockBytesOnHGlobal(nullptr, TRUE, bytes.Put()), S_OK);
    ov::ComPtr<IStorage> storage;
    ASSERT_EQ(StgCreateDocfileOnILockBytes(bytes.Get(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0,
                                           storage.Put()),
              S_OK);

    auto saved = CreateControl();
    SIZEL wanted{4321, 765};
    ASSERT_EQ(Query<IOleObject>(saved)->SetExtent(DVASPECT_CONTENT, &wanted), S_OK);
    auto persist = Query<IPersistStorage>(saved);
    EXPECT_EQ(persist->IsDirty(), S_OK);
    ASSERT_EQ(persist->Save(storage.Get(), TRUE), S_OK);
    ASSERT_EQ(persist->SaveCompleted(nullptr), S_OK);
    ASSERT_EQ(storage->Commit(STGC_DEFAULT), S_OK);
    EXPECT_EQ(persist->IsDirty(), S_FALSE);
    {
        ov::ComPtr<IStream> contents;
        EXPECT_EQ(storage->OpenStream(L"Contents", nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, contents.Put()),
                  S_OK);
    }

    auto loaded = CreateControl();
    auto loader = Query<IPersistStorage>(loaded);
    ASSERT_EQ(loader->Load(storage.Get()), S_OK);
    ExpectExtent(loaded, 4321, 765);
    ASSERT_EQ(loader->HandsOffStorage(), S_OK);
    ASSERT_EQ(loader->InitNew(storage.Get()), S_OK);
    ExpectExtent(loaded, 5080, 5080);

    // An empty storage has nothing to load.
    ov::ComPtr<ILockBytes> emptyBytes;
    ov::ComPtr<IStorage> empty;
    ASSERT_EQ(CreateILockBytesOnHGlobal(nullptr, TRUE, emptyBytes.Put()), S_OK);
    ASSERT_EQ(StgCreateDocfileOnILockBytes(emptyBytes.Get(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0,
                                           empty.Put()),
              S_OK);
    auto fresh = CreateControl();
    EXPECT_TRUE(FAILED(Query<IPersistStorage>(fresh)->Load(empty.Get())));
    ExpectExtent(fresh, 5080, 5080);
}

TEST(ContainerDrawing, ViewObjectDrawsFrameAndCentredCaption) {
    auto control = CreateControl();
    auto view = Query<IViewObject>(control);
    // Bounds 100 x 50 at the logical origin, which sits at (150, 30) on the bitmap.
    Canvas canvas(400, 120, POINT{150, 30});
    ASSERT_TRUE(canvas.Ok());
    RECTL bounds{0, 0, 100, 50};
    ASSERT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, canvas.Dc(), &bounds, nullptr, nullptr, 0),
              S_OK);
    ExpectFramedCaption(canvas, RECT{150, 30, 250, 80});
    // The container's DC is handed back as it was.
    EXPECT_EQ(GetTextAlign(canvas.Dc()), static_cast<UINT>(TA_LEFT | TA_TOP));

    EXPECT_EQ(view->Draw(DVASPECT_ICON, -1, nullptr, nullptr, nullptr, canvas.Dc(), &bounds, nullptr, nullptr, 0),
              DV_E_DVASPECT);
    EXPECT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, canvas.Dc(), nullptr, nullptr, nullptr, 0),
              E_INVALIDARG);
}

TEST(ContainerNotifications, ViewDataAndCloseSinksHearOfChanges) {
    AdviseSinkSpy sink;
    {
        auto control = CreateControl();
        QACONTAINER container{};
        container.cbSize = sizeof container;
        container.pAdviseSink = &sink;
        QACONTROL answer{};
        answer.cbSize = sizeof answer;
        ASSERT_EQ(Query<IQuickActivate>(control)->QuickActivate(&container, &answer), S_OK);
        EXPECT_EQ(answer.dwMiscStatus, kRegisteredMiscStatus);
        EXPECT_EQ(answer.dwEventCookie, 0u);
        EXPECT_GT(sink.Refs(), 1u);

        auto data = Query<IDataObject>(control);
        FORMATETC picture{CF_METAFILEPICT, nullptr, DVASPECT_CONTENT, -1, TYMED_MFPICT};
        DWORD dataCookie = 0;
        ASSERT_EQ(data->DAdvise(&picture, 0, &sink, &dataCookie), S_OK);
        auto ole = Query<IOleObject>(control);
        DWORD closeCookie = 0;
        ASSERT_EQ(ole->Advise(&sink, &closeCookie), S_OK);

        SIZEL wanted{2000, 1000};
        ASSERT_EQ(ole->SetExtent(DVASPECT_CONTENT, &wanted), S_OK);
        EXPECT_EQ(sink.viewChanges, 1);
        EXPECT_EQ(sink.lastAspect, static_cast<DWORD>(DVASPECT_CONTENT));
        EXPECT_EQ(sink.dataChanges, 1);
        EXPECT_EQ(sink.lastFormat, CF_METAFILEPICT);
        EXPECT_EQ(sink.lastTymed, static_cast<DWORD>(TYMED_MFPICT));
        // The same extent again changes nothing.
        ASSERT_EQ(ole->SetExtent(DVASPECT_CONTENT, &wanted), S_OK);
        EXPECT_EQ(sink.viewChanges, 1);
        EXPECT_EQ(sink.dataChanges, 1);

        // The data is the drawing as a metafile picture of the extent.
        STGMEDIUM medium{};
        ASSERT_EQ(data->GetData(&picture, &medium), S_OK);
        ASSERT_EQ(medium.tymed, static_cast<DWORD>(TYMED_MFPICT));
        auto* pict = static_cast<METAFILEPICT*>(GlobalLock(medium.hMetaFilePict));
        ASSERT_NE(pict, nullptr);
        EXPECT_EQ(pict->mm, MM_ANISOTROPIC);
        EXPECT_EQ(pict->xExt, 2000);
        EXPECT_EQ(pict->yExt, 1000);
        EXPECT_GT(GetMetaFileBitsEx(pict->hMF, 0, nullptr), 0u);
        GlobalUnlock(medium.hMetaFilePict);
        ReleaseStgMedium(&medium);
        FORMATETC text{CF_TEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
        EXPECT_EQ(data->QueryGetData(&text), DV_E_FORMATETC);
        EXPECT_EQ(data->GetData(&text, &medium), DV_E_FORMATETC);

        ASSERT_EQ(data->DUnadvise(dataCookie), S_OK);
        ASSERT_EQ(ole->Close(OLECLOSE_NOSAVE), S_OK);
        EXPECT_EQ(sink.closes, 1);
        ASSERT_EQ(ole->Unadvise(closeCookie), S_OK);
    }
    // The view sink that the control kept is let go with the control.
    EXPECT_EQ(sink.Refs(), 1u);
}

TEST(ContainerActivation, InPlaceInOwnSiteAndDestroyedWithTheControl) {
    ParentWindow parent;
    ASSERT_NE(parent.Get(), nullptr);
    TestSite site(parent.Get(), RECT{10, 10, 130, 70});
    HWND hwnd = nullptr;
    {
        auto control = CreateControl();
        auto ole = Query<IOleObject>(control);
        ASSERT_EQ(ole->SetClientSite(&site), S_OK);
        RECT pos{10, 10, 130, 70};
        ASSERT_EQ(ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, parent.Get(), &pos), S_OK);
        EXPECT_EQ(site.inPlaceActivations, 1);
        EXPECT_EQ(site.uiActivations, 0);

        auto inPlace = Query<IOleInPlaceObject>(control);
        ASSERT_EQ(inPlace->GetWindow(&hwnd), S_OK);
        ASSERT_TRUE(IsWindow(hwnd));
        EXPECT_EQ(GetParent(hwnd), parent.Get());
        EXPECT_TRUE(IsWindowVisible(hwnd));
        HWND again = nullptr;
        ASSERT_EQ(Query<IOleInPlaceActiveObject>(control)->GetWindow(&again), S_OK);
        EXPECT_EQ(again, hwnd);
        RECT placed{};
        GetWindowRect(hwnd, &placed);
        MapWindowPoints(nullptr, parent.Get(), reinterpret_cast<POINT*>(&placed), 2);
        EXPECT_EQ(placed.left, 10);
        EXPECT_EQ(placed.top, 10);
        EXPECT_EQ(placed.right, 130);
        EXPECT_EQ(placed.bottom, 70);

        // The container moves and sizes it.
        RECT moved{20, 5, 220, 105};
        ASSERT_EQ(inPlace->SetObjectRects(&moved, &moved), S_OK);
        RECT client{};
        GetClientRect(hwnd, &client);
        EXPECT_EQ(client.right, 200);
        EXPECT_EQ(client.bottom, 100);

        // Painting draws on the client area.
        Canvas canvas(500, 160, POINT{150, 20});
        ASSERT_TRUE(canvas.Ok());
        SendMessageA(hwnd, WM_PAINT, reinterpret_cast<WPARAM>(canvas.Dc()), 0);
        ExpectFramedCaption(canvas, RECT{150, 20, 350, 120});

        // A reflected notification that the control leaves alone gets the default answer of
        // the original message; a plain one of the same number would get none.
        HDC dc = canvas.Dc();
        LRESULT expected = DefWindowProcA(hwnd, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                          reinterpret_cast<LPARAM>(hwnd));
        ASSERT_NE(expected, 0);
        EXPECT_EQ(SendMessageA(hwnd, OCM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(hwnd)),
                  expected);

        // UI activation and back.
        ASSERT_EQ(ole->DoVerb(OLEIVERB_UIACTIVATE, nullptr, &site, 0, parent.Get(), &pos), S_OK);
        EXPECT_EQ(site.uiActivations, 1);
        EXPECT_EQ(site.inPlaceActivations, 1);
        ASSERT_EQ(inPlace->UIDeactivate(), S_OK);
        EXPECT_EQ(site.uiDeactivations, 1);
        EXPECT_TRUE(IsWindow(hwnd));
        EXPECT_GT(site.Refs(), 1u);
        // Released without Close, as a container being torn down might.
    }
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(site.Refs(), 1u);
}

TEST(ContainerActivation, CloseSavesWhenDirtyAndLeavesTheSite) {
    ParentWindow parent;
    ASSERT_NE(parent.Get(), nullptr);
    TestSite site(parent.Get(), RECT{0, 0, 80, 40});
    auto control = CreateControl();
    auto ole = Query<IOleObject>(control);
    ASSERT_EQ(ole->SetClientSite(&site), S_OK);
    ASSERT_EQ(ole->DoVerb(OLEIVERB_SHOW, nullptr, &site, 0, parent.Get(), nullptr), S_OK);
    HWND hwnd = nullptr;
    ASSERT_EQ(Query<IOleWindow>(control)->GetWindow(&hwnd), S_OK);
    SIZEL wanted{300, 300};
    ASSERT_EQ(ole->SetExtent(DVASPECT_CONTENT, &wanted), S_OK);

    ASSERT_EQ(ole->Close(OLECLOSE_SAVEIFDIRTY), S_OK);
    EXPECT_EQ(site.saves, 1);
    EXPECT_EQ(site.inPlaceDeactivations, 1);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(Query<IOleWindow>(control)->GetWindow(&hwnd), E_FAIL);

    ASSERT_EQ(ole->SetClientSite(nullptr), S_OK);
    EXPECT_EQ(site.Refs(), 1u);
    // Closing a clean control asks for no save.
    ASSERT_EQ(ole->Close(OLECLOSE_SAVEIFDIRTY), S_OK);
    EXPECT_EQ(site.saves, 1);
}

TEST(ContainerHost, AtlAxWinHostsTheControlByProgIdAndLetsTheModuleUnload) {
    HMODULE atl = LoadLibraryA("atl.dll");
    ASSERT_NE(atl, nullptr);
    auto axWinInit = Export<BOOL(WINAPI*)()>(atl, "AtlAxWinInit");
    auto axGetControl = Export<HRESULT(WINAPI*)(HWND, IUnknown**)>(atl, "AtlAxGetControl");
    ASSERT_NE(axWinInit, nullptr);
    ASSERT_NE(axGetControl, nullptr);
    ASSERT_TRUE(axWinInit());

    HWND host = CreateWindowExA(0, "AtlAxWin", "OVCustInstSrv.OVCustInst", WS_POPUP | WS_VISIBLE, 0, 0, 240, 120,
                                nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(host, nullptr);
    HWND hwnd = nullptr;
    {
        ov::ComPtr<IUnknown> hosted;
        ASSERT_EQ(axGetControl(host, hosted.Put()), S_OK);
        ov::ComPtr<IOVCustInst> control;
        ASSERT_EQ(hosted.As(control), S_OK);

        // In-place active in a window of its own that fills the host.
        ASSERT_EQ(Query<IOleInPlaceObject>(control)->GetWindow(&hwnd), S_OK);
        ASSERT_TRUE(IsWindow(hwnd));
        EXPECT_EQ(GetParent(hwnd), host);
        EXPECT_TRUE(IsWindowVisible(hwnd));
        RECT hostClient{}, controlClient{};
        GetClientRect(host, &hostClient);
        GetClientRect(hwnd, &controlClient);
        EXPECT_EQ(controlClient.right, hostClient.right);
        EXPECT_EQ(controlClient.bottom, hostClient.bottom);

        // Sizing the host sizes the control and its extent. The host's own pixel-to-HIMETRIC
        // scale is its business, so the extent is checked to follow the size in proportion.
        const SIZEL before = ExtentOf(control);
        const LONG widthBefore = hostClient.right, heightBefore = hostClient.bottom;
        ASSERT_GT(before.cx, 0);
        ASSERT_GT(before.cy, 0);
        ASSERT_TRUE(SetWindowPos(host, nullptr, 0, 0, 300, 150, SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE));
        GetClientRect(host, &hostClient);
        GetClientRect(hwnd, &controlClient);
        EXPECT_EQ(controlClient.right, hostClient.right);
        EXPECT_EQ(controlClient.bottom, hostClient.bottom);
        ASSERT_NE(hostClient.right, widthBefore);
        const SIZEL after = ExtentOf(control);
        EXPECT_NEAR(static_cast<double>(after.cx) / before.cx, static_cast<double>(hostClient.right) / widthBefore,
                    0.02);
        EXPECT_NEAR(static_cast<double>(after.cy) / before.cy,
                    static_cast<double>(hostClient.bottom) / heightBefore, 0.02);
    }
    ASSERT_TRUE(DestroyWindow(host));
    EXPECT_FALSE(IsWindow(hwnd));

    HMODULE dll = GetModuleHandleA("OVCustInstSrv.dll");
    ASSERT_NE(dll, nullptr);
    auto canUnload = Export<CanUnloadFn>(dll, "DllCanUnloadNow");
    ASSERT_NE(canUnload, nullptr);
    EXPECT_EQ(canUnload(), S_OK);
}
