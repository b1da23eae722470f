#include "dos_device_name.h"

namespace ov {
namespace {

// The same as `upper` (capitals, digits and '$'), ASCII letters in any case.
bool SameName(std::wstring_view name, std::wstring_view upper) {
    if (name.size() != upper.size()) return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const wchar_t c = name[i] >= L'a' && name[i] <= L'z' ? static_cast<wchar_t>(name[i] - L'a' + L'A') : name[i];
        if (c != upper[i]) return false;
    }
    return true;
}

}  // namespace

bool IsDosDeviceName(std::wstring_view path) {
    const std::size_t slash = path.find_last_of(L"\\/");
    std::wstring_view stem = path.substr(slash == std::wstring_view::npos ? 0 : slash + 1);
    stem = stem.substr(0, stem.find_first_of(L".:"));
    while (!stem.empty() && stem.back() == L' ') stem.remove_suffix(1);
    if (stem.size() == 4 && (SameName(stem.substr(0, 3), L"COM") || SameName(stem.substr(0, 3), L"LPT"))) {
        const wchar_t digit = stem[3];
        return (digit >= L'0' && digit <= L'9') || digit == L'\u00B9' || digit == L'\u00B2' || digit == L'\u00B3';
    }
    for (std::wstring_view device : {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"})
        if (SameName(stem, device)) return true;
    return false;
}

}  // namespace ov
