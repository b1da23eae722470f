// The control as a container sees it: extent and its persistence, drawing, in-place activation
// in a site of our own and in Wine's AtlAxWin host, and its window going with it.
#include <gtest/gtest.h>

#include <ole2.h>
#include <olectl.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
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

std::vector<LONG> Extent(const ov::ComPtr<IOVCustInst>& control) {
    SIZEL size{-1, -1};
    EXPECT_EQ(Query<IOleObject>(control)->GetExtent(DVASPECT_CONTENT, &size), S_OK);
    return {size.cx, size.cy};
}

// A minimal in-place container over a parent window, without frame or document window. Lives
// on the test's stack; its references are counted.
class TestSite final : public IOleClientSite, public IOleInPlaceSite {
public:
    TestSite(HWND parent, RECT pos) : parent_(parent), pos_(pos) {}
    STDMETHOD(QueryInterface)(REFIID riid, void** ppv) override {
        *ppv = nullptr;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IOleClientSite)) *ppv = static_cast<IOleClientSite*>(this);
        if (IsEqualIID(riid, IID_IOleWindow) || IsEqualIID(riid, IID_IOleInPlaceSite)) *ppv = static_cast<IOleInPlaceSite*>(this);
        return *ppv ? (AddRef(), S_OK) : E_NOINTERFACE;
    }
    STDMETHOD_(ULONG, AddRef)() override { return ++refs; }
    STDMETHOD_(ULONG, Release)() override { return --refs; }
    STDMETHOD(SaveObject)() override { return S_OK; }
    STDMETHOD(GetMoniker)(DWORD, DWORD, IMoniker** mk) override { *mk = nullptr; return E_NOTIMPL; }
    STDMETHOD(GetContainer)(IOleContainer** c) override { *c = nullptr; return E_NOINTERFACE; }
    STDMETHOD(ShowObject)() override { return S_OK; }
    STDMETHOD(OnShowWindow)(WINBOOL) override { return S_OK; }
    STDMETHOD(RequestNewObjectLayout)() override { return E_NOTIMPL; }
    STDMETHOD(GetWindow)(HWND* hwnd) override { *hwnd = parent_; return S_OK; }
    STDMETHOD(ContextSensitiveHelp)(WINBOOL) override { return E_NOTIMPL; }
    STDMETHOD(CanInPlaceActivate)() override { return S_OK; }
    STDMETHOD(OnInPlaceActivate)() override { ++activations; return S_OK; }
    STDMETHOD(OnUIActivate)() override { return S_OK; }
    STDMETHOD(GetWindowContext)(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT pos, LPRECT clip,
                                LPOLEINPLACEFRAMEINFO info) override {
        *frame = nullptr;
        *doc = nullptr;
        *pos = *clip = pos_;
        *info = OLEINPLACEFRAMEINFO{sizeof *info, FALSE, parent_, nullptr, 0};
        return S_OK;
    }
    STDMETHOD(Scroll)(SIZE) override { return E_NOTIMPL; }
    STDMETHOD(OnUIDeactivate)(WINBOOL) override { return S_OK; }
    STDMETHOD(OnInPlaceDeactivate)() override { return S_OK; }
    STDMETHOD(DiscardUndoState)() override { return S_OK; }
    STDMETHOD(DeactivateAndUndo)() override { return S_OK; }
    STDMETHOD(OnPosRectChange)(LPCRECT) override { return S_OK; }

    ULONG refs = 1;
    int activations = 0;

private:
    HWND parent_;
    RECT pos_;
};

