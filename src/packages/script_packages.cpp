// Installing the standard scripts and the development files onto the script server.
#include <cwchar>
#include <utility>

#include "../control/OVCustInst.h"
#include "../diagnostics/error_codes.h"
#include "../fileops/path_exists.h"
#include "../framework/ansi_text.h"
#include "../framework/bounded_text.h"
#include "OVCIConfirm.h"
#include "package_paths.h"

namespace ov {

// Where the two installs differ.
struct OVCustInst::ScriptPackage {
    short kind;  // for the cleanup: 0 standard scripts, 1 development files
    const wchar_t* title;
    const wchar_t* reinstallQuestion;
    const wchar_t* installQuestion;
    const char* infName;           // the package list in the host product's directory
    BStr OVCustInst::*seeFileName;  // where the package's file name is kept
    const char* marker;            // left in the install path by a package that installed
    BStr Layout::*cachedVersion;
    BStr Layout::*installedVersion;
    const char* versionKey;  // in the server's Orvan.ini, section "Scripting"
    const char* versionKeyLabel;
    const char* versionValueLabel;
};

namespace {

const wchar_t* TextOf(const BStr& b) { return b ? b.Get() : L""; }

}  // namespace

STDMETHODIMP OVCustInst::InstallMLScripts() {
    static const ScriptPackage kStandardScripts{
        0,
        L"Macrolan Script Setup",
        L"The latest version of Macrolan Standard Scripts has already been installed.   \r\n\r\n"
        L"Click Continue to reinstall current version or Cancel.",
        L"Setup installs new and updated Macrolan Standard Scripts to your Fileserver, giving you the most "
        L"up-to-date versions of these scripts.\r\n\r\nBefore continuing, make certain any Standard Scripts that "
        L"have been customized were assigned new file names.  \r\n\r\nExisting scripts beginning with Z4, W4, and "
        L"W_ in the drop down list on the Index Page will be OVERWRITTEN when updated!\r\n\r\nScripts should NOT "
        L"be RUNNING or PAUSED during this process.  Select the View Changes button for information regarding the "
        L"changes to these scripts.\r\n\r\nSelect OK to continue or Cancel to terminate.",
        "OVMLSInstall.inf",
        &OVCustInst::MLSSEEFileName,
        "OVMLSOK.TMP",
        &Layout::CachedMLVersion,
        &Layout::InstalledMLVersion,
        "MLVer",
        "ORVAN_MLVER_KEY_NAME: ",
        "szCachedMLVersion: ",
    };
    return Guard(OV_HERE, Box::Shown, [&] { return InstallScriptPackage(kStandardScripts); });
}

STDMETHODIMP OVCustInst::InstallDevFiles() {
    static const ScriptPackage kDevelopmentFiles{
        1,
        L"Macrolan Development Files Setup",
        L"The latest version of Macrolan development files has already been installed.   \r\n\r\n"
        L"Click Continue to reinstall current version or Cancel.",
        L"Setup installs new and updated Macrolan development files to your Fileserver, giving you the most "
        L"up-to-date versions of these development files.\r\n\r\nBefore continuing, make certain any Standard "
        L"Scripts that have been customized were assigned new file names.  Many files beginning with Z4 will be "
        L"OVERWRITTEN (this includes Z4 files with extensions of ASL, ASC, LST, and DLG).  The corresponding "
        L"production files will also need to be installed from the 'Get Standard Macrolan scripts' link on the "
        L"Tools page.  These files should NOT be OPEN during this process.  Select the View Changes button for "
        L"information regarding the changes to the scripts that were created from these development "
        L"files.\r\n\r\nSelect OK to continue or Cancel to terminate.",
        "OVMLDInstall.inf",
        &OVCustInst::MLDSEEFileName,
        "OVMLDOK.TMP",
        &Layout::CachedMLDVersion,
        &Layout::InstalledMLDVersion,
        "MLDVer",
        "ORVAN_MLDVER_KEY_NAME: ",
        "szCachedDevVersion: ",
    };
    return Guard(OV_HERE, Box::Shown, [&] { return InstallScriptPackage(kDevelopmentFiles); });
}

HRESULT OVCustInst::InstallScriptPackage(const ScriptPackage& package) {
    const bool development = package.kind != 0;
    // A path that does not fit its buffer would name some other place: refused, with the box.
    auto tooLong = [this](Place at, const char* label) {
        return Fail(kE_TOOLONG, at, Box::Shown, label, kLengthInvalid);
    };

    HRESULT hr = Init();
    // The versions as Init left them, whatever it returned.
    const BStr cached(TextOf(layout.*package.cachedVersion));
    const BStr installed(TextOf(layout.*package.installedVersion));
    // From here on the page's MLReadMe names the development read-me, even if nothing below
    // is done.
    if (development) layout.MLReadMe = BStr(layout.MLReadMeDev.Get());
    if (FAILED(hr)) return Fail(hr, OV_HERE, Box::Hidden);

    Path server = {}, scripting = {}, fullScripting = {};
    if (!ToAnsi(layout.ServerPath.Get(), server) || !ToAnsi(layout.ScriptingPath.Get(), scripting) ||
        !JoinPath(fullScripting, {server, scripting}))
        return tooLong(OV_HERE, "szFullScriptingPath: ");

    // A server without the scripting directory has never had the product: nothing to ask.
    if (PathExists(fullScripting)) {
        if (std::wcscmp(TextOf(cached), TextOf(installed)) == 0) {
            OVCIConfirm reinstall(package.title, package.reinstallQuestion, nullptr);
            if (reinstall.Run() == OVCIConfirm::kCancel) return S_OK;
        }
        // The development read-me comes with its package; the standard one with the download.
        Path downloads = {}, readMe = {}, readMePath = {};
        if (!development && !ToAnsi(layout.DownloadPath.Get(), downloads)) return tooLong(OV_HERE, "szReadMePath: ");
        if (!ToAnsi(layout.MLReadMe.Get(), readMe) ||
            !JoinPath(readMePath, {development ? PellarInstallPath : downloads, readMe}))
            return tooLong(OV_HERE, "szReadMePath: ");
        OVCIConfirm install(package.title, package.installQuestion, MakeBstr(readMePath).Get());
        // Any other end, the platform's failure to show the dialog included, goes on.
        if (install.Run() == OVCIConfirm::kCancel) return S_OK;
    }

    Path localInstall = {}, infPath = {}, see = {};
    if (!PackageListPath(package.infName, localInstall, infPath)) return tooLong(OV_HERE, "szMLInstallINFPath: ");
    if (GetPrivateProfileStringA("ORVAN", "SEE", "", see, MAX_PATH, infPath) == 0) {
        Report(OV_E_NODATA, OV_HERE, Box::Shown, "ORVAN_APP_NAME: ", "ORVAN", "SEE_KEY_NAME: ", "SEE",
               "szSEEFileName: ", see, "szMLInstallINFPath: ", infPath);
        return E_FAIL;
    }
    this->*package.seeFileName = MakeBstr(see);
    PackageCleanup(package.kind);

    Path marker = {}, packagePath = {};
    if (!JoinPath(marker, {localInstall, package.marker})) return tooLong(OV_HERE, "szMarkerPath: ");
    if (!JoinPath(packagePath, {PellarInstallPath, see})) return tooLong(OV_HERE, "szSEEPath: ");
    // Only a marker this run leaves may count.
    if (development && PathExists(marker)) DeleteFileA(marker);
    hr = RunSEE(MakeBstr(packagePath).Get(), MakeBstr(fullScripting).Get());
    if (FAILED(hr)) return Fail(hr, OV_HERE, Box::Hidden);
    if (!PathExists(marker))
        return Fail(OV_E_SEECOPY, OV_HERE, Box::Shown, "szSEEPath: ", packagePath, "szFullScriptingPath: ",
                    fullScripting);
    DeleteFileA(marker);

    Path orvanIni = {}, version = {};
    if (!JoinPath(orvanIni, {server, "Orvan.ini"})) return tooLong(OV_HERE, "szOrvanIniPath: ");
    if (!ToAnsi(cached.Get(), version)) return tooLong(OV_HERE, package.versionValueLabel);
    if (!WritePrivateProfileStringA("Scripting", package.versionKey, version, orvanIni)) {
        FailWithLastError(OV_HERE, Box::Shown, "SCRIPTING_APP_NAME: ", "Scripting", package.versionKeyLabel,
                          package.versionKey, package.versionValueLabel, version, "szOrvanIniPath: ", orvanIni);
        return E_FAIL;
    }
    BStr installedNow(cached.Get());
    if (!installedNow) return Fail(E_OUTOFMEMORY, OV_HERE, Box::Shown);
    layout.*package.installedVersion = std::move(installedNow);

    for (const BStr* dir : {&layout.BackupPath, &layout.FilePath}) {
        Path name = {}, path = {};
        if (!ToAnsi(dir->Get(), name) || !JoinPath(path, {fullScripting, name})) return tooLong(OV_HERE, "szDirPath: ");
        hr = CreateDir(MakeBstr(path).Get());
        if (FAILED(hr)) return Fail(hr, OV_HERE, Box::Shown);
    }
    return S_OK;
}

}  // namespace ov
