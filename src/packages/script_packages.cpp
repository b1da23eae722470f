// Installing the standard scripts and the development files onto the script server.
#include <cstring>

#include "../fileops/file_operations.h"
#include "../fileops/path_exists.h"
#include "OVCIConfirm.h"
#include "package_paths.h"
#include "packages.h"

namespace ov {
namespace {

constexpr const char* kReportModule = kOVCustInstModule;

// Where the two installs differ, besides their kind's contract.
struct ScriptPackage {
    const char* title;
    const char* reinstallQuestion;
    const char* installQuestion;
    Path Layout::*cachedVersion;
    Path Layout::*installedVersion;
    const IniKey& versionKey;  // in the server's Orvan.ini
};

const ScriptPackage kStandardScripts{
    "Macrolan Script Setup",
    "The latest version of Macrolan Standard Scripts has already been installed.   \r\n\r\n"
    "Click Continue to reinstall current version or Cancel.",
    "Setup installs new and updated Macrolan Standard Scripts to your Fileserver, giving you the most "
    "up-to-date versions of these scripts.\r\n\r\nBefore continuing, make certain any Standard Scripts that "
    "have been customized were assigned new file names.  \r\n\r\nExisting scripts beginning with Z4, W4, and "
    "W_ in the drop down list on the Index Page will be OVERWRITTEN when updated!\r\n\r\nScripts should NOT "
    "be RUNNING or PAUSED during this process.  Select the View Changes button for information regarding the "
    "changes to these scripts.\r\n\r\nSelect OK to continue or Cancel to terminate.",
    &Layout::CachedMLVersion,
    &Layout::InstalledMLVersion,
    kMLVerKey,
};

const ScriptPackage kDevelopmentFiles{
    "Macrolan Development Files Setup",
    "The latest version of Macrolan development files has already been installed.   \r\n\r\n"
    "Click Continue to reinstall current version or Cancel.",
    "Setup installs new and updated Macrolan development files to your Fileserver, giving you the most "
    "up-to-date versions of these development files.\r\n\r\nBefore continuing, make certain any Standard "
    "Scripts that have been customized were assigned new file names.  Many files beginning with Z4 will be "
    "OVERWRITTEN (this includes Z4 files with extensions of ASL, ASC, LST, and DLG).  The corresponding "
    "production files will also need to be installed from the 'Get Standard Macrolan scripts' link on the "
    "Tools page.  These files should NOT be OPEN during this process.  Select the View Changes button for "
    "information regarding the changes to the scripts that were created from these development "
    "files.\r\n\r\nSelect OK to continue or Cancel to terminate.",
    &Layout::CachedMLDVersion,
    &Layout::InstalledMLDVersion,
    kMLDVerKey,
};

// The questions, unless the server has never had the product: false when the user cancelled.
bool Confirmed(OVCILog& log, const ScriptPackage& package, bool development, const Layout& layout,
               const char* fullScripting, const char* cached, const char* installed, HRESULT* refused) {
    *refused = S_OK;
    if (!PathExists(fullScripting)) return true;
    if (std::strcmp(cached, installed) == 0) {
        OVCIConfirm reinstall(package.title, package.reinstallQuestion, nullptr);
        if (reinstall.Run() == OVCIConfirm::kCancel) return false;
    }
    // The development read-me comes with its package; the standard one with the download.
    Path readMePath = {};
    if (!JoinPath(readMePath, {development ? PellarInstallPath : layout.DownloadPath, layout.MLReadMe})) {
        *refused = log.RefuseTooLong(OV_HERE, Box::Shown, "szReadMePath: ");
        return false;
    }
    OVCIConfirm install(package.title, package.installQuestion, readMePath);
    // Any other end, the platform's failure to show the dialog included, goes on.
    return install.Run() != OVCIConfirm::kCancel;
}

}  // namespace

HRESULT InstallScriptPackage(OVCILog& log, PackageKindId id, HRESULT initResult, Layout& layout, Path& seeFileName) {
    const bool development = id == PackageKindId::Development;
    const ScriptPackage& package = development ? kDevelopmentFiles : kStandardScripts;
    const PackageKind& kind = KindOf(id);
    // The versions as Init left them, whatever it returned.
    Path cached = {}, installed = {};
    CopyBounded(cached, layout.*package.cachedVersion);
    CopyBounded(installed, layout.*package.installedVersion);
    // From here on the page's MLReadMe names the development read-me, even if nothing below
    // is done.
    if (development) CopyBounded(layout.MLReadMe, layout.MLReadMeDev);
    if (FAILED(initResult)) return log.Fail(initResult, OV_HERE, Box::Hidden);

    Path fullScripting = {};
    if (!JoinPath(fullScripting, {layout.ServerPath, layout.ScriptingPath}))
        return log.RefuseTooLong(OV_HERE, Box::Shown, "szFullScriptingPath: ");
    HRESULT hr = S_OK;
    if (!Confirmed(log, package, development, layout, fullScripting, cached, installed, &hr)) return hr;

    Path localInstall = {}, infPath = {}, see = {};
    if (!PackageListPath(kind.infName, localInstall, infPath))
        return log.RefuseTooLong(OV_HERE, Box::Shown, "szMLInstallINFPath: ");
    if (GetPrivateProfileStringA(kind.see->app, kind.see->key, "", see, MAX_PATH, infPath) == 0)
        return log.ReportMissingKey(OV_HERE, *kind.see, see, "szMLInstallINFPath: ", infPath);
    CopyBounded(seeFileName, see);
    PackageCleanup(log, kind, see);

    Path marker = {}, packagePath = {};
    if (!JoinPath(marker, {localInstall, kind.marker})) return log.RefuseTooLong(OV_HERE, Box::Shown, "szMarkerPath: ");
    if (!JoinPath(packagePath, {PellarInstallPath, see})) return log.RefuseTooLong(OV_HERE, Box::Shown, "szSEEPath: ");
    // Only a marker this run leaves may count.
    if (development && PathExists(marker)) DeleteFileA(marker);
    hr = RunPackage(log, packagePath, fullScripting);
    if (FAILED(hr)) return log.Fail(hr, OV_HERE, Box::Hidden);
    if (!PathExists(marker))
        return log.Fail(OV_E_SEECOPY, OV_HERE, Box::Shown, "szSEEPath: ", packagePath, "szFullScriptingPath: ",
                        fullScripting);
    DeleteFileA(marker);

    Path orvanIni = {};
    if (!JoinPath(orvanIni, {layout.ServerPath, "Orvan.ini"}))
        return log.RefuseTooLong(OV_HERE, Box::Shown, "szOrvanIniPath: ");
    if (FAILED(log.WriteIni(OV_HERE, package.versionKey, cached, "szOrvanIniPath: ", orvanIni))) return E_FAIL;
    CopyBounded(layout.*package.installedVersion, cached);

    for (const char* dir : {layout.BackupPath, layout.FilePath}) {
        Path path = {};
        if (!JoinPath(path, {fullScripting, dir})) return log.RefuseTooLong(OV_HERE, Box::Shown, "szDirPath: ");
        hr = CreateDirWithParents(log, path);
        if (FAILED(hr)) return log.Fail(hr, OV_HERE, Box::Shown);
    }
    return S_OK;
}

}  // namespace ov
