// The control as a container sees it: its control interfaces, extent, persistence, drawing,
// in-place activation in a site of our own and in Wine's AtlAxWin host.
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

template <class I>
ov::ComPtr<I> Query(const ov::ComPtr<IOVCustInst>& control) {
    ov::ComPtr<I> p;
    EXPECT_EQ(control.As(p), S_OK);
    return p;
}

void ExpectExtent(const ov::ComPtr<IOVCustInst>& control, LONG cx, LONG cy) {
    SIZEL size{-1, -1};
    EXPECT_EQ(Query<IOleObject>(control)->GetExtent(DVASPECT_CONTENT, &size), S_OK);
    EXPECT_EQ(size.cx, cx);
    EXPECT_EQ(size.cy, cy);
}

// A minimal in-place container: a client site and an in-place site over a parent window,
// without frame or document window. Lives on the test's stack; its references are counted.
class TestSite final : public IOleClientSite, public IOleInPlaceSite {
public:
    TestSite(HWND parent, RECT pos) : parent_(parent), pos_(pos) {}
    ULONG Refs() const { return refs_; }

    STDMETHOD(QueryInterface)(REFIID riid, void** ppv) override {
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
    STDMETHOD_(ULONG, AddRef)() override { return ++refs_; }
    STDMETHOD_(ULONG, Release)() override { return --refs_; }

    // IOleClientSite
    STDMETHOD(SaveObject)() override { return S_OK; }
    STDMETHOD(GetMoniker)(DWORD, DWORD, IMoniker** mk) override { *mk = nullptr; return E_NOTIMPL; }
    STDMETHOD(GetContainer)(IOleContainer** c) override { *c = nullptr; return E_NOINTERFACE; }
    STDMETHOD(ShowObject)() override { return S_OK; }
    STDMETHOD(OnShowWindow)(WINBOOL) override { return S_OK; }
    STDMETHOD(RequestNewObjectLayout)() override { return E_NOTIMPL; }
    // IOleWindow
    STDMETHOD(GetWindow)(HWND* hwnd) override { *hwnd = parent_; return S_OK; }
    STDMETHOD(ContextSensitiveHelp)(WINBOOL) override { return E_NOTIMPL; }
    // IOleInPlaceSite
    STDMETHOD(CanInPlaceActivate)() override { return S_OK; }
    STDMETHOD(OnInPlaceActivate)() override { ++inPlaceActivations; return S_OK; }
    STDMETHOD(OnUIActivate)() override { return S_OK; }
    STDMETHOD(GetWindowContext)(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT pos, LPRECT clip,
                                LPOLEINPLACEFRAMEINFO info) override {
        *frame = nullptr;
        *doc = nullptr;
        *pos = *clip = pos_;
        info->fMDIApp = FALSE;
        info->hwndFrame = parent_;
        info->haccel = nullptr;
        info->cAccelEntries = 0;
        return S_OK;
    }
    STDMETHOD(Scroll)(SIZE) override { return E_NOTIMPL; }
    STDMETHOD(OnUIDeactivate)(WINBOOL) override { return S_OK; }
    STDMETHOD(OnInPlaceDeactivate)() override { return S_OK; }
    STDMETHOD(DiscardUndoState)() override { return S_OK; }
    STDMETHOD(DeactivateAndUndo)() override { return S_OK; }
    STDMETHOD(OnPosRectChange)(LPCRECT) override { return S_OK; }

    int inPlaceActivations = 0;

private:
    HWND parent_;
    RECT pos_;
    ULONG refs_ = 1;
};

// A 32-bit top-down memory bitmap filled with grey, with a white brush, a black pen and red
// text selected, and its logical origin moved to `origin` so that text overhanging the
// drawing on the left stays on the bitmap.
class Canvas {
public:
    static constexpr COLORREF kBackground = RGB(128, 128, 128);

