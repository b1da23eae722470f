// ovlog: reads OVCILog.txt files (or a folder of them, one per workstation, each named after its
// workstation) and prints their records as a table, CSV or JSON, or a summary of them.
//
// Exit codes: 0 done, 1 a command line it refuses, 2 an input it could not read (the others are
// still read and printed).
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "log_reader.h"
#include "log_report.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#endif

namespace fs = std::filesystem;
using namespace ovlog;

namespace {

const char kUsage[] =
    "Usage: ovlog [options] <log file or folder>...\n"
    "  Reads OVCILog.txt files, or every file of a folder of them named after their\n"
    "  workstations (WS-0042.txt), or standard input for \"-\", and prints their records.\n"
    "  --format table|csv|json  how to print the records (default table)\n"
    "  --summary                count the records per HRESULT and per workstation instead\n"
    "  --since YYYY-MM-DD[ HH:MM[:SS]]  only records written at or after that local time\n"
    "  --hresult CODE           only records of this HRESULT (hexadecimal, 80070002); repeatable\n"
    "  --module NAME            only records from this source module (OVCustInst); repeatable\n"
    "  Parts of the files that are not whole records are skipped and counted on standard\n"
    "  error (in the summary with --summary).\n";

struct Input {
    std::string name;  // as given, or the folder's file
    fs::path path;     // empty: standard input
    std::string workstation;
};

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// The file's base name; "-" for the log's own name, which tells no workstation.
std::string WorkstationOf(const fs::path& file) {
    std::string name = file.filename().string();
    std::transform(name.begin(), name.end(), name.begin(), Lower);
    return name == "ovcilog.txt" ? "-" : file.stem().string();
}

#ifdef _WIN32
// The log holds text in the writer's ANSI code page; JSON is UTF-8.
std::string AnsiToUtf8(const std::string& s) {
    if (s.empty() || s.size() > 0x7FFFFFFF) return s;
    const int n = static_cast<int>(s.size());
    std::wstring wide(s.size(), L'\0');
    const int w = MultiByteToWideChar(CP_ACP, 0, s.data(), n, &wide[0], n);
    if (w <= 0) return s;
    std::string out(static_cast<std::size_t>(w) * 3, '\0');
    const int u = WideCharToMultiByte(CP_UTF8, 0, wide.data(), w, &out[0], w * 3, nullptr, nullptr);
    return u > 0 ? out.substr(0, static_cast<std::size_t>(u)) : s;
}
#endif

void ToUtf8(std::vector<Record>& records) {
#ifdef _WIN32
    for (Record& r : records) {
        for (std::string* s : {&r.workstation, &r.module, &r.reason}) *s = AnsiToUtf8(*s);
        for (Pair& p : r.pairs) p.label = AnsiToUtf8(p.label), p.value = AnsiToUtf8(p.value);
    }
#else
    (void)records;
#endif
}

bool ReadAll(std::istream& in, LogReader& reader) {
    std::vector<char> buffer(1 << 16);
    while (in) {
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        reader.Feed(buffer.data(), static_cast<std::size_t>(in.gcount()));
    }
    reader.Finish();
    return !in.bad();
}

int Refuse(const std::string& why) {
    std::cerr << "ovlog: " << why << "\n" << kUsage;
    return 1;
}

int Run(int argc, char** argv) {
    Filter filter;
    std::string format = "table";
    bool summary = false, optionsEnd = false;
    std::vector<std::string> names;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i], value;
        if (optionsEnd || arg.size() < 2 || arg[0] != '-') {
            names.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnd = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") return std::cout << kUsage, 0;
        if (arg == "--summary") {
            summary = true;
            continue;
        }
        const std::size_t equals = arg.find('=');
        if (equals != std::string::npos) value = arg.substr(equals + 1), arg.erase(equals);
        if (arg != "--format" && arg != "--since" && arg != "--hresult" && arg != "--module")
            return Refuse("unknown option " + arg);
        if (equals == std::string::npos && i + 1 < argc) value = argv[++i];
        else if (equals == std::string::npos) return Refuse(arg + " needs a value");
        std::uint32_t code = 0;
        if (arg == "--format" && (value == "table" || value == "csv" || value == "json")) format = value;
        else if (arg == "--since" && ParseStamp(value, &filter.since)) filter.hasSince = true;
        else if (arg == "--hresult" && ParseCode(value, &code)) filter.codes.push_back(code);
        else if (arg == "--module" && !value.empty()) filter.modules.push_back(value);
        else return Refuse("cannot use " + arg + " '" + value + "'");
    }
    if (names.empty()) return Refuse("no log file or folder given");

    std::vector<Input> inputs;
    int status = 0;
    for (const std::string& name : names) {
        std::error_code error;
        const fs::path path(name);
        if (name == "-") {
            inputs.push_back({name, {}, "-"});
        } else if (fs::is_directory(path, error)) {
            std::vector<Input> files;
            for (fs::directory_iterator it(path, error), end; !error && it != end; it.increment(error))
                if (it->is_regular_file(error))
                    files.push_back({it->path().string(), it->path(), WorkstationOf(it->path())});
            if (error) {
                std::cerr << "ovlog: cannot read the folder '" << name << "': " << error.message() << "\n";
                status = 2;
            }
            std::sort(files.begin(), files.end(), [](const Input& a, const Input& b) { return a.name < b.name; });
            inputs.insert(inputs.end(), files.begin(), files.end());
        } else {
            inputs.push_back({name, path, WorkstationOf(path)});
        }
    }

    std::vector<Record> records;
    Summary counts;
    for (const Input& input : inputs) {
        LogReader reader(input.workstation, [&](Record&& r) {
            if (!filter.Accepts(r)) return;
            if (summary) counts.Add(r);
            else records.push_back(std::move(r));
        });
        std::ifstream file;
        if (!input.path.empty()) file.open(input.path, std::ios::binary);
        if ((!input.path.empty() && !file) || !ReadAll(input.path.empty() ? std::cin : file, reader)) {
            std::cerr << "ovlog: cannot read '" << input.name << "'\n";
            status = 2;
        }
        counts.AddSkipped(input.workstation, reader.Skipped());
        if (!summary && reader.Skipped())
            std::cerr << "ovlog: " << input.name << ": fragments skipped (not whole records): " << reader.Skipped()
                      << "\n";
    }

    if (format == "json") ToUtf8(records);
    const std::string out = summary ? counts.Format()
                            : format == "csv"  ? FormatCsv(records)
                            : format == "json" ? FormatJson(records)
                                               : FormatTable(records);
    std::cout << out << std::flush;
    return std::cout ? status : 2;
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    _setmode(_fileno(stdin), _O_BINARY);  // the CRs of the log are part of what it says
#endif
    try {
        return Run(argc, argv);
    } catch (const std::exception& e) {
        std::cerr << "ovlog: " << e.what() << "\n";
        return 2;
    }
}
