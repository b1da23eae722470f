// What the package builder and the package program share: the package kinds, the record that
// names a package's kind and version, and how a package carries its cabinet.
//
// A package is the package program (a stripped image) with a cabinet appended to it. The
// cabinet reserves 64 bytes in its header (the format's room for the application's own data)
// for the record, so any cabinet tool still reads it.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "environment/package_kinds.h"
#include "framework/unique_any.h"

namespace ovpkg {

// One failure, told once, in words meant for the person at the console.
class Failure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
// The system's text for a Win32 error, with its number.
std::string SystemText(DWORD error);
// Throws what + ": " + the system's text for the thread's last error.
[[noreturn]] void ThrowLastError(const std::string& what);

// The package kinds are the server's own table.
using Kind = ov::PackageKindId;
using KindInfo = ov::PackageKind;
const KindInfo* FindKind(const std::string& argument);
const KindInfo* FindKind(Kind kind);
// "scripts, dev, editor1, editor2"
std::string KindArguments();

constexpr std::size_t kMaxVersion = 32;

// The record in the cabinet header's reserved area.
struct PackageTag {
    char magic[4];
    std::uint8_t kind;
    std::uint8_t unused[3];
    char version[56];  // NUL-terminated
};
static_assert(sizeof(PackageTag) == 64, "the reserved area is 64 bytes");
constexpr char kTagMagic[4] = {'O', 'V', 'P', 'K'};
PackageTag MakeTag(Kind kind, const std::string& version);

// Where the image sections of a program file end (0 when it is no program image).
std::size_t ImageEnd(const BYTE* file, std::size_t size);

struct Payload {
    const BYTE* cabinet;
    std::size_t size;  // the cabinet's own size
    const KindInfo* kind;
    std::string version;
    std::string damage;  // why the cabinet cannot be read whole, when it cannot
};
// The cabinet carried by a package file in memory, checked as far as its header goes. Throws
// Failure when not even its kind can be read; a package whose kind is known but whose cabinet
// is cut short or one of a set comes back with `damage` told.
Payload FindPayload(const BYTE* file, std::size_t size);

// Version text that can stand in a file name: 1 to kMaxVersion printable ASCII characters,
// none of \ / : * ? " < > |, no blank at either end and no dot at the end. Empty when fine,
// else why not.
std::string CheckNameText(const std::string& text);

namespace detail {
inline void Unmap(const void* view) { UnmapViewOfFile(view); }
}  // namespace detail
using ov::UniqueHandle;
using ov::UniqueHFile;
using UniqueView = ov::UniqueAny<const void*, &detail::Unmap>;

// A whole file mapped for reading.
class MappedFile {
public:
    explicit MappedFile(const std::wstring& path);
    const BYTE* Data() const { return static_cast<const BYTE*>(view_.Get()); }
    std::size_t Size() const { return size_; }

private:
    UniqueHFile file_;
    UniqueHandle mapping_;
    UniqueView view_;
    std::size_t size_ = 0;
};

std::wstring Widen(const std::string& text, UINT codePage = CP_ACP);
std::string Narrow(const std::wstring& text, UINT codePage = CP_ACP);

}  // namespace ovpkg