    Canvas(int width, int height, POINT origin) : width_(width), height_(height), dc_(CreateCompatibleDC(nullptr)) {
        BITMAPINFO bi{};
        bi.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
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
    COLORREF At(int x, int y) const {
        GdiFlush();
        DWORD p = bits_[y * width_ + x];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }

    // The drawing on `r` (bitmap coordinates): the frame on the edge with the brush inside and
    // nothing outside, and the red caption centred on the middle with its baseline there.
    void ExpectFramedCaption(const RECT& r) const {
        const COLORREF black = RGB(0, 0, 0), white = RGB(255, 255, 255), grey = kBackground;
        const int low = r.bottom - 3;  // a row well below the caption
        const COLORREF across[] = {At(r.left - 1, low), At(r.left, low), At(r.left + 1, low),
                                   At(r.right - 2, low), At(r.right - 1, low), At(r.right, low)};
        EXPECT_EQ(std::vector<COLORREF>(std::begin(across), std::end(across)),
                  (std::vector<COLORREF>{grey, black, white, white, black, grey}));
        const COLORREF down[] = {At(r.left + 3, r.top - 1), At(r.left + 3, r.top), At(r.left + 3, r.bottom - 1),
                                 At(r.left + 3, r.bottom)};
        EXPECT_EQ(std::vector<COLORREF>(std::begin(down), std::end(down)),
                  (std::vector<COLORREF>{grey, black, black, grey}));

        // The bounding box of the caption's pixels (antialiased edges count when mostly red).
        int left = INT_MAX, top = INT_MAX, right = -1, bottom = -1, count = 0;
        for (int y = 0; y < height_; ++y) {
            for (int x = 0; x < width_; ++x) {
                COLORREF c = At(x, y);
                if (GetRValue(c) < 128 || GetGValue(c) >= 128 || GetBValue(c) >= 128) continue;
                left = std::min(left, x), right = std::max(right, x);
                top = std::min(top, y), bottom = std::max(bottom, y);
                ++count;
            }
        }
        const int centreX = (r.left + r.right) / 2, baseline = (r.top + r.bottom) / 2;
        ASSERT_GT(count, 30) << "no caption drawn";
        // Centred horizontally: as much ink on either side of the centre.
        EXPECT_LT(left, centreX - 10);
        EXPECT_GT(right, centreX + 10);
        EXPECT_LE(std::abs((left + right) - 2 * centreX), 3) << left << ".." << right;
        // On the baseline: the glyphs (none with descenders) end just above it, nothing below.
        EXPECT_LE(bottom, baseline) << "ink below the baseline";
        EXPECT_GE(bottom, baseline - 2) << "caption does not reach the baseline";
        EXPECT_LT(top, baseline - 5);
    }

private:
    int width_, height_;
    HDC dc_;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ oldBitmap_ = nullptr;
    DWORD* bits_ = nullptr;
};

const IID* const kMappedInterfaces[] = {
    &IID_IOVCustInst, &IID_IDispatch, &IID_IViewObjectEx, &IID_IViewObject2, &IID_IViewObject,
    &IID_IOleInPlaceObjectWindowless, &IID_IOleInPlaceObject, &IID_IOleWindow, &IID_IOleInPlaceActiveObject,
    &IID_IOleControl, &IID_IOleObject, &IID_IPersistStreamInit, &IID_IPersist, &IID_ISpecifyPropertyPages,
    &IID_IQuickActivate, &IID_IPersistStorage, &IID_IDataObject, &IID_IProvideClassInfo,
    &IID_IProvideClassInfo2, &IID_IObjectSafety,
};

}  // namespace

TEST(ContainerInterfaces, AnswersEveryMappedInterfaceAsOneObjectAndDescribesItsClass) {
    auto control = CreateControl();
    ov::ComPtr<IUnknown> identity;
    ASSERT_EQ(control->QueryInterface(IID_IUnknown, identity.PutVoid()), S_OK);
    for (size_t i = 0; i < std::size(kMappedInterfaces); ++i) {
        ov::ComPtr<IUnknown> p, back;
        ASSERT_EQ(control->QueryInterface(*kMappedInterfaces[i], p.PutVoid()), S_OK) << "map entry " << i;
        ASSERT_EQ(p->QueryInterface(IID_IUnknown, back.PutVoid()), S_OK);
        EXPECT_EQ(back.Get(), identity.Get()) << "map entry " << i;
    }
    for (REFIID iid : {IID_IConnectionPointContainer, IID_IPersistPropertyBag, IID_IRunnableObject}) {
        IUnknown* p = reinterpret_cast<IUnknown*>(1);
        EXPECT_EQ(control->QueryInterface(iid, reinterpret_cast<void**>(&p)), E_NOINTERFACE);
        EXPECT_EQ(p, nullptr);
    }

    // The class information is the coclass, with the automation interface as its default.
    ov::ComPtr<ITypeInfo> info, dual;
    ASSERT_EQ(Query<IProvideClassInfo>(control)->GetClassInfo(info.Put()), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->typekind, TKIND_COCLASS);
    EXPECT_TRUE(IsEqualGUID(attr->guid, CLSID_OVCustInst));
    info->ReleaseTypeAttr(attr);
    HREFTYPE ref = 0;
    ASSERT_EQ(info->GetRefTypeOfImplType(0, &ref), S_OK);
    ASSERT_EQ(info->GetRefTypeInfo(ref, dual.Put()), S_OK);
    ASSERT_EQ(dual->GetTypeAttr(&attr), S_OK);
    EXPECT_TRUE(IsEqualGUID(attr->guid, IID_IOVCustInst));
    dual->ReleaseTypeAttr(attr);
    CLSID clsid = GUID_NULL;
    ASSERT_EQ(Query<IPersist>(control)->GetClassID(&clsid), S_OK);
    EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_OVCustInst));

    CAUUID pages{5, reinterpret_cast<GUID*>(1)};
    ASSERT_EQ(Query<ISpecifyPropertyPages>(control)->GetPages(&pages), S_OK);
    EXPECT_EQ(pages.cElems, 0u);
    EXPECT_EQ(pages.pElems, nullptr);
}

