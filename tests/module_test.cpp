// What the module gives back or falls back on, seen from a process of its own.
#include <gtest/gtest.h>

#include <cstring>

#include "support/test_support.h"

using namespace ovtest;

// A damaged registration (the type library's keys gone, the class still there) must not cost
// a page its late binding: the module answers from the type library it carries.
TEST(Module, LateBindingWorksWithoutTheRegisteredTypeLibrary) {
    ASSERT_EQ(RegisterServer(), 0);
    ASSERT_EQ(UnRegisterTypeLib(LIBID_OVCUSTINSTSRVLib, 1, 0, LOCALE_NEUTRAL, SYS_WIN64), S_OK);
    ov::ComPtr<ITypeLib> registered;
    EXPECT_TRUE(FAILED(LoadRegTypeLib(LIBID_OVCUSTINSTSRVLib, 1, 0, LOCALE_NEUTRAL, registered.Put())));

    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string script = std::string(temp) + "ov_module_late_bound.js";
    WriteFileText(script,
                  "try { var c = new ActiveXObject('OVCustInstSrv.OVCustInst');\n"
                  "  WScript.Quit(c.ServerPath === '' && c.GetFreeDiskSpace('C') > 0 ? 0 : 1);\n"
                  "} catch (e) { WScript.Echo(e.number); WScript.Quit(2); }\n");
    char cscript[MAX_PATH] = {};
    GetSystemDirectoryA(cscript, MAX_PATH);
    std::strcat(cscript, "\\cscript.exe");
    const std::string quoted = "\"" + script + "\"";
    const int rc = static_cast<int>(_spawnl(_P_WAIT, cscript, cscript, "//nologo", quoted.c_str(), nullptr));
    DeleteFileA(script.c_str());
    ASSERT_EQ(RegisterServer(), 0);
    EXPECT_EQ(rc, 0) << "1: wrong answers, 2: the script caught an error";
}