// A 32-bit memory bitmap filled with grey, with a white brush, a black pen and red text
// selected, and its logical origin at `origin` so that text overhanging a drawing stays on it.
class Canvas {
public:
    Canvas(int width, int height, POINT origin) : width_(width), height_(height), dc_(CreateCompatibleDC(nullptr)) {
        BITMAPINFO bi{};
        bi.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        bitmap_ = CreateDIBSection(dc_, &bi, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0);
        old_ = SelectObject(dc_, bitmap_);
        std::fill(bits_, bits_ + width * height, 0x808080);
        SelectObject(dc_, GetStockObject(WHITE_BRUSH));
        SelectObject(dc_, GetStockObject(BLACK_PEN));
        SetTextColor(dc_, RGB(255, 0, 0));
        SetViewportOrgEx(dc_, origin.x, origin.y, nullptr);
    }
    ~Canvas() {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    HDC Dc() const { return dc_; }
    DWORD At(int x, int y) const { return GdiFlush(), bits_[y * width_ + x] & 0xFFFFFF; }

    // The drawing on `r` (bitmap coordinates): a black frame on its edge, the brush inside,
    // nothing outside, and a red caption centred on the middle with its baseline there.
    void ExpectFramedCaption(const RECT& r) const {
        const DWORD k = 0, w = 0xFFFFFF, g = 0x808080;
        const int low = r.bottom - 3;  // a row below the caption
        EXPECT_EQ((std::vector<DWORD>{At(r.left - 1, low), At(r.left, low), At(r.left + 1, low), At(r.right - 2, low),
                                      At(r.right - 1, low), At(r.right, low)}),
                  (std::vector<DWORD>{g, k, w, w, k, g}));
        EXPECT_EQ((std::vector<DWORD>{At(r.left + 3, r.top - 1), At(r.left + 3, r.top), At(r.left + 3, r.bottom - 1),
                                      At(r.left + 3, r.bottom)}),
                  (std::vector<DWORD>{g, k, k, g}));
        // The bounding box of the mostly red pixels.
        int left = INT_MAX, top = INT_MAX, right = -1, bottom = -1;
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x)
                if (At(x, y) >> 16 >= 128 && (At(x, y) >> 8 & 0xFF) < 128 && (At(x, y) & 0xFF) < 128)
                    left = std::min(left, x), right = std::max(right, x), top = std::min(top, y), bottom = std::max(bottom, y);
        const int centreX = (r.left + r.right) / 2, baseline = (r.top + r.bottom) / 2;
        ASSERT_GT(right - left, 20) << "no caption drawn";
        EXPECT_LE(std::abs((left + right) - 2 * centreX), 3) << left << ".." << right;
        // The glyphs (none with descenders) end just above the baseline.
        EXPECT_TRUE(bottom <= baseline && bottom >= baseline - 2 && top < baseline - 5) << top << ".." << bottom;
    }

private:
    int width_, height_;
    HDC dc_;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    DWORD* bits_ = nullptr;
};

}  // namespace

TEST(ContainerExtent, StartsAtTwoInchesFollowsSetExtentAndPersistsThroughStreamAndStorage) {
    const std::vector<LONG> twoInches{5080, 5080};
    auto saved = CreateControl();
    EXPECT_EQ(Extent(saved), twoInches);
    auto ole = Query<IOleObject>(saved);
    SIZEL wanted{1234, 567}, seen{};
    EXPECT_EQ(ole->SetExtent(DVASPECT_ICON, &wanted), DV_E_DVASPECT);
    EXPECT_EQ(Extent(saved), twoInches);
    ASSERT_EQ(ole->SetExtent(DVASPECT_CONTENT, &wanted), S_OK);
    EXPECT_EQ(Extent(saved), (std::vector<LONG>{1234, 567}));
    ASSERT_EQ(Query<IViewObject2>(saved)->GetExtent(DVASPECT_CONTENT, -1, nullptr, &seen), S_OK);
    EXPECT_EQ((std::vector<LONG>{seen.cx, seen.cy}), (std::vector<LONG>{1234, 567}));

    // Saved to a stream, loaded into another control; InitNew puts the extent back.
    ov::ComPtr<IStream> stream;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, stream.Put()), S_OK);
    ASSERT_EQ(Query<IPersistStreamInit>(saved)->Save(stream.Get(), TRUE), S_OK);
    ASSERT_EQ(stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr), S_OK);
    auto fromStream = CreateControl();
    ASSERT_EQ(Query<IPersistStreamInit>(fromStream)->Load(stream.Get()), S_OK);
    EXPECT_EQ(Extent(fromStream), (std::vector<LONG>{1234, 567}));
    ASSERT_EQ(Query<IPersistStreamInit>(fromStream)->InitNew(), S_OK);
    EXPECT_EQ(Extent(fromStream), twoInches);

    // The same through a storage.
    ov::ComPtr<ILockBytes> bytes;
    ov::ComPtr<IStorage> storage;
    ASSERT_EQ(CreateILockBytesOnHGlobal(nullptr, TRUE, bytes.Put()), S_OK);
    ASSERT_EQ(StgCreateDocfileOnILockBytes(bytes.Get(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0,
                                           storage.Put()), S_OK);
    SIZEL other{4321, 765};
    ASSERT_EQ(ole->SetExtent(DVASPECT_CONTENT, &other), S_OK);
    ASSERT_EQ(Query<IPersistStorage>(saved)->Save(storage.Get(), TRUE), S_OK);
    ASSERT_EQ(Query<IPersistStorage>(saved)->SaveCompleted(nullptr), S_OK);
    ASSERT_EQ(storage->Commit(STGC_DEFAULT), S_OK);
    auto fromStorage = CreateControl();
    auto loader = Query<IPersistStorage>(fromStorage);
    ASSERT_EQ(loader->Load(storage.Get()), S_OK);
    EXPECT_EQ(Extent(fromStorage), (std::vector<LONG>{4321, 765}));
    ASSERT_EQ(loader->HandsOffStorage(), S_OK);
    ASSERT_EQ(loader->InitNew(storage.Get()), S_OK);
    EXPECT_EQ(Extent(fromStorage), twoInches);
}