TEST(ContainerExtent, StartsAtTwoInchesFollowsSetExtentAndPersistsThroughStreamAndStorage) {
    auto saved = CreateControl();
    ExpectExtent(saved, 5080, 5080);
    auto ole = Query<IOleObject>(saved);
    SIZEL wanted{1234, 567};
    EXPECT_EQ(ole->SetExtent(DVASPECT_ICON, &wanted), DV_E_DVASPECT);
    ExpectExtent(saved, 5080, 5080);
    ASSERT_EQ(ole->SetExtent(DVASPECT_CONTENT, &wanted), S_OK);
    ExpectExtent(saved, 1234, 567);
    SIZEL seen{};
    ASSERT_EQ(Query<IViewObject2>(saved)->GetExtent(DVASPECT_CONTENT, -1, nullptr, &seen), S_OK);
    EXPECT_EQ(seen.cx, 1234);
    EXPECT_EQ(seen.cy, 567);

    // Saved to a stream, loaded into another control; InitNew puts the extent back.
    ov::ComPtr<IStream> stream;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, stream.Put()), S_OK);
    ASSERT_EQ(Query<IPersistStreamInit>(saved)->Save(stream.Get(), TRUE), S_OK);
    ASSERT_EQ(stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr), S_OK);
    auto fromStream = CreateControl();
    auto streamLoader = Query<IPersistStreamInit>(fromStream);
    ASSERT_EQ(streamLoader->Load(stream.Get()), S_OK);
    ExpectExtent(fromStream, 1234, 567);
    ASSERT_EQ(streamLoader->InitNew(), S_OK);
    ExpectExtent(fromStream, 5080, 5080);

    // The same through a storage.
    ov::ComPtr<ILockBytes> bytes;
    ov::ComPtr<IStorage> storage;
    ASSERT_EQ(CreateILockBytesOnHGlobal(nullptr, TRUE, bytes.Put()), S_OK);
    ASSERT_EQ(StgCreateDocfileOnILockBytes(bytes.Get(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0,
                                           storage.Put()),
              S_OK);
    SIZEL other{4321, 765};
    ASSERT_EQ(ole->SetExtent(DVASPECT_CONTENT, &other), S_OK);
    ASSERT_EQ(Query<IPersistStorage>(saved)->Save(storage.Get(), TRUE), S_OK);
    ASSERT_EQ(Query<IPersistStorage>(saved)->SaveCompleted(nullptr), S_OK);
    ASSERT_EQ(storage->Commit(STGC_DEFAULT), S_OK);
    auto fromStorage = CreateControl();
    auto storageLoader = Query<IPersistStorage>(fromStorage);
    ASSERT_EQ(storageLoader->Load(storage.Get()), S_OK);
    ExpectExtent(fromStorage, 4321, 765);
    ASSERT_EQ(storageLoader->HandsOffStorage(), S_OK);
    ASSERT_EQ(storageLoader->InitNew(storage.Get()), S_OK);
    ExpectExtent(fromStorage, 5080, 5080);
}

