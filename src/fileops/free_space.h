// Free bytes of a drive as the control reports them. Plain function: no platform calls.
#pragma once

#include <cstdint>

namespace ov {

// More than this many bytes free (not 128 KiB) is enough for Init to set up or use a drive.
inline constexpr std::uint32_t kMinFreeBytes = 128000;
constexpr bool EnoughSpace(std::uint32_t freeBytes) { return freeBytes > kMinFreeBytes; }

// sectors per cluster x bytes per sector x free clusters, saturating at 0xFFFFFFFF.
std::uint32_t FreeBytesSaturated(std::uint32_t sectorsPerCluster, std::uint32_t bytesPerSector,
                                 std::uint32_t freeClusters);

}  // namespace ov
