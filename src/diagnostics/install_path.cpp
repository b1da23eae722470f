#include "install_path.h"

#include <cstring>
#include <vector>

#include "../framework/unique_any.h"

namespace ov {

namespace {

// The key stays open between reads: every new control reads the install path, and opening and
// closing the key would be two of every three round trips to the registry. A key deleted since
// it was opened (and perhaps made again) answers ERROR_KEY_DELETED and is opened afresh.
SRWLOCK g_installKeyLock = SRWLOCK_INIT;
RegKey g_installKey;  // under g_installKeyLock

class ExclusiveLock {
public:
    explicit ExclusiveLock(SRWLOCK& lock) : lock_(lock) { AcquireSRWLockExclusive(&lock_); }
    ~ExclusiveLock() { ReleaseSRWLockExclusive(&lock_); }
    ExclusiveLock(const ExclusiveLock&) = delete;
    ExclusiveLock& operator=(const ExclusiveLock&) = delete;

private:
    SRWLOCK& lock_;
};

// The registry's part of ReadInstallPath: the value into data (size bytes, zero-filled beyond),
// the key's error code in *opened, and whether the value was there and fit in *found.
void QueryInstallPath(char* data, DWORD size, LONG* opened, bool* found) {
    LONG queried = ERROR_SUCCESS;
    *opened = ERROR_SUCCESS;
    {
        ExclusiveLock lock(g_installKeyLock);
        for (int attempt = 0; attempt < 2; ++attempt) {
            if (!g_installKey)
                *opened = RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Orvanta", 0, KEY_QUERY_VALUE,
                                        g_installKey.Put());
            if (*opened != ERROR_SUCCESS) break;
            DWORD got = size;
            queried = RegQueryValueExA(g_installKey.Get(), "InstallPath", nullptr, nullptr,
                                       size ? reinterpret_cast<BYTE*>(data) : nullptr, size ? &got : nullptr);
            if (queried != ERROR_KEY_DELETED) break;
            g_installKey.Reset();
        }
    }
    // Deleted again between the fresh open and the read: as good as not there.
    if (*opened == ERROR_SUCCESS && queried == ERROR_KEY_DELETED) *opened = ERROR_KEY_DELETED;
    *found = *opened == ERROR_SUCCESS && size && queried == ERROR_SUCCESS;
}

}  // namespace

HRESULT ReadInstallPath(char* buffer, DWORD size, LONG* registryError) {
    if (!buffer) size = 0;
    // Read aside so that a missing or oversized value leaves the caller's text alone, and a
    // value stored without its terminator still ends inside the buffer.
    std::vector<char> data(size + 1, '\0');
    LONG opened = ERROR_SUCCESS;
    bool found = false;
    QueryInstallPath(data.data(), size, &opened, &found);
    if (registryError) *registryError = opened;
    if (opened != ERROR_SUCCESS) return E_FAIL;
    if (found) {
        std::size_t n = strnlen(data.data(), size - 1);
        std::memcpy(buffer, data.data(), n);
        buffer[n] = '\0';
    }
    return S_OK;
}

InstallPathRead InstallPathRead::Now() {
    InstallPathRead read;
    Path data = {};
    QueryInstallPath(data, MAX_PATH, &read.registryError, &read.found);
    read.result = read.registryError == ERROR_SUCCESS ? S_OK : E_FAIL;
    if (read.found) std::memcpy(read.text, data, strnlen(data, MAX_PATH - 1));
    return read;
}

HRESULT InstallPathRead::CopyTo(Path& buffer) const {
    if (found) std::memcpy(buffer, text, std::strlen(text) + 1);
    return result;
}

}  // namespace ov
