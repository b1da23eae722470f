// The module's own resources: version, project name, toolbox bitmap and the confirmation
// dialog template, read from the built DLL as data.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "support/test_support.h"

using namespace ovtest;

namespace {

class ResourcesTest : public ::testing::Test {
protected:
    void SetUp() override {
        module_ = LoadLibraryExA(DllPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(module_, nullptr);
    }
    void TearDown() override {
        if (module_) FreeLibrary(module_);
    }
    // The raw bytes of one resource.
    std::vector<unsigned char> Raw(LPCSTR type, int id) {
        HRSRC r = FindResourceA(module_, MAKEINTRESOURCEA(id), type);
        if (!r) return {};
        auto* p = static_cast<const unsigned char*>(LockResource(LoadResource(module_, r)));
        return std::vector<unsigned char>(p, p + SizeofResource(module_, r));
    }
    HMODULE module_ = nullptr;
};

// Reads a dialog template: header fields, then variable-length strings and items.
struct TemplateReader {
    const unsigned char* p;
    template <class T>
    T Get() {
        T v;
        std::memcpy(&v, p, sizeof v);
        p += sizeof v;
        return v;
    }
    std::wstring String() {
        std::wstring s;
        for (wchar_t c; (c = Get<wchar_t>()) != 0;) s += c;
        return s;
    }
    // A class or menu field: 0xFFFF and an atom, or a string.
    std::wstring NameOrAtom() {
        WORD first;
        std::memcpy(&first, p, sizeof first);
        if (first == 0xFFFF) {
            p += 2;
            return L"#" + std::to_wstring(Get<WORD>());
        }
        return String();
    }
    void AlignDword(const unsigned char* base) {
        while ((p - base) % 4) ++p;
    }
};

struct DialogItem {
    DWORD style;
    short x, y, cx, cy;
    WORD id;
    std::wstring cls, text;
};

}  // namespace

TEST_F(ResourcesTest, VersionNamesTheModuleAndMarksItSelfRegistering) {
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(DllPath().c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<char> info(size);
    ASSERT_TRUE(GetFileVersionInfoA(DllPath().c_str(), 0, size, info.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT len = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &len));
    EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(0, 1));
    EXPECT_EQ(fixed->dwFileVersionLS, MAKELONG(12, 0));
    EXPECT_EQ(fixed->dwProductVersionMS, MAKELONG(2, 1));
    EXPECT_EQ(fixed->dwProductVersionLS, 0u);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));
    EXPECT_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS__WINDOWS32));

    auto text = [&](const char* name) -> std::string {
        char* value = nullptr;
        UINT n = 0;
        std::string path = std::string("\\StringFileInfo\\040904B0\\") + name;
        if (!VerQueryValueA(info.data(), path.c_str(), reinterpret_cast<void**>(&value), &n)) return "<missing>";
        return n ? std::string(value) : std::string();
    };
    EXPECT_EQ(text("InternalName"), "OVCustInstSrv");
    EXPECT_EQ(text("OriginalFilename"), "OVCustInstSrv.DLL");
    EXPECT_EQ(text("FileVersion"), "1, 0, 0, 12");
    EXPECT_EQ(text("ProductVersion"), "1, 2, 0, 0");
    EXPECT_EQ(text("OLESelfRegister"), "");
    EXPECT_EQ(text("PrivateBuild"), "");
    EXPECT_NE(text("FileDescription"), "<missing>");
}

TEST_F(ResourcesTest, ProjectNameAndToolboxBitmap) {
    char name[64] = {};
    ASSERT_GT(LoadStringA(module_, 100, name, sizeof name), 0);
    EXPECT_STREQ(name, "OVCustInstSrv");

    std::vector<unsigned char> bmp = Raw(MAKEINTRESOURCEA(2) /* RT_BITMAP */, 101);
    ASSERT_GE(bmp.size(), sizeof(BITMAPINFOHEADER));
    BITMAPINFOHEADER h;
    std::memcpy(&h, bmp.data(), sizeof h);
    EXPECT_EQ(h.biWidth, 16);
    EXPECT_EQ(h.biHeight, 16);
    EXPECT_EQ(h.biBitCount, 4);
}

TEST_F(ResourcesTest, ConfirmationDialogTemplate) {
    std::vector<unsigned char> raw = Raw(MAKEINTRESOURCEA(5) /* RT_DIALOG */, 103);
    ASSERT_FALSE(raw.empty());
    TemplateReader r{raw.data()};
    EXPECT_EQ(r.Get<DWORD>(), 0x80C808C0u);  // style
    EXPECT_EQ(r.Get<DWORD>(), 0u);           // extended style
    WORD count = r.Get<WORD>();
    ASSERT_EQ(count, 4);
    EXPECT_EQ(r.Get<short>(), 0);
    EXPECT_EQ(r.Get<short>(), 0);
    EXPECT_EQ(r.Get<short>(), 317);
    EXPECT_EQ(r.Get<short>(), 141);
    EXPECT_EQ(r.NameOrAtom(), L"");  // menu
    EXPECT_EQ(r.NameOrAtom(), L"");  // window class
    EXPECT_EQ(r.String(), L"");      // caption, set when shown
    EXPECT_EQ(r.Get<WORD>(), 8);
    EXPECT_EQ(r.String(), L"MS Sans Serif");

    std::vector<DialogItem> items;
    for (WORD i = 0; i < count; ++i) {
        r.AlignDword(raw.data());
        DialogItem item;
        item.style = r.Get<DWORD>();
        EXPECT_EQ(r.Get<DWORD>(), 0u);
        item.x = r.Get<short>();
        item.y = r.Get<short>();
        item.cx = r.Get<short>();
        item.cy = r.Get<short>();
        item.id = r.Get<WORD>();
        item.cls = r.NameOrAtom();
        item.text = r.NameOrAtom();
        r.p += r.Get<WORD>();  // creation data
        items.push_back(item);
    }
    const DialogItem expected[] = {
        {0x50010001, 255, 10, 50, 14, 1, L"#128", L"OK"},
        {0x50010000, 255, 29, 50, 14, 2, L"#128", L"Cancel"},
        {0x50010000, 255, 50, 50, 14, 205, L"#128", L"View Changes"},
        {0x50000804, 9, 4, 235, 130, 206, L"#129", L""},
    };
    for (size_t i = 0; i < items.size(); ++i) {
        const DialogItem& e = expected[i];
        const DialogItem& a = items[i];
        EXPECT_EQ(a.id, e.id) << i;
        EXPECT_EQ(a.style, e.style) << i;
        EXPECT_EQ(a.cls, e.cls) << i;
        EXPECT_EQ(a.text, e.text) << i;
        EXPECT_EQ(a.x, e.x) << i;
        EXPECT_EQ(a.y, e.y) << i;
        EXPECT_EQ(a.cx, e.cx) << i;
        EXPECT_EQ(a.cy, e.cy) << i;
    }
}
