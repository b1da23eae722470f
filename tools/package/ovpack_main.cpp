// The package builder: packs a source folder into a package program of one kind and writes the
// INF the server reads beside it.
//
//   ovpack <kind> <version> <source folder> <output folder> [<read-me file name>]
//
// Exit codes: 0 done, 1 input it refuses (told on stderr, nothing written), 2 a failure while
// writing.
#include "cabinet_writer.h"
#include "package.h"

#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>

using namespace ovpkg;

namespace {

class Refusal : public Failure {
public:
    using Failure::Failure;
};

// How to call the builder, with each kind as the package table describes it.
std::string Usage() {
    std::string text = "Usage: ovpack <kind> <version> <source folder> <output folder> [<read-me file name>]\n";
    for (const KindInfo& k : ov::kPackageKinds) {
        std::string argument = k.argument;
        argument.resize(8, ' ');
        text += (text.find("kind:") == std::string::npos ? "  kind: " : "        ") + argument + "(" +
                k.description + ", " + k.namePrefix + "<version>.exe, " + k.infName + " " + k.see->key +
                (k.readMeKey ? std::string(", read-me ") + k.readMeDefault + " unless named" : "") + ")\n";
    }
    return text + "  The read-me file name goes into the INF of the kinds that have one.\n";
}

// Every file below root, by its name relative to root, in name order; counts their bytes.
void Collect(const std::wstring& root, const std::wstring& relative, std::vector<CabEntry>& out,
             unsigned long long& bytes) {
    WIN32_FIND_DATAW found;
    ov::UniqueFind search(FindFirstFileW((root + relative + L"*").c_str(), &found));
    if (!search) {
        if (GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_NO_MORE_FILES) return;
        ThrowLastError("cannot read the folder '" + Narrow(root + relative) + "'");
    }
    std::vector<std::pair<std::wstring, bool>> names;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        names.push_back({name, (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
        if (!names.back().second)
            bytes += static_cast<unsigned long long>(found.nFileSizeHigh) << 32 | found.nFileSizeLow;
    } while (FindNextFileW(search.Get(), &found));
    std::sort(names.begin(), names.end(),
              [](const auto& a, const auto& b) { return _wcsicmp(a.first.c_str(), b.first.c_str()) < 0; });
    for (const auto& [name, folder] : names) {
        if (folder)
            Collect(root, relative + name + L"\\", out, bytes);
        else
            out.push_back({root + relative + name, relative + name});
    }
}

std::wstring FullPath(const std::wstring& path) {
    wchar_t full[MAX_PATH] = {};
    const DWORD n = GetFullPathNameW(path.c_str(), MAX_PATH, full, nullptr);
    if (n == 0 || n >= MAX_PATH) throw Refusal("the path '" + Narrow(path) + "' is too long");
    std::wstring s = full;
    while (s.size() > 3 && s.back() == L'\\') s.pop_back();
    return s;
}

// The package program this builder carries.
std::string PackageProgram() {
    HRSRC found = FindResourceW(nullptr, L"PACKAGE_PROGRAM", MAKEINTRESOURCEW(10));  // RT_RCDATA
    HGLOBAL loaded = found ? LoadResource(nullptr, found) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data) ThrowLastError("cannot find the package program inside ovpack");
    std::string program(static_cast<const char*>(data), SizeofResource(nullptr, found));
    // The cabinet is found where the image ends: the program must end there too.
    if (ImageEnd(reinterpret_cast<const BYTE*>(program.data()), program.size()) != program.size())
        throw Failure("the package program inside ovpack is not a stripped image");
    return program;
}

void WriteInfValue(const std::wstring& inf, const char* key, const std::string& value) {
    if (!WritePrivateProfileStringW(L"ORVAN", Widen(key).c_str(), Widen(value).c_str(), inf.c_str()))
        ThrowLastError("cannot write " + std::string(key) + " into '" + Narrow(inf) + "'");
}

int Build(int argc, wchar_t** argv) {
    if (argc < 5 || argc > 6) throw Refusal("wrong number of arguments\n" + Usage());
    const KindInfo* kind = FindKind(Narrow(argv[1]));
    if (!kind) throw Refusal("unknown kind '" + Narrow(argv[1]) + "': use one of " + KindArguments());
    const std::string version = Narrow(argv[2]);
    std::string why = CheckNameText(version);
    if (!why.empty() || Widen(version) != argv[2])
        throw Refusal("the version '" + version + "' cannot be part of a file name: " +
                      (why.empty() ? "it holds a character other than printable ASCII" : why));
    std::string readMe = kind->readMeDefault ? kind->readMeDefault : "";
    if (argc == 6) {
        if (!kind->readMeKey) throw Refusal(std::string("a package of kind ") + kind->argument + " has no read-me");
        readMe = Narrow(argv[5]);
        why = CheckNameText(readMe);
        if (!why.empty() || Widen(readMe) != argv[5])
            throw Refusal("the read-me name '" + readMe +
                          "' is no plain file name: " + (why.empty() ? "not ASCII" : why));
    }
    const std::wstring source = FullPath(argv[3]);
    const DWORD attributes = GetFileAttributesW(source.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        throw Refusal("the source folder '" + Narrow(source) + "' does not exist");
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) throw Refusal("the source '" + Narrow(source) + "' is not a folder");
    std::vector<CabEntry> entries;
    unsigned long long bytes = 0;
    Collect(source + (source.back() == L'\\' ? L"" : L"\\"), L"", entries, bytes);
    if (entries.empty()) throw Refusal("the source folder '" + Narrow(source) + "' holds no files");
    if (entries.size() > kMaxCabinetFiles)
        throw Refusal("the source folder '" + Narrow(source) + "' holds " + std::to_string(entries.size()) +
                      " files: a package holds at most " + std::to_string(kMaxCabinetFiles));

    const std::wstring output = FullPath(argv[4]);
    const int made = SHCreateDirectoryExW(nullptr, output.c_str(), nullptr);
    if (made != ERROR_SUCCESS && made != ERROR_ALREADY_EXISTS && made != ERROR_FILE_EXISTS)
        throw Failure("cannot make the output folder '" + Narrow(output) +
                      "': " + SystemText(static_cast<DWORD>(made)));
    const std::string name = kind->namePrefix + version + ".exe";
    const std::wstring package = output + L"\\" + Widen(name);
    const std::wstring inf = output + L"\\" + Widen(kind->infName);

    const std::string program = PackageProgram();
    TempFile cabinet(package + L".cab.tmp");
    WriteCabinet(entries, cabinet.Path());
    WritePackage(program, cabinet.Path(), MakeTag(kind->kind, version), package);
    // Only the keys of this kind: the two editor packages share their INF.
    WriteInfValue(inf, kind->see->key, name);
    if (kind->versionKey) WriteInfValue(inf, kind->versionKey, version);
    if (kind->readMeKey) WriteInfValue(inf, kind->readMeKey, readMe);
    WritePrivateProfileStringW(nullptr, nullptr, nullptr, inf.c_str());  // flushes the cache

    std::printf("wrote %s (%s %s: %zu files, %llu bytes) and %s\n", Narrow(package).c_str(), kind->description,
                version.c_str(), entries.size(), bytes, Narrow(inf).c_str());
    return 0;
}

}  // namespace

int main() {
    int argc = 0;
    ov::UniqueLocal owned(CommandLineToArgvW(GetCommandLineW(), &argc));
    try {
        if (!owned) ThrowLastError("cannot read the command line");
        return Build(argc, static_cast<wchar_t**>(owned.Get()));
    } catch (const Refusal& e) {
        std::fprintf(stderr, "ovpack: %s\n", e.what());
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "ovpack: %s\n", e.what());
        return 2;
    }
}
