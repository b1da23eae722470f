// The control as a container sees it: its extent persisted, in-place activation in a site of our
// own and in Wine's AtlAxWin host, and its window going with it.
#include <gtest/gtest.h>

#include <ole2.h>
#include <olectl.h>

#include "support/test_support.h"

using namespace ovtest;

namespace {

template <class I>
ov::ComPtr<I> Query(const ov::ComPtr<IOVCustInst>& control) {
    ov::ComPtr<I> p;
    EXPECT_EQ(control.As(p), S_OK);
    return p;
}

std::string Extent(const ov::ComPtr<IOVCustInst>& control) {
    SIZEL size{-1, -1};
    EXPECT_EQ(Query<IOleObject>(control)->GetExtent(DVASPECT_CONTENT, &size), S_OK);
    return std::to_string(size.cx) + "x" + std::to_string(size.cy);
}

// A minimal in-place container over a parent window, on the test's stack; it counts references.
class TestSite final : public IOleClientSite, public IOleInPlaceSite {
public:
    explicit TestSite(HWND parent) : parent_(parent) {}
    STDMETHOD(QueryInterface)(REFIID riid, void** ppv) override {
        *ppv = nullptr;
        if (riid == IID_IUnknown || riid == IID_IOleClientSite) *ppv = static_cast<IOleClientSite*>(this);
        if (riid == IID_IOleWindow || riid == IID_IOleInPlaceSite) *ppv = static_cast<IOleInPlaceSite*>(this);
        return *ppv ? (AddRef(), S_OK) : E_NOINTERFACE;
    }
    STDMETHOD_(ULONG, AddRef)() override { return ++refs; }
    STDMETHOD_(ULONG, Release)() override { return --refs; }
    STDMETHOD(SaveObject)() override { return S_OK; }
    STDMETHOD(GetMoniker)(DWORD, DWORD, IMoniker** mk) override { return *mk = nullptr, E_NOTIMPL; }
    STDMETHOD(GetContainer)(IOleContainer** c) override { return *c = nullptr, E_NOINTERFACE; }
    STDMETHOD(ShowObject)() override { return S_OK; }
    STDMETHOD(OnShowWindow)(WINBOOL) override { return S_OK; }
    STDMETHOD(RequestNewObjectLayout)() override { return E_NOTIMPL; }
    STDMETHOD(GetWindow)(HWND* hwnd) override { return *hwnd = parent_, S_OK; }
    STDMETHOD(ContextSensitiveHelp)(WINBOOL) override { return E_NOTIMPL; }
    STDMETHOD(CanInPlaceActivate)() override { return S_OK; }
    STDMETHOD(OnInPlaceActivate)() override { return ++activations, S_OK; }
    STDMETHOD(OnUIActivate)() override { return S_OK; }
    STDMETHOD(GetWindowContext)(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT pos, LPRECT clip,
                                LPOLEINPLACEFRAMEINFO info) override {
        *frame = nullptr, *doc = nullptr, *pos = *clip = kPos;
        *info = OLEINPLACEFRAMEINFO{sizeof *info, FALSE, parent_, nullptr, 0};
        return S_OK;
    }
    STDMETHOD(Scroll)(SIZE) override { return E_NOTIMPL; }
    STDMETHOD(OnUIDeactivate)(WINBOOL) override { return S_OK; }
    STDMETHOD(OnInPlaceDeactivate)() override { return S_OK; }
    STDMETHOD(DiscardUndoState)() override { return S_OK; }
    STDMETHOD(DeactivateAndUndo)() override { return S_OK; }
    STDMETHOD(OnPosRectChange)(LPCRECT) override { return S_OK; }

    static constexpr RECT kPos{10, 10, 130, 70};
    ULONG refs = 1;
    int activations = 0;

private:
    HWND parent_;
};

}  // namespace

