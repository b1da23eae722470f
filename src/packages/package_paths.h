// The package lists the installs read: narrow text in buffers of 260 characters.
#pragma once

#include <windows.h>

#include "../diagnostics/install_path.h"
#include "../framework/bounded_text.h"

namespace ov {

// The install path read afresh and the package list `infName` in its "Pellar" directory.
// When the install path cannot be read both begin at the root, as the installs have always
// done; false only when the list's path does not fit.
inline bool PackageListPath(const char* infName, Path& localInstall, Path& infPath) {
    ReadInstallPath(localInstall, MAX_PATH);
    return FormatBounded(infPath, sizeof infPath, "%s\\Pellar\\%s", localInstall, infName);
}

}  // namespace ov
