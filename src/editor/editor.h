// Starting the script editor, or bringing its window forward when it runs already.
#pragma once

#include <windows.h>

#include "../diagnostics/OVCILog.h"
#include "../environment/layout.h"

namespace ov {

// Whether the editor list says the editor is installed: false in *installed when its
// "UpdatedFromThisWorkstation" begins with "n" or "N". A list without the key is reported.
HRESULT EditorInstalled(OVCILog& log, bool* installed);

// Brings a running editor forward, or starts seditor.exe from the workstation's "Apps"
// directory with the server's Orvan.ini and the workstation's Empxxx.ini, without waiting.
HRESULT StartEditor(OVCILog& log, const Layout& layout);

}  // namespace ov
