// The machine policy for unattended runs.
#pragma once

namespace ov {

// True when an administrator has set HKLM\SOFTWARE\Orvanta "QuietUI" to the DWORD 1: reports
// are logged without their box and the install questions count as confirmed, so a deployment
// script never waits for an answer. Absent, 0 or of another type: boxes and questions as ever.
// Read at each use, so a change takes effect at once; a page cannot set it.
bool QuietUI();

}  // namespace ov
