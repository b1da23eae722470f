#include "support.h"

#include <algorithm>
#include <cstdio>
#include <thread>

namespace bench {

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

void Check(HRESULT hr, const char* what) {
    if (FAILED(hr)) throw Failed(std::string(what) + " failed: " + ovtest::HexCode(hr));
}

Ran RunCaptured(std::string commandLine, DWORD timeoutMs) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) throw Failed("cannot make a pipe");
    ov::UniqueHandle reader(readEnd), writer(writeEnd);
    SetHandleInformation(reader.Get(), HANDLE_FLAG_INHERIT, 0);
    // The child's errors go where ours go.
    HANDLE errorOut = nullptr;
    DuplicateHandle(GetCurrentProcess(), GetStdHandle(STD_ERROR_HANDLE), GetCurrentProcess(), &errorOut, 0, TRUE,
                    DUPLICATE_SAME_ACCESS);
    ov::UniqueHandle errors(errorOut);

    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = nullptr;
    si.hStdOutput = writer.Get();
    si.hStdError = errors.Get();
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi))
        throw Failed("cannot start " + commandLine);
    ov::UniqueHandle process(pi.hProcess), thread(pi.hThread);
    writer.Reset();  // the child holds the only write end now: its end is our end of file

    Ran ran;
    std::thread drain([&] {
        char block[4096];
        DWORD got = 0;
        while (ReadFile(reader.Get(), block, sizeof block, &got, nullptr) && got > 0) ran.output.append(block, got);
    });
    if (WaitForSingleObject(process.Get(), timeoutMs) != WAIT_OBJECT_0) {
        ran.timedOut = true;
        TerminateProcess(process.Get(), 1);
        WaitForSingleObject(process.Get(), INFINITE);
    }
    drain.join();
    GetExitCodeProcess(process.Get(), &ran.exitCode);
    return ran;
}

ov::UniqueHandle Start(std::string commandLine) {
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        throw Failed("cannot start " + commandLine);
    ov::UniqueHandle thread(pi.hThread);
    return ov::UniqueHandle(pi.hProcess);
}

}  // namespace bench
