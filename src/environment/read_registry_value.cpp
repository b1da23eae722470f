// Reading one registry value below HKEY_LOCAL_MACHINE for the control.
#include <cstring>
#include <new>
#include <string>

#include "../control/OVCustInst.h"
#include "../diagnostics/error_codes.h"
#include "../framework/unique_any.h"

namespace ov {
namespace {

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

}  // namespace

HRESULT OVCustInst::ReadRegistryValue(BSTR bstrSubKey, BSTR bstrValueName, BSTR* pbstrValue,
                                      const char** ppszErrorText) {
    // Every failure is logged without a box; its message also goes back to the caller, who
    // decides how loud the failure is.
    const char* message = kReadFailed;  // unless a failure below names another
    auto fail = [&](HRESULT hr, Place at, const char* text, const auto&... pieces) {
        Report(hr, at, Box::Hidden, pieces...);
        message = text;
        return hr;
    };
    HRESULT result = Guard(OV_HERE, Box::Hidden, [&] {
        if (pbstrValue && *pbstrValue) return fail(E_INVALIDARG, OV_HERE, kNonNullOut, "bstrDrive: ", kNonNullOut);
        if (!bstrSubKey || !bstrValueName || !pbstrValue)
            return fail(E_INVALIDARG, OV_HERE, kNullArgs, "bstrFilePath: ", kNullArgs);

        std::string subKey = Narrow(bstrSubKey);
        RegKey key;
        LONG rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey.c_str(), 0, KEY_ALL_ACCESS, key.Put());
        if (rc != ERROR_SUCCESS)
            return fail(Win32ToHResult(rc), OV_HERE, kOpenFailed, "bstrSubKey: ", subKey.c_str(), "Error: ", kOpenFailed);

        std::string valueName = Narrow(bstrValueName);
        // One byte more than is asked for, so a value stored without its terminator still
        // ends inside the buffer.
        char data[kDataSize + 1] = {};
        DWORD size = kDataSize;
        rc = RegQueryValueExA(key.Get(), valueName.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size);
        if (rc != ERROR_SUCCESS)
            return fail(Win32ToHResult(rc), OV_HERE, kReadFailed, "bstrSubKey: ", valueName.c_str(), "Error: ",
                        kReadFailed);
        if (RegCloseKey(key.Detach()) != ERROR_SUCCESS)
            return fail(E_FAIL, OV_HERE, kCloseFailed, "OpenKey: ", kCloseFailed);

        data[kDataSize] = '\0';
        BStr value = BStr::FromAnsi(data);
        if (!value) throw std::bad_alloc();
        *pbstrValue = value.Detach();
        return S_OK;
    }, "Error: ", kReadFailed);
    if (FAILED(result) && ppszErrorText) *ppszErrorText = message;
    return result;
}

}  // namespace ov
