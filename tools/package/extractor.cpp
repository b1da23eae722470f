#include "extractor.h"
#include "entry_name.h"

#include <fcntl.h>
#include <fdi.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <deque>
#include <memory>
#include <thread>

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
            ThrowLastError("cannot make the folder '" + Narrow(folder) + "'");
    }
}

// Writes the unpacked files on a thread of its own, in the order they come: the cabinet
// service decompresses the next file while this one is created, written and closed. Each
// piece is a file's start, some of its bytes, its end, or its removal; a failure stops the
// writing, removes the file being written and is kept for Finish to tell.
class FileWriter {
public:
    struct Piece {
        enum What { Start, Bytes, End, Remove, Stop } what;
        Piece(What w = Stop, std::string b = std::string()) : what(w), bytes(std::move(b)) {}
        std::wstring path;                          // Start: the file, in a folder that is there
        std::string bytes;                          // Bytes and End
        USHORT date = 0, time = 0, attributes = 0;  // End: as the cabinet gives them
    };

    FileWriter() : thread_([this] { Run(); }) {}
    ~FileWriter() { Finish(); }
    FileWriter(const FileWriter&) = delete;
    FileWriter& operator=(const FileWriter&) = delete;

    // Waits while much is queued; a piece given after a failure is dropped.
    void Give(Piece piece) {
        const Held held = Hold();
        while (!failed_ && queued_ >= kMostQueued) Await(room_, giverWaits_);
        if (failed_ && piece.what != Piece::Stop) return;
        queued_ += piece.bytes.size();
        pieces_.push_back(std::move(piece));
        if (writerWaits_) WakeConditionVariable(&ready_);
    }
    // An empty buffer, with room from an earlier piece when there is one.
    std::string Buffer() {
        const Held held = Hold();
        if (spares_.empty()) return std::string();
        std::string buffer = std::move(spares_.back());
        spares_.pop_back();
        buffer.clear();
        return buffer;
    }
    const std::atomic<bool>& Failed() const { return failed_; }
    // Writes what is queued and ends the thread; empty when every piece was written, else why not.
    std::string Finish() {
        if (thread_.joinable()) {
            Give(Piece::Stop);
            thread_.join();
        }
        return failure_;
    }

private:
    static constexpr std::size_t kMostQueued = 4u << 20, kMostSpares = 8;

    // The slim lock and condition variables of the platform: waking the other thread needs no
    // round trip to a server, as a mutex's event would.
    using Held = ov::UniqueAny<SRWLOCK*, &ReleaseSRWLockExclusive>;
    Held Hold() {
        AcquireSRWLockExclusive(&lock_);
        return Held(&lock_);
    }
    void Await(CONDITION_VARIABLE& condition, bool& waits) {
        waits = true;
        SleepConditionVariableSRW(&condition, &lock_, INFINITE, 0);
        waits = false;
    }

    // Takes all that is queued at once, and gives the emptied buffers back.
    void Run() {
        std::deque<Piece> batch;
        std::vector<std::string> used;
        for (;;) {
            {
                const Held held = Hold();
                for (std::string& buffer : used)
                    if (spares_.size() < kMostSpares) spares_.push_back(std::move(buffer));
                used.clear();
                while (pieces_.empty()) Await(ready_, writerWaits_);
                batch.swap(pieces_);
                queued_ = 0;
                if (giverWaits_) WakeConditionVariable(&room_);
            }
            for (Piece& piece : batch) {
                if (piece.what == Piece::Stop) return;
                if (!failed_) Try(piece);
                if (piece.bytes.capacity() > 0) used.push_back(std::move(piece.bytes));
            }
            batch.clear();
        }
    }

    void Try(Piece& piece) {
        try {
            Write(piece);
        } catch (const std::exception& e) {  // Failure, and out of memory
            file_.Reset();
            DeleteFileW(path_.c_str());
            const Held held = Hold();
            failure_ = e.what();
            failed_ = true;
            if (giverWaits_) WakeConditionVariable(&room_);
        }
    }

    void Write(Piece& piece) {
        switch (piece.what) {
            case Piece::Start:
                path_ = std::move(piece.path);
                Create();
                return;
            case Piece::Bytes:
                WriteBytes(piece.bytes);
                return;
            case Piece::End: {
                WriteBytes(piece.bytes);
                FILETIME local{}, utc{};
                if (DosDateTimeToFileTime(piece.date, piece.time, &local) && LocalFileTimeToFileTime(&local, &utc))
                    SetFileTime(file_.Get(), nullptr, nullptr, &utc);
                if (!CloseHandle(file_.Detach())) ThrowLastError("cannot write '" + Narrow(path_) + "'");
                const DWORD kept =
                    piece.attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
                if (kept && !SetFileAttributesW(path_.c_str(), kept | (piece.attributes & FILE_ATTRIBUTE_ARCHIVE)))
                    ThrowLastError("cannot set the attributes of '" + Narrow(path_) + "'");
                path_.clear();
                return;
            }
            case Piece::Remove:
                file_.Reset();
                DeleteFileW(path_.c_str());
                path_.clear();
                return;
            case Piece::Stop:
                return;
        }
    }

