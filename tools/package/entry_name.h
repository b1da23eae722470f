// Whether a file name read from a package's cabinet may be joined to the destination folder.
// Plain logic, no platform calls: also built natively (tests/native).
#pragma once

#include <string>

namespace ovpkg {

// Empty when the name stays below the folder it is joined to and names an ordinary file there;
// else why not. Parts are separated by backslashes or slashes. Refused: an empty or absolute
// name, "." and ".." parts, drives and streams, characters no file name may hold, parts ending
// with a dot or a blank, and any part that Windows would take for a device (ov::IsDosDeviceName).
std::string CheckEntryName(const std::wstring& name);

}  // namespace ovpkg
