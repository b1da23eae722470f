// Reading one registry value below HKEY_LOCAL_MACHINE.
#include <cstring>

#include "../framework/unique_any.h"
#include "layout.h"

namespace ov {
namespace {

constexpr const char* kReportModule = kOVCustInstModule;
constexpr char kOpenFailed[] = "Failed to open the registry key";
constexpr char kCloseFailed[] = "Failed to close the registry key";

}  // namespace

HRESULT ReadRegistryText(OVCILog& log, const char* subKey, const char* valueName, Path& value,
                         const char** errorText) {
    // Every failure is logged without a box; its message also goes back to the caller, who
    // decides how loud the failure is.
    auto fail = [&](HRESULT hr, Place at, const char* text, const auto&... pieces) {
        log.Report(hr, at, Box::Hidden, pieces...);
        if (errorText) *errorText = text;
        return hr;
    };
    RegKey key;
    LONG rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey, 0, KEY_ALL_ACCESS, key.Put());
    if (rc != ERROR_SUCCESS)
        return fail(Win32ToHResult(rc), OV_HERE, kOpenFailed, "bstrSubKey: ", subKey, "Error: ", kOpenFailed);

    // One byte more than is asked for, so a value stored without its terminator still ends
    // inside the buffer.
    char data[kPathChars + 1] = {};
    DWORD size = kPathChars;
    rc = RegQueryValueExA(key.Get(), valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size);
    if (rc != ERROR_SUCCESS)
        return fail(Win32ToHResult(rc), OV_HERE, kRegistryReadFailed, "bstrSubKey: ", valueName, "Error: ",
                    kRegistryReadFailed);
    if (RegCloseKey(key.Detach()) != ERROR_SUCCESS)
        return fail(E_FAIL, OV_HERE, kCloseFailed, "OpenKey: ", kCloseFailed);
    std::memcpy(value, data, sizeof data);
    value[kPathChars] = '\0';
    return S_OK;
}

}  // namespace ov
