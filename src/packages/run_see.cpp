// Running a self-extracting package unattended and waiting for it.
#include <cerrno>
#include <cstdint>
#include <process.h>

#include "packages.h"

namespace ov {
namespace {

constexpr const char* kReportModule = kOVCustInstModule;

}  // namespace

HRESULT RunPackage(OVCILog& log, const char* seePath, const char* destPath) {
    if (!seePath[0]) return log.RefuseLength(OV_HERE, "bstrSEEPath: ");
    if (!destPath[0]) return log.RefuseLength(OV_HERE, "bstrDestPath: ");
    // The argument text has room for a destination of 252 characters after " /auto ". A longer
    // one is refused like an over-long argument: cut, the package would unpack into some other
    // directory.
    char commandLine[MAX_PATH] = {};
    if (!FormatBounded(commandLine, sizeof commandLine, " /auto %s", destPath))
        return log.RefuseLength(OV_HERE, "bstrDestPath: ");

    // The runtime joins the arguments with one blank: the package sees its own path, two
    // blanks, "/auto", a blank and the destination, nothing quoted.
    const char* const argv[] = {seePath, commandLine, nullptr};
    const intptr_t result = _spawnv(_P_WAIT, seePath, argv);
    // A package that ran and ended below zero leaves no errno of its own (the runtime may
    // have left one while it searched): it counts as E_FAIL.
    if (result != -1) errno = 0;
    if (static_cast<std::int32_t>(result) < 0) {
        log.Report(log.ErrnoToHResult(), OV_HERE, Box::Shown, "szAppPath: ", seePath, "szCommandLine: ",
                   commandLine);
    }
    // Whether the package did its work is told by its marker file, not by this result.
    return S_OK;
}

}  // namespace ov
