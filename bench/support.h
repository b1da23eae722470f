// What the measures of ov_bench share: timing in turns, medians, the registry values pointed
// at the sandbox, files and folders, child processes with their output.
#pragma once

#include <windows.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <vector>

#include "framework/unique_any.h"

namespace bench {

class Stopwatch {
public:
    double Seconds() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    }

private:
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

double Median(std::vector<double> v);

struct Samples {
    std::vector<double> ours, reference;
};

// Runs ours and the reference in turns, `runs` times each; every call returns the seconds
// of one operation and is given the round (0 is a warm-up that is not counted: it loads
// modules and fills the file and profile caches for both sides alike).
template <class Ours, class Reference>
Samples InTurns(int runs, Ours&& ours, Reference&& reference) {
    Samples s;
    for (int round = 0; round <= runs; ++round) {
        const double a = ours(round);
        const double b = reference(round);
        if (round > 0) {
            s.ours.push_back(a);
            s.reference.push_back(b);
        }
    }
    return s;
}

// A measure that cannot go on: its row says why.
struct Failed : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Throws Failed naming what failed when hr is a failure.
void Check(HRESULT hr, const char* what);

std::string Hex(unsigned long value);

// One registry value set for the run and put back (or removed, when it was absent) at the
// end; the key too is removed when the benchmark created it.
class RegistryValueForNow {
public:
    RegistryValueForNow(HKEY root, const char* subKey, const char* name, const std::string& value);
    ~RegistryValueForNow();
    RegistryValueForNow(const RegistryValueForNow&) = delete;
    RegistryValueForNow& operator=(const RegistryValueForNow&) = delete;

private:
    HKEY root_;
    std::string subKey_, name_;
    ov::RegKey key_;
    bool createdKey_ = false;
    std::vector<BYTE> saved_;
    DWORD savedType_ = REG_SZ;
    bool had_ = false;
};

void WriteText(const std::string& path, const std::string& text);
std::string ReadText(const std::string& path);
// Deletes a folder with everything below it.
void RemoveTree(const std::string& path);

// Answers every message box or dialog of this thread at once and counts them. A report with
// a box would otherwise wait for ever under the headless display driver; the benchmark
// triggers none, and says so at the end when one appeared anyway.
class BoxWatch {
public:
    BoxWatch();
    ~BoxWatch();
    BoxWatch(const BoxWatch&) = delete;
    BoxWatch& operator=(const BoxWatch&) = delete;
    static int Seen();

private:
    HHOOK hook_;
};

struct Ran {
    DWORD exitCode = 0;
    bool timedOut = false;
    std::string output;
};

// Runs a command line with its standard output in a pipe, ending it after timeoutMs.
Ran RunCaptured(std::string commandLine, DWORD timeoutMs);

// Starts a command line (standard handles inherited); throws Failed when it cannot.
ov::UniqueHandle Start(std::string commandLine);

}  // namespace bench
