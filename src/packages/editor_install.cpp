// Installing the script editor from its two packages.
#include <utility>

#include "../fileops/path_exists.h"
#include "package_paths.h"
#include "packages.h"

namespace ov {
namespace {

constexpr const char* kReportModule = kOVCustInstModule;

}  // namespace

HRESULT InstallEditorPackages(OVCILog& log, const Layout& layout) {
    const PackageKind& first = KindOf(PackageKindId::EditorFirst);
    const PackageKind& second = KindOf(PackageKindId::EditorSecond);
    Path localInstall = {}, infPath = {}, see1 = {}, see2 = {}, marker = {};
    if (!PackageListPath(first.infName, localInstall, infPath))
        return log.RefuseTooLong(OV_HERE, Box::Shown, "szINFPath: ");
    for (const auto& [kind, value] : {std::pair<const PackageKind&, char*>{first, see1}, {second, see2}}) {
        if (!GetPrivateProfileStringA(kind.see->app, kind.see->key, "", value, MAX_PATH, infPath))
            return log.ReportMissingKey(OV_HERE, *kind.see, value, "szINFPath: ", infPath);
    }
    // Only a marker that a package of this run leaves may count.
    if (!JoinPath(marker, {localInstall, first.marker}))
        return log.RefuseTooLong(OV_HERE, Box::Shown, "szMarkerPath: ");
    if (PathExists(marker)) DeleteFileA(marker);

    // The program goes to "Apps" by that name, whatever AppsPath says: RunEditor looks there.
    const struct {
        const char* see;
        const char* destBase;
        const char* destName;
        const char* packageLabel;
        const char* destLabel;
    } packages[] = {{see1, layout.LocalPLORVANPath, "Apps", "szSEE1Path: ", "szSEE1DestPath: "},
                    {see2, layout.ServerPath, layout.HelpPath, "szSEE2Path: ", "szSEE2DestPath: "}};
    for (const auto& package : packages) {
        Path packagePath = {}, dest = {};
        if (!JoinPath(packagePath, {PellarInstallPath, package.see}))
            return log.RefuseTooLong(OV_HERE, Box::Shown, package.packageLabel);
        if (!JoinPath(dest, {package.destBase, package.destName}))
            return log.RefuseTooLong(OV_HERE, Box::Shown, package.destLabel);
        HRESULT hr = RunPackage(log, packagePath, dest);
        if (FAILED(hr)) return log.Fail(hr, OV_HERE, Box::Hidden);
        if (!PathExists(marker))
            return log.Fail(OV_E_SEECOPY, OV_HERE, Box::Shown, package.packageLabel, packagePath, package.destLabel,
                            dest);
        DeleteFileA(marker);
    }
    if (FAILED(log.WriteIni(OV_HERE, kEditorInstalledRecord, "yes", "szINFPath: ", infPath))) return E_FAIL;
    return S_OK;
}

}  // namespace ov
