#include "free_space.h"

namespace ov {

std::uint32_t FreeBytesSaturated(std::uint32_t sectorsPerCluster, std::uint32_t bytesPerSector,
                                 std::uint32_t freeClusters) {
    std::uint64_t clusterBytes = static_cast<std::uint64_t>(sectorsPerCluster) * bytesPerSector;
    std::uint64_t total = 0;
    if (__builtin_mul_overflow(clusterBytes, static_cast<std::uint64_t>(freeClusters), &total) ||
        total > 0xFFFFFFFFull)
        return 0xFFFFFFFFu;
    return static_cast<std::uint32_t>(total);
}

}  // namespace ov
