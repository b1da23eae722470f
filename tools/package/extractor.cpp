#include "extractor.h"
#include "entry_name.h"

#include <fcntl.h>
#include <fdi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

namespace ovpkg {

namespace {

using UniqueFdi = ov::UniqueAny<HFDI, &FDIDestroy>;

// Every handle FDI holds is one of these: the cabinet in memory or a file being written.
struct Stream {
    virtual UINT Read(void*, UINT) { return static_cast<UINT>(-1); }
    virtual UINT Write(const void*, UINT) { return static_cast<UINT>(-1); }
    virtual long Seek(long, int) { return -1; }
    virtual int Close() = 0;

protected:
    ~Stream() = default;
};

// The cabinet, owned by the caller; FDI opens it by a name that carries its address, as its
// open callback has no context of its own.
struct MemorySource final : Stream {
    MemorySource(const BYTE* d, std::size_t n) : data(d), size(n) {}
    std::string Name() const {
        char name[64];
        std::snprintf(name, sizeof name, "ovpkg-memory:%p", static_cast<const void*>(this));
        return name;
    }
    UINT Read(void* to, UINT n) override {
        const std::size_t k = std::min<std::size_t>(n, size - pos);
        std::memcpy(to, data + pos, k);
        pos += k;
        return static_cast<UINT>(k);
    }
    long Seek(long dist, int origin) override {
        const long long base = origin == SEEK_SET ? 0 : origin == SEEK_CUR ? static_cast<long long>(pos) : size;
        if (base + dist < 0 || base + dist > static_cast<long long>(size)) return -1;
        pos = static_cast<std::size_t>(base + dist);
        return static_cast<long>(pos);
    }
    int Close() override {
        open = false;
        return 0;
    }
    const BYTE* data;
    std::size_t size;
    std::size_t pos = 0;
    bool open = false;
};

struct OutputFile final : Stream {
    UINT Write(const void* from, UINT n) override {
        DWORD done = 0;
        if (!WriteFile(handle.Get(), from, n, &done, nullptr) || done != n) {
            failure = GetLastError() ? GetLastError() : ERROR_WRITE_FAULT;
            return static_cast<UINT>(-1);
        }
        written += n;
        return n;
    }
    int Close() override {
        handle.Reset();
        return 0;
    }
    UniqueHandle handle;
    unsigned long long written = 0, expected = 0;
    DWORD failure = 0;
};

Stream* StreamOf(INT_PTR hf) { return reinterpret_cast<Stream*>(hf); }

FNALLOC(OnAlloc) { return std::malloc(cb); }
FNFREE(OnFree) { std::free(pv); }
FNOPEN(OnOpen) {
    (void)oflag, (void)pmode;
    void* address = nullptr;
    if (std::sscanf(pszFile, "ovpkg-memory:%p", &address) != 1) return -1;
    auto* source = static_cast<MemorySource*>(address);
    if (source->open) return -1;
    source->open = true;
    source->pos = 0;
    return reinterpret_cast<INT_PTR>(static_cast<Stream*>(source));
}
FNREAD(OnRead) { return StreamOf(hf)->Read(pv, cb); }
FNWRITE(OnWrite) { return StreamOf(hf)->Write(pv, cb); }
FNCLOSE(OnClose) { return StreamOf(hf)->Close(); }
FNSEEK(OnSeek) { return StreamOf(hf)->Seek(dist, seektype); }

// Refuses a name that would leave the destination or whose path would not fit MAX_PATH.
void CheckPlace(const std::wstring& destination, const std::wstring& name) {
    const std::string why = CheckEntryName(name);
    if (!why.empty()) throw Failure("the package holds an unsafe file name '" + Narrow(name) + "': " + why);
    if (destination.size() + 1 + name.size() >= MAX_PATH)
        throw Failure("the path of '" + Narrow(name) + "' in '" + Narrow(destination) + "' is longer than " +
                      std::to_string(MAX_PATH - 1) + " characters");
}

// Makes each missing folder of path from the character at `from` on.
void MakeFolders(const std::wstring& path, std::size_t from) {
    for (std::size_t at = from; at <= path.size(); ++at) {
        if (at < path.size() && path[at] != L'\\') continue;
        const std::wstring folder = path.substr(0, at);
        if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
            FailWithLastError("cannot make the folder '" + Narrow(folder) + "'");
    }
}

struct Walk {
    bool extract = false;
    std::vector<CabFile> files;
    std::wstring destination;     // no backslash at its end
    wchar_t path[MAX_PATH] = {};  // the file being written
    std::wstring lastFolder;
    OutputFile output;
    bool writing = false;  // a file is open and not yet complete
    std::string error;

