// The file names that Windows opens as a device instead of a file. Plain C++: no platform calls,
// so that the rule is tested natively as well.
#pragma once

#include <string_view>

namespace ov {

// True when the last component of `path` names a device in any folder: CON, PRN, AUX, NUL,
// CONIN$, CONOUT$, COM0 to COM9 and LPT0 to LPT9, also with the superscript digits ¹ ² ³
// (COM¹), in any case. What counts is the part before the first dot or colon, with trailing
// blanks dropped: "nul.asl", "NUL .txt", "AUX  .log.bak" and "com1:" are devices, "com10.asl"
// and " nul.asl" are not. Such a file can exist (a share or a Unix drive may hold one), but
// opening it by that name reads or writes the device.
bool IsDosDeviceName(std::wstring_view path);

}  // namespace ov
