// The registered type library: its library, interface and class as a client sees them.
#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "support/test_support.h"

using namespace ovtest;

namespace {

struct Member {
    MEMBERID id;
    INVOKEKIND kind;
    std::string name;
    std::vector<std::string> args;
    std::vector<VARTYPE> argTypes;  // VT_PTR arguments give the pointed-to type | VT_BYREF
    std::vector<USHORT> argFlags;
    std::string help;
};

std::string Str(BSTR s) {
    std::string r = Narrow(s);
    SysFreeString(s);
    return r;
}

VARTYPE TypeOf(const TYPEDESC& t) {
    if (t.vt == VT_PTR) return static_cast<VARTYPE>(t.lptdesc->vt | VT_BYREF);
    return t.vt;
}

class TypeLibTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(LoadRegTypeLib(LIBID_OVCUSTINSTSRVLib, 1, 0, LOCALE_NEUTRAL, lib_.Put()), S_OK);
        ov::ComPtr<ITypeInfo> dispatchView;
        ASSERT_EQ(lib_->GetTypeInfoOfGuid(IID_IOVCustInst, dispatchView.Put()), S_OK);
        // The vtable view of the dual interface carries the thirty own members.
        HREFTYPE ref = 0;
        ASSERT_EQ(dispatchView->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref), S_OK);
        ASSERT_EQ(dispatchView->GetRefTypeInfo(ref, iface_.Put()), S_OK);
        TYPEATTR* attr = nullptr;
        ASSERT_EQ(iface_->GetTypeAttr(&attr), S_OK);
        for (UINT i = 0; i < attr->cFuncs; ++i) {
            FUNCDESC* f = nullptr;
            ASSERT_EQ(iface_->GetFuncDesc(i, &f), S_OK);
            BSTR names[8] = {};
            UINT got = 0;
            iface_->GetNames(f->memid, names, 8, &got);
            Member m{f->memid, f->invkind, Str(names[0]), {}, {}, {}, ""};
            for (UINT n = 1; n < got; ++n) m.args.push_back(Str(names[n]));
            for (SHORT p = 0; p < f->cParams; ++p) {
                m.argTypes.push_back(TypeOf(f->lprgelemdescParam[p].tdesc));
                m.argFlags.push_back(f->lprgelemdescParam[p].paramdesc.wParamFlags);
            }
            BSTR doc = nullptr;
            iface_->GetDocumentation(f->memid, nullptr, &doc, nullptr, nullptr);
            m.help = Str(doc);
            members_.push_back(m);
            iface_->ReleaseFuncDesc(f);
        }
        ifaceFlags_ = attr->wTypeFlags;
        iface_->ReleaseTypeAttr(attr);
    }

    const Member* Find(const std::string& name) const {
        for (const auto& m : members_)
            if (m.name == name) return &m;
        return nullptr;
    }

    ov::ComPtr<ITypeLib> lib_;
    ov::ComPtr<ITypeInfo> iface_;
    std::vector<Member> members_;
    WORD ifaceFlags_ = 0;
};

}  // namespace

TEST_F(TypeLibTest, LibraryIsVersionOneWithItsHelpString) {
    TLIBATTR* attr = nullptr;
    ASSERT_EQ(lib_->GetLibAttr(&attr), S_OK);
    EXPECT_EQ(attr->wMajorVerNum, 1);
    EXPECT_EQ(attr->wMinorVerNum, 0);
    lib_->ReleaseTLibAttr(attr);
    BSTR name = nullptr, help = nullptr;
    ASSERT_EQ(lib_->GetDocumentation(-1, &name, &help, nullptr, nullptr), S_OK);
    EXPECT_EQ(Str(name), "OVCUSTINSTSRVLib");
    EXPECT_EQ(Str(help), "OVCustInstSrv 1.0 Type Library");
}

