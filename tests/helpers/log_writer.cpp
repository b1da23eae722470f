// Child process of the log-sharing test: waits for the start signal, then appends records
// through its own OVCILog as fast as it can.   ov_log_writer.exe <tag> <count> <start event name>
#include <windows.h>

#include <cstdlib>
#include <string>

#include "diagnostics/OVCILog.h"

int main(int argc, char** argv) {
    // Set up before the signal so that both writers start appending at the same moment.
    ov::OVCILog log;
    HANDLE go = argc == 4 ? OpenEventA(SYNCHRONIZE, FALSE, argv[3]) : nullptr;
    if (!log.LogEnabled || !go || WaitForSingleObject(go, 60000) != WAIT_OBJECT_0) return 3;
    for (int i = 0, count = std::atoi(argv[2]); i < count; ++i) {
        const std::string index = std::to_string(i);
        log.Report(E_INVALIDARG, ov::Place{"tests\\log_writer", i}, ov::Box::Hidden, "Writer: ", argv[1], "Index: ",
                   index.c_str());
    }
    return 0;
}
