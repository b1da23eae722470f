#include "custom_files.h"

#include <cstdio>
#include <share.h>

#include "../framework/unique_any.h"
#include "file_operations.h"

namespace ov {
namespace {

constexpr const char* kReportModule = kOVCustInstModule;

}  // namespace

HRESULT CopyCustomFiles(OVCILog& log, const char* infPath, const InfDirectories& dirs) {
    // Read only, shared with every other reader and writer, in text mode: a Ctrl-Z ends the
    // file as it always has for INF files. The line reader drops the carriage return of each
    // line end itself.
    UniqueFile inf(_fsopen(infPath, "rt", _SH_DENYNO));
    if (!inf) return log.Fail(Win32ToHResult(ERROR_OPEN_FAILED), OV_HERE, Box::Shown, "szINFPath: ", infPath);
    // An INF saved as Unicode holds no line this reader could match: refused, so that the page
    // does not take a copy of nothing for success.
    FILE* file = inf.Get();
    unsigned char mark[2] = {};
    const bool read = std::fread(mark, 1, 2, file) == 2;
    if (read && ((mark[0] == 0xFF && mark[1] == 0xFE) || (mark[0] == 0xFE && mark[1] == 0xFF)))
        return log.Fail(Win32ToHResult(ERROR_INVALID_DATA), OV_HERE, Box::Shown, "szINFPath: ", infPath);
    std::rewind(file);

    // The first failure ends the operation; files copied before it stay.
    InfCopy copy{};
    const char* tooLongLabel = "";
    auto carryOut = [&](InfStep step) {
        if (step == InfStep::kTooLong)
            return log.Fail(kE_TOOLONG, OV_HERE, Box::Shown, "szFileName: ", copy.fileName, tooLongLabel,
                            kLengthInvalid);
        if (step != InfStep::kCopy) return S_OK;
        HRESULT result = CreateDirWithParents(log, copy.destDir);
        if (SUCCEEDED(result)) result = CopyFileInto(log, copy.fileName, copy.sourceDir, copy.destDir);
        return FAILED(result) ? log.Fail(result, OV_HERE, Box::Hidden) : S_OK;
    };
    InfLineReader lines([file] { return std::fgetc(file); });
    InfCopyReader reader(dirs);
    char line[kInfLineMax + 1];
    while (lines.Read(line)) {
        // The step first: it sets the label and the copy that carrying it out reports.
        const InfStep step = reader.Apply(line, &copy, &tooLongLabel);
        HRESULT hr = carryOut(step);
        if (FAILED(hr)) return hr;
    }
    return carryOut(reader.Finish(&copy));
}

}  // namespace ov
