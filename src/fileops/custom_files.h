// Copying the custom files of a code download into the product's directories, as its INF says.
#pragma once

#include <windows.h>

#include "../diagnostics/OVCILog.h"
#include "inf_copy.h"

namespace ov {

// Reads the INF at infPath and copies each file its sections send somewhere, creating the
// destination first. The first failure ends the copy and is returned (files copied before it
// stay); a callee's failure is reported once more without box or pieces.
HRESULT CopyCustomFiles(OVCILog& log, const char* infPath, const InfDirectories& dirs);

}  // namespace ov
