// Copying a file, creating a directory with its parents, and the free space of a drive.
#include <cstring>
#include <cwchar>

#include "../control/OVCustInst.h"
#include "../diagnostics/error_codes.h"
#include "../diagnostics/last_error.h"
#include "../framework/ansi_text.h"
#include "../framework/bounded_text.h"
#include "free_space.h"
#include "path_exists.h"

namespace ov {
namespace {

constexpr char kModule[] = "OVCustInst";
constexpr char kLengthInvalid[] = "Length Invalid";
constexpr UINT kMaxArg = MAX_PATH;  // 260 UTF-16 units

// An argument that is empty or too long: reported with the box, E_INVALIDARG returned.
HRESULT LengthInvalid(OVCILog& log, const char* label, int line) {
    log.ReportError(E_INVALIDARG, kModule, line, 1, label, kLengthInvalid, "END");
    return E_INVALIDARG;
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
    try {
        UINT n = SysStringLen(bstrFileName);
        if (n == 0 || n > kMaxArg) return LengthInvalid(*this, "bstrFileName: ", __LINE__);
        UINT s = SysStringLen(bstrSourceDir);
        if (s == 0 || s + n > kMaxArg) return LengthInvalid(*this, "bstrSourceDir: ", __LINE__);
        UINT d = SysStringLen(bstrDestDir);
        if (d == 0 || d + n > kMaxArg) return LengthInvalid(*this, "bstrDestDir: ", __LINE__);

        char fileName[MAX_PATH + 1] = {};
        char sourceDir[MAX_PATH + 1] = {};
        char destDir[MAX_PATH + 1] = {};
        // The separator is not counted by the length checks: the joined paths may be 261 long.
        char sourcePath[MAX_PATH + 2] = {};
        char destPath[MAX_PATH + 2] = {};
        // Text that grows past its buffer in the ANSI code page is refused like an over-long
        // argument.
        if (!ToAnsi(bstrFileName, fileName)) return LengthInvalid(*this, "bstrFileName: ", __LINE__);
        if (!ToAnsi(bstrSourceDir, sourceDir) || !JoinPath(sourcePath, sizeof sourcePath, bstrSourceDir, sourceDir, fileName))
            return LengthInvalid(*this, "bstrSourceDir: ", __LINE__);
        if (!ToAnsi(bstrDestDir, destDir) || !JoinPath(destPath, sizeof destPath, bstrDestDir, destDir, fileName))
            return LengthInvalid(*this, "bstrDestDir: ", __LINE__);

        if (!::CopyFileA(sourcePath, destPath, FALSE)) {
            HRESULT hr = LastErrorHResult();
            ReportError(hr, kModule, __LINE__, 1, "szFileName: ", fileName, "szSourceDir: ", sourcePath,
                        "szDestDir: ", destPath, "END");
            return hr;
        }
        return S_OK;
    } catch (...) {
        ReportError(E_FAIL, kModule, __LINE__, 1, "END");
        return E_FAIL;
    }
}

STDMETHODIMP OVCustInst::CreateDir(BSTR bstrDirPath) {
    try {
        UINT n = SysStringLen(bstrDirPath);
        if (n == 0 || n > kMaxArg) return LengthInvalid(*this, "bstrDirPath: ", __LINE__);
        char dirPath[MAX_PATH + 1] = {};
        if (!ToAnsi(bstrDirPath, dirPath)) return LengthInvalid(*this, "bstrDirPath: ", __LINE__);

        // Create each missing parent at its backslash; the one after a drive's colon is the
        // root, which is never created. Trail bytes of double-byte characters are stepped over.
        for (std::size_t i = 0; dirPath[i] != '\0'; ++i) {
            if (IsDBCSLeadByte(static_cast<BYTE>(dirPath[i])) && dirPath[i + 1] != '\0') {
                ++i;
                continue;
            }
            if (dirPath[i] != '\\' || (i > 0 && dirPath[i - 1] == ':')) continue;
            dirPath[i] = '\0';
            if (!PathExists(dirPath) && !CreateDirectoryA(dirPath, nullptr)) {
                HRESULT hr = LastErrorHResult();
                ReportError(hr, kModule, __LINE__, 1, "szDirPath: ", dirPath, "END");
                return hr;
            }
            dirPath[i] = '\\';
        }
        if (PathExists(dirPath)) return S_OK;
        if (!CreateDirectoryA(dirPath, nullptr)) {
            HRESULT hr = LastErrorHResult();
            ReportError(hr, kModule, __LINE__, 1, "szDirPath: ", dirPath, "END");
            return hr;
        }
        return S_OK;
    } catch (...) {
        ReportError(E_FAIL, kModule, __LINE__, 1, "END");
        return E_FAIL;
    }
}

STDMETHODIMP OVCustInst::GetFreeDiskSpace(BSTR bstrDrive, ULONG* ulFreeSpace) {
    try {
        UINT n = SysStringLen(bstrDrive);
        if (n == 0 || n > kMaxArg) return LengthInvalid(*this, "bstrDrive: ", __LINE__);
        if (!ulFreeSpace) {
            ReportError(E_POINTER, kModule, __LINE__, 1, "END");
            return E_POINTER;
        }
        char drive[MAX_PATH + 1] = {};
        if (!ToAnsi(bstrDrive, drive)) return LengthInvalid(*this, "bstrDrive: ", __LINE__);

        // Only the first letter counts: "D", "d:" and "D:\Data" all name the root of D.
        char root[4] = {drive[0], ':', '\\', '\0'};
        DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
        if (!GetDiskFreeSpaceA(root, &sectorsPerCluster, &bytesPerSector, &freeClusters, &totalClusters)) {
            HRESULT hr = LastErrorHResult();
            ReportError(hr, kModule, __LINE__, 1, "szDrive: ", root, "END");
            return hr;
        }
        *ulFreeSpace = FreeBytesSaturated(sectorsPerCluster, bytesPerSector, freeClusters);
        return S_OK;
    } catch (...) {
        ReportError(E_FAIL, kModule, __LINE__, 1, "END");
        return E_FAIL;
    }
}

}  // namespace ov
