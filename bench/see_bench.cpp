// Times the package program against Wine's own extrac32 on the same cabinet: about 50 MB in
// 1,000 files, each extracted into a fresh folder, and prints both times and their ratio.
//
//   see_bench <ovpack.exe> <work folder> [<runs>]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "package.h"
#include "support.h"

using namespace ovpkg;
using bench::Median;
using ovtest::RemoveTree;

namespace {

// Runs a command line to its end and returns its exit code and the seconds it took.
std::pair<DWORD, double> Timed(std::string commandLine) {
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        ThrowLastError("cannot start " + commandLine);
    UniqueHandle process(pi.hProcess), thread(pi.hThread);
    WaitForSingleObject(process.Get(), INFINITE);
    QueryPerformanceCounter(&end);
    DWORD code = 0;
    GetExitCodeProcess(process.Get(), &code);
    return {code, double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart)};
}

// Files below root by relative name, folders first-level too; for comparison.
void Walk(const std::string& root, const std::string& rel, std::vector<std::string>& files,
          std::vector<std::string>& folders) {
    WIN32_FIND_DATAA f;
    ov::UniqueFind find(FindFirstFileA((root + "\\" + rel + "*").c_str(), &f));
    for (bool more = bool(find); more; more = FindNextFileA(find.Get(), &f)) {
        const std::string name = f.cFileName;
        if (name == "." || name == "..") continue;
        if (f.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            Walk(root, rel + name + "\\", files, folders);
            folders.push_back(rel + name);
        } else {
            files.push_back(rel + name);
        }
    }
}

std::string ReadAll(const std::string& path) {
    MappedFile file(Widen(path));
    return std::string(reinterpret_cast<const char*>(file.Data()), file.Size());
}

void WriteAll(const std::string& path, const char* data, std::size_t size) {
    UniqueHFile file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD done = 0;
    if (!file || !WriteFile(file.Get(), data, static_cast<DWORD>(size), &done, nullptr) || done != size)
        ThrowLastError("cannot write '" + path + "'");
}

// 1,000 files in 25 folders, 10 to 95 KB each: two in three are text, one in three random bytes.
void MakeSource(const std::string& src) {
    std::vector<std::string> files, folders;
    Walk(src, "", files, folders);
    if (files.size() == 1000) return;
    RemoveTree(src);
    CreateDirectoryA(src.c_str(), nullptr);
    static const char* const kWords[] = {"SHOW ",  "CALL ", "REPORT ", "total ", "line ", "; ",
                                         "field ", "\r\n",  "screen ", "IF ",    "END ",  "value ",
                                         "42 ",    "name ", "DEFINE ", "\"x\" "};
    unsigned seed = 12345;
    auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 8; };
    for (int i = 0; i < 1000; ++i) {
        const std::string folder = src + "\\folder " + std::to_string(i % 25);
        CreateDirectoryA(folder.c_str(), nullptr);
        const std::size_t size = 10000 + next() % 85000;
        std::string text;
        while (text.size() < size)
            text += (i % 3 == 2) ? std::string(1, static_cast<char>(next())) : kWords[next() % 16];
        text.resize(size);
        WriteAll(folder + "\\script " + std::to_string(i) + ".asl", text.data(), text.size());
    }
}

int Bench(const std::string& ovpack, const std::string& work, int runs) {
    const std::string src = work + "\\src", out = work + "\\out", mine = work + "\\unpacked by package",
                      theirs = work + "\\unpacked by extrac32";
    std::printf("making the source files in %s ...\n", src.c_str());
    MakeSource(src);
    const auto built = Timed("\"" + ovpack + "\" scripts bench \"" + src + "\" \"" + out + "\"");
    if (built.first != 0) throw Failure("ovpack failed");
    const std::string package = out + "\\MLSbench.exe", cabinet = out + "\\bench.cab";
    // The same cabinet, on its own, for extrac32.
    const std::string bytes = ReadAll(package);
    const Payload payload = FindPayload(reinterpret_cast<const BYTE*>(bytes.data()), bytes.size());
    WriteAll(cabinet, reinterpret_cast<const char*>(payload.cabinet), payload.size);
    std::printf("package built in %.2f s: %zu bytes, cabinet %zu bytes\n", built.second, bytes.size(), payload.size);

    // The install path (where the package leaves its marker) points into the work folder while
    // the benchmark runs.
    ovtest::RegistryValueGuard installPath{"SOFTWARE\\Orvanta", "InstallPath"};
    installPath.Set(work);
    std::vector<double> mineTimes, theirTimes;
    for (int i = 0; i <= runs; ++i) {  // the first round warms the caches and is not counted
        // Each side's folder is removed just before its own run, so that each starts as soon
        // after removing 1,000 files as the other.
        RemoveTree(mine);
        const auto a = Timed("\"" + package + "\"  /auto " + mine);
        RemoveTree(theirs);
        const auto b = Timed("extrac32.exe /Y /E /L \"" + theirs + "\" \"" + cabinet + "\"");
        if (a.first != 0 || b.first != 0) throw Failure("an extraction failed");
        if (i > 0) mineTimes.push_back(a.second), theirTimes.push_back(b.second);
    }
    std::vector<std::string> files, folders, theirFiles, theirFolders;
    Walk(mine, "", files, folders);
    Walk(theirs, "", theirFiles, theirFolders);
    bool same = files.size() == 1000 && theirFiles.size() == 1000;
    for (const std::string& f : files) same = same && ReadAll(mine + "\\" + f) == ReadAll(theirs + "\\" + f);

    const double m = Median(mineTimes), t = Median(theirTimes);
    std::printf("%d runs, median (best)\n", runs);
    std::printf("  package program  %.3f s (%.3f s)\n", m, *std::min_element(mineTimes.begin(), mineTimes.end()));
    std::printf("  extrac32         %.3f s (%.3f s)\n", t, *std::min_element(theirTimes.begin(), theirTimes.end()));
    std::printf("  ratio            %.2fx (goal: at most 0.60x)\n", m / t);
    std::printf("  both unpacked the same %zu files: %s\n", files.size(), same ? "yes" : "NO");
    return same ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "Usage: see_bench <ovpack.exe> <work folder> [<runs>]\n");
        return 1;
    }
    try {
        return Bench(argv[1], argv[2], argc > 3 ? std::max(1, std::atoi(argv[3])) : 5);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "see_bench: %s\n", e.what());
        return 2;
    }
}
