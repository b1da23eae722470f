// Running a self-extracting package unattended and waiting for it.
#include <cerrno>
#include <cstdint>
#include <process.h>

#include "../control/OVCustInst.h"
#include "../framework/ansi_text.h"
#include "../framework/bounded_text.h"

namespace ov {

STDMETHODIMP OVCustInst::RunSEE(BSTR bstrSEEPath, BSTR bstrDestPath) {
    return Guard(OV_HERE, Box::Shown, [&] {
        auto lengthInvalid = [this](Place at, const char* label) {
            return Fail(E_INVALIDARG, at, Box::Shown, label, kLengthInvalid);
        };
        UINT n = SysStringLen(bstrSEEPath);
        if (n == 0 || n > MAX_PATH) return lengthInvalid(OV_HERE, "bstrSEEPath: ");
        n = SysStringLen(bstrDestPath);
        if (n == 0 || n > MAX_PATH) return lengthInvalid(OV_HERE, "bstrDestPath: ");

        char appPath[MAX_PATH + 1] = {};
        char destPath[MAX_PATH + 1] = {};
        if (!ToAnsi(bstrSEEPath, appPath)) return lengthInvalid(OV_HERE, "bstrSEEPath: ");
        if (!ToAnsi(bstrDestPath, destPath)) return lengthInvalid(OV_HERE, "bstrDestPath: ");
        // The argument text has room for a destination of 252 characters after " /auto ". A
        // longer one is refused like an over-long argument: cut, the package would unpack
        // into some other directory.
        char commandLine[MAX_PATH] = {};
        if (!FormatBounded(commandLine, sizeof commandLine, " /auto %s", destPath))
            return lengthInvalid(OV_HERE, "bstrDestPath: ");

        // The runtime joins the arguments with one blank: the package sees its own path, two
        // blanks, "/auto", a blank and the destination, nothing quoted.
        const char* const argv[] = {appPath, commandLine, nullptr};
        const intptr_t result = _spawnv(_P_WAIT, appPath, argv);
        // A package that ran and ended below zero leaves no errno of its own (the runtime may
        // have left one while it searched): it counts as E_FAIL.
        if (result != -1) errno = 0;
        if (static_cast<std::int32_t>(result) < 0) {
            Report(ErrnoToHResult(), OV_HERE, Box::Shown, "szAppPath: ", appPath, "szCommandLine: ", commandLine);
        }
        // Whether the package did its work is told by its marker file, not by this result.
        return S_OK;
    });
}

}  // namespace ov
