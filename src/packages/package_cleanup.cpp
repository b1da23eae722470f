// Removing the older downloaded packages of one kind and their shared-file records.
#include "../framework/unique_any.h"
#include "packages.h"

namespace ov {
namespace {

constexpr const char* kReportModule = kOVCustInstModule;
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

void PackageCleanup(OVCILog& log, const PackageKind& kind, const char* kept) {
    log.Guard(OV_HERE, Box::Hidden, [&] {
        Path pattern = {};
        if (!FormatBounded(pattern, sizeof pattern, "%s\\%s*.exe", PellarInstallPath, kind.namePrefix))
            return log.RefuseTooLong(OV_HERE, Box::Hidden, "szSearchPath: ");

        WIN32_FIND_DATAA found;
        UniqueFind search(FindFirstFileA(pattern, &found));
        if (!search) return S_OK;
        do {
            // In the ANSI code page, ignoring case; a double-byte character is one unit.
            if (lstrcmpiA(found.cFileName, kept) == 0) continue;
            Path filePath = {}, usageName = {};
            // The usage subkey names the file where it lies, the host product's directory,
            // the same file that the SharedDlls value names; the download folder would name a
            // copy that the package install never made.
            if (!FormatBounded(filePath, sizeof filePath, "%s\\%s", PellarInstallPath, found.cFileName) ||
                !FormatBounded(usageName, sizeof usageName, "%s/%s", PellarInstallPath, found.cFileName)) {
                log.Report(kE_TOOLONG, OV_HERE, Box::Hidden, "szSEEFileName: ", found.cFileName);
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