TEST_F(TypeLibTest, InterfaceHasThirtyMembersInSlotOrderWithoutDispidTwo) {
    ASSERT_EQ(members_.size(), 30u);
    EXPECT_TRUE(ifaceFlags_ & TYPEFLAG_FDUAL);
    EXPECT_TRUE(ifaceFlags_ & TYPEFLAG_FOLEAUTOMATION);
    const char* order[] = {"CopyFile", "CopyOVCustomFilesFromINF", "CreateDir", "InstallMLScripts", "AppsPath",
                           "BackupPath", "BitmapPath", "DevelopPath", "DownloadPath", "FilePath", "HelpPath",
                           "LocalNWXORVANPath", "ProductionPath", "ScriptingPath", "ServerPath", "WindowsDir",
                           "RunSEE", "Init", "LocalPLORVANPath", "InstalledMLVersion", "CachedMLVersion",
                           "InstallSEditor", "ConvertLogPath", "ScriptingConversionPath", "RunEditor", "MLReadMe",
                           "GetFreeDiskSpace", "InstallDevFiles", "ScriptServerSetupComplete", "SetScriptServer"};
    for (size_t i = 0; i < members_.size(); ++i) {
        EXPECT_EQ(members_[i].name, order[i]) << i;
        EXPECT_EQ(members_[i].id, i == 0 ? 1 : static_cast<MEMBERID>(i + 2)) << order[i];
        const bool property = members_[i].kind == INVOKE_PROPERTYGET;
        EXPECT_EQ(members_[i].help, std::string(property ? "property " : "method ") + order[i]);
    }
}

TEST_F(TypeLibTest, ArgumentsCarryTheirNamesTypesAndDirections) {
    const Member* copy = Find("CopyFile");
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->kind, INVOKE_FUNC);
    EXPECT_EQ(copy->args, (std::vector<std::string>{"bstrFileName", "bstrSourceDir", "bstrDestDir"}));
    EXPECT_EQ(copy->argTypes, (std::vector<VARTYPE>{VT_BSTR, VT_BSTR, VT_BSTR}));
    for (USHORT f : copy->argFlags) EXPECT_EQ(f & (PARAMFLAG_FIN | PARAMFLAG_FOUT), PARAMFLAG_FIN);

    const Member* space = Find("GetFreeDiskSpace");
    ASSERT_NE(space, nullptr);
    EXPECT_EQ(space->args, (std::vector<std::string>{"bstrDrive", "ulFreeSpace"}));
    EXPECT_EQ(space->argTypes, (std::vector<VARTYPE>{VT_BSTR, VT_UI4 | VT_BYREF}));
    EXPECT_EQ(space->argFlags[1] & (PARAMFLAG_FOUT | PARAMFLAG_FRETVAL), PARAMFLAG_FOUT | PARAMFLAG_FRETVAL);

    const Member* complete = Find("ScriptServerSetupComplete");
    ASSERT_NE(complete, nullptr);
    EXPECT_EQ(complete->args, std::vector<std::string>{"bComplete"});
    EXPECT_EQ(complete->argTypes, std::vector<VARTYPE>{VT_BOOL | VT_BYREF});

    const Member* see = Find("RunSEE");
    ASSERT_NE(see, nullptr);
    EXPECT_EQ(see->args, (std::vector<std::string>{"bstrSEEPath", "bstrDestPath"}));
    const Member* server = Find("SetScriptServer");
    ASSERT_NE(server, nullptr);
    EXPECT_EQ(server->args, std::vector<std::string>{"bstrMappedScriptServer"});

    // Every property is a read-only getter of a BSTR through pVal.
    size_t properties = 0;
    for (const auto& m : members_) {
        if (m.kind != INVOKE_PROPERTYGET) continue;
        ++properties;
        EXPECT_EQ(m.args, std::vector<std::string>{"pVal"}) << m.name;
        EXPECT_EQ(m.argTypes, std::vector<VARTYPE>{VT_BSTR | VT_BYREF}) << m.name;
    }
    EXPECT_EQ(properties, 18u);
}

TEST_F(TypeLibTest, CoclassIsCreatableWithTheInterfaceAsDefault) {
    ov::ComPtr<ITypeInfo> coclass;
    ASSERT_EQ(lib_->GetTypeInfoOfGuid(CLSID_OVCustInst, coclass.Put()), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(coclass->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->typekind, TKIND_COCLASS);
    EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FCANCREATE);
    EXPECT_EQ(attr->cImplTypes, 1);
    coclass->ReleaseTypeAttr(attr);
    INT flags = 0;
    ASSERT_EQ(coclass->GetImplTypeFlags(0, &flags), S_OK);
    EXPECT_TRUE(flags & IMPLTYPEFLAG_FDEFAULT);
    BSTR help = nullptr;
    ASSERT_EQ(coclass->GetDocumentation(MEMBERID_NIL, nullptr, &help, nullptr, nullptr), S_OK);
    EXPECT_EQ(Str(help), "OVCustInst Class");
}
