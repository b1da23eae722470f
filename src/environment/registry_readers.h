// Reading the maker's install path from the registry.
#pragma once

#include <windows.h>

namespace ov {

// Reads "InstallPath" under HKEY_LOCAL_MACHINE "SOFTWARE\Orvanta" into buffer (size bytes,
// terminator included). S_OK when the key opened, whether or not the value was there;
// E_FAIL when it did not, with the registry's error code in *registryError for the callers
// that log it. The buffer is changed only by a successful read.
HRESULT ReadInstallPath(char* buffer, DWORD size, LONG* registryError = nullptr);

}  // namespace ov
