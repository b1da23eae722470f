// Removing the older downloaded packages of one kind and their shared-file records.
#include "../control/OVCustInst.h"
#include "../diagnostics/error_codes.h"
#include "../framework/ansi_text.h"
#include "../framework/bounded_text.h"

namespace ov {
namespace {

constexpr char kModuleUsageKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ModuleUsage";
constexpr char kSharedDllsKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDlls";

// The path with each backslash written as a forward slash; trail bytes of double-byte
// characters that happen to be 0x5C are left alone.
void ToForwardSlashes(char* path) {
    for (; *path; ++path) {
        if (IsDBCSLeadByte(static_cast<BYTE>(*path)) && path[1]) {
            ++path;
        } else if (*path == '\\') {
            *path = '/';
        }
    }
}

}  // namespace

void OVCustInst::PackageCleanup(short PackageKind) {
    Guard(OV_HERE, Box::Hidden, [&] {
        const bool scripts = PackageKind == 0;
        char pattern[MAX_PATH + 1] = {};
        char kept[MAX_PATH + 1] = {};
        if (!FormatBounded(pattern, sizeof pattern, "%s\\%s", PellarInstallPath, scripts ? "MLS*.exe" : "MLD*.exe"))
            return Fail(kE_TOOLONG, OV_HERE, Box::Hidden, "szSearchPath: ", kLengthInvalid);
        if (!ToAnsi((scripts ? MLSSEEFileName : MLDSEEFileName).Get(), kept))
            return Fail(kE_TOOLONG, OV_HERE, Box::Hidden, "szSEEFileName: ", kLengthInvalid);

        WIN32_FIND_DATAA found;
        UniqueFind search(FindFirstFileA(pattern, &found));
        if (!search) return S_OK;
        do {
            // In the ANSI code page, ignoring case; a double-byte character is one unit.
            if (lstrcmpiA(found.cFileName, kept) == 0) continue;
            char filePath[MAX_PATH + 1] = {};
            char usageName[MAX_PATH + 1] = {};
            // The usage subkey names the file where it lies, the host product's directory,
            // the same file that the SharedDlls value names; the download folder would name a
            // copy that the package install never made.
            if (!FormatBounded(filePath, sizeof filePath, "%s\\%s", PellarInstallPath, found.cFileName) ||
                !FormatBounded(usageName, sizeof usageName, "%s/%s", PellarInstallPath, found.cFileName)) {
                Report(kE_TOOLONG, OV_HERE, Box::Hidden, "szSEEFileName: ", found.cFileName);
                continue;
            }
            ToForwardSlashes(usageName);
            // The results are not looked at: a file in use or read-only stays, and its records
            // go all the same.
            DeleteFileA(filePath);
            RegKey usage;
            if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kModuleUsageKey, 0, DELETE | KEY_ENUMERATE_SUB_KEYS, usage.Put()) ==
                ERROR_SUCCESS)
                RegDeleteKeyA(usage.Get(), usageName);
            RegKey shared;
            if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSharedDllsKey, 0, KEY_WRITE | DELETE, shared.Put()) == ERROR_SUCCESS)
                RegDeleteValueA(shared.Get(), filePath);
        } while (FindNextFileA(search.Get(), &found));
        return S_OK;
    });
}

}  // namespace ov
