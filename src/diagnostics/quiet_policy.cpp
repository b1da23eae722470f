#include "quiet_policy.h"

#include <windows.h>

namespace ov {

bool QuietUI() {
    DWORD value = 0, size = sizeof value;
    return RegGetValueA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Orvanta", "QuietUI", RRF_RT_REG_DWORD, nullptr, &value,
                        &size) == ERROR_SUCCESS &&
           value == 1;
}

}  // namespace ov
