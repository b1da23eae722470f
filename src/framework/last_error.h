// A Win32 error as an HRESULT, and the calling thread's last one. Win32ToHResult is plain code.
#pragma once

#include <cstdint>

#ifdef _WIN32
#include <windows.h>
#endif

namespace ov {

// A Win32 or registry error code as an HRESULT: positive codes go into facility 7,
// anything else is taken as it stands.
constexpr std::int32_t Win32ToHResult(std::int32_t code) {
    return code > 0 ? static_cast<std::int32_t>((static_cast<std::uint32_t>(code) & 0xFFFFu) | 0x80070000u) : code;
}

#ifdef _WIN32
// A call that failed without leaving an error behind still comes out as a failure.
inline HRESULT LastErrorHResult() {
    HRESULT hr = Win32ToHResult(static_cast<std::int32_t>(GetLastError()));
    return FAILED(hr) ? hr : E_FAIL;
}
#endif

}  // namespace ov
