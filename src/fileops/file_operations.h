// Copying a file, creating a directory with its parents and the free space of a drive: narrow
// text in, every failure reported through the log (module OVCustInst), its code returned. The
// members of the control only check and convert their arguments before they call these; Init,
// the INF copy and the installs call them directly.
#pragma once

#include <windows.h>

#include <cstddef>

#include "../diagnostics/OVCILog.h"
#include "../framework/bounded_text.h"

namespace ov {

// Lengths are counted in UTF-16 units, as the automation strings count them: an argument
// fits when it is 1 to 260 units long.
constexpr bool ArgumentFits(std::size_t units) { return units != 0 && units <= kPathChars; }
// The label of the first of CopyFile's arguments refused for its length, or null: each
// directory is counted together with the file name.
const char* CopyFileLengthRefusal(std::size_t name, std::size_t source, std::size_t dest);

// Copies fileName from sourceDir into destDir, replacing a file there; a backslash is put
// between directory and name only where the directory does not end with one.
HRESULT CopyFileInto(OVCILog& log, const char* fileName, const char* sourceDir, const char* destDir);

// Creates dirPath and every missing parent; a path that exists (directory or file) is success.
HRESULT CreateDirWithParents(OVCILog& log, const char* dirPath);

// The free bytes of the drive named by the first letter of drive, saturating at 0xFFFFFFFF;
// *freeBytes must point to storage; it is left alone on failure.
HRESULT DriveFreeSpace(OVCILog& log, const char* drive, ULONG* freeBytes);

}  // namespace ov
