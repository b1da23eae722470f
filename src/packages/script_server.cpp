// The script server the workstation points at.
#include "../control/OVCustInst.h"
#include "../diagnostics/error_codes.h"
#include "../diagnostics/last_error.h"
#include "../environment/registry_readers.h"
#include "../fileops/path_exists.h"
#include "../framework/bounded_text.h"

namespace ov {
namespace {

constexpr char kModule[] = "OVCustInst";
// A path that does not fit its buffer: the answer would be about some other file, so there
// is none.
constexpr HRESULT kTooLong = kE_TOOLONG;

}  // namespace

STDMETHODIMP OVCustInst::ScriptServerSetupComplete(VARIANT_BOOL* bComplete) {
    try {
        if (!bComplete) {
            ReportError(E_POINTER, kModule, __LINE__, 0, "bComplete: ", "null", "END");
            return E_POINTER;
        }
        char installPath[MAX_PATH + 1] = {};
        char wkstnPath[MAX_PATH + 1] = {};
        char serverPath[MAX_PATH + 1] = {};
        char orvanPath[MAX_PATH + 1] = {};

        if (FAILED(ReadInstallPath(installPath, MAX_PATH))) {
            HRESULT hr = LastErrorHResult();
            ReportError(hr, kModule, __LINE__, 0, "szInstallPath: ", installPath, "END");
            return hr;
        }
        if (!FormatBounded(wkstnPath, sizeof wkstnPath, "%s\\%s", installPath, "Wkstn.ini")) {
            ReportError(kTooLong, kModule, __LINE__, 0, "szWKSTNPath: ", "Length Invalid", "END");
            return kTooLong;
        }
        if (!PathExists(wkstnPath)) {
            *bComplete = 0;
            return S_OK;
        }

        GetPrivateProfileStringA("Workstation", "ServerPath", "", serverPath, MAX_PATH, wkstnPath);
        if (!FormatBounded(orvanPath, sizeof orvanPath, "%s\\%s", serverPath, "Orvan.ini")) {
            // Not deleted: a server path this long cannot be checked, which is not the same
            // as a server without its Orvan.ini.
            ReportError(kTooLong, kModule, __LINE__, 0, "szORVANPath: ", "Length Invalid", "END");
            return kTooLong;
        }
        if (!PathExists(orvanPath)) {
            // The workstation points at no usable server: the next Init sets it up anew.
            DeleteFileA(wkstnPath);
            *bComplete = 0;
            return S_OK;
        }
        // Stored as 1, not VARIANT_TRUE (-1): the value pages have always been given.
        *bComplete = 1;
        return S_OK;
    } catch (...) {
        ReportError(E_FAIL, kModule, __LINE__, 0, "END");
        return E_FAIL;
    }
}

STDMETHODIMP OVCustInst::SetScriptServer(BSTR bstrMappedScriptServer) {
    try {
        // Up to the first null character. A failed allocation leaves the field null, so Init
        // falls back to its other sources of the server path.
        BSTR copy = bstrMappedScriptServer ? SysAllocString(bstrMappedScriptServer) : nullptr;
        if (MappedScriptServer) SysFreeString(MappedScriptServer);
        MappedScriptServer = copy;
    } catch (...) {
        MappedScriptServer = nullptr;
    }
    return S_OK;
}

}  // namespace ov
