// Init: discovering (and on a new workstation setting up) the install layout, in the steps of
// one call: the common start, then the first-run set-up or the configured layout, then the
// space checks and the workstation file, then the commit.
#include <cstring>

#include "../diagnostics/install_path.h"
#include "../fileops/file_operations.h"
#include "../fileops/free_space.h"
#include "../fileops/path_exists.h"
#include "../framework/ansi_text.h"
#include "layout.h"
#include "package_kinds.h"

namespace ov {
namespace {

constexpr const char* kReportModule = kOVCustInstModule;
constexpr char kDefaultLocalPath[] = "C:\\Orvan\\Pellar";
constexpr char kConfiguredNWXPath[] = "C:\\Orvan";
constexpr char kPellarSuffix[] = "\\Pellar";

// Profile reads and writes pass this size, so longer values come back cut to 259.
constexpr DWORD kIniBufferSize = MAX_PATH;

// The DOS path from the registry value: every trailing backslash dropped, then "\Pellar".
// A double-byte character whose second byte is 0x5C is not taken for a backslash. False,
// with out left empty, when the result does not fit in cap (terminator included).
bool FormDosPath(const char* value, char* out, std::size_t cap) {
    std::size_t keep = 0;  // up to the end of the last character that is not a backslash
    for (std::size_t i = 0; value[i] != '\0';) {
        std::size_t len = (IsDBCSLeadByte(static_cast<BYTE>(value[i])) && value[i + 1] != '\0') ? 2 : 1;
        if (len == 2 || value[i] != '\\') keep = i + len;
        i += len;
    }
    std::size_t suffix = sizeof kPellarSuffix - 1;
    if (cap == 0 || keep + suffix >= cap) {
        if (cap) out[0] = '\0';
        return false;
    }
    std::memcpy(out, value, keep);
    std::memcpy(out + keep, kPellarSuffix, suffix + 1);
    return true;
}

// The working state of one call: the values that become the layout, and the paths on the way.
struct Working {
    Layout values{};
    Path installPath = {}, wkstnPath = {}, dosPath = {}, orvanPath = {}, empPath = {};
    bool haveDosPath = false;
    bool createdWkstn = false;
    const char* LocalPath() const { return haveDosPath ? dosPath : kDefaultLocalPath; }
};

// A call of a plain operation on a working value; its failure, already reported with its
// details, is reported again here without box or pieces.
HRESULT Again(OVCILog& log, HRESULT hr, Place at) {
    if (FAILED(hr)) log.Report(hr, at, Box::Hidden);
    return hr;
}

// A package list never fails Init: one that is missing, or whose path does not fit, gives the
// defaults.
void ReadPackageList(const PackageKind& kind, const char* installPath, Path& version, Path& readMe) {
    Path list = {};
    if (!FormatBounded(list, sizeof list, "%s\\Pellar\\%s", installPath, kind.infName)) {
        CopyBounded(readMe, kind.readMeDefault);
        return;
    }
    GetPrivateProfileStringA("ORVAN", kind.versionKey, "", version, kIniBufferSize, list);
    GetPrivateProfileStringA("ORVAN", kind.readMeKey, kind.readMeDefault, readMe, kIniBufferSize, list);
}

HRESULT CommonStart(OVCILog& log, Working& w) {
    Layout& v = w.values;
    ReadInstallPath(w.installPath, MAX_PATH);
    if (!FormatBounded(w.wkstnPath, sizeof w.wkstnPath, "%s\\%s", w.installPath, "Wkstn.ini"))
        return log.RefuseTooLong(OV_HERE, Box::Shown, "szWKSTNPath: ");
    if (GetWindowsDirectoryA(v.WindowsDir, MAX_PATH) == 0)
        return log.FailWithLastError(OV_HERE, Box::Shown, "szWindowsDir: ", "");
    if (!FormatBounded(v.DownloadPath, sizeof v.DownloadPath, "%s\\%s", v.WindowsDir, "downloaded program files"))
        return log.RefuseTooLong(OV_HERE, Box::Shown, "szDownloadPath: ");
    if (!PathExists(v.DownloadPath) &&
        !FormatBounded(v.DownloadPath, sizeof v.DownloadPath, "%s\\%s", v.WindowsDir, "occache"))
        return log.RefuseTooLong(OV_HERE, Box::Shown, "szDownloadPath: ");

    ReadPackageList(KindOf(PackageKindId::Scripts), w.installPath, v.CachedMLVersion, v.MLReadMe);
    ReadPackageList(KindOf(PackageKindId::Development), w.installPath, v.CachedMLDVersion, v.MLReadMeDev);

    Path raw = {};
    const char* errorText = "";
    HRESULT hr = ReadRegistryText(log, "Software\\Orvanta", "DOSInstallPath", raw, &errorText);
    if (FAILED(hr) || raw[0] == '\0') {
        // Without the value Init goes on with the default local path.
        log.Report(hr, OV_HERE, Box::Hidden, "Warning: ", FAILED(hr) ? errorText : "");
        return S_OK;
    }
    if (!FormDosPath(raw, w.dosPath, sizeof w.dosPath)) return log.RefuseTooLong(OV_HERE, Box::Shown, "szDOSPath: ");
    w.haveDosPath = true;
    return S_OK;
}

// The layout a new workstation gets, written in this order; a value of the layout is set just
// before its own write.
struct LayoutWrite {
    bool toWkstn;  // else Orvan.ini
    const IniKey& key;
    const char* value;
    char* working;  // set to the value, when not null
};

// The new layout into Wkstn.ini and the server's Orvan.ini. The installed versions stay empty
// until a package install records them.
HRESULT WriteNewLayout(OVCILog& log, Working& w) {
    Layout& v = w.values;
    if (!FormatBounded(w.orvanPath, sizeof w.orvanPath, "%s\\%s", v.ServerPath, "Orvan.ini"))
        return log.RefuseTooLong(OV_HERE, Box::Shown, "szORVANPath: ");
    Path productionPath = {};
    if (!JoinPath(productionPath, {v.ServerPath, "Scripts", "Prod"}))
        return log.RefuseTooLong(OV_HERE, Box::Shown, "szBuf: ");
    // The Wkstn.ini "ProductionPath" row is built from these two.
    CopyBounded(v.ScriptingPath, "Scripts");
    CopyBounded(v.ProductionPath, "Prod");
    const LayoutWrite writes[] = {
        {true, kServerPathKey, v.ServerPath, nullptr},
        {true, kWkstnProductionKey, productionPath, nullptr},
        {false, kAppsPathKey, "Apps", v.AppsPath},
        {false, kScriptingPathKey, "Scripts", nullptr},
        {false, kProductionPathKey, "Prod", nullptr},
        {false, kFilePathKey, "File", v.FilePath},
        {false, kBitmapPathKey, "Bitmap", v.BitmapPath},
        {false, kBackupPathKey, "Backup", v.BackupPath},
        {false, kDevelopmentPathKey, "Develop", v.DevelopPath},
        {false, kCommandKey, "commlist.cmd", nullptr},
        {false, kCommandInsertListKey, "commfile.cmd", nullptr},
        {false, kScreenKey, "scrnlist.cmd", nullptr},
        {false, kScreenInsertListKey, "scrnfile.cmd", nullptr},
        {false, kSkeletonKey, "skeleton.cmd", nullptr},
        {false, kEnabledKey, "1", nullptr},
        {false, kHelpPathKey, "Help", v.HelpPath},
        {false, kScriptEditorKey, "scrpedtr.hlp", nullptr},
        {false, kDialogEditorKey, "dbeditor.hlp", nullptr},
    };
    for (const LayoutWrite& row : writes) {
        if (row.working) CopyBounded(row.working, sizeof(Path), row.value);
        HRESULT hr = row.toWkstn ? log.WriteIni(OV_HERE, row.key, row.value, "szWKSTNPath: ", w.wkstnPath)
                                 : log.WriteIni(OV_HERE, row.key, row.value, "szORVANPath: ", w.orvanPath);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

HRESULT FirstRunSetUp(OVCILog& log, Working& w, BSTR mappedServer) {
    Layout& v = w.values;
    w.createdWkstn = true;
    if (mappedServer) {
        if (!ToAnsi(mappedServer, v.ServerPath)) return log.RefuseTooLong(OV_HERE, Box::Shown, "MappedScriptServer: ");
    } else {
        CopyBounded(v.ServerPath, w.LocalPath());
    }
    CopyBounded(v.LocalNWXORVANPath, w.LocalPath());
    CopyBounded(v.LocalPLORVANPath, w.LocalPath());

    ULONG serverFree = 0, wkstnFree = 0;
    HRESULT hr = Again(log, DriveFreeSpace(log, v.ServerPath, &serverFree), OV_HERE);
    if (SUCCEEDED(hr)) hr = Again(log, DriveFreeSpace(log, w.wkstnPath, &wkstnFree), OV_HERE);
    if (FAILED(hr)) return hr;
    if (!EnoughSpace(serverFree))
        return log.Fail(STG_E_MEDIUMFULL, OV_HERE, Box::Shown, "szRawServerPath: ", v.ServerPath);
    if (!EnoughSpace(wkstnFree)) return log.Fail(STG_E_MEDIUMFULL, OV_HERE, Box::Shown, "szWKSTNPath: ", w.wkstnPath);
    hr = Again(log, CreateDirWithParents(log, v.ServerPath), OV_HERE);
    if (FAILED(hr)) return hr;
    return WriteNewLayout(log, w);
}

HRESULT ReadConfiguredLayout(OVCILog& log, Working& w) {
    Layout& v = w.values;
    CopyBounded(v.LocalPLORVANPath, w.LocalPath());
    CopyBounded(v.LocalNWXORVANPath, kConfiguredNWXPath);

    if (GetPrivateProfileStringA(kServerPathKey.app, kServerPathKey.key, "", v.ServerPath, kIniBufferSize,
                                 w.wkstnPath) == 0)
        return log.ReportMissingKey(OV_HERE, kServerPathKey, v.ServerPath, "szWKSTNPath: ", w.wkstnPath);
    if (!FormatBounded(w.orvanPath, sizeof w.orvanPath, "%s\\%s", v.ServerPath, "Orvan.ini"))
        return log.RefuseTooLong(OV_HERE, Box::Shown, "szORVANPath: ");
    if (!PathExists(w.orvanPath)) {
        log.Report(OV_E_NODATA, OV_HERE, Box::Shown, "szORVANPath: ", w.orvanPath);
        return E_FAIL;
    }

    const struct {
        const IniKey& key;
        char* target;
        bool required;
    } reads[] = {
        {kAppsPathKey, v.AppsPath, true},          {kBackupPathKey, v.BackupPath, true},
        {kBitmapPathKey, v.BitmapPath, true},      {kDevelopmentPathKey, v.DevelopPath, true},
        {kFilePathKey, v.FilePath, true},          {kHelpPathKey, v.HelpPath, true},
        {kMLVerKey, v.InstalledMLVersion, false},  {kMLDVerKey, v.InstalledMLDVersion, false},
        {kProductionPathKey, v.ProductionPath, true}, {kScriptingPathKey, v.ScriptingPath, true},
    };
    for (const auto& row : reads) {
        DWORD got = GetPrivateProfileStringA(row.key.app, row.key.key, "", row.target, kIniBufferSize, w.orvanPath);
        if (got == 0 && row.required)
            return log.ReportMissingKey(OV_HERE, row.key, row.target, "szORVANPath: ", w.orvanPath);
    }
    return S_OK;
}

HRESULT CheckSpaceAndWorkstationFile(OVCILog& log, Working& w) {
    ULONG orvanFree = 0;
    HRESULT hr = Again(log, DriveFreeSpace(log, w.orvanPath, &orvanFree), OV_HERE);
    if (FAILED(hr)) return hr;
    if (!EnoughSpace(orvanFree)) {
        // A Wkstn.ini made by this very call goes again, so the next call sets up anew.
        if (w.createdWkstn && !DeleteFileA(w.wkstnPath))
            log.FailWithLastError(OV_HERE, Box::Shown, "szWKSTNPath: ", w.wkstnPath);
        return log.Fail(STG_E_MEDIUMFULL, OV_HERE, Box::Shown, "szORVANPath: ", w.orvanPath);
    }

    if (!FormatBounded(w.empPath, sizeof w.empPath, "%s\\%s", w.values.LocalPLORVANPath, "Empxxx.ini"))
        return log.RefuseTooLong(OV_HERE, Box::Shown, "szEmpPath: ");
    if (PathExists(w.empPath)) return S_OK;
    hr = Again(log, CreateDirWithParents(log, w.values.LocalPLORVANPath), OV_HERE);
    for (const IniKey* k : {&kAutoBackupKey, &kWarningsKey})
        if (SUCCEEDED(hr)) hr = log.WriteIni(OV_HERE, *k, "1", "szEmpPath: ", w.empPath);
    return hr;
}

}  // namespace

HRESULT DiscoverLayout(OVCILog& log, BSTR mappedServer, Layout& fresh) {
    Working w;
    HRESULT hr = CommonStart(log, w);
    if (SUCCEEDED(hr)) hr = PathExists(w.wkstnPath) ? ReadConfiguredLayout(log, w) : FirstRunSetUp(log, w, mappedServer);
    if (SUCCEEDED(hr)) hr = CheckSpaceAndWorkstationFile(log, w);
    if (FAILED(hr)) return hr;
    // Commit: the caller stores the whole layout, or nothing of it.
    fresh = w.values;
    fresh.filled = true;
    return S_OK;
}

}  // namespace ov