TEST(ContainerDrawing, ViewObjectDrawsFrameAndCentredCaptionAndLeavesTheDcAsItWas) {
    Canvas canvas(400, 120, POINT{150, 30});  // the logical origin at (150, 30) on the bitmap
    RECTL bounds{0, 0, 100, 50};
    ASSERT_EQ(Query<IViewObject>(CreateControl())->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, canvas.Dc(),
                                                        &bounds, nullptr, nullptr, 0), S_OK);
    canvas.ExpectFramedCaption(RECT{150, 30, 250, 80});
    EXPECT_EQ(GetTextAlign(canvas.Dc()), static_cast<UINT>(TA_LEFT | TA_TOP));
}

TEST(ContainerActivation, InPlaceInOwnSiteAndItsWindowGoesWithTheControl) {
    HWND parent = CreateWindowExA(0, "STATIC", "parent", WS_POPUP | WS_VISIBLE, 0, 0, 400, 300, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(parent, nullptr);
    RECT pos{10, 10, 130, 70}, placed{};
    TestSite site(parent, pos);
    HWND hwnd = nullptr;
    {
        auto control = CreateControl();
        auto ole = Query<IOleObject>(control);
        ASSERT_EQ(ole->SetClientSite(&site), S_OK);
        ASSERT_EQ(ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, parent, &pos), S_OK);
        EXPECT_EQ(site.activations, 1);
        auto inPlace = Query<IOleInPlaceObject>(control);
        ASSERT_EQ(inPlace->GetWindow(&hwnd), S_OK);
        ASSERT_TRUE(IsWindow(hwnd));
        EXPECT_TRUE(GetParent(hwnd) == parent && IsWindowVisible(hwnd));
        GetWindowRect(hwnd, &placed);
        MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&placed), 2);
        EXPECT_TRUE(EqualRect(&placed, &pos)) << placed.left << "," << placed.top << "," << placed.right;

        // The container moves and sizes it, and it paints its client area.
        RECT moved{20, 5, 220, 105};
        ASSERT_EQ(inPlace->SetObjectRects(&moved, &moved), S_OK);
        Canvas canvas(500, 160, POINT{150, 20});
        SendMessageA(hwnd, WM_PAINT, reinterpret_cast<WPARAM>(canvas.Dc()), 0);
        canvas.ExpectFramedCaption(RECT{150, 20, 350, 120});
        EXPECT_GT(site.refs, 1u);
        // Released without Close, as a container being torn down might.
    }
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(site.refs, 1u);
    DestroyWindow(parent);
}

TEST(ContainerHost, AtlAxWinHostsTheControlByProgIdAndLetsTheModuleUnload) {
    HMODULE atl = LoadLibraryA("atl.dll");
    ASSERT_NE(atl, nullptr);
    auto axWinInit = Export<BOOL(WINAPI*)()>(atl, "AtlAxWinInit");
    auto axGetControl = Export<HRESULT(WINAPI*)(HWND, IUnknown**)>(atl, "AtlAxGetControl");
    ASSERT_TRUE(axWinInit && axGetControl && axWinInit());
    HWND host = CreateWindowExA(0, "AtlAxWin", "OVCustInstSrv.OVCustInst", WS_POPUP | WS_VISIBLE, 0, 0, 240, 120,
                                nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(host, nullptr);
    HWND hwnd = nullptr;
    {
        ov::ComPtr<IUnknown> hosted;
        ov::ComPtr<IOVCustInst> control;
        ASSERT_EQ(axGetControl(host, hosted.Put()), S_OK);
        ASSERT_EQ(hosted.As(control), S_OK);
        // In-place active in a window of its own that fills the host.
        ASSERT_EQ(Query<IOleInPlaceObject>(control)->GetWindow(&hwnd), S_OK);
        ASSERT_TRUE(IsWindow(hwnd));
        EXPECT_TRUE(GetParent(hwnd) == host && IsWindowVisible(hwnd));
        RECT hostClient{}, controlClient{};
        GetClientRect(host, &hostClient);
        GetClientRect(hwnd, &controlClient);
        EXPECT_TRUE(EqualRect(&hostClient, &controlClient));
    }
    ASSERT_TRUE(DestroyWindow(host));
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(CanUnloadNow(), S_OK);
}
