// Running self-extracting packages and installing them: narrow text in, every failure
// reported through the log (module OVCustInst), its code returned.
#pragma once

#include <windows.h>

#include "../diagnostics/OVCILog.h"
#include "../environment/layout.h"
#include "../environment/package_kinds.h"
#include "package_paths.h"

namespace ov {

// Runs the package at seePath with " /auto <destPath>" and waits for it. A package that
// cannot be started is reported (with the box) and still gives S_OK: its marker tells.
HRESULT RunPackage(OVCILog& log, const char* seePath, const char* destPath);

// Deletes the other downloaded packages of the kind from the host product's directory, with
// their shared-file records; the package named `kept` stays. Reports only what it cannot do at
// all.
void PackageCleanup(OVCILog& log, const PackageKind& kind, const char* kept);

// The standard scripts or the development files onto the script server, after the Init whose
// result is initResult; the package's file name goes to seeFileName.
HRESULT InstallScriptPackage(OVCILog& log, PackageKindId kind, HRESULT initResult, Layout& layout,
                             Path& seeFileName);

// The script editor from its two packages, after a successful Init.
HRESULT InstallEditorPackages(OVCILog& log, const Layout& layout);

// Whether the workstation points at a script server that has its Orvan.ini: 1 or 0 in
// *complete. A workstation file naming a server without one is deleted.
HRESULT ScriptServerComplete(OVCILog& log, VARIANT_BOOL* complete);

}  // namespace ov