TEST(ContainerDrawing, ViewObjectDrawsFrameAndCentredCaption) {
    auto control = CreateControl();
    // Bounds 100 x 50 at the logical origin, which sits at (150, 30) on the bitmap.
    Canvas canvas(400, 120, POINT{150, 30});
    ASSERT_TRUE(canvas.Ok());
    RECTL bounds{0, 0, 100, 50};
    ASSERT_EQ(Query<IViewObject>(control)->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, canvas.Dc(), &bounds,
                                                nullptr, nullptr, 0),
              S_OK);
    canvas.ExpectFramedCaption(RECT{150, 30, 250, 80});
    // The container's DC is handed back as it was.
    EXPECT_EQ(GetTextAlign(canvas.Dc()), static_cast<UINT>(TA_LEFT | TA_TOP));
}

TEST(ContainerActivation, InPlaceInOwnSiteAndDestroyedWithTheControl) {
    HWND parent = CreateWindowExA(0, "STATIC", "parent", WS_POPUP | WS_VISIBLE, 0, 0, 400, 300, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(parent, nullptr);
    RECT pos{10, 10, 130, 70};
    TestSite site(parent, pos);
    HWND hwnd = nullptr;
    {
        auto control = CreateControl();
        auto ole = Query<IOleObject>(control);
        ASSERT_EQ(ole->SetClientSite(&site), S_OK);
        ASSERT_EQ(ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, parent, &pos), S_OK);
        EXPECT_EQ(site.inPlaceActivations, 1);
        auto inPlace = Query<IOleInPlaceObject>(control);
        ASSERT_EQ(inPlace->GetWindow(&hwnd), S_OK);
        ASSERT_TRUE(IsWindow(hwnd));
        EXPECT_EQ(GetParent(hwnd), parent);
        EXPECT_TRUE(IsWindowVisible(hwnd));
        RECT placed{};
        GetWindowRect(hwnd, &placed);
        MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&placed), 2);
        EXPECT_TRUE(EqualRect(&placed, &pos)) << placed.left << "," << placed.top << "," << placed.right << ","
                                             << placed.bottom;

        // The container moves and sizes it, and it paints its client area.
        RECT moved{20, 5, 220, 105};
        ASSERT_EQ(inPlace->SetObjectRects(&moved, &moved), S_OK);
        Canvas canvas(500, 160, POINT{150, 20});
        ASSERT_TRUE(canvas.Ok());
        SendMessageA(hwnd, WM_PAINT, reinterpret_cast<WPARAM>(canvas.Dc()), 0);
        canvas.ExpectFramedCaption(RECT{150, 20, 350, 120});
        EXPECT_GT(site.Refs(), 1u);
        // Released without Close, as a container being torn down might.
    }
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(site.Refs(), 1u);
    DestroyWindow(parent);
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
        EXPECT_TRUE(EqualRect(&hostClient, &controlClient));
    }
    ASSERT_TRUE(DestroyWindow(host));
    EXPECT_FALSE(IsWindow(hwnd));

    HMODULE dll = GetModuleHandleA("OVCustInstSrv.dll");
    ASSERT_NE(dll, nullptr);
    auto canUnload = Export<HRESULT(STDAPICALLTYPE*)()>(dll, "DllCanUnloadNow");
    ASSERT_NE(canUnload, nullptr);
    EXPECT_EQ(canUnload(), S_OK);
}
