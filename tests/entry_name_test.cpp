// Which file names from a package's cabinet the package program writes below its destination.
// No platform calls: this file also builds natively under sanitizers (tests/native).
#include <gtest/gtest.h>

#include <cwchar>
#include <string>

#include "package/entry_name.h"

namespace {

// Names the row (the characters outside ASCII cut to a byte).
std::string Row(const wchar_t* name) { return std::string(name, name + std::wcslen(name)); }

// Windows opens a device for these, whatever folder they stand in: the bytes would never reach
// the destination. Which single names are devices is the rule's own table (DosDeviceName): here,
// that every part of a path is held to it.
TEST(PackageEntryName, EveryPartThatWindowsTakesForADeviceIsRefused) {
    const wchar_t* const rows[] = {
        L"NUL .txt", L"sub\\NUL .txt", L"AUX\\x.txt", L"a/b/COM3/c.txt", L"dir\\CON\\deeper\\file.txt"};
    for (const wchar_t* name : rows)
        EXPECT_EQ(ovpkg::CheckEntryName(name), "it names a device") << Row(name);
}

TEST(PackageEntryName, NamesThatOnlyLookLikeDevicesAreFiles) {
    const wchar_t* const rows[] = {
        L"NULL.txt", L"AUXILIARY\\x.txt", L"sub dir\\NUL-x.txt", L"Readme.txt", L"sub dir\\deeper\\big.bin",
        L"caf\u00E9\\na\u00EFve.txt", L"a.b.c"};
    for (const wchar_t* name : rows) EXPECT_EQ(ovpkg::CheckEntryName(name), "") << Row(name);
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
    for (const auto& row : rows) EXPECT_EQ(ovpkg::CheckEntryName(row.name), row.why) << Row(row.name);
}

}  // namespace
