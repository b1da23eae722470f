// The script server the workstation points at.
#include "../control/OVCustInst.h"
#include "../diagnostics/error_codes.h"
#include "../diagnostics/install_path.h"
#include "../fileops/path_exists.h"
#include "../framework/bounded_text.h"

namespace ov {

STDMETHODIMP OVCustInst::ScriptServerSetupComplete(VARIANT_BOOL* bComplete) {
    return Guard(OV_HERE, Box::Hidden, [&] {
        if (!bComplete) return Fail(E_POINTER, OV_HERE, Box::Hidden, "bComplete: ", "null");
        char installPath[MAX_PATH + 1] = {};
        char wkstnPath[MAX_PATH + 1] = {};
        char serverPath[MAX_PATH + 1] = {};
        char orvanPath[MAX_PATH + 1] = {};

        LONG registryError = ERROR_SUCCESS;
        if (FAILED(ReadInstallPath(installPath, MAX_PATH, &registryError)))
            return Fail(Win32ToHResult(registryError), OV_HERE, Box::Hidden, "szInstallPath: ", installPath);
        // A path that does not fit its buffer: the answer would be about some other file, so
        // there is none.
        if (!FormatBounded(wkstnPath, sizeof wkstnPath, "%s\\%s", installPath, "Wkstn.ini"))
            return Fail(kE_TOOLONG, OV_HERE, Box::Hidden, "szWKSTNPath: ", kLengthInvalid);
        if (!PathExists(wkstnPath)) {
            *bComplete = 0;
            return S_OK;
        }

        GetPrivateProfileStringA("Workstation", "ServerPath", "", serverPath, MAX_PATH, wkstnPath);
        // A server whose Orvan.ini cannot even be named is no usable server either: the page
        // then hands over another one with SetScriptServer and runs Init.
        if (!FormatBounded(orvanPath, sizeof orvanPath, "%s\\%s", serverPath, "Orvan.ini") || !PathExists(orvanPath)) {
            // The workstation points at no usable server: the next Init sets it up anew.
            DeleteFileA(wkstnPath);
            *bComplete = 0;
            return S_OK;
        }
        // Stored as 1, not VARIANT_TRUE (-1): the value pages have always been given.
        *bComplete = 1;
        return S_OK;
    });
}

STDMETHODIMP OVCustInst::SetScriptServer(BSTR bstrMappedScriptServer) {
    // Only a copy is stored, which cannot throw. Up to the first null character; a failed
    // allocation leaves the field null, so Init falls back to its other sources of the server.
    MappedScriptServer = BStr(bstrMappedScriptServer);
    return S_OK;
}

}  // namespace ov