    INT_PTR Notify(FDINOTIFICATIONTYPE type, FDINOTIFICATION& n) {
        try {
            switch (type) {
                case fdintCOPY_FILE:
                    if (!error.empty()) return -1;  // the service goes on after a failed write: stop it here
                    if (extract) return Open(n);
                    files.push_back({NameOf(n), static_cast<std::uint32_t>(n.cb)});
                    return 0;
                case fdintCLOSE_FILE_INFO:
                    return Complete(n);
                case fdintPARTIAL_FILE:
                case fdintNEXT_CABINET:
                    error = "the package is damaged: its cabinet is one of a set";
                    return -1;
                default:
                    return 0;
            }
        } catch (const std::exception& e) {  // nothing may unwind through the cabinet service
            error = e.what();
            return -1;
        }
    }

    static std::wstring NameOf(const FDINOTIFICATION& n) {
        return Widen(n.psz1, (n.attribs & _A_NAME_IS_UTF) ? CP_UTF8 : CP_ACP);
    }

    INT_PTR Open(const FDINOTIFICATION& n) {
        const std::wstring name = NameOf(n);
        CheckPlace(destination, name);
        // One buffer of MAX_PATH: a path that does not fit is refused, never cut.
        const int length = std::swprintf(path, MAX_PATH, L"%ls\\%ls", destination.c_str(), name.c_str());
        if (length < 0 || length >= MAX_PATH) throw Failure("the path of '" + Narrow(name) + "' does not fit");
        for (wchar_t* p = path; *p; ++p)
            if (*p == L'/') *p = L'\\';
        const std::wstring folder(path, std::wcsrchr(path, L'\\'));
        if (folder != lastFolder) {
            MakeFolders(folder, destination.size() + 1);
            lastFolder = folder;
        }
        auto create = [&] {
            return CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        };
        output.handle.Reset(create());
        if (!output.handle && GetLastError() == ERROR_ACCESS_DENIED) {
            // A read-only, hidden or system file is replaced too.
            const DWORD attributes = GetFileAttributesW(path);
            if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY) &&
                SetFileAttributesW(path, FILE_ATTRIBUTE_NORMAL))
                output.handle.Reset(create());
            else
                SetLastError(ERROR_ACCESS_DENIED);
        }
        if (!output.handle) FailWithLastError("cannot write '" + Narrow(path) + "'");
        output.failure = 0;
        output.written = 0;
        output.expected = static_cast<std::uint32_t>(n.cb);
        writing = true;
        return reinterpret_cast<INT_PTR>(static_cast<Stream*>(&output));
    }

    INT_PTR Complete(const FDINOTIFICATION& n) {
        // The cabinet service ends a file even when its data failed to decompress or to be
        // written: only a file with all its bytes counts.
        if (output.written != output.expected) {
            Abandon();
            if (error.empty()) error = "the package is damaged: the data of '" + Narrow(path) + "' do not check out";
            return TRUE;
        }
        FILETIME local{}, utc{};
        if (DosDateTimeToFileTime(n.date, n.time, &local) && LocalFileTimeToFileTime(&local, &utc))
            SetFileTime(output.handle.Get(), nullptr, nullptr, &utc);
        if (!CloseHandle(output.handle.Detach())) FailWithLastError("cannot write '" + Narrow(path) + "'");
        writing = false;
        const DWORD kept = n.attribs & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
        if (kept && !SetFileAttributesW(path, kept | (n.attribs & FILE_ATTRIBUTE_ARCHIVE)))
            FailWithLastError("cannot set the attributes of '" + Narrow(path) + "'");
        return TRUE;
    }

