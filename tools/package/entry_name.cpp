#include "entry_name.h"

#include "common/dos_device_name.h"

namespace ovpkg {

std::string CheckEntryName(const std::wstring& name) {
    if (name.empty()) return "it is empty";
    for (std::size_t start = 0;;) {
        const std::size_t end = name.find_first_of(L"\\/", start);
        const std::wstring part = name.substr(start, end == std::wstring::npos ? end : end - start);
        if (part.empty()) return start == 0 ? "it is an absolute path" : "it has an empty part";
        if (part.find_first_not_of(L'.') == std::wstring::npos) return "it has a '.' or '..' part";
        for (wchar_t c : part) {
            if (c == L':') return "it names a drive or a stream";
            if (c < 32 || c == L'<' || c == L'>' || c == L'"' || c == L'|' || c == L'?' || c == L'*')
                return "it holds a character that no file name may hold";
        }
        if (part.back() == L'.' || part.back() == L' ') return "a part of it ends with a dot or a blank";
        if (ov::IsDosDeviceName(part)) return "it names a device";
        if (end == std::wstring::npos) return "";
        start = end + 1;
    }
}

}  // namespace ovpkg
