// Reports that must not compile: each case is built on its own and must stop at the front
// end's own check.
#include "diagnostics/OVCILog.h"

#include <string>

void Reports(ov::OVCILog& log) {
#if defined(NUMBER_PIECE)
    log.Report(E_FAIL, ov::Place{"x", 1}, ov::Box::Hidden, "Count: ", 3);
#elif defined(STRING_PIECE)
    log.Report(E_FAIL, ov::Place{"x", 1}, ov::Box::Hidden, "Path: ", std::string("C:\\"));
#elif defined(LABEL_WITHOUT_VALUE)
    log.Report(E_FAIL, ov::Place{"x", 1}, ov::Box::Hidden, "szPath: ");
#endif
}
