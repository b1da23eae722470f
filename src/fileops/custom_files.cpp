// Copying the custom files of a code download into the product's directories, as its INF says.
#include <cstdio>
#include <share.h>

#include "../control/OVCustInst.h"
#include "../diagnostics/error_codes.h"
#include "../framework/ansi_text.h"
#include "inf_copy.h"

namespace ov {

STDMETHODIMP OVCustInst::CopyOVCustomFilesFromINF(BSTR bstrINFPath) {
    return Guard(OV_HERE, Box::Shown, [&] {
        UINT n = SysStringLen(bstrINFPath);
        char infPath[MAX_PATH + 1] = {};
        if (n == 0 || n > MAX_PATH || !ToAnsi(bstrINFPath, infPath))
            return Fail(E_INVALIDARG, OV_HERE, Box::Shown, "bstrINFPath: ", kLengthInvalid);
        HRESULT hr = Init();
        if (FAILED(hr)) return Fail(hr, OV_HERE, Box::Hidden);

        // The fields as narrow text; Init has just filled them from 260-character buffers, so
        // they fit unless the registry or an INI changed under it.
        char texts[13][MAX_PATH + 1] = {};
        std::size_t used = 0;
        bool fit = true;
        auto narrow = [&](const BStr& field) {
            char* text = texts[used++];
            fit = ToAnsi(field.Get(), text, MAX_PATH + 1) && fit;
            return text;
        };
        const InfDirectories dirs{narrow(layout.ServerPath),    narrow(layout.LocalPLORVANPath),
                                  narrow(layout.LocalNWXORVANPath), narrow(layout.DownloadPath),
                                  narrow(layout.WindowsDir),    narrow(layout.AppsPath),
                                  narrow(layout.HelpPath),      narrow(layout.ScriptingPath),
                                  narrow(layout.BackupPath),    narrow(layout.BitmapPath),
                                  narrow(layout.DevelopPath),   narrow(layout.FilePath),
                                  narrow(layout.ProductionPath)};
        if (!fit) return Fail(kE_TOOLONG, OV_HERE, Box::Shown, "szDirectory: ", kLengthInvalid);

        // Read only, shared with every other reader and writer. The line reader drops the
        // carriage return of each line end itself.
        UniqueFile inf(_fsopen(infPath, "rb", _SH_DENYNO));
        if (!inf) return Fail(Win32ToHResult(ERROR_OPEN_FAILED), OV_HERE, Box::Shown, "szINFPath: ", infPath);

        // The first failure ends the operation; files copied before it stay.
        auto carryOut = [&](InfStep step, const InfCopy& copy, const char* tooLongLabel) {
            if (step == InfStep::kTooLong)
                return Fail(kE_TOOLONG, OV_HERE, Box::Shown, "szFileName: ", copy.fileName, tooLongLabel,
                            kLengthInvalid);
            if (step != InfStep::kCopy) return S_OK;
            HRESULT result = CreateDir(MakeBstr(copy.destDir).Get());
            if (SUCCEEDED(result))
                result = CopyFile(MakeBstr(copy.fileName).Get(), MakeBstr(copy.sourceDir).Get(),
                                  MakeBstr(copy.destDir).Get());
            return FAILED(result) ? Fail(result, OV_HERE, Box::Hidden) : S_OK;
        };
        FILE* file = inf.Get();
        InfLineReader lines([file] { return std::fgetc(file); });
        InfCopyReader reader(dirs);
        InfCopy copy{};
        const char* tooLongLabel = "";
        char line[kInfLineMax + 1];
        while (lines.Read(line)) {
            hr = carryOut(reader.Apply(line, &copy, &tooLongLabel), copy, tooLongLabel);
            if (FAILED(hr)) return hr;
        }
        return carryOut(reader.Finish(&copy), copy, tooLongLabel);
    });
}

}  // namespace ov
