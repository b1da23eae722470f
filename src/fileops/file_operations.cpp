// Copying a file, creating a directory with its parents, and the free space of a drive.
#include <cstring>
#include <cwchar>

#include "../control/OVCustInst.h"
#include "../diagnostics/error_codes.h"
#include "../framework/ansi_text.h"
#include "../framework/bounded_text.h"
#include "free_space.h"
#include "path_exists.h"

namespace ov {
namespace {

constexpr UINT kMaxArg = MAX_PATH;  // 260 UTF-16 units

// An argument that is empty or too long: reported with the box, E_INVALIDARG returned.
HRESULT LengthInvalid(OVCILog& log, Place at, const char* label) {
    return log.Fail(E_INVALIDARG, at, Box::Shown, label, kLengthInvalid);
}

// Directory and file name joined with one backslash, unless the directory already ends in
// one. Decided on the wide text: in a double-byte code page the last narrow byte can be
// the trail byte of a character that merely looks like a backslash.
bool JoinPath(char* out, std::size_t cap, BSTR wideDir, const char* dir, const char* file) {
    // Up to the first null character, where the narrow text ends too.
    std::size_t n = wcsnlen(wideDir, SysStringLen(wideDir));
    bool hasSeparator = n > 0 && wideDir[n - 1] == L'\\';
    return FormatBounded(out, cap, hasSeparator ? "%s%s" : "%s\\%s", dir, file);
}

}  // namespace

STDMETHODIMP OVCustInst::CopyFile(BSTR bstrFileName, BSTR bstrSourceDir, BSTR bstrDestDir) {
    return Guard(OV_HERE, Box::Shown, [&] {
        UINT n = SysStringLen(bstrFileName);
        if (n == 0 || n > kMaxArg) return LengthInvalid(*this, OV_HERE, "bstrFileName: ");
        UINT s = SysStringLen(bstrSourceDir);
        if (s == 0 || s + n > kMaxArg) return LengthInvalid(*this, OV_HERE, "bstrSourceDir: ");
        UINT d = SysStringLen(bstrDestDir);
        if (d == 0 || d + n > kMaxArg) return LengthInvalid(*this, OV_HERE, "bstrDestDir: ");

        char fileName[MAX_PATH + 1] = {};
        char sourceDir[MAX_PATH + 1] = {};
        char destDir[MAX_PATH + 1] = {};
        // The separator is not counted by the length checks: the joined paths may be 261 long.
        char sourcePath[MAX_PATH + 2] = {};
        char destPath[MAX_PATH + 2] = {};
        // Text that grows past its buffer in the ANSI code page is refused like an over-long
        // argument.
        if (!ToAnsi(bstrFileName, fileName)) return LengthInvalid(*this, OV_HERE, "bstrFileName: ");
        if (!ToAnsi(bstrSourceDir, sourceDir) || !JoinPath(sourcePath, sizeof sourcePath, bstrSourceDir, sourceDir, fileName))
            return LengthInvalid(*this, OV_HERE, "bstrSourceDir: ");
        if (!ToAnsi(bstrDestDir, destDir) || !JoinPath(destPath, sizeof destPath, bstrDestDir, destDir, fileName))
            return LengthInvalid(*this, OV_HERE, "bstrDestDir: ");

        if (!::CopyFileA(sourcePath, destPath, FALSE))
            return FailWithLastError(OV_HERE, Box::Shown, "szFileName: ", fileName, "szSourceDir: ", sourcePath,
                                     "szDestDir: ", destPath);
        return S_OK;
    });
}

STDMETHODIMP OVCustInst::CreateDir(BSTR bstrDirPath) {
    return Guard(OV_HERE, Box::Shown, [&] {
        UINT n = SysStringLen(bstrDirPath);
        if (n == 0 || n > kMaxArg) return LengthInvalid(*this, OV_HERE, "bstrDirPath: ");
        char dirPath[MAX_PATH + 1] = {};
        if (!ToAnsi(bstrDirPath, dirPath)) return LengthInvalid(*this, OV_HERE, "bstrDirPath: ");

        // Create each missing parent at its backslash; the one after a drive's colon is the
        // root, which is never created. Trail bytes of double-byte characters are stepped over.
        for (std::size_t i = 0; dirPath[i] != '\0'; ++i) {
            if (IsDBCSLeadByte(static_cast<BYTE>(dirPath[i])) && dirPath[i + 1] != '\0') {
                ++i;
                continue;
            }
            if (dirPath[i] != '\\' || (i > 0 && dirPath[i - 1] == ':')) continue;
            dirPath[i] = '\0';
            if (!PathExists(dirPath) && !CreateDirectoryA(dirPath, nullptr))
                return FailWithLastError(OV_HERE, Box::Shown, "szDirPath: ", dirPath);
            dirPath[i] = '\\';
        }
        if (!PathExists(dirPath) && !CreateDirectoryA(dirPath, nullptr))
            return FailWithLastError(OV_HERE, Box::Shown, "szDirPath: ", dirPath);
        return S_OK;
    });
}

STDMETHODIMP OVCustInst::GetFreeDiskSpace(BSTR bstrDrive, ULONG* ulFreeSpace) {
    return Guard(OV_HERE, Box::Shown, [&] {
        UINT n = SysStringLen(bstrDrive);
        if (n == 0 || n > kMaxArg) return LengthInvalid(*this, OV_HERE, "bstrDrive: ");
        if (!ulFreeSpace) return Fail(E_POINTER, OV_HERE, Box::Shown);
        char drive[MAX_PATH + 1] = {};
        if (!ToAnsi(bstrDrive, drive)) return LengthInvalid(*this, OV_HERE, "bstrDrive: ");

        // Only the first letter counts: "D", "d:" and "D:\Data" all name the root of D.
        char root[4] = {drive[0], ':', '\\', '\0'};
        DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
        if (!GetDiskFreeSpaceA(root, &sectorsPerCluster, &bytesPerSector, &freeClusters, &totalClusters))
            return FailWithLastError(OV_HERE, Box::Shown, "szDrive: ", root);
        *ulFreeSpace = FreeBytesSaturated(sectorsPerCluster, bytesPerSector, freeClusters);
        return S_OK;
    });
}

}  // namespace ov