    void Create() {
        // A missing file is made new rather than truncated: a truncated file is flushed to the
        // disk when it is closed, which made closing cost as much as all the writing.
        file_.Reset(CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                nullptr));
        if (file_ || GetLastError() != ERROR_FILE_EXISTS) {
            if (!file_) ThrowLastError("cannot write '" + Narrow(path_) + "'");
            return;
        }
        auto replace = [&] {
            return CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                               nullptr);
        };
        file_.Reset(replace());
        if (!file_ && GetLastError() == ERROR_ACCESS_DENIED) {
            // A read-only, hidden or system file is replaced too.
            const DWORD attributes = GetFileAttributesW(path_.c_str());
            if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY) &&
                SetFileAttributesW(path_.c_str(), FILE_ATTRIBUTE_NORMAL))
                file_.Reset(replace());
            else
                SetLastError(ERROR_ACCESS_DENIED);
        }
        if (!file_) ThrowLastError("cannot write '" + Narrow(path_) + "'");
    }

    void WriteBytes(const std::string& bytes) {
        DWORD done = 0;
        if (!bytes.empty() && (!WriteFile(file_.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &done,
                                          nullptr) ||
                               done != bytes.size())) {
            if (GetLastError() == ERROR_SUCCESS) SetLastError(ERROR_WRITE_FAULT);
            ThrowLastError("cannot write '" + Narrow(path_) + "'");
        }
    }

    SRWLOCK lock_ = SRWLOCK_INIT;
    CONDITION_VARIABLE ready_ = CONDITION_VARIABLE_INIT, room_ = CONDITION_VARIABLE_INIT;
    bool writerWaits_ = false, giverWaits_ = false;
    std::deque<Piece> pieces_;
    std::size_t queued_ = 0;  // bytes in pieces_
    std::vector<std::string> spares_;
    std::atomic<bool> failed_{false};
    std::string failure_;
    std::wstring path_;  // the file being written (the writer thread's own)
    UniqueHFile file_;
    std::thread thread_;  // last: starts once the rest is made
};

// A file as the cabinet service unpacks it: its bytes go to the writer in pieces of kPiece,
// its last ones with its end.
struct OutputFile final : Stream {
    static constexpr std::size_t kPiece = 256u << 10;
    UINT Write(const void* from, UINT n) override {
        if (writer->Failed()) return static_cast<UINT>(-1);
        bytes.append(static_cast<const char*>(from), n);
        written += n;
        if (bytes.size() >= kPiece) {
            writer->Give({FileWriter::Piece::Bytes, std::move(bytes)});
            Renew();
        }
        return n;
    }
    // A buffer for what is still to come, made big enough at once (the service writes at most
    // 32 KiB at a time).
    void Renew() {
        bytes = writer->Buffer();
        bytes.reserve(static_cast<std::size_t>(std::min<unsigned long long>(expected - written, kPiece)) + (32u << 10));
    }
    int Close() override { return 0; }
    FileWriter* writer = nullptr;
    std::string bytes;  // not yet handed on
    unsigned long long written = 0, expected = 0;
};

struct Walk {
    bool extract = false;
    std::vector<CabFile> files;
    std::wstring destination;     // no backslash at its end
    wchar_t path[MAX_PATH] = {};  // the file being unpacked
    std::wstring lastFolder;
    OutputFile output;
    // Files are handed to the writers in turn, so that creating and closing one overlaps
    // with writing another.
    std::vector<std::unique_ptr<FileWriter>> writers;
    std::size_t turn = 0;
    FileWriter* writer = nullptr;  // the current file's
    bool writing = false;          // a file is open and not yet complete
    std::string error;
    // Unpacking side by side: this walk writes the files of every parts-th folder from `part`
    // on, and stops when another has failed.
    unsigned part = 0, parts = 1;
    const std::atomic<bool>* stop = nullptr;
    std::size_t unpacked = 0;

    bool WriterFailed() const {
        for (const auto& w : writers)
            if (w->Failed()) return true;
        return false;
    }
    // Ends every writer; the first failure told, empty when none.
    std::string FinishWriters() {
        std::string first;
        for (const auto& w : writers) {
            const std::string failure = w->Finish();
            if (first.empty()) first = failure;
        }
        return first;
    }

