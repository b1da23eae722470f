// Installing the script editor from its two packages, and starting it or bringing it forward.
#include <cstdint>
#include <process.h>

#include "../control/OVCustInst.h"
#include "../diagnostics/error_codes.h"
#include "../fileops/path_exists.h"
#include "../framework/ansi_text.h"
#include "../packages/package_paths.h"

namespace ov {
namespace {

constexpr char kEditorList[] = "OVMLEInstall.inf";
constexpr char kInstalledKey[] = "UpdatedFromThisWorkstation";

}  // namespace

STDMETHODIMP OVCustInst::InstallSEditor() {
    return Guard(OV_HERE, Box::Shown, [&] {
        // A path that does not fit its buffer would name some other place: refused, with the box.
        auto tooLong = [this](Place at, const char* label) {
            return Fail(kE_TOOLONG, at, Box::Shown, label, kLengthInvalid);
        };
        HRESULT hr = Init();
        if (FAILED(hr)) return Fail(hr, OV_HERE, Box::Hidden);

        Path localInstall = {}, infPath = {}, see1 = {}, see2 = {}, marker = {};
        if (!PackageListPath(kEditorList, localInstall, infPath)) return tooLong(OV_HERE, "szINFPath: ");
        const struct {
            const char* key;
            const char* keyLabel;
            const char* valueLabel;
            char* value;
        } names[] = {{"SEE1", "SEE1_KEY_NAME: ", "szSEE1FileName: ", see1}, {"SEE2", "SEE2_KEY_NAME: ", "szSEE2FileName: ", see2}};
        for (const auto& name : names) {
            if (GetPrivateProfileStringA("ORVAN", name.key, "", name.value, MAX_PATH, infPath)) continue;
            Report(OV_E_NODATA, OV_HERE, Box::Shown, "ORVAN_APP_NAME: ", "ORVAN", name.keyLabel, name.key,
                   name.valueLabel, name.value, "szINFPath: ", infPath);
            return E_FAIL;
        }
        // Only a marker that a package of this run leaves may count.
        if (!JoinPath(marker, {localInstall, "OVMLEOK.TMP"})) return tooLong(OV_HERE, "szMarkerPath: ");
        if (PathExists(marker)) DeleteFileA(marker);

        Path localPL = {}, server = {}, help = {};
        if (!ToAnsi(layout.LocalPLORVANPath.Get(), localPL) || !ToAnsi(layout.ServerPath.Get(), server) ||
            !ToAnsi(layout.HelpPath.Get(), help))
            return tooLong(OV_HERE, "szDestPath: ");
        // The program goes to "Apps" by that name, whatever AppsPath says: RunEditor looks there.
        const struct {
            const char* see;
            const char* destBase;
            const char* destName;
            const char* packageLabel;
            const char* destLabel;
        } packages[] = {{see1, localPL, "Apps", "szSEE1Path: ", "szSEE1DestPath: "},
                        {see2, server, help, "szSEE2Path: ", "szSEE2DestPath: "}};
        for (const auto& package : packages) {
            Path packagePath = {}, dest = {};
            if (!JoinPath(packagePath, {PellarInstallPath, package.see})) return tooLong(OV_HERE, package.packageLabel);
            if (!JoinPath(dest, {package.destBase, package.destName})) return tooLong(OV_HERE, package.destLabel);
            hr = RunSEE(MakeBstr(packagePath).Get(), MakeBstr(dest).Get());
            if (FAILED(hr)) return Fail(hr, OV_HERE, Box::Hidden);
            if (!PathExists(marker))
                return Fail(OV_E_SEECOPY, OV_HERE, Box::Shown, package.packageLabel, packagePath, package.destLabel,
                            dest);
            DeleteFileA(marker);
        }
        if (!WritePrivateProfileStringA("ORVAN", kInstalledKey, "yes", infPath)) {
            FailWithLastError(OV_HERE, Box::Shown, "ORVAN_APP_NAME: ", "ORVAN", "INSTALLED_KEY_NAME: ", kInstalledKey,
                              "szINFPath: ", infPath);
            return E_FAIL;
        }
        return S_OK;
    });
}

STDMETHODIMP OVCustInst::RunEditor() {
    return Guard(OV_HERE, Box::Shown, [&] {
        HRESULT hr = Init();
        if (FAILED(hr)) return Fail(hr, OV_HERE, Box::Hidden);

        Path localInstall = {}, infPath = {}, installed = {};
        if (!PackageListPath(kEditorList, localInstall, infPath))
            return Fail(kE_TOOLONG, OV_HERE, Box::Shown, "szINFPath: ", kLengthInvalid);
        if (!GetPrivateProfileStringA("ORVAN", kInstalledKey, "", installed, MAX_PATH, infPath)) {
            Report(OV_E_NODATA, OV_HERE, Box::Shown, "ORVAN_APP_NAME: ", "ORVAN", "INSTALLED_KEY_NAME: ", kInstalledKey,
                   "szInstalled: ", installed, "szINFPath: ", infPath);
            return E_FAIL;
        }
        if (installed[0] == 'n' || installed[0] == 'N') {
            hr = InstallSEditor();
            if (FAILED(hr)) return Fail(hr, OV_HERE, Box::Hidden);
        }
        if (HWND editor = FindWindowA("ScriptFileWindow", nullptr)) {
            SetForegroundWindow(editor);
            return S_OK;
        }

        Path localPL = {}, server = {}, command = {}, orvanIni = {}, empIni = {};
        if (!ToAnsi(layout.LocalPLORVANPath.Get(), localPL) || !ToAnsi(layout.ServerPath.Get(), server) ||
            !JoinPath(command, {localPL, "Apps", "seditor.exe"}) || !JoinPath(orvanIni, {server, "Orvan.ini"}) ||
            !JoinPath(empIni, {localPL, "Empxxx.ini"}))
            return Fail(kE_TOOLONG, OV_HERE, Box::Shown, "szCommand: ", kLengthInvalid);
        // Not waited for: the editor runs on by itself. The runtime joins the arguments with
        // single blanks, unquoted.
        const char* const argv[] = {command, orvanIni, empIni, nullptr};
        const intptr_t process = _spawnv(_P_NOWAIT, command, argv);
        if (process < 0) {
            Report(ErrnoToHResult(), OV_HERE, Box::Shown, "szCommand: ", command, "szORVANINIPath: ", orvanIni,
                   "szEMPXXXPath: ", empIni);
        } else {
            UniqueHandle editorProcess(reinterpret_cast<HANDLE>(process));  // closed: no link is kept
        }
        return S_OK;
    });
}

}  // namespace ov
