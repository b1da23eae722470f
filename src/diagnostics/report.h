// What every report names besides its code: where it comes from and whether the user sees it.
#pragma once

namespace ov {

// The module names that records carry in their "File:" line.
inline constexpr char kOVCustInstModule[] = "OVCustInst";
inline constexpr char kOVCILogModule[] = "OVCILog";
inline constexpr char kOVCIConfirmModule[] = "OVCIConfirm";

// The value piece of an argument or path refused for its length.
inline constexpr char kLengthInvalid[] = "Length Invalid";

// The reporting module and line.
struct Place {
    const char* module;
    int line;
};

// The place of the code that names it: the module is the kReportModule in scope there (each
// reporting class declares its own), the line is the line of the macro.
#define OV_HERE (::ov::Place{kReportModule, __LINE__})

// Whether the report shows the error box before it logs.
enum class Box { Hidden = 0, Shown = 1 };

}  // namespace ov
