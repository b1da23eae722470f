// The script server the workstation points at.
#include "../fileops/path_exists.h"
#include "packages.h"

namespace ov {
namespace {

constexpr const char* kReportModule = kOVCustInstModule;

}  // namespace

HRESULT ScriptServerComplete(OVCILog& log, VARIANT_BOOL* complete) {
    if (!complete) return log.Fail(E_POINTER, OV_HERE, Box::Hidden, "bComplete: ", "null");
    Path installPath = {}, wkstnPath = {}, serverPath = {}, orvanPath = {};
    LONG registryError = ERROR_SUCCESS;
    if (FAILED(ReadInstallPath(installPath, MAX_PATH, &registryError)))
        return log.Fail(Win32ToHResult(registryError), OV_HERE, Box::Hidden, "szInstallPath: ", installPath);
    // A path that does not fit its buffer: the answer would be about some other file, so
    // there is none.
    if (!FormatBounded(wkstnPath, sizeof wkstnPath, "%s\\%s", installPath, "Wkstn.ini"))
        return log.RefuseTooLong(OV_HERE, Box::Hidden, "szWKSTNPath: ");
    if (!PathExists(wkstnPath)) {
        *complete = 0;
        return S_OK;
    }

    GetPrivateProfileStringA(kServerPathKey.app, kServerPathKey.key, "", serverPath, MAX_PATH, wkstnPath);
    // A server whose Orvan.ini cannot even be named is no usable server either: the page
    // then hands over another one with SetScriptServer and runs Init.
    if (!FormatBounded(orvanPath, sizeof orvanPath, "%s\\%s", serverPath, "Orvan.ini") || !PathExists(orvanPath)) {
        // The workstation points at no usable server: the next Init sets it up anew.
        DeleteFileA(wkstnPath);
        *complete = 0;
        return S_OK;
    }
    // Stored as 1, not VARIANT_TRUE (-1): the value pages have always been given.
    *complete = 1;
    return S_OK;
}

}  // namespace ov