    // Removes the file being written, keeping why its writing failed.
    void Abandon() {
        output.handle.Reset();
        DeleteFileW(path);
        writing = false;
        if (error.empty() && output.failure)
            error = "cannot write '" + Narrow(path) + "': " + SystemText(output.failure);
    }

    // After a failed copy: the half-written file goes, and the reason is told once.
    [[noreturn]] void Fail(const ERF& erf) {
        if (writing) Abandon();
        if (!error.empty()) throw Failure(error);
        switch (erf.erfOper) {
            case FDIERROR_CORRUPT_CABINET:
            case FDIERROR_MDI_FAIL:
                throw Failure("the package is damaged: its cabinet's data do not check out");
            case FDIERROR_NOT_A_CABINET:
            case FDIERROR_UNKNOWN_CABINET_VERSION:
                throw Failure("the package is damaged: its cabinet cannot be read");
            case FDIERROR_BAD_COMPR_TYPE:
                throw Failure("the package uses a compression this program cannot read");
            case FDIERROR_ALLOC_FAIL:
                throw Failure("out of memory");
            default:
                throw Failure("the cabinet service failed (error " + std::to_string(erf.erfOper) + ")");
        }
    }
};

FNFDINOTIFY(OnNotify) { return static_cast<Walk*>(pfdin->pv)->Notify(fdint, *pfdin); }

void Run(const Payload& payload, Walk& walk) {
    if (!payload.damage.empty()) throw Failure(payload.damage);
    MemorySource source(payload.cabinet, payload.size);
    ERF erf{};
    UniqueFdi fdi(FDICreate(OnAlloc, OnFree, OnOpen, OnRead, OnWrite, OnClose, OnSeek, cpuUNKNOWN, &erf));
    if (!fdi) walk.Fail(erf);
    std::string name = source.Name();
    char noPath[] = "";
    if (!FDICopy(fdi.Get(), &name[0], noPath, 0, OnNotify, nullptr, &walk) || !walk.error.empty()) walk.Fail(erf);
}

}  // namespace

std::vector<CabFile> ListCabinet(const Payload& payload) {
    Walk walk;
    Run(payload, walk);
    return std::move(walk.files);
}

void ExtractCabinet(const Payload& payload, const std::wstring& destination) {
    Walk walk;
    walk.extract = true;
    walk.destination = destination;
    while (walk.destination.size() > 1 && walk.destination.back() == L'\\') walk.destination.pop_back();
    // Every name is looked at before anything is written.
    const std::vector<CabFile> files = ListCabinet(payload);
    if (files.empty()) throw Failure("the package holds no files");
    for (const CabFile& file : files) CheckPlace(walk.destination, file.name);
    // The folders of the destination itself: past "X:\" or "\\server\share\".
    std::size_t root = 0;
    if (walk.destination.compare(0, 2, L"\\\\") == 0) {
        root = walk.destination.find(L'\\', walk.destination.find(L'\\', 2) + 1);
        root = root == std::wstring::npos ? walk.destination.size() : root + 1;
    } else if (walk.destination.size() >= 2 && walk.destination[1] == L':') {
        root = walk.destination.size() > 2 && walk.destination[2] == L'\\' ? 3 : 2;
    }
    if (root < walk.destination.size()) MakeFolders(walk.destination, root + 1);
    const DWORD attributes = GetFileAttributesW(walk.destination.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        FailWithLastError("cannot use the destination '" + Narrow(destination) + "'");
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
        throw Failure("the destination '" + Narrow(destination) + "' is not a folder");
    walk.lastFolder = walk.destination;
    Run(payload, walk);
}

}  // namespace ovpkg
