// What the measures of ov_bench share beyond the support kit of the tests (the sandbox, registry
// values, files and folders, boxes closed at once): timing in turns, medians, child processes
// with their output.
#pragma once

#include <windows.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <vector>

#include "framework/unique_any.h"
#include "support/test_support.h"

namespace bench {

using ovtest::ReadFileText;
using ovtest::RemoveTree;
using ovtest::WriteFileText;

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
