// Reading a package's cabinet from memory through the platform's FDI.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "package.h"

namespace ovpkg {

struct CabFile {
    std::wstring name;
    std::uint32_t size;
};

// The files of the cabinet, in their order, without unpacking any; throws Failure.
std::vector<CabFile> ListCabinet(const Payload& payload);

// Unpacks every file below destination, making the folders it needs and replacing files that
// exist. Every name is checked first: one that would leave the destination, or whose path
// would not fit MAX_PATH, stops it before anything is written. Throws Failure; a file being
// written when it fails is removed.
void ExtractCabinet(const Payload& payload, const std::wstring& destination);

}  // namespace ovpkg
