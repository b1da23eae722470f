// Whether a file or a directory of that name is there.
#pragma once

#include <windows.h>

namespace ov {

inline bool PathExists(const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

}  // namespace ov
