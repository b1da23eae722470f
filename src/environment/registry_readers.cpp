#include "registry_readers.h"

#include <cstring>
#include <vector>

#include "../framework/unique_any.h"

namespace ov {

HRESULT ReadInstallPath(char* buffer, DWORD size, LONG* registryError) {
    RegKey key;
    LONG rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Orvanta", 0, KEY_QUERY_VALUE, key.Put());
    if (registryError) *registryError = rc;
    if (rc != ERROR_SUCCESS) return E_FAIL;
    if (!buffer || size == 0) return S_OK;

    // Read aside so that a missing or oversized value leaves the caller's text alone, and a
    // value stored without its terminator still ends inside the buffer.
    std::vector<char> data(size + 1, '\0');
    DWORD got = size;
    if (RegQueryValueExA(key.Get(), "InstallPath", nullptr, nullptr,
                         reinterpret_cast<BYTE*>(data.data()), &got) == ERROR_SUCCESS) {
        std::size_t n = strnlen(data.data(), size - 1);
        std::memcpy(buffer, data.data(), n);
        buffer[n] = '\0';
    }
    return S_OK;
}

}  // namespace ov
