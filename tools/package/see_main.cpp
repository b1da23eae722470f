// The package program. A cabinet follows its own image; started with "/auto <destination>"
// it unpacks every file there and only then leaves its kind's marker file in the install path
// (HKLM\SOFTWARE\Orvanta, InstallPath). Started without "/auto" it tells what it holds.
// Exit codes: 0 done, 1 a command line it cannot use, 2 any other failure (told on stderr,
// and no marker is left).
#include <cstdio>
#include <cstring>

#include "extractor.h"
#include "package.h"

using namespace ovpkg;

namespace {

std::wstring OwnPath() {
    wchar_t path[MAX_PATH + 1] = {};
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH + 1);
    if (n == 0 || n > MAX_PATH) throw Failure("cannot find this program's own file");
    return path;
}

std::string OwnName(const std::wstring& path) { return Narrow(path.substr(path.find_last_of(L'\\') + 1)); }

// The raw command line is the program path, blanks, "/auto", one blank and the destination,
// which may hold blanks and is not quoted: it is everything after "/auto ". False without
// "/auto".
bool FindDestination(const char* commandLine, std::string& destination) {
    for (const char* p = commandLine; (p = std::strchr(p, '/')) != nullptr; ++p) {
        if (p == commandLine || (p[-1] != ' ' && p[-1] != '\t') || _strnicmp(p, "/auto", 5) != 0) continue;
        if (p[5] != '\0' && p[5] != ' ' && p[5] != '\t') continue;
        destination = p + 5;
        destination.erase(0, destination.find_first_not_of(" \t"));
        destination.erase(destination.find_last_not_of(" \t") + 1);
        // Typed by hand it may come quoted.
        if (destination.size() >= 2 && destination.front() == '"' && destination.back() == '"')
            destination = destination.substr(1, destination.size() - 2);
        return true;
    }
    return false;
}

// The marker's path: the install path read from the registry, bounded by MAX_PATH.
std::wstring MarkerPath(const KindInfo& kind) {
    wchar_t install[MAX_PATH] = {};
    DWORD size = sizeof install;
    const LSTATUS status =
        RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Orvanta", L"InstallPath", RRF_RT_REG_SZ, nullptr, install, &size);
    if (status != ERROR_SUCCESS)
        throw Failure("cannot read the install path (HKLM\\SOFTWARE\\Orvanta, InstallPath): " +
                      SystemText(static_cast<DWORD>(status)));
    std::wstring path = install;
    if (path.empty()) throw Failure("the install path (HKLM\\SOFTWARE\\Orvanta, InstallPath) is empty");
    if (path.back() != L'\\') path += L'\\';
    path += Widen(kind.marker);
    if (path.size() >= MAX_PATH) throw Failure("the marker's path '" + Narrow(path) + "' is too long");
    return path;
}

void Install(const Payload& payload, const std::wstring& destination) {
    const std::wstring marker = MarkerPath(*payload.kind);
    // A marker left from before must not stand for this run.
    if (!DeleteFileW(marker.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND)
        ThrowLastError("cannot remove the old marker '" + Narrow(marker) + "'");
    ExtractCabinet(payload, destination);
    UniqueHFile file(
        CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file || !CloseHandle(file.Detach())) ThrowLastError("cannot leave the marker '" + Narrow(marker) + "'");
}

void Describe(const Payload& payload, const std::string& self) {
    const std::vector<CabFile> files = ListCabinet(payload);
    unsigned long long total = 0;
    for (const CabFile& f : files) total += f.size;
    std::printf("%s: package of %s, version %s\n%zu files, %llu bytes:\n", self.c_str(), payload.kind->description,
                payload.version.c_str(), files.size(), total);
    for (const CabFile& f : files)
        std::printf("  %12lu  %s\n", static_cast<unsigned long>(f.size), Narrow(f.name).c_str());
    std::printf(
        "\nUsage: %s /auto <destination folder>\n"
        "  Unpacks every file into the destination folder (made if missing), replacing files\n"
        "  that exist, without asking; then leaves %s in the install path named by\n"
        "  HKLM\\SOFTWARE\\Orvanta, InstallPath. Exits 0 on success; otherwise says why and\n"
        "  leaves no %s.\n",
        self.c_str(), payload.kind->marker, payload.kind->marker);
}

}  // namespace

int main() {
    std::string self = "package";
    try {
        const std::wstring path = OwnPath();
        self = OwnName(path);
        const MappedFile image(path);
        const Payload payload = FindPayload(image.Data(), image.Size());
        std::string destination;
        if (!FindDestination(GetCommandLineA(), destination)) {
            Describe(payload, self);
            return 0;
        }
        if (destination.empty()) {
            std::fprintf(stderr, "%s: no destination folder after /auto\nUsage: %s /auto <destination folder>\n",
                         self.c_str(), self.c_str());
            return 1;
        }
        Install(payload, Widen(destination));
        return 0;
    } catch (const std::exception& e) {  // Failure, and out of memory
        std::fprintf(stderr, "%s: %s\n", self.c_str(), e.what());
        return 2;
    }
}
