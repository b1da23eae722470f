// Writing a package: the cabinet through the platform's FCI, then the program with it.
#pragma once

#include <string>
#include <vector>

#include "package.h"

namespace ovpkg {

struct CabEntry {
    std::wstring source;  // the file to store
    std::wstring name;    // its name in the cabinet, parts separated by backslashes
};

// The most files one cabinet can hold: its header counts them in 16 bits.
constexpr std::size_t kMaxCabinetFiles = 0xFFFF;

// Writes an MSZIP cabinet holding the entries in their order, with room for a package tag in
// its header; throws Failure (also for more than kMaxCabinetFiles entries).
void WriteCabinet(const std::vector<CabEntry>& entries, const std::wstring& cabPath);

// Writes program + cabinet (the tag put in the cabinet's reserved area) to a temporary file
// beside outPath and then moves it over outPath; throws Failure.
void WritePackage(const std::string& program, const std::wstring& cabPath, const PackageTag& tag,
                  const std::wstring& outPath);

// A file of the caller's deleted when it goes out of scope (unless kept).
class TempFile {
public:
    explicit TempFile(std::wstring path) : path_(std::move(path)) {}
    ~TempFile() {
        if (!path_.empty()) DeleteFileW(path_.c_str());
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    const std::wstring& Path() const { return path_; }
    void Keep() { path_.clear(); }

private:
    std::wstring path_;
};

}  // namespace ovpkg
