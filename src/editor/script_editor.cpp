// Starting the script editor or bringing it forward.
#include <cstdint>
#include <process.h>

#include "../environment/package_kinds.h"
#include "../framework/unique_any.h"
#include "../packages/package_paths.h"
#include "editor.h"

namespace ov {
namespace {

constexpr const char* kReportModule = kOVCustInstModule;

}  // namespace

HRESULT EditorInstalled(OVCILog& log, bool* installed) {
    Path localInstall = {}, infPath = {}, value = {};
    if (!PackageListPath(KindOf(PackageKindId::EditorFirst).infName, localInstall, infPath))
        return log.RefuseTooLong(OV_HERE, Box::Shown, "szINFPath: ");
    const IniKey& k = kEditorInstalledKey;
    if (!GetPrivateProfileStringA(k.app, k.key, "", value, MAX_PATH, infPath))
        return log.ReportMissingKey(OV_HERE, k, value, "szINFPath: ", infPath);
    *installed = value[0] != 'n' && value[0] != 'N';
    return S_OK;
}

HRESULT StartEditor(OVCILog& log, const Layout& layout) {
    if (HWND editor = FindWindowA("ScriptFileWindow", nullptr)) {
        SetForegroundWindow(editor);
        return S_OK;
    }
    Path command = {}, orvanIni = {}, empIni = {};
    if (!JoinPath(command, {layout.LocalPLORVANPath, "Apps", "seditor.exe"}) ||
        !JoinPath(orvanIni, {layout.ServerPath, "Orvan.ini"}) || !JoinPath(empIni, {layout.LocalPLORVANPath, "Empxxx.ini"}))
        return log.RefuseTooLong(OV_HERE, Box::Shown, "szCommand: ");
    // Not waited for: the editor runs on by itself. The runtime joins the arguments with
    // single blanks, unquoted.
    const char* const argv[] = {command, orvanIni, empIni, nullptr};
    const intptr_t process = _spawnv(_P_NOWAIT, command, argv);
    if (process < 0) {
        log.Report(log.ErrnoToHResult(), OV_HERE, Box::Shown, "szCommand: ", command, "szORVANINIPath: ", orvanIni,
                   "szEMPXXXPath: ", empIni);
    } else {
        UniqueHandle editorProcess(reinterpret_cast<HANDLE>(process));  // closed: no link is kept
    }
    return S_OK;
}

}  // namespace ov
