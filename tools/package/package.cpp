#include "package.h"

#include <cstring>

namespace ovpkg {

namespace {

// Cabinet header fields (all little-endian).
constexpr std::size_t kCabHeaderSize = 36;
constexpr std::size_t kCabSizeOffset = 8;
constexpr std::size_t kCabFlagsOffset = 30;
constexpr std::size_t kCabReserveOffset = 40;
constexpr unsigned kFlagPrevious = 0x1, kFlagNext = 0x2, kFlagReserve = 0x4;

std::uint32_t Read32(const BYTE* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24; }
unsigned Read16(const BYTE* p) { return p[0] | p[1] << 8; }

}  // namespace

std::string SystemText(DWORD error) {
    char* text = nullptr;
    DWORD n =
        FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    ov::UniqueLocal owned(text);
    std::string s = n ? std::string(text, n) : std::string();
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ' || s.back() == '.')) s.pop_back();
    return (s.empty() ? "system error" : s) + " (" + std::to_string(error) + ")";
}

void ThrowLastError(const std::string& what) { throw Failure(what + ": " + SystemText(GetLastError())); }

const KindInfo* FindKind(const std::string& argument) {
    for (const KindInfo& k : ov::kPackageKinds)
        if (argument == k.argument) return &k;
    return nullptr;
}

const KindInfo* FindKind(Kind kind) {
    for (const KindInfo& k : ov::kPackageKinds)
        if (kind == k.kind) return &k;
    return nullptr;
}

std::string KindArguments() {
    std::string all;
    for (const KindInfo& k : ov::kPackageKinds) all += (all.empty() ? "" : ", ") + std::string(k.argument);
    return all;
}

PackageTag MakeTag(Kind kind, const std::string& version) {
    PackageTag tag{};
    std::memcpy(tag.magic, kTagMagic, sizeof tag.magic);
    tag.kind = static_cast<std::uint8_t>(kind);
    if (version.size() >= sizeof tag.version) throw Failure("the version is too long");
    std::memcpy(tag.version, version.data(), version.size());
    return tag;
}

std::size_t ImageEnd(const BYTE* file, std::size_t size) {
    if (size < 0x40 || file[0] != 'M' || file[1] != 'Z') return 0;
    const std::size_t nt = Read32(file + 0x3C);
    if (nt > size || size - nt < 24 || std::memcmp(file + nt, "PE\0\0", 4) != 0) return 0;
    const unsigned sections = Read16(file + nt + 6);
    const std::size_t table = nt + 24 + Read16(file + nt + 20);
    if (table > size || (size - table) / 40 < sections) return 0;
    std::size_t end = table + 40 * sections;
    for (unsigned i = 0; i < sections; ++i) {
        const BYTE* s = file + table + 40 * i;
        const std::size_t raw = Read32(s + 20), rawSize = Read32(s + 16);
        if (rawSize && raw + rawSize > end) end = raw + rawSize;
    }
    return end;
}

Payload FindPayload(const BYTE* file, std::size_t size) {
    const std::size_t start = ImageEnd(file, size);
    if (start == 0 || start > size) throw Failure("the package is damaged: its program image is incomplete");
    const BYTE* cab = file + start;
    const std::size_t left = size - start;
    if (left == 0) throw Failure("this program carries no package");
    const char* unreadable = "the package is damaged: its cabinet does not say what it holds";
    if (left < kCabReserveOffset + sizeof(PackageTag) || std::memcmp(cab, "MSCF", 4) != 0)
        throw Failure("the package is damaged: no cabinet follows the program");
    const unsigned flags = Read16(cab + kCabFlagsOffset);
    if (!(flags & kFlagReserve) || Read16(cab + kCabHeaderSize) < sizeof(PackageTag)) throw Failure(unreadable);
    PackageTag tag;
    std::memcpy(&tag, cab + kCabReserveOffset, sizeof tag);
    const KindInfo* kind = FindKind(static_cast<Kind>(tag.kind));
    if (std::memcmp(tag.magic, kTagMagic, sizeof tag.magic) != 0 || !kind ||
        !std::memchr(tag.version, 0, sizeof tag.version))
        throw Failure(unreadable);

    Payload payload{cab, Read32(cab + kCabSizeOffset), kind, tag.version, ""};
    if (payload.size > left)
        payload.damage = "the package is truncated: its cabinet has " + std::to_string(left) + " of " +
                         std::to_string(payload.size) + " bytes";
    else if (flags & (kFlagPrevious | kFlagNext))
        payload.damage = "the package is damaged: its cabinet is one of a set";
    return payload;
}

std::string CheckNameText(const std::string& text) {
    if (text.empty()) return "it is empty";
    if (text.size() > kMaxVersion) return "it is longer than " + std::to_string(kMaxVersion) + " characters";
    for (char c : text) {
        if (c < 0x20 || c > 0x7E) return "it holds a character other than printable ASCII";
        if (std::strchr("\\/:*?\"<>|", c)) return std::string("it holds '") + c + "'";
    }
    if (text.front() == ' ' || text.back() == ' ') return "it begins or ends with a blank";
    if (text.back() == '.') return "it ends with a dot";
    return "";
}

MappedFile::MappedFile(const std::wstring& path)
    : file_(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                        FILE_ATTRIBUTE_NORMAL, nullptr)) {
    const std::string name = Narrow(path);
    if (!file_) ThrowLastError("cannot open '" + name + "'");
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file_.Get(), &size)) ThrowLastError("cannot read the size of '" + name + "'");
    size_ = static_cast<std::size_t>(size.QuadPart);
    if (size_ == 0) return;
    mapping_.Reset(CreateFileMappingW(file_.Get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (!mapping_) ThrowLastError("cannot map '" + name + "'");
    view_.Reset(MapViewOfFile(mapping_.Get(), FILE_MAP_READ, 0, 0, 0));
    if (!view_) ThrowLastError("cannot map '" + name + "'");
}

std::wstring Widen(const std::string& text, UINT codePage) {
    if (text.empty()) return std::wstring();
    const DWORD flags = codePage == CP_UTF8 ? MB_ERR_INVALID_CHARS : 0;
    int n = MultiByteToWideChar(codePage, flags, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (n <= 0) throw Failure("the name '" + text + "' is not valid text");
    std::wstring w(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(codePage, flags, text.data(), static_cast<int>(text.size()), &w[0], n);
    return w;
}

std::string Narrow(const std::wstring& text, UINT codePage) {
    if (text.empty()) return std::string();
    int n = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), &s[0], n, nullptr, nullptr);
    return s;
}

}  // namespace ovpkg
