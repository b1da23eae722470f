// ov_bench: what the control costs against the plainest way to the same result, in one table.
// Every time is the median of the runs, taken in turns (ours, reference, ours, ...) after one
// round that is not counted; the ratio is ours / reference. bench/run.sh builds and runs it.
//
//   ov_bench [--runs N] [--scripts <folder of late_bound.js/.vbs>]
//            [--see-bench <see_bench.exe> --ovpack <ovpack.exe> --work <folder>]
//   ov_bench --log-writer <writer> <records> <start event> <ready semaphore>   (a child of its own)
//
// It registers the server, and the registry points at a sandbox of its own (HKLM\SOFTWARE\Orvanta
// InstallPath and DOSInstallPath) while it runs; both values are put back and the sandbox removed
// at the end.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "framework/ansi_text.h"
#include "measures.h"

namespace bench {
namespace {

struct Options {
    int runs = 5;
    std::string scripts, seeBench, ovpack, work;
};

bool ParseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i], value = argv[i + 1];
        if (name == "--runs")
            o.runs = std::max(5, std::atoi(value.c_str()));  // a median of at least five
        else if (name == "--scripts")
            o.scripts = value;
        else if (name == "--see-bench")
            o.seeBench = value;
        else if (name == "--ovpack")
            o.ovpack = value;
        else if (name == "--work")
            o.work = value;
        else
            return false;
    }
    return argc % 2 == 1;
}

// A time in the unit that suits the larger time of its row, with three significant digits.
std::string Shown(double seconds, double rowLargest) {
    const double scale = rowLargest < 1e-3 ? 1e6 : rowLargest < 1 ? 1e3 : 1;
    const char* unit = rowLargest < 1e-3 ? "us" : rowLargest < 1 ? "ms" : "s";
    const double v = seconds * scale;
    char text[32];
    std::snprintf(text, sizeof text, v < 10 ? "%.2f %s" : v < 100 ? "%.1f %s" : "%.0f %s", v, unit);
    return text;
}

// Returns whether every row asked for measured (a goal missed does not count: the table
// says so).
bool PrintTable(const std::vector<Row>& rows, int runs) {
    std::printf("\nMedians of %d runs taken in turns; ratio = ours / reference; times per call (INF copy and\n"
                "package: per whole run).\n\n",
                runs);
    const char* kFormat = "%-58s %-10s %-10s %-6s %s\n";
    std::printf(kFormat, "Measure: ours | reference", "Ours", "Reference", "Ratio", "Goal");
    std::printf("%s\n", std::string(58 + 1 + 10 + 1 + 10 + 1 + 6 + 1 + 14, '-').c_str());
    bool ok = true;
    for (const Row& row : rows) {
        if (!row.skipped.empty()) {
            std::printf("%-58s %s\n", row.measure.c_str(), row.skipped.c_str());
        } else if (!row.error.empty()) {
            std::printf("%-58s failed: %s\n", row.measure.c_str(), row.error.c_str());
            ok = false;
        } else if (!row.counts.empty()) {
            char note[48];
            std::snprintf(note, sizeof note, "%s (%s)", row.countsOk ? "all whole" : "LOST OR TORN",
                          Shown(row.ours, row.ours).c_str());
            std::printf("%-58s %-28s %s\n", row.measure.c_str(), row.counts.c_str(), note);
            ok = ok && row.countsOk;
        } else {
            const double ratio = row.ours / row.reference, largest = std::max(row.ours, row.reference);
            char ratioText[16], goalText[32] = "";
            std::snprintf(ratioText, sizeof ratioText, "%.2fx", ratio);
            if (row.goal > 0)
                std::snprintf(goalText, sizeof goalText, "<= %.2fx %s", row.goal, ratio <= row.goal ? "met" : "NOT met");
            std::printf(kFormat, row.measure.c_str(), Shown(row.ours, largest).c_str(),
                        Shown(row.reference, largest).c_str(), ratioText, goalText);
        }
    }
    return ok;
}

