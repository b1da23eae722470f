// Init: discovering (and on a new workstation setting up) the install layout.
#include <cstring>
#include <new>
#include <utility>

#include "../control/OVCustInst.h"
#include "../diagnostics/error_codes.h"
#include "../fileops/free_space.h"
#include "../fileops/path_exists.h"
#include "../framework/ansi_text.h"
#include "../framework/bounded_text.h"
#include "../framework/unique_any.h"
#include "../diagnostics/install_path.h"

namespace ov {
namespace {

constexpr char kDefaultLocalPath[] = "C:\\Orvan\\Pellar";
constexpr char kConfiguredNWXPath[] = "C:\\Orvan";
constexpr char kPellarSuffix[] = "\\Pellar";

// Profile reads and writes pass this size, so longer values come back cut to 259.
constexpr DWORD kIniBufferSize = MAX_PATH;

// A working value: 260 usable characters plus the terminator, empty at the start of a call.
struct Text {
    char s[MAX_PATH + 1] = {};
    operator char*() { return s; }
    operator const char*() const { return s; }
};

// ---- Pure rules -------------------------------------------------------------------------

// The DOS path from the registry value: every trailing backslash dropped, then "\Pellar".
// isLead names the lead bytes of the code page, so that a double-byte character whose second
// byte is 0x5C is not taken for a backslash. False, with out left empty, when the result does
// not fit in cap (terminator included).
bool FormDosPath(const char* value, char* out, std::size_t cap, bool (*isLead)(unsigned char)) {
    std::size_t keep = 0;  // up to the end of the last character that is not a backslash
    for (std::size_t i = 0; value[i] != '\0';) {
        std::size_t len = (isLead(static_cast<unsigned char>(value[i])) && value[i + 1] != '\0') ? 2 : 1;
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

// ---- Conversions ------------------------------------------------------------------------

bool IsAnsiLeadByte(unsigned char c) { return IsDBCSLeadByte(c) != FALSE; }

// ---- INI keys and their report labels -----------------------------------------------------

struct IniKey {
    const char* appLabel;
    const char* app;
    const char* keyLabel;
    const char* key;
    const char* valueLabel;
};

constexpr IniKey kServerPathKey{"WKSTN_APP_NAME: ", "Workstation", "SERVER_PATH_KEY_NAME: ", "ServerPath",
                                "szServerPath: "};
constexpr IniKey kWkstnProductionKey{"SCRIPTING_APP_NAME: ", "Scripting", "PRODUCTION_PATH_KEY_NAME: ",
                                     "ProductionPath", "szBuf: "};
constexpr IniKey kAppsPathKey{"APPLICATIONS_APP_NAME: ", "Applications", "APPS_PATH_KEY_NAME: ", "AppsPath",
                              "szAppsPath: "};
constexpr IniKey kScriptingPathKey{"SCRIPTING_APP_NAME: ", "Scripting", "SCRIPTING_PATH_KEY_NAME: ",
                                   "ScriptingPath", "szScriptingPath: "};
constexpr IniKey kProductionPathKey{"SCRIPTING_APP_NAME: ", "Scripting", "PRODUCTION_PATH_KEY_NAME: ",
                                    "ProductionPath", "szProductionPath: "};
constexpr IniKey kFilePathKey{"SCRIPTING_APP_NAME: ", "Scripting", "FILE_PATH_KEY_NAME: ", "FilePath",
                              "szFilePath: "};
constexpr IniKey kBitmapPathKey{"SCRIPTING_APP_NAME: ", "Scripting", "BITMAP_PATH_KEY_NAME: ", "BitmapPath",
                                "szBitmapPath: "};
constexpr IniKey kBackupPathKey{"SCRIPTING_APP_NAME: ", "Scripting", "BACKUP_PATH_KEY_NAME: ", "BackupPath",
                                "szBackupPath: "};
constexpr IniKey kDevelopmentPathKey{"SCRIPTING_APP_NAME: ", "Scripting", "DEVELOPMENT_PATH_KEY_NAME: ",
                                     "DevelopmentPath", "szDevelopmentPath: "};
constexpr IniKey kCommandKey{"SCRIPTING_APP_NAME: ", "Scripting", "COMMAND_FILE_KEY_NAME: ", "Command",
                             "szCommandFile: "};
constexpr IniKey kCommandInsertListKey{"SCRIPTING_APP_NAME: ", "Scripting", "COMMANDIL_FILE_KEY_NAME: ",
                                       "CommandInsertList", "szCommandInsertListFile: "};
constexpr IniKey kScreenKey{"SCRIPTING_APP_NAME: ", "Scripting", "SCREEN_FILE_KEY_NAME: ", "Screen",
                            "szScreenFile: "};
constexpr IniKey kScreenInsertListKey{"SCRIPTING_APP_NAME: ", "Scripting", "SCREENIL_FILE_KEY_NAME: ",
                                      "ScreenInsertList", "szScreenInsertListFile: "};
constexpr IniKey kSkeletonKey{"SCRIPTING_APP_NAME: ", "Scripting", "SKELETON_FILE_KEY_NAME: ", "Skeleton",
                              "szSkeletonFile: "};
constexpr IniKey kEnabledKey{"SCRIPTING_APP_NAME: ", "Scripting", "ENABLED_KEY_NAME: ", "Enabled", "szEnabled: "};
constexpr IniKey kHelpPathKey{"HELP_APP_NAME: ", "Help", "HELP_PATH_KEY_NAME: ", "HelpPath", "szHelpPath: "};
constexpr IniKey kScriptEditorKey{"HELP_APP_NAME: ", "Help", "SCRIPTEDIT_PATH_KEY_NAME: ", "ScriptEditor",
                                  "szScriptEditHelpFile: "};
constexpr IniKey kDialogEditorKey{"HELP_APP_NAME: ", "Help", "DIALOGEDIT_PATH_KEY_NAME: ", "DialogEditor",
                                  "szDialogEditHelpFile: "};
constexpr IniKey kMLVerKey{"SCRIPTING_APP_NAME: ", "Scripting", "MLVER_KEY_NAME: ", "MLVer", "szMLVer: "};
constexpr IniKey kMLDVerKey{"SCRIPTING_APP_NAME: ", "Scripting", "MLDVER_KEY_NAME: ", "MLDVer", "szMLDVer: "};
// Empxxx.ini failures name the section, the key and the file, not the value.
constexpr IniKey kAutoBackupKey{"SCRIPTING_APP_NAME: ", "Scripting", "AUTO_BACKUP_KEY_NAME: ",
                                "AutomaticBackupEnabled", nullptr};
constexpr IniKey kWarningsKey{"SCRIPTING_APP_NAME: ", "Scripting", "WARNINGS_ENABLED_KEY_NAME: ",
                              "WarningsEnabled", nullptr};

// ---- Working state of one call ----------------------------------------------------------

struct Working {
    Text installPath, wkstnPath, windowsDir, downloadPath, mlsInfPath, mldInfPath;
    Text dosPath;
    bool haveDosPath = false;
    Text serverPath, orvanPath, empPath;
    bool createdWkstn = false;

    // The values that become the fields.
    Text cachedMLVersion, mlReadMe, cachedMLDVersion, mlReadMeDev;
    Text localPL, localNWX;
    Text apps, scripting, production, file, bitmap, backup, develop, help;
    Text installedMLVersion, installedMLDVersion;
};

}  // namespace

STDMETHODIMP OVCustInst::Init() {
    return Guard(OV_HERE, Box::Shown, [&] {
        Working w;

        // A value that does not fit its 260-character working buffer refuses the whole call:
        // a cut path would name some other file or directory, and Init would then set up or
        // read the wrong place. Reported with the box.
        auto tooLong = [this](Place at, const char* label) {
            return Fail(kE_TOOLONG, at, Box::Shown, label, kLengthInvalid);
        };
        // A method of this object called with a working value; its failure is reported again
        // here, without box or pieces.
        auto freeSpace = [this](const char* path, ULONG* bytes, Place at) {
            HRESULT hr = GetFreeDiskSpace(MakeBstr(path).Get(), bytes);
            if (FAILED(hr)) Report(hr, at, Box::Hidden);
            return hr;
        };
        auto createDir = [this](const char* path, Place at) {
            HRESULT hr = CreateDir(MakeBstr(path).Get());
            if (FAILED(hr)) Report(hr, at, Box::Hidden);
            return hr;
        };
        // One profile write; a failure is reported with the box and the key's pieces.
        auto writeIni = [this](const IniKey& k, const char* value, const char* pathLabel, const char* path) {
            if (WritePrivateProfileStringA(k.app, k.key, value, path)) return S_OK;
            if (!k.valueLabel)
                return FailWithLastError(OV_HERE, Box::Shown, k.appLabel, k.app, k.keyLabel, k.key, pathLabel, path);
            return FailWithLastError(OV_HERE, Box::Shown, k.appLabel, k.app, k.keyLabel, k.key, k.valueLabel, value,
                                     pathLabel, path);
        };

        // ---- Common start ----
        ReadInstallPath(w.installPath, MAX_PATH);
        if (!FormatBounded(w.wkstnPath, sizeof w.wkstnPath.s, "%s\\%s", w.installPath.s, "Wkstn.ini"))
            return tooLong(OV_HERE, "szWKSTNPath: ");

        if (GetWindowsDirectoryA(w.windowsDir, MAX_PATH) == 0)
            return FailWithLastError(OV_HERE, Box::Shown, "szWindowsDir: ", "");

        if (!FormatBounded(w.downloadPath, sizeof w.downloadPath.s, "%s\\%s", w.windowsDir.s,
                           "downloaded program files"))
            return tooLong(OV_HERE, "szDownloadPath: ");
        if (!PathExists(w.downloadPath) &&
            !FormatBounded(w.downloadPath, sizeof w.downloadPath.s, "%s\\%s", w.windowsDir.s, "occache"))
            return tooLong(OV_HERE, "szDownloadPath: ");

        // The package lists never fail Init: one that is missing, or whose path does not fit,
        // gives the defaults.
        auto readInf = [](const char* file, const char* installPath, Text& path, const char* versionKey,
                          Text& version, const char* readMeKey, const char* readMeDefault, Text& readMe) {
            if (!FormatBounded(path, sizeof path.s, "%s\\Pellar\\%s", installPath, file)) {
                CopyBounded(readMe, sizeof readMe.s, readMeDefault);
                return;
            }
            GetPrivateProfileStringA("ORVAN", versionKey, "", version, kIniBufferSize, path);
            GetPrivateProfileStringA("ORVAN", readMeKey, readMeDefault, readMe, kIniBufferSize, path);
        };
        readInf("OVMLSInstall.inf", w.installPath, w.mlsInfPath, "MLVer", w.cachedMLVersion, "MLReadMe",
                "MLReadMe.txt", w.mlReadMe);
        readInf("OVMLDInstall.inf", w.installPath, w.mldInfPath, "MLDVer", w.cachedMLDVersion, "MLReadMeDev",
                "MLReadMeDev.txt", w.mlReadMeDev);

        {
            BStr subKey(L"Software\\Orvanta"), valueName(L"DOSInstallPath");
            if (!subKey || !valueName) throw std::bad_alloc();
            BStr value;
            const char* errorText = nullptr;
            HRESULT hr = ReadRegistryValue(subKey.Get(), valueName.Get(), value.Put(), &errorText);
            if (FAILED(hr) || value.Length() == 0) {
                // Without the value Init goes on with the default local path.
                Report(hr, OV_HERE, Box::Hidden, "Warning: ", errorText ? errorText : "");
            } else {
                Text raw;
                if (!ToAnsi(value.Get(), raw, sizeof raw.s) ||
                    !FormDosPath(raw, w.dosPath, sizeof w.dosPath.s, IsAnsiLeadByte))
                    return tooLong(OV_HERE, "szDOSPath: ");
                w.haveDosPath = true;
            }
        }
        const char* localPath = w.haveDosPath ? w.dosPath.s : kDefaultLocalPath;

        if (!PathExists(w.wkstnPath)) {
            // ---- First run: set the layout up ----
            w.createdWkstn = true;
            if (MappedScriptServer) {
                if (!ToAnsi(MappedScriptServer.Get(), w.serverPath, sizeof w.serverPath.s))
                    return tooLong(OV_HERE, "MappedScriptServer: ");
            } else {
                CopyBounded(w.serverPath, sizeof w.serverPath.s, localPath);
            }
            CopyBounded(w.localNWX, sizeof w.localNWX.s, localPath);
            CopyBounded(w.localPL, sizeof w.localPL.s, localPath);

            ULONG serverFree = 0, wkstnFree = 0;
            HRESULT hr = freeSpace(w.serverPath, &serverFree, OV_HERE);
            if (FAILED(hr)) return hr;
            hr = freeSpace(w.wkstnPath, &wkstnFree, OV_HERE);
            if (FAILED(hr)) return hr;
            if (!EnoughSpace(serverFree))
                return Fail(STG_E_MEDIUMFULL, OV_HERE, Box::Shown, "szRawServerPath: ", w.serverPath);
            if (!EnoughSpace(wkstnFree))
                return Fail(STG_E_MEDIUMFULL, OV_HERE, Box::Shown, "szWKSTNPath: ", w.wkstnPath);
            hr = createDir(w.serverPath, OV_HERE);
            if (FAILED(hr)) return hr;

            if (!FormatBounded(w.orvanPath, sizeof w.orvanPath.s, "%s\\%s", w.serverPath.s, "Orvan.ini"))
                return tooLong(OV_HERE, "szORVANPath: ");
            Text scriptsDir, productionPath;
            if (!FormatBounded(scriptsDir, sizeof scriptsDir.s, "%s\\%s", w.serverPath.s, "Scripts") ||
                !FormatBounded(productionPath, sizeof productionPath.s, "%s\\%s", scriptsDir.s, "Prod"))
                return tooLong(OV_HERE, "szBuf: ");

            enum Target { kWkstn, kOrvan };
            struct Write {
                Target target;
                const IniKey* key;
                const char* value;
                Text* working;  // set to the value just before the write, when not null
            };
            const Write writes[] = {
                {kWkstn, &kServerPathKey, w.serverPath, nullptr},
                {kWkstn, &kWkstnProductionKey, productionPath, nullptr},
                {kOrvan, &kAppsPathKey, "Apps", &w.apps},
                {kOrvan, &kScriptingPathKey, "Scripts", nullptr},
                {kOrvan, &kProductionPathKey, "Prod", nullptr},
                {kOrvan, &kFilePathKey, "File", &w.file},
                {kOrvan, &kBitmapPathKey, "Bitmap", &w.bitmap},
                {kOrvan, &kBackupPathKey, "Backup", &w.backup},
                {kOrvan, &kDevelopmentPathKey, "Develop", &w.develop},
                {kOrvan, &kCommandKey, "commlist.cmd", nullptr},
                {kOrvan, &kCommandInsertListKey, "commfile.cmd", nullptr},
                {kOrvan, &kScreenKey, "scrnlist.cmd", nullptr},
                {kOrvan, &kScreenInsertListKey, "scrnfile.cmd", nullptr},
                {kOrvan, &kSkeletonKey, "skeleton.cmd", nullptr},
                {kOrvan, &kEnabledKey, "1", nullptr},
                {kOrvan, &kHelpPathKey, "Help", &w.help},
                {kOrvan, &kScriptEditorKey, "scrpedtr.hlp", nullptr},
                {kOrvan, &kDialogEditorKey, "dbeditor.hlp", nullptr},
            };
            // The Wkstn.ini "ProductionPath" row is built from these two.
            CopyBounded(w.scripting, sizeof w.scripting.s, "Scripts");
            CopyBounded(w.production, sizeof w.production.s, "Prod");
            for (const Write& row : writes) {
                if (row.working) CopyBounded(row.working->s, sizeof row.working->s, row.value);
                hr = row.target == kWkstn ? writeIni(*row.key, row.value, "szWKSTNPath: ", w.wkstnPath)
                                          : writeIni(*row.key, row.value, "szORVANPath: ", w.orvanPath);
                if (FAILED(hr)) return hr;
            }
            // The installed versions stay empty until a package install records them.
        } else {
            // ---- Configured: read the layout back ----
            CopyBounded(w.localPL, sizeof w.localPL.s, localPath);
            CopyBounded(w.localNWX, sizeof w.localNWX.s, kConfiguredNWXPath);

            if (GetPrivateProfileStringA(kServerPathKey.app, kServerPathKey.key, "", w.serverPath, kIniBufferSize,
                                         w.wkstnPath) == 0) {
                Report(OV_E_NODATA, OV_HERE, Box::Shown, kServerPathKey.appLabel, kServerPathKey.app,
                       kServerPathKey.keyLabel, kServerPathKey.key, kServerPathKey.valueLabel, w.serverPath,
                       "szWKSTNPath: ", w.wkstnPath);
                return E_FAIL;
            }
            if (!FormatBounded(w.orvanPath, sizeof w.orvanPath.s, "%s\\%s", w.serverPath.s, "Orvan.ini"))
                return tooLong(OV_HERE, "szORVANPath: ");
            if (!PathExists(w.orvanPath)) {
                Report(OV_E_NODATA, OV_HERE, Box::Shown, "szORVANPath: ", w.orvanPath);
                return E_FAIL;
            }

            struct Read {
                const IniKey* key;
                Text* target;
                bool required;
            };
            const Read reads[] = {
                {&kAppsPathKey, &w.apps, true},
                {&kBackupPathKey, &w.backup, true},
                {&kBitmapPathKey, &w.bitmap, true},
                {&kDevelopmentPathKey, &w.develop, true},
                {&kFilePathKey, &w.file, true},
                {&kHelpPathKey, &w.help, true},
                {&kMLVerKey, &w.installedMLVersion, false},
                {&kMLDVerKey, &w.installedMLDVersion, false},
                {&kProductionPathKey, &w.production, true},
                {&kScriptingPathKey, &w.scripting, true},
            };
            for (const Read& row : reads) {
                const IniKey& k = *row.key;
                DWORD got = GetPrivateProfileStringA(k.app, k.key, "", row.target->s, kIniBufferSize, w.orvanPath);
                if (got == 0 && row.required) {
                    Report(OV_E_NODATA, OV_HERE, Box::Shown, k.appLabel, k.app, k.keyLabel, k.key, k.valueLabel,
                           row.target->s, "szORVANPath: ", w.orvanPath);
                    return E_FAIL;
                }
            }
        }

        // ---- Common tail ----
        ULONG orvanFree = 0;
        HRESULT hr = freeSpace(w.orvanPath, &orvanFree, OV_HERE);
        if (FAILED(hr)) return hr;
        if (!EnoughSpace(orvanFree)) {
            // A Wkstn.ini made by this very call goes again, so the next call sets up anew.
            if (w.createdWkstn && !DeleteFileA(w.wkstnPath))
                FailWithLastError(OV_HERE, Box::Shown, "szWKSTNPath: ", w.wkstnPath);
            return Fail(STG_E_MEDIUMFULL, OV_HERE, Box::Shown, "szORVANPath: ", w.orvanPath);
        }

        if (!FormatBounded(w.empPath, sizeof w.empPath.s, "%s\\%s", w.localPL.s, "Empxxx.ini"))
            return tooLong(OV_HERE, "szEmpPath: ");
        if (!PathExists(w.empPath)) {
            hr = createDir(w.localPL, OV_HERE);
            if (FAILED(hr)) return hr;
            for (const IniKey* k : {&kAutoBackupKey, &kWarningsKey}) {
                hr = writeIni(*k, "1", "szEmpPath: ", w.empPath);
                if (FAILED(hr)) return hr;
            }
        }

        // ---- Commit: every new string first, so a failed allocation changes no field ----
        Layout fresh;
        fresh.WindowsDir = MakeBstr(w.windowsDir);
        fresh.DownloadPath = MakeBstr(w.downloadPath);
        fresh.CachedMLVersion = MakeBstr(w.cachedMLVersion);
        fresh.MLReadMe = MakeBstr(w.mlReadMe);
        fresh.CachedMLDVersion = MakeBstr(w.cachedMLDVersion);
        fresh.MLReadMeDev = MakeBstr(w.mlReadMeDev);
        fresh.ServerPath = MakeBstr(w.serverPath);
        fresh.LocalPLORVANPath = MakeBstr(w.localPL);
        fresh.LocalNWXORVANPath = MakeBstr(w.localNWX);
        fresh.AppsPath = MakeBstr(w.apps);
        fresh.ScriptingPath = MakeBstr(w.scripting);
        fresh.ProductionPath = MakeBstr(w.production);
        fresh.FilePath = MakeBstr(w.file);
        fresh.BitmapPath = MakeBstr(w.bitmap);
        fresh.BackupPath = MakeBstr(w.backup);
        fresh.DevelopPath = MakeBstr(w.develop);
        fresh.HelpPath = MakeBstr(w.help);
        fresh.InstalledMLVersion = MakeBstr(w.installedMLVersion);
        fresh.InstalledMLDVersion = MakeBstr(w.installedMLDVersion);
        layout = std::move(fresh);
        return S_OK;
    });
}

}  // namespace ov
