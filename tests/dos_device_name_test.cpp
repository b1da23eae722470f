// Which file names open a device: the rule, natively and under Windows, where the platform's own
// answer (RtlIsDosDeviceName_U) must never name a device that the rule lets through.
#include <gtest/gtest.h>

#include <cwchar>
#include <string>

#include "common/dos_device_name.h"

namespace {

const struct {
    const wchar_t* name;
    bool device;
} kNames[] = {
    {L"aux.asl", true}, {L"PRN.asl", true}, {L"Nul.asl", true}, {L"con", true}, {L"com1.asl", true},
    {L"LPT9.asl", true}, {L"com0.asl", true}, {L"lpt0", true}, {L"CONIN$.asl", true}, {L"conout$", true},
    {L"NUL .txt", true}, {L"AUX  .log", true}, {L"COM1 .asl.bak", true}, {L"nul", true}, {L"nul.", true},
    {L"com1:", true}, {L"aux:stream", true}, {L"C:\\scripts\\Prod\\prn.asl", true}, {L"Prod/lpt1.asl", true},
    {L"COM\u00B9.asl", true}, {L"lpt\u00B2.asl", true}, {L"com\u00B3", true}, {L"LPT1 .txt", true},
    {L"NUL. .txt", true}, {L"COM\u00B9", true}, {L"CONIN$", true},
    {L"com10.asl", false}, {L"lpt.asl", false}, {L"comx.asl", false}, {L"com\u2074.asl", false},
    {L" nul.asl", false}, {L"nul_.asl", false}, {L"auxiliary.asl", false}, {L"null.asl", false},
    {L"coninD.asl", false}, {L"CON$.asl", false}, {L"prn\\z.asl", false}, {L"", false}, {L".asl", false},
    {L"Z4Hello.asl", false}, {L"A1 Report.asl", false}, {L"CONSOLE", false}, {L"COM", false}, {L"LPT", false},
    {L"COMA.txt", false}, {L"COM\u00B4", false}, {L"LPT\u2074", false}, {L"xCOM1", false}, {L"CONIN", false},
    {L"CONOUT$$", false}, {L"COM10", false},
};

}  // namespace

TEST(DosDeviceName, TheNamesWindowsOpensAsDevicesInAnyFolder) {
    for (const auto& row : kNames)
        EXPECT_EQ(ov::IsDosDeviceName(row.name), row.device) << std::string(row.name, row.name + wcslen(row.name));
}

#ifdef _WIN32
#include <windows.h>

TEST(DosDeviceName, NoNameThePlatformTakesForADeviceIsLetThrough) {
    using Check = ULONG(WINAPI*)(const wchar_t*);
    const auto platform = reinterpret_cast<Check>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "RtlIsDosDeviceName_U")));
    ASSERT_NE(platform, nullptr);
    int devices = 0;
    for (const auto& row : kNames) {
        const std::wstring path = std::wstring(L"C:\\scripts\\") + row.name;
        if (platform(path.c_str()) == 0) continue;
        ++devices;
        EXPECT_TRUE(ov::IsDosDeviceName(path)) << std::string(row.name, row.name + wcslen(row.name));
    }
    EXPECT_GE(devices, 10) << "the platform should take the plain forms for devices";
}
#endif