// Makes the workstation of the sandbox: its package lists, then a first Init that sets the
// layout up on the sandbox's server, and the installed versions a package install records.
// Every later Init takes the configured branch.
void SetUpWorkstation(const Sandbox& box, IOVCustInst* control) {
    for (const std::string& dir : {box.install + "\\Pellar", box.local}) CreateDirectoryA(dir.c_str(), nullptr);
    if (!WriteFileText(box.install + "\\Pellar\\OVMLSInstall.inf",
                       "[ORVAN]\r\nSEE=MLS5.2.exe\r\nMLVer=5.2\r\nMLReadMe=MLReadMe.txt\r\n") ||
        !WriteFileText(box.install + "\\Pellar\\OVMLDInstall.inf",
                       "[ORVAN]\r\nSEE=MLD5.2.exe\r\nMLDVer=5.2\r\nMLReadMeDev=MLReadMeDev.txt\r\n"))
        throw Failed("cannot write the package lists");
    Check(control->SetScriptServer(ov::MakeBstr(box.server.c_str()).Get()), "SetScriptServer");
    Check(control->Init(), "the first Init");
    const std::string orvan = box.server + "\\Orvan.ini";
    WritePrivateProfileStringA("Scripting", "MLVer", "5.2", orvan.c_str());
    WritePrivateProfileStringA("Scripting", "MLDVer", "5.2", orvan.c_str());
    Check(control->Init(), "Init on the set-up workstation");
    ov::BStr server;
    Check(control->get_ServerPath(server.Put()), "ServerPath");
    if (server.Length() == 0) throw Failed("Init left ServerPath empty");
}

int Main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr,
                     "Usage: ov_bench [--runs N] [--scripts <folder>] [--see-bench <exe> --ovpack <exe> --work "
                     "<folder>]\n");
        return 2;
    }
    Sandbox box;
    box.runs = options.runs;
    box.scripts = options.scripts;
    box.seeBench = options.seeBench;
    box.ovpack = options.ovpack;
    box.work = options.work;
    char self[MAX_PATH + 1] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    box.self = self;

    int boxes = 0;
    ovtest::StrayBoxes closeBoxes([&](const ovtest::ShownWindow& shown) {
        ++boxes;
        std::fprintf(stderr, "a box, closed: \"%s\": %s\n", shown.title.c_str(), shown.text.c_str());
    });
    auto progress = [](const char* what) { std::fprintf(stderr, "measuring: %s\n", what); };

    // First, while nothing of ours is in the registry: see_bench points InstallPath at its own
    // folder while it runs and puts back what it found.
    Row extraction;
    extraction.measure = "Package program | extrac32, 50 MB in 1,000 files";
    extraction.skipped = "not measured (no --see-bench)";
    if (!box.seeBench.empty()) {
        progress("package extraction");
        extraction = MeasureExtraction(box);
    }

    std::vector<Row> rows;
    int status = 0;
    try {
        if (ovtest::RegisterServer() != 0) throw Failed("registering " + ovtest::DllPath() + " failed");
        ovtest::InstallSandbox sandbox;  // InstallPath
        ovtest::RegistryValueGuard dosPath{"SOFTWARE\\Orvanta", "DOSInstallPath"};
        box.root = box.install = sandbox.Path();
        box.local = sandbox / "local";
        box.server = sandbox / "server";
        dosPath.Set(box.local);
        const ov::ComPtr<IOVCustInst> control = ovtest::CreateControl();
        SetUpWorkstation(box, control.Get());

        if (box.scripts.empty()) {
            Row skipped;
            skipped.measure = "JScript and VBScript rows";
            skipped.skipped = "not measured (no --scripts)";
            rows.push_back(skipped);
        } else {
            progress("late binding under cscript");
            for (Row& row : MeasureScripts(box)) rows.push_back(row);
        }
        progress("Init");
        rows.push_back(MeasureInit(box, control.Get()));
        progress("log record");
        rows.push_back(MeasureLogRecord(box));
        progress("CopyFile and CreateDir");
        rows.push_back(MeasureCopyFile(box, control.Get()));
        rows.push_back(MeasureCreateDir(box, control.Get()));
        progress("INF copy");
        rows.push_back(MeasureInfCopy(box, control.Get()));
        rows.push_back(extraction);
        progress("8 concurrent log writers");
        rows.push_back(MeasureConcurrentLog(box));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "ov_bench: %s\n", e.what());
        status = 1;
    }
    if (std::none_of(rows.begin(), rows.end(), [&](const Row& r) { return r.measure == extraction.measure; }))
        rows.push_back(extraction);

    if (!PrintTable(rows, box.runs)) status = 1;
    if (boxes > 0) {
        std::printf("\n%d message box(es) appeared and were closed: some measure reported with a box.\n", boxes);
        status = 1;
    }
    return status;
}

}  // namespace
}  // namespace bench

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--log-writer") == 0) return bench::LogWriter(argc, argv);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const int status = bench::Main(argc, argv);
    CoUninitialize();
    return status;
}