TEST(ContainerExtent, StartsAtTwoInchesFollowsSetExtentAndPersistsThroughStreamAndStorage) {
    auto saved = CreateControl(), fromStream = CreateControl(), fromStorage = CreateControl();
    SIZEL wanted{1234, 567}, other{4321, 765};
    EXPECT_EQ(Extent(saved), "5080x5080");
    ASSERT_EQ(Query<IOleObject>(saved)->SetExtent(DVASPECT_CONTENT, &wanted), S_OK);
    // Saved to a stream, then with another extent to a storage, and loaded into other controls.
    ov::ComPtr<IStream> stream;
    ov::ComPtr<IStorage> storage;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, stream.Put()), S_OK);
    ASSERT_EQ(StgCreateDocfile(nullptr, STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE | STGM_DELETEONRELEASE, 0,
                               storage.Put()), S_OK);
    ASSERT_EQ(Query<IPersistStreamInit>(saved)->Save(stream.Get(), TRUE), S_OK);
    ASSERT_EQ(stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr), S_OK);
    ASSERT_EQ(Query<IOleObject>(saved)->SetExtent(DVASPECT_CONTENT, &other), S_OK);
    ASSERT_EQ(Query<IPersistStorage>(saved)->Save(storage.Get(), TRUE), S_OK);
    ASSERT_EQ(Query<IPersistStreamInit>(fromStream)->Load(stream.Get()), S_OK);
    ASSERT_EQ(Query<IPersistStorage>(fromStorage)->Load(storage.Get()), S_OK);
    EXPECT_EQ(Extent(fromStream) + " " + Extent(fromStorage), "1234x567 4321x765");
    ASSERT_EQ(Query<IPersistStreamInit>(fromStream)->InitNew(), S_OK);  // puts the extent back
    EXPECT_EQ(Extent(fromStream), "5080x5080");
}

TEST(ContainerActivation, InPlaceInOwnSiteAndItsWindowGoesWithTheControlWithoutClose) {
    HWND parent = CreateWindowExA(0, "STATIC", "parent", WS_POPUP | WS_VISIBLE, 0, 0, 400, 300, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(parent, nullptr);
    TestSite site(parent);
    HWND hwnd = nullptr;
    RECT placed{}, moved{20, 5, 220, 105};
    {
        auto control = CreateControl();
        auto ole = Query<IOleObject>(control);
        ASSERT_EQ(ole->SetClientSite(&site), S_OK);
        ASSERT_EQ(ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, parent, &TestSite::kPos), S_OK);
        EXPECT_EQ(site.activations, 1);
        ASSERT_EQ(Query<IOleInPlaceObject>(control)->GetWindow(&hwnd), S_OK);
        ASSERT_TRUE(IsWindow(hwnd));
        EXPECT_TRUE(GetParent(hwnd) == parent && IsWindowVisible(hwnd));
        // Placed where the site says, then moved and sized by the container.
        for (const RECT& want : {TestSite::kPos, moved}) {
            if (!EqualRect(&want, &TestSite::kPos)) {
                ASSERT_EQ(Query<IOleInPlaceObject>(control)->SetObjectRects(&want, &want), S_OK);
            }
            GetWindowRect(hwnd, &placed);
            MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&placed), 2);
            EXPECT_TRUE(EqualRect(&placed, &want)) << placed.left << "," << placed.top << "," << placed.right;
        }
        EXPECT_GT(site.refs, 1u);
    }  // released without Close, as a container being torn down might
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(site.refs, 1u);
    EXPECT_EQ(CanUnloadNow(), S_OK);
    DestroyWindow(parent);
}

TEST(ContainerHost, AtlAxWinHostsTheControlByProgIdAndLetsTheModuleUnload) {
    HMODULE atl = LoadLibraryA("atl.dll");
    auto axWinInit = Export<BOOL(WINAPI*)()>(atl, "AtlAxWinInit");
    auto axGetControl = Export<HRESULT(WINAPI*)(HWND, IUnknown**)>(atl, "AtlAxGetControl");
    ASSERT_TRUE(atl && axWinInit && axGetControl && axWinInit());
    HWND host = CreateWindowExA(0, "AtlAxWin", "OVCustInstSrv.OVCustInst", WS_POPUP | WS_VISIBLE, 0, 0, 240, 120,
                                nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(host, nullptr);
    HWND hwnd = nullptr;
    {
        ov::ComPtr<IUnknown> hosted;
        ov::ComPtr<IOVCustInst> control;
        ASSERT_TRUE(axGetControl(host, hosted.Put()) == S_OK && hosted.As(control) == S_OK);
        // In-place active in a window of its own that fills the host.
        ASSERT_EQ(Query<IOleInPlaceObject>(control)->GetWindow(&hwnd), S_OK);
        RECT hostClient{}, controlClient{};
        GetClientRect(host, &hostClient);
        GetClientRect(hwnd, &controlClient);
        EXPECT_TRUE(GetParent(hwnd) == host && IsWindowVisible(hwnd) && EqualRect(&hostClient, &controlClient));
    }
    ASSERT_TRUE(DestroyWindow(host));
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(CanUnloadNow(), S_OK);
}
