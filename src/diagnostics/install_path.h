// Reading the maker's install path from the registry: where the log lives and the product is.
#pragma once

#include <windows.h>

#include "../framework/bounded_text.h"

namespace ov {

// Reads "InstallPath" under HKEY_LOCAL_MACHINE "SOFTWARE\Orvanta" into buffer (size bytes,
// terminator included). S_OK when the key opened, whether or not the value was there;
// E_FAIL when it did not, with the registry's error code in *registryError for the callers
// that log it. The buffer is changed only by a successful read.
HRESULT ReadInstallPath(char* buffer, DWORD size, LONG* registryError = nullptr);

// One read of the install path, for a construction that needs it twice: for its log's path
// and for the module-wide paths.
struct InstallPathRead {
    HRESULT result = E_FAIL;  // as ReadInstallPath answers
    LONG registryError = ERROR_SUCCESS;
    bool found = false;          // the value was there and fit in 260 characters
    Path text = {};  // the value when found, else empty

    static InstallPathRead Now();
    // Into a buffer of 260 characters as ReadInstallPath would have written it.
    HRESULT CopyTo(Path& buffer) const;
};

}  // namespace ov
