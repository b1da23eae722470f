// Child process of the log-sharing test: waits for the start signal, then appends records
// through its own OVCILog as fast as it can.
//   ov_log_writer.exe <tag> <count> <start event name>
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "diagnostics/OVCILog.h"

int main(int argc, char** argv) {
    if (argc != 4) return 2;
    const char* tag = argv[1];
    int count = std::atoi(argv[2]);
    // Set up before the signal so that both writers start appending at the same moment.
    ov::OVCILog log;
    if (!log.LogEnabled) return 3;
    HANDLE go = OpenEventA(SYNCHRONIZE, FALSE, argv[3]);
    if (!go) return 4;
    DWORD waited = WaitForSingleObject(go, 60000);
    CloseHandle(go);
    if (waited != WAIT_OBJECT_0) return 5;
    for (int i = 0; i < count; ++i) {
        char index[16];
        std::snprintf(index, sizeof index, "%d", i);
        log.Report(E_INVALIDARG, ov::Place{"tests\\log_writer", i}, ov::Box::Hidden, "Writer: ", tag, "Index: ", index);
    }
    return 0;
}
