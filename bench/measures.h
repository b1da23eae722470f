// The rows of the table and the measures that fill them.
#pragma once

#include <exception>
#include <string>
#include <vector>

#include "OVCustInstSrv_h.h"
#include "support.h"

namespace bench {

// Where the benchmark works, and what it is given.
struct Sandbox {
    std::string root;     // everything the benchmark writes (the install path): removed at the end
    std::string install;  // HKLM\SOFTWARE\Orvanta InstallPath: Wkstn.ini, OVCILog.txt, Pellar\*.inf
    std::string local;    // DOSInstallPath (Init adds "\Pellar")
    std::string server;   // the script server the first Init sets up
    std::string scripts;  // the folder of late_bound.js and late_bound.vbs
    std::string self;     // this program, started again for the concurrent writers
    std::string seeBench, ovpack, work;  // the extraction benchmark and its inputs
    int runs = 5;
};

struct Row {
    std::string measure;
    double ours = 0, reference = 0;  // seconds per operation: medians of the runs
    double goal = 0;             // the ratio the project aims at or below; 0 for none
    std::string counts;          // a row of counts instead of times
    bool countsOk = true;
    std::string error;           // the measure failed: why
    std::string skipped;         // the measure was not asked for: why
};

// A row from a measure that returns Samples; a failure ends only that measure.
template <class Measure>
Row TimedRow(std::string measure, double goal, Measure&& run) {
    Row row;
    row.measure = std::move(measure);
    row.goal = goal;
    try {
        const Samples s = run();
        row.ours = Median(s.ours);
        row.reference = Median(s.reference);
    } catch (const std::exception& e) {
        row.error = e.what();
    }
    return row;
}

// In this process, through the control's own interface (early-bound).
Row MeasureInit(const Sandbox& box, IOVCustInst* control);
Row MeasureLogRecord(const Sandbox& box);
Row MeasureCopyFile(const Sandbox& box, IOVCustInst* control);
Row MeasureCreateDir(const Sandbox& box, IOVCustInst* control);
Row MeasureInfCopy(const Sandbox& box, IOVCustInst* control);

// In other processes: the script host, the extraction benchmark, the concurrent writers.
std::vector<Row> MeasureScripts(const Sandbox& box);
Row MeasureExtraction(const Sandbox& box);
Row MeasureConcurrentLog(const Sandbox& box);

// The child side of MeasureConcurrentLog: ov_bench --log-writer <child> <records> <start> <ready>.
int LogWriter(int argc, char** argv);

}  // namespace bench
