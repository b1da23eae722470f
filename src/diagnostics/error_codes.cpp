#include "error_codes.h"

namespace ov {

HResult MapErrno(int err) {
    switch (err) {
        case 7:  // E2BIG
        case 22:  // EINVAL
            return kE_INVALIDARG;
        case 2:  // ENOENT: the program's path was not found
            return Win32ToHResult(3);
        case 8:  // ENOEXEC
            return Win32ToHResult(11);
        case 12:  // ENOMEM
            return Win32ToHResult(8);
        default:
            return err > 32 ? kS_OK : kE_FAIL;
    }
}

const char* OwnReasonText(HResult code) {
    if (code == OV_E_NODATA) return kNoDataReason;
    if (code == OV_E_SEECOPY) return kSeeCopyReason;
    return nullptr;
}

}  // namespace ov
