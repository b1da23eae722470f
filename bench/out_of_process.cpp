// The measures made in other processes: late binding under the script host, the package
// extraction benchmark, and eight writers appending to one log at once.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "diagnostics/OVCILog.h"
#include "logreader/log_reader.h"
#include "measures.h"

namespace bench {
namespace {

constexpr DWORD kScriptTimeoutMs = 5 * 60 * 1000;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    for (char c : text) {
        if (c == '\r') continue;
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
        } else {
            line += c;
        }
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

// Runs one mode of a script that times itself: it prints "round <ours ms> <reference ms>"
// for every counted round and "done" at the end. Times come back per operation.
Samples RunScript(const Sandbox& box, const char* script, const char* mode, int iterations) {
    const std::string command = "cscript.exe //nologo \"" + box.scripts + "\\" + script + "\" " + mode + " " +
                                std::to_string(iterations) + " " + std::to_string(box.runs);
    const Ran ran = RunCaptured(command, kScriptTimeoutMs);
    if (ran.timedOut) throw Failed(std::string(script) + " " + mode + " did not end (a message box?)");
    Samples s;
    bool done = false;
    for (const std::string& line : Lines(ran.output)) {
        double ours = 0, reference = 0;
        if (std::sscanf(line.c_str(), "round %lf %lf", &ours, &reference) == 2) {
            s.ours.push_back(ours / 1000 / iterations);
            s.reference.push_back(reference / 1000 / iterations);
        } else if (line == "done") {
            done = true;
        }
    }
    if (!done || s.ours.size() != static_cast<std::size_t>(box.runs) || ran.exitCode != 0) {
        std::string said = ran.output.substr(0, 300);
        said.erase(std::remove(said.begin(), said.end(), '\r'), said.end());
        std::replace(said.begin(), said.end(), '\n', ' ');
        throw Failed(std::string(script) + " " + mode + " (exit " + std::to_string(ran.exitCode) + "): " + said);
    }
    return s;
}

struct LogCount {
    int found = 0, torn = 0;
};

// The writers' records in the log, read with the log reader's parser: a record counts when it
// is exactly what its writer reported, each writer and record number once; one that differs,
// and anything the parser skips, is torn.
LogCount CountRecords(const std::string& logText, std::string reason) {
    while (!reason.empty() && (reason.back() == '\r' || reason.back() == '\n')) reason.pop_back();
    const ovlog::ParsedLog log = ovlog::ParseLog(logText, "");
    LogCount count;
    count.torn = static_cast<int>(log.skipped);
    std::set<std::pair<std::string, std::string>> seen;
    for (const ovlog::Record& r : log.records) {
        const bool whole = r.module == "bench" && r.line == 1 && r.code == static_cast<std::uint32_t>(E_INVALIDARG) &&
                           r.reason == reason && r.pairs.size() == 2 && r.pairs[0].label == "writer" &&
                           r.pairs[1].label == "record";
        if (whole && seen.insert({r.pairs[0].value, r.pairs[1].value}).second)
            ++count.found;
        else
            ++count.torn;
    }
    return count;
}

}  // namespace

std::vector<Row> MeasureScripts(const Sandbox& box) {
    constexpr int kReads = 20000, kVbReads = 100000, kCreations = 2000;
    // VBScript's Timer is a single-precision count of seconds since midnight: it moves in steps
    // of up to 7.8 ms, hence five times the reads.
    return {
        TimedRow("JScript: c.ServerPath | fso.GetDriveName", 0.80,
                 [&] { return RunScript(box, "late_bound.js", "read", kReads); }),
        TimedRow("VBScript: c.ServerPath | fso.GetDriveName", 0,
                 [&] { return RunScript(box, "late_bound.vbs", "read", kVbReads); }),
        TimedRow("JScript: new control, ServerPath | new FSO, GetDriveName", 1.00,
                 [&] { return RunScript(box, "late_bound.js", "create", kCreations); }),
    };
}

Row MeasureExtraction(const Sandbox& box) {
    return TimedRow("Package program | extrac32, 50 MB in 1,000 files", 0.60, [&] {
        const Ran ran = RunCaptured("\"" + box.seeBench + "\" \"" + box.ovpack + "\" \"" + box.work + "\" " +
                                        std::to_string(box.runs),
                                    30 * 60 * 1000);
        Samples s;
        double ours = 0, reference = 0, best = 0;
        bool same = false;
        for (const std::string& line : Lines(ran.output)) {
            std::sscanf(line.c_str(), " package program %lf s (%lf s)", &ours, &best);
            std::sscanf(line.c_str(), " extrac32 %lf s (%lf s)", &reference, &best);
            if (line.find("both unpacked the same") != std::string::npos) same = line.find(": yes") != std::string::npos;
        }
        if (ran.timedOut || ran.exitCode != 0 || ours <= 0 || reference <= 0)
            throw Failed("see_bench failed (exit " + std::to_string(ran.exitCode) + ")");
        if (!same) throw Failed("the two extractions differ");
        // see_bench prints the medians of its runs, taken in turns.
        s.ours.push_back(ours);
        s.reference.push_back(reference);
        return s;
    });
}

Row MeasureConcurrentLog(const Sandbox& box) {
    constexpr int kWriters = 8, kRecords = 1000;
    Row row;
    row.measure = "8 processes x 1,000 log records: expected / found / torn";
    try {
        ov::OVCILog log;
        if (!log.LogEnabled) throw Failed("the log is off");
        DeleteFileA(log.LogFilePath);

        const std::string tag = std::to_string(GetCurrentProcessId());
        const std::string startName = "ov-bench-start-" + tag, readyName = "ov-bench-ready-" + tag;
        ov::UniqueHandle start(CreateEventA(nullptr, TRUE, FALSE, startName.c_str()));
        ov::UniqueHandle ready(CreateSemaphoreA(nullptr, 0, kWriters, readyName.c_str()));
        if (!start || !ready) throw Failed("cannot make the start event");
        std::vector<ov::UniqueHandle> writers;
        for (int i = 0; i < kWriters; ++i)
            writers.push_back(Start("\"" + box.self + "\" --log-writer " + std::to_string(i) + " " +
                                    std::to_string(kRecords) + " " + startName + " " + readyName));
        // Every writer waits at the start line before any of them writes.
        for (int i = 0; i < kWriters; ++i)
            if (WaitForSingleObject(ready.Get(), 60000) != WAIT_OBJECT_0) throw Failed("the writers did not start");
        Stopwatch watch;
        SetEvent(start.Get());
        HANDLE handles[kWriters];
        for (int i = 0; i < kWriters; ++i) handles[i] = writers[i].Get();
        if (WaitForMultipleObjects(kWriters, handles, TRUE, 10 * 60 * 1000) != WAIT_OBJECT_0) {
            for (HANDLE h : handles) TerminateProcess(h, 1);
            throw Failed("the writers did not end");
        }
        row.ours = watch.Seconds();
        for (HANDLE h : handles) {
            DWORD code = 1;
            GetExitCodeProcess(h, &code);
            if (code != 0) throw Failed("a writer failed with exit code " + std::to_string(code));
        }

        char* reason = nullptr;
        FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, static_cast<DWORD>(E_INVALIDARG), 0x0400, reinterpret_cast<char*>(&reason), 0,
                       nullptr);
        ov::UniqueLocal reasonOwner(reason);
        const LogCount count = CountRecords(ReadFileText(log.LogFilePath), reason ? reason : "");
        DeleteFileA(log.LogFilePath);
        const int expected = kWriters * kRecords;
        row.counts = std::to_string(expected) + " / " + std::to_string(count.found) + " / " + std::to_string(count.torn);
        row.countsOk = count.found == expected && count.torn == 0;
    } catch (const std::exception& e) {
        row.error = e.what();
    }
    return row;
}

int LogWriter(int argc, char** argv) {
    if (argc < 6) return 2;
    const std::string writer = argv[2];
    const int records = std::atoi(argv[3]);
    ov::UniqueHandle start(OpenEventA(SYNCHRONIZE, FALSE, argv[4]));
    ov::UniqueHandle ready(OpenSemaphoreA(SEMAPHORE_MODIFY_STATE, FALSE, argv[5]));
    if (!start || !ready) return 3;
    ov::OVCILog log;  // reads the install path now, not while the others write
    if (!log.LogEnabled) return 4;
    ReleaseSemaphore(ready.Get(), 1, nullptr);
    if (WaitForSingleObject(start.Get(), 60000) != WAIT_OBJECT_0) return 5;
    for (int i = 0; i < records; ++i) {
        const std::string record = std::to_string(i);
        log.Report(E_INVALIDARG, ov::Place{"bench", 1}, ov::Box::Hidden, "writer: ", writer.c_str(), "record: ",
                   record.c_str());
    }
    return 0;
}

}  // namespace bench
