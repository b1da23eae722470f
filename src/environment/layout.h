// The layout of the workstation and its script server that Init discovers, as narrow text.
#pragma once

#include <windows.h>

#include "../diagnostics/OVCILog.h"
#include "../framework/bounded_text.h"

namespace ov {

// The install path from the registry and the host product's directory below it; shared by
// every object of the process and rewritten by each construction of a control.
extern Path InstallPath;
extern Path PellarInstallPath;

// The nineteen values Init stores; the getters turn them into automation strings.
struct Layout {
    Path AppsPath, BackupPath, BitmapPath, CachedMLDVersion, CachedMLVersion, DownloadPath, DevelopPath,
        MLReadMeDev, HelpPath, FilePath, InstalledMLDVersion, InstalledMLVersion, LocalNWXORVANPath,
        LocalPLORVANPath, ProductionPath, ScriptingPath, ServerPath, MLReadMe, WindowsDir;
    // Set by the first successful Init: until then every value is null to the page.
    bool filled;
};

// Init's work: reads the environment (and on a new workstation sets it up) into `fresh`, which
// the caller stores only on success. `mappedServer` is what SetScriptServer handed over, or
// null. Reports every failure itself.
HRESULT DiscoverLayout(OVCILog& log, BSTR mappedServer, Layout& fresh);

inline constexpr char kRegistryReadFailed[] = "Failed to read the registy key data";

// Reads a string value below HKEY_LOCAL_MACHINE into value (at most 260 characters). Every
// failure is reported without a box, and *errorText, when given, points at a short message.
HRESULT ReadRegistryText(OVCILog& log, const char* subKey, const char* valueName, Path& value,
                         const char** errorText);

}  // namespace ov
