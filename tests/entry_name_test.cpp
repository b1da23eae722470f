// Which file names from a package's cabinet the package program writes below its destination.
// No platform calls: this file also builds natively under sanitizers (tests/native).
#include <gtest/gtest.h>

#include <string>

#include "package/entry_name.h"

namespace {

std::string Utf8(const std::wstring& w) {
    std::string s;
    for (wchar_t c : w) {
        if (c < 0x80) {
            s += static_cast<char>(c);
        } else {  // all the names below stay within the first 2,048 code points
            s += static_cast<char>(0xC0 | (c >> 6));
            s += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return s;
}

// Windows opens a device for these, whatever folder they stand in: the bytes would never reach
// the destination.
TEST(PackageEntryName, EveryPartThatWindowsTakesForADeviceIsRefused) {
    const wchar_t* const rows[] = {
        L"NUL .txt", L"AUX  .log", L"COM1 .txt", L"LPT1 .txt", L"NUL. .txt", L"COM\u00B9", L"CONIN$",
        L"sub\\NUL .txt", L"AUX\\x.txt", L"a/b/COM3/c.txt", L"dir\\CON\\deeper\\file.txt"};
    for (const wchar_t* name : rows)
        EXPECT_EQ(ovpkg::CheckEntryName(name), "it names a device") << Utf8(name);
}

TEST(PackageEntryName, NamesThatOnlyLookLikeDevicesAreFiles) {
    const wchar_t* const rows[] = {
        L"NULL.txt", L"nul_.txt", L"CONSOLE", L"COM10", L"LPT", L"COM", L"COMA.txt", L"COM\u00B4",
        L"LPT\u2074", L"xCOM1", L"AUXILIARY\\x.txt", L"CONIN", L"CONOUT$$", L"sub dir\\NUL-x.txt",
        L"Readme.txt", L"sub dir\\deeper\\big.bin", L"caf\u00E9\\na\u00EFve.txt", L"a.b.c"};
    for (const wchar_t* name : rows) EXPECT_EQ(ovpkg::CheckEntryName(name), "") << Utf8(name);
}

// Names that would leave the destination or that no file may carry.
TEST(PackageEntryName, NamesThatLeaveTheDestinationOrCannotBeFilesAreRefused) {
    const struct {
        const wchar_t* name;
        const char* why;
    } rows[] = {
        {L"", "it is empty"},
        {L"\\x.txt", "it is an absolute path"},
        {L"/x.txt", "it is an absolute path"},
        {L"sub\\\\x.txt", "it has an empty part"},
        {L"sub\\", "it has an empty part"},
        {L"..\\evil.txt", "it has a '.' or '..' part"},
        {L"sub/../../evil.txt", "it has a '.' or '..' part"},
        {L".\\x.txt", "it has a '.' or '..' part"},
        {L"...", "it has a '.' or '..' part"},
        {L"C:\\x.txt", "it names a drive or a stream"},
        {L"C:x.txt", "it names a drive or a stream"},
        {L"x.txt:stream", "it names a drive or a stream"},
        {L"a\tb.txt", "it holds a character that no file name may hold"},
        {L"a?.txt", "it holds a character that no file name may hold"},
        {L"a|b", "it holds a character that no file name may hold"},
        {L"x.txt.", "a part of it ends with a dot or a blank"},
        {L"sub \\x.txt", "a part of it ends with a dot or a blank"},
    };
    for (const auto& row : rows) EXPECT_EQ(ovpkg::CheckEntryName(row.name), row.why) << Utf8(row.name);
}

}  // namespace
