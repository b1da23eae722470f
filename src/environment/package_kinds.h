// The package contract, once: for each kind of package its list file in the host product's
// "Pellar" directory, the list's keys, the marker the package leaves in the install path, and
// the prefix of its file name. The builder, the package program, Init, the installs and the
// editor install all read this table. Plain data.
#pragma once

#include <cstdint>

#include "../diagnostics/ini_keys.h"

namespace ov {

// The number a package carries in its cabinet to say its kind.
enum class PackageKindId : std::uint8_t { Scripts = 1, Development, EditorFirst, EditorSecond };

struct PackageKind {
    PackageKindId kind;
    const char* argument;     // on the builder's command line
    const char* description;  // in the package's own listing
    const char* namePrefix;   // the package file is namePrefix + version + ".exe"
    const char* infName;      // the list the server reads in <install path>\Pellar
    const IniKey* see;        // section "ORVAN": the package file name
    const char* versionKey;   // section "ORVAN": the version, or null
    const char* readMeKey;    // section "ORVAN": the read-me file name, or null
    const char* readMeDefault;
    const char* marker;  // left in the install path once every file is written
};

inline constexpr PackageKind kPackageKinds[] = {
    {PackageKindId::Scripts, "scripts", "standard scripts", "MLS", "OVMLSInstall.inf", &kSeeKey, "MLVer",
     "MLReadMe", "MLReadMe.txt", "OVMLSOK.TMP"},
    {PackageKindId::Development, "dev", "development files", "MLD", "OVMLDInstall.inf", &kSeeKey, "MLDVer",
     "MLReadMeDev", "MLReadMeDev.txt", "OVMLDOK.TMP"},
    {PackageKindId::EditorFirst, "editor1", "script editor, first package", "MLEdit", "OVMLEInstall.inf", &kSee1Key,
     nullptr, nullptr, nullptr, "OVMLEOK.TMP"},
    {PackageKindId::EditorSecond, "editor2", "script editor, second package", "MLEHelp", "OVMLEInstall.inf",
     &kSee2Key, nullptr, nullptr, nullptr, "OVMLEOK.TMP"},
};

constexpr const PackageKind& KindOf(PackageKindId id) { return kPackageKinds[static_cast<int>(id) - 1]; }

}  // namespace ov
