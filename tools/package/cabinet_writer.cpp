#include "cabinet_writer.h"

#include <fci.h>
#include <fcntl.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace ovpkg {

namespace {

using UniqueFci = ov::UniqueAny<HFCI, &FCIDestroy>;

struct Context {
    const CabEntry* current = nullptr;  // the entry FCIAddFile is storing
    std::string error;                  // the first failure, in words
    unsigned long long inFolder = 0;    // bytes stored in the open folder
};

// A folder is closed after this many bytes: the package program unpacks folders side by side.
constexpr unsigned long long kFolderBytes = 4ull << 20;

// FCI's file callbacks take C runtime open flags; they are carried out on Win32 handles so
// that a source file can be opened by its wide name.
INT_PTR Open(const wchar_t* name, int oflag, int* err) {
    DWORD access = (oflag & _O_RDWR)     ? GENERIC_READ | GENERIC_WRITE
                   : (oflag & _O_WRONLY) ? GENERIC_WRITE
                                         : GENERIC_READ;
    DWORD how = OPEN_EXISTING;
    if (oflag & _O_CREAT)
        how = (oflag & _O_EXCL) ? CREATE_NEW : (oflag & _O_TRUNC) ? CREATE_ALWAYS : OPEN_ALWAYS;
    else if (oflag & _O_TRUNC)
        how = TRUNCATE_EXISTING;
    HANDLE h = CreateFileW(name, access, FILE_SHARE_READ, nullptr, how, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) *err = static_cast<int>(GetLastError());
    return reinterpret_cast<INT_PTR>(h);
}

FNFCIALLOC(OnAlloc) { return std::malloc(cb); }
FNFCIFREE(OnFree) { std::free(memory); }

FNFCIOPEN(OnOpen) {
    (void)pmode;
    (void)pv;
    return Open(Widen(pszFile).c_str(), oflag, err);
}
FNFCIREAD(OnRead) {
    (void)pv;
    DWORD n = 0;
    if (!ReadFile(reinterpret_cast<HANDLE>(hf), memory, cb, &n, nullptr)) {
        *err = static_cast<int>(GetLastError());
        return static_cast<UINT>(-1);
    }
    return n;
}
FNFCIWRITE(OnWrite) {
    (void)pv;
    DWORD n = 0;
    if (!WriteFile(reinterpret_cast<HANDLE>(hf), memory, cb, &n, nullptr) || n != cb) {
        *err = static_cast<int>(GetLastError());
        return static_cast<UINT>(-1);
    }
    return n;
}
FNFCICLOSE(OnClose) {
    (void)pv;
    if (CloseHandle(reinterpret_cast<HANDLE>(hf))) return 0;
    *err = static_cast<int>(GetLastError());
    return -1;
}
FNFCISEEK(OnSeek) {
    (void)pv;
    LARGE_INTEGER to{}, at{};
    to.QuadPart = dist;
    if (!SetFilePointerEx(reinterpret_cast<HANDLE>(hf), to, &at, static_cast<DWORD>(seektype))) {
        *err = static_cast<int>(GetLastError());
        return -1;
    }
    return static_cast<long>(at.QuadPart);
}
FNFCIDELETE(OnDelete) {
    (void)pv;
    if (DeleteFileA(pszFile)) return 0;
    *err = static_cast<int>(GetLastError());
    return -1;
}
FNFCIGETTEMPFILE(OnTempFile) {
    (void)pv;
    char dir[MAX_PATH + 1] = {}, name[MAX_PATH + 1] = {};
    DWORD n = GetTempPathA(sizeof dir, dir);
    if (n == 0 || n >= sizeof dir || !GetTempFileNameA(dir, "ovp", 0, name)) return FALSE;
    DeleteFileA(name);  // FCI creates it itself
    if (std::strlen(name) >= static_cast<std::size_t>(cbTempName)) return FALSE;
    std::strcpy(pszTempName, name);
    return TRUE;
}
FNFCIFILEPLACED(OnFilePlaced) {
    (void)pccab, (void)pszFile, (void)cbFile, (void)fContinuation, (void)pv;
    return 0;
}
FNFCIGETNEXTCABINET(OnNextCabinet) {
    (void)pccab, (void)cbPrevCab, (void)pv;
    return FALSE;  // one cabinet, never a set
}
FNFCISTATUS(OnStatus) {
    (void)typeStatus, (void)cb1, (void)cb2, (void)pv;
    return 0;
}
// Opens the entry being added and gives its date, time and attributes.
FNFCIGETOPENINFO(OnOpenInfo) {
    (void)pszName;
    auto* context = static_cast<Context*>(pv);
    const CabEntry& entry = *context->current;
    INT_PTR hf = Open(entry.source.c_str(), _O_RDONLY, err);
    if (hf == -1) {
        context->error = "cannot read '" + Narrow(entry.source) + "': " + SystemText(static_cast<DWORD>(*err));
        return -1;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    FILETIME local{};
    if (!GetFileInformationByHandle(reinterpret_cast<HANDLE>(hf), &info) ||
        !FileTimeToLocalFileTime(&info.ftLastWriteTime, &local) || !FileTimeToDosDateTime(&local, pdate, ptime)) {
        *pdate = 0x21;  // 1980-01-01
        *ptime = 0;
    }
    *pattribs = static_cast<USHORT>(info.dwFileAttributes & (_A_RDONLY | _A_HIDDEN | _A_SYSTEM | _A_ARCH));
    context->inFolder += static_cast<unsigned long long>(info.nFileSizeHigh) << 32 | info.nFileSizeLow;
    for (wchar_t c : entry.name)
        if (c > 0x7F) *pattribs |= _A_NAME_IS_UTF;
    return hf;
}

void FailWith(const Context& context, const ERF& erf, const std::string& what) {
    throw Failure(!context.error.empty() ? context.error
                                         : what + " (cabinet error " + std::to_string(erf.erfOper) + ", " +
                                               SystemText(static_cast<DWORD>(erf.erfType)) + ")");
}

}  // namespace

void WriteCabinet(const std::vector<CabEntry>& entries, const std::wstring& cabPath) {
    if (entries.size() > kMaxCabinetFiles)
        throw Failure(std::to_string(entries.size()) + " files are more than a cabinet holds (" +
                      std::to_string(kMaxCabinetFiles) + ")");
    const std::string path = Narrow(cabPath);
    const std::size_t slash = path.find_last_of('\\');
    CCAB ccab{};
    ccab.cb = 0x7FFFFFFF;
    ccab.cbFolderThresh = 0x7FFFFFFF;
    ccab.cbReserveCFHeader = sizeof(PackageTag);
    const std::string dir = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    const std::string name = path.substr(dir.size());
    if (dir.size() >= sizeof ccab.szCabPath || name.size() >= sizeof ccab.szCab || Widen(path) != cabPath)
        throw Failure("the cabinet path '" + path + "' does not fit the cabinet service");
    std::strcpy(ccab.szCabPath, dir.c_str());
    std::strcpy(ccab.szCab, name.c_str());

    Context context;
    ERF erf{};
    UniqueFci fci(FCICreate(&erf, OnFilePlaced, OnAlloc, OnFree, OnOpen, OnRead, OnWrite, OnClose, OnSeek, OnDelete,
                            OnTempFile, &ccab, &context));
    if (!fci) FailWith(context, erf, "cannot start the cabinet service");
    for (const CabEntry& entry : entries) {
        std::string stored = Narrow(entry.name, CP_UTF8);
        if (stored.size() >= CB_MAX_FILENAME)
            throw Failure("the name '" + Narrow(entry.name) + "' is longer than a cabinet allows");
        context.current = &entry;
        if (!FCIAddFile(fci.Get(), &stored[0], &stored[0], FALSE, OnNextCabinet, OnStatus, OnOpenInfo, tcompTYPE_MSZIP))
            FailWith(context, erf, "cannot add '" + Narrow(entry.source) + "' to the cabinet");
        if (context.inFolder >= kFolderBytes) {
            if (!FCIFlushFolder(fci.Get(), OnNextCabinet, OnStatus))
                FailWith(context, erf, "cannot write the cabinet '" + path + "'");
            context.inFolder = 0;
        }
    }
    if (!FCIFlushCabinet(fci.Get(), FALSE, OnNextCabinet, OnStatus))
        FailWith(context, erf, "cannot write the cabinet '" + path + "'");
}

void WritePackage(const std::string& program, const std::wstring& cabPath, const PackageTag& tag,
                  const std::wstring& outPath) {
    const std::string out = Narrow(outPath);
    TempFile temp(outPath + L".tmp");
    {
        UniqueHFile file(
            CreateFileW(temp.Path().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) ThrowLastError("cannot create '" + out + ".tmp'");
        auto write = [&](const void* data, std::size_t size) {
            DWORD n = 0;
            if (!WriteFile(file.Get(), data, static_cast<DWORD>(size), &n, nullptr) || n != size)
                ThrowLastError("cannot write '" + out + ".tmp'");
        };
        write(program.data(), program.size());
        // The reserved area lies at offset 40 of a cabinet written with a header reserve.
        MappedFile cab(cabPath);
        if (cab.Size() < 40 + sizeof tag || !(cab.Data()[30] & 0x4) || cab.Data()[36] != sizeof tag)
            throw Failure("the cabinet service left no room for the package's description");
        write(cab.Data(), 40);
        write(&tag, sizeof tag);
        for (std::size_t at = 40 + sizeof tag; at < cab.Size(); at += 1 << 20)
            write(cab.Data() + at, std::min<std::size_t>(cab.Size() - at, 1 << 20));
        if (!FlushFileBuffers(file.Get())) ThrowLastError("cannot write '" + out + ".tmp'");
    }
    if (!MoveFileExW(temp.Path().c_str(), outPath.c_str(), MOVEFILE_REPLACE_EXISTING))
        ThrowLastError("cannot replace '" + out + "'");
    temp.Keep();
}

}  // namespace ovpkg
