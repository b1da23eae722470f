// Free bytes of a drive as the control reports them. Plain function: no platform calls.
#pragma once

#include <cstdint>

namespace ov {

// sectors per cluster x bytes per sector x free clusters, saturating at 0xFFFFFFFF.
std::uint32_t FreeBytesSaturated(std::uint32_t sectorsPerCluster, std::uint32_t bytesPerSector,
                                 std::uint32_t freeClusters);

}  // namespace ov
