// Result codes of the system and the mappings into them. Plain functions: no platform calls.
#pragma once

#include <cstdint>

#include "../framework/last_error.h"

namespace ov {

using HResult = std::int32_t;

inline constexpr HResult kS_OK = 0;
inline constexpr HResult kE_FAIL = static_cast<HResult>(0x80004005u);
inline constexpr HResult kE_INVALIDARG = static_cast<HResult>(0x80070057u);
// A path or value too long for its buffer (ERROR_FILENAME_EXCED_RANGE): refused, never cut.
inline constexpr HResult kE_TOOLONG = static_cast<HResult>(0x800700CEu);

// The system's own codes and their reason texts.
inline constexpr HResult OV_E_SEECOPY = static_cast<HResult>(0x80040200u);
inline constexpr HResult OV_E_NODATA = static_cast<HResult>(0x80040201u);
inline constexpr const char kSeeCopyReason[] = "Copy of SSE did not succeed.\n";
inline constexpr const char kNoDataReason[] = "Could not find ORVAN data.\n";

// errno after a failed program start, as an HRESULT.
HResult MapErrno(int err);

// The fixed reason text of the system's own codes, or nullptr for every other code.
const char* OwnReasonText(HResult code);

}  // namespace ov