    INT_PTR Notify(FDINOTIFICATIONTYPE type, FDINOTIFICATION& n) {
        try {
            switch (type) {
                case fdintCOPY_FILE:
                    // The service goes on after a failed write: stop it here.
                    if (!error.empty() || WriterFailed() || (stop && *stop)) return -1;
                    if (extract) return n.iFolder % parts == part ? Open(n) : 0;
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
        writer = writers[turn++ % writers.size()].get();
        FileWriter::Piece start(FileWriter::Piece::Start);
        start.path = path;
        writer->Give(std::move(start));
        output.written = 0;
        output.expected = static_cast<std::uint32_t>(n.cb);
        output.writer = writer;
        output.Renew();
        writing = true;
        return reinterpret_cast<INT_PTR>(static_cast<Stream*>(&output));
    }

    INT_PTR Complete(const FDINOTIFICATION& n) {
        writing = false;
        // The cabinet service ends a file even when its data failed to decompress or to be
        // written: only a file with all its bytes counts.
        if (output.written != output.expected) {
            writer->Give(FileWriter::Piece::Remove);
            if (error.empty() && !WriterFailed())
                error = "the package is damaged: the data of '" + Narrow(path) + "' do not check out";
            return TRUE;
        }
        ++unpacked;
        FileWriter::Piece end(FileWriter::Piece::End, std::move(output.bytes));
        end.date = n.date;
        end.time = n.time;
        end.attributes = n.attribs;
        writer->Give(std::move(end));
        output.bytes.clear();
        return TRUE;
    }

    // After a failed copy: the half-written file goes, and the reason is told once: the
    // writer's first, as a failed write makes the service fail too.
    [[noreturn]] void Fail(const ERF& erf) {
        if (writing) writer->Give(FileWriter::Piece::Remove);
        const std::string failure = FinishWriters();
        if (!failure.empty()) throw Failure(failure);
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
    const std::string failure = walk.FinishWriters();
    if (!failure.empty()) throw Failure(failure);
}

}  // namespace

std::vector<CabFile> ListCabinet(const Payload& payload) {
    Walk walk;
    Run(payload, walk);
    return std::move(walk.files);
}

void ExtractCabinet(const Payload& payload, const std::wstring& destination) {
    std::wstring folder = destination;
    while (folder.size() > 1 && folder.back() == L'\\') folder.pop_back();
    // Every name is looked at before anything is written.
    const std::vector<CabFile> files = ListCabinet(payload);
    if (files.empty()) throw Failure("the package holds no files");
    for (const CabFile& file : files) CheckPlace(folder, file.name);
    // The folders of the destination itself: past "X:\" or "\\server\share\".
    std::size_t root = 0;
    if (folder.compare(0, 2, L"\\\\") == 0) {
        root = folder.find(L'\\', folder.find(L'\\', 2) + 1);
        root = root == std::wstring::npos ? folder.size() : root + 1;
    } else if (folder.size() >= 2 && folder[1] == L':') {
        root = folder.size() > 2 && folder[2] == L'\\' ? 3 : 2;
    }
    if (root < folder.size()) MakeFolders(folder, root + 1);
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        ThrowLastError("cannot use the destination '" + Narrow(destination) + "'");
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
        throw Failure("the destination '" + Narrow(destination) + "' is not a folder");

    // The cabinet's folders are unpacked by two walks side by side, each handing its files to
    // two writers of its own; the first failure is told, and stops the other walk.
    constexpr unsigned parts = 2, writersPerPart = 2;
    std::vector<Walk> walks(parts);
    std::vector<std::string> failures(parts);
    std::atomic<bool> stop{false};
    std::atomic<int> first{-1};
    for (unsigned i = 0; i < parts; ++i) {
        Walk& walk = walks[i];
        walk.extract = true;
        walk.destination = walk.lastFolder = folder;
        walk.part = i;
        walk.parts = parts;
        walk.stop = &stop;
        for (unsigned w = 0; w < writersPerPart; ++w) walk.writers.push_back(std::make_unique<FileWriter>());
    }
    auto unpack = [&](unsigned i) {
        try {
            Run(payload, walks[i]);
        } catch (const std::exception& e) {  // Failure, and out of memory
            failures[i] = e.what();
            int none = -1;
            first.compare_exchange_strong(none, static_cast<int>(i));
            stop = true;
        }
    };
    std::vector<std::thread> others;
    for (unsigned i = 1; i < parts; ++i) others.emplace_back(unpack, i);
    unpack(0);
    for (std::thread& t : others) t.join();
    if (first >= 0) throw Failure(failures[first]);
    std::size_t unpacked = 0;
    for (const Walk& walk : walks) unpacked += walk.unpacked;
    if (unpacked != files.size())
        throw Failure("the package is damaged: " + std::to_string(unpacked) + " of its " +
                      std::to_string(files.size()) + " files were unpacked");
}

}  // namespace ovpkg
