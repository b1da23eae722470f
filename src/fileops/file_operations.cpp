// Copying a file, creating a directory with its parents, and the free space of a drive.
#include "file_operations.h"

#include <cstring>

#include "../framework/bounded_text.h"
#include "free_space.h"
#include "path_exists.h"

namespace ov {
namespace {

constexpr const char* kReportModule = kOVCustInstModule;

// The length of narrow text in UTF-16 units, as the automation string made from it counts:
// the arguments are measured in these units, however they arrive.
std::size_t Units(const char* text) {
    if (!*text) return 0;
    int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    return n > 0 ? static_cast<std::size_t>(n - 1) : std::strlen(text);
}

// Whether the last character is a backslash; the trail byte of a double-byte character that
// happens to be 0x5C is not one.
bool EndsWithBackslash(const char* text) {
    bool last = false;
    for (std::size_t i = 0; text[i] != '\0'; ++i) {
        last = text[i] == '\\';
        if (IsDBCSLeadByte(static_cast<BYTE>(text[i])) && text[i + 1] != '\0') ++i, last = false;
    }
    return last;
}

// Directory and file name joined with one backslash, unless the directory already ends in one.
bool JoinFile(char* out, std::size_t cap, const char* dir, const char* file) {
    return FormatBounded(out, cap, EndsWithBackslash(dir) ? "%s%s" : "%s\\%s", dir, file);
}

}  // namespace

const char* CopyFileLengthRefusal(std::size_t name, std::size_t source, std::size_t dest) {
    if (!ArgumentFits(name)) return "bstrFileName: ";
    if (source == 0 || !ArgumentFits(source + name)) return "bstrSourceDir: ";
    if (dest == 0 || !ArgumentFits(dest + name)) return "bstrDestDir: ";
    return nullptr;
}

HRESULT CopyFileInto(OVCILog& log, const char* fileName, const char* sourceDir, const char* destDir) {
    if (const char* label = CopyFileLengthRefusal(Units(fileName), Units(sourceDir), Units(destDir)))
        return log.RefuseLength(OV_HERE, label);

    // The separator is not counted by the length checks: the joined paths may be 261 long.
    char sourcePath[kPathChars + 2] = {};
    char destPath[kPathChars + 2] = {};
    if (!JoinFile(sourcePath, sizeof sourcePath, sourceDir, fileName))
        return log.RefuseLength(OV_HERE, "bstrSourceDir: ");
    if (!JoinFile(destPath, sizeof destPath, destDir, fileName)) return log.RefuseLength(OV_HERE, "bstrDestDir: ");

    if (!::CopyFileA(sourcePath, destPath, FALSE))
        return log.FailWithLastError(OV_HERE, Box::Shown, "szFileName: ", fileName, "szSourceDir: ", sourcePath,
                                     "szDestDir: ", destPath);
    return S_OK;
}

HRESULT CreateDirWithParents(OVCILog& log, const char* path) {
    Path dirPath = {};
    if (!ArgumentFits(Units(path)) || !CopyBounded(dirPath, path)) return log.RefuseLength(OV_HERE, "bstrDirPath: ");

    // Create each missing parent at its backslash; the one after a drive's colon is the root,
    // which is never created. Trail bytes of double-byte characters are stepped over.
    for (std::size_t i = 0; dirPath[i] != '\0'; ++i) {
        if (IsDBCSLeadByte(static_cast<BYTE>(dirPath[i])) && dirPath[i + 1] != '\0') {
            ++i;
            continue;
        }
        if (dirPath[i] != '\\' || (i > 0 && dirPath[i - 1] == ':')) continue;
        dirPath[i] = '\0';
        if (!PathExists(dirPath) && !CreateDirectoryA(dirPath, nullptr))
            return log.FailWithLastError(OV_HERE, Box::Shown, "szDirPath: ", dirPath);
        dirPath[i] = '\\';
    }
    if (!PathExists(dirPath) && !CreateDirectoryA(dirPath, nullptr))
        return log.FailWithLastError(OV_HERE, Box::Shown, "szDirPath: ", dirPath);
    return S_OK;
}

HRESULT DriveFreeSpace(OVCILog& log, const char* drive, ULONG* freeBytes) {
    if (!ArgumentFits(Units(drive))) return log.RefuseLength(OV_HERE, "bstrDrive: ");

    // Only the first letter counts: "D", "d:" and "D:\Data" all name the root of D.
    char root[4] = {drive[0], ':', '\\', '\0'};
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
    if (!GetDiskFreeSpaceA(root, &sectorsPerCluster, &bytesPerSector, &freeClusters, &totalClusters))
        return log.FailWithLastError(OV_HERE, Box::Shown, "szDrive: ", root);
    *freeBytes = FreeBytesSaturated(sectorsPerCluster, bytesPerSector, freeClusters);
    return S_OK;
}

}  // namespace ov
