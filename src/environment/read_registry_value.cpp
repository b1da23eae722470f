// Reading one registry value below HKEY_LOCAL_MACHINE for the control.
#include <cstring>
#include <new>
#include <string>

#include "../control/OVCustInst.h"
#include "../diagnostics/error_codes.h"
#include "../framework/com_ptr.h"

namespace ov {
namespace {

constexpr char kModule[] = "OVCustInst";
constexpr char kNonNullOut[] = "The out-parameter was passed as non-null.";
constexpr char kNullArgs[] = "The registry key or data is null.  Please enter values for these parameters.";
constexpr char kOpenFailed[] = "Failed to open the registry key";
constexpr char kReadFailed[] = "Failed to read the registy key data";
constexpr char kCloseFailed[] = "Failed to close the registry key";
constexpr DWORD kDataSize = 260;

// A BSTR as narrow text in the ANSI code page.
std::string Narrow(BSTR s) {
    UINT n = SysStringLen(s);
    if (n == 0) return std::string();
    int bytes = WideCharToMultiByte(CP_ACP, 0, s, static_cast<int>(n), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0) WideCharToMultiByte(CP_ACP, 0, s, static_cast<int>(n), &out[0], bytes, nullptr, nullptr);
    return out.c_str();  // up to the first null character
}

void SetErrorText(const char** out, const char* text) {
    if (out) *out = text;
}

}  // namespace

HRESULT OVCustInst::ReadRegistryValue(BSTR bstrSubKey, BSTR bstrValueName, BSTR* pbstrValue,
                                      const char** ppszErrorText) {
    try {
        if (pbstrValue && *pbstrValue) {
            ReportError(E_INVALIDARG, kModule, __LINE__, 0, "bstrDrive: ", kNonNullOut, "END");
            SetErrorText(ppszErrorText, kNonNullOut);
            return E_INVALIDARG;
        }
        if (!bstrSubKey || !bstrValueName || !pbstrValue) {
            ReportError(E_INVALIDARG, kModule, __LINE__, 0, "bstrFilePath: ", kNullArgs, "END");
            SetErrorText(ppszErrorText, kNullArgs);
            return E_INVALIDARG;
        }

        std::string subKey = Narrow(bstrSubKey);
        RegKey key;
        LONG rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey.c_str(), 0, KEY_ALL_ACCESS, key.Put());
        if (rc != ERROR_SUCCESS) {
            HRESULT hr = Win32ToHResult(rc);
            ReportError(hr, kModule, __LINE__, 0, "bstrSubKey: ", subKey.c_str(), "Error: ", kOpenFailed, "END");
            SetErrorText(ppszErrorText, kOpenFailed);
            return hr;
        }

        std::string valueName = Narrow(bstrValueName);
        // One byte more than is asked for, so a value stored without its terminator still
        // ends inside the buffer.
        char data[kDataSize + 1] = {};
        DWORD size = kDataSize;
        rc = RegQueryValueExA(key.Get(), valueName.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size);
        if (rc != ERROR_SUCCESS) {
            HRESULT hr = Win32ToHResult(rc);
            ReportError(hr, kModule, __LINE__, 0, "bstrSubKey: ", valueName.c_str(), "Error: ", kReadFailed, "END");
            SetErrorText(ppszErrorText, kReadFailed);
            return hr;
        }
        if (key.Close() != ERROR_SUCCESS) {
            ReportError(E_FAIL, kModule, __LINE__, 0, "OpenKey: ", kCloseFailed, "END");
            SetErrorText(ppszErrorText, kCloseFailed);
            return E_FAIL;
        }

        data[kDataSize] = '\0';
        BStr value = BStr::FromAnsi(data);
        if (!value.Get()) throw std::bad_alloc();
        *pbstrValue = value.Detach();
        return S_OK;
    } catch (...) {
        ReportError(E_FAIL, kModule, __LINE__, 0, "Error: ", kReadFailed, "END");
        SetErrorText(ppszErrorText, kReadFailed);
        return E_FAIL;
    }
}

}  // namespace ov
