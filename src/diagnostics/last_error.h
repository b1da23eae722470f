// The calling thread's last platform error as an HRESULT.
#pragma once

#include <windows.h>

#include "error_codes.h"

namespace ov {

// A call that failed without leaving an error behind still comes out as a failure.
inline HRESULT LastErrorHResult() {
    HRESULT hr = Win32ToHResult(static_cast<std::int32_t>(GetLastError()));
    return FAILED(hr) ? hr : E_FAIL;
}

}  // namespace ov
