#include "entry_name.h"

namespace ovpkg {

namespace {

wchar_t Upper(wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c; }

bool SameFolded(const std::wstring& text, const wchar_t* name) {
    std::size_t i = 0;
    for (; i < text.size() && name[i]; ++i)
        if (Upper(text[i]) != name[i]) return false;
    return i == text.size() && !name[i];
}

}  // namespace

bool IsDeviceName(const std::wstring& part) {
    // Windows looks only at what comes before the first dot, without the blanks and dots at
    // its end.
    std::wstring stem = part.substr(0, part.find(L'.'));
    while (!stem.empty() && (stem.back() == L' ' || stem.back() == L'.')) stem.pop_back();
    for (const wchar_t* device : {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"})
        if (SameFolded(stem, device)) return true;
    if (stem.size() != 4 || !(SameFolded(stem.substr(0, 3), L"COM") || SameFolded(stem.substr(0, 3), L"LPT")))
        return false;
    const wchar_t digit = stem[3];
    return (digit >= L'0' && digit <= L'9') || digit == L'\u00B9' || digit == L'\u00B2' || digit == L'\u00B3';
}

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
        if (IsDeviceName(part)) return "it names a device";
        if (end == std::wstring::npos) return "";
        start = end + 1;
    }
}

}  // namespace ovpkg
