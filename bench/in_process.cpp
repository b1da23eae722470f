// The measures made in this process, each against the plainest way to get the same done.
#include <share.h>

#include <cstdio>
#include <string>
#include <vector>

#include "diagnostics/OVCILog.h"
#include "diagnostics/log_record.h"
#include "framework/ansi_text.h"
#include "logreader/log_reader.h"
#include "measures.h"

namespace bench {
namespace {

// What Init asks of the platform on a configured workstation, in its order, made directly:
// the two registry values, the Windows directory, whether the download folder, Wkstn.ini,
// Orvan.ini and Empxxx.ini exist, the package lists' versions and read-mes, the server path,
// the layout in Orvan.ini and the free space of the server's drive. False when the layout
// is not there.
bool DirectInit() {
    char install[MAX_PATH + 1] = {}, dos[MAX_PATH + 1] = {}, windows[MAX_PATH + 1] = {};
    char server[MAX_PATH + 1] = {}, value[MAX_PATH + 1] = {}, path[2 * MAX_PATH] = {};
    {
        ov::RegKey key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Orvanta", 0, KEY_QUERY_VALUE, key.Put()) != ERROR_SUCCESS)
            return false;
        DWORD size = MAX_PATH;
        RegQueryValueExA(key.Get(), "InstallPath", nullptr, nullptr, reinterpret_cast<BYTE*>(install), &size);
    }
    GetWindowsDirectoryA(windows, MAX_PATH);
    std::snprintf(path, sizeof path, "%s\\downloaded program files", windows);
    GetFileAttributesA(path);

    std::snprintf(path, sizeof path, "%s\\Pellar\\OVMLSInstall.inf", install);
    GetPrivateProfileStringA("ORVAN", "MLVer", "", value, MAX_PATH, path);
    GetPrivateProfileStringA("ORVAN", "MLReadMe", "MLReadMe.txt", value, MAX_PATH, path);
    std::snprintf(path, sizeof path, "%s\\Pellar\\OVMLDInstall.inf", install);
    GetPrivateProfileStringA("ORVAN", "MLDVer", "", value, MAX_PATH, path);
    GetPrivateProfileStringA("ORVAN", "MLReadMeDev", "MLReadMeDev.txt", value, MAX_PATH, path);
    {
        ov::RegKey key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Orvanta", 0, KEY_QUERY_VALUE, key.Put()) != ERROR_SUCCESS)
            return false;
        DWORD size = MAX_PATH;
        if (RegQueryValueExA(key.Get(), "DOSInstallPath", nullptr, nullptr, reinterpret_cast<BYTE*>(dos), &size) !=
            ERROR_SUCCESS)
            return false;
    }

    std::snprintf(path, sizeof path, "%s\\Wkstn.ini", install);
    if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) return false;
    if (GetPrivateProfileStringA("Workstation", "ServerPath", "", server, MAX_PATH, path) == 0) return false;
    std::snprintf(path, sizeof path, "%s\\Orvan.ini", server);
    if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) return false;
    static const char* const kLayout[][2] = {
        {"Applications", "AppsPath"},    {"Scripting", "BackupPath"},      {"Scripting", "BitmapPath"},
        {"Scripting", "DevelopmentPath"}, {"Scripting", "FilePath"},       {"Help", "HelpPath"},
        {"Scripting", "MLVer"},          {"Scripting", "MLDVer"},          {"Scripting", "ProductionPath"},
        {"Scripting", "ScriptingPath"},
    };
    for (const auto& key : kLayout) GetPrivateProfileStringA(key[0], key[1], "", value, MAX_PATH, path);

    char root[4] = {server[0], ':', '\\', '\0'};
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
    if (!GetDiskFreeSpaceA(root, &sectorsPerCluster, &bytesPerSector, &freeClusters, &totalClusters)) return false;
    std::snprintf(path, sizeof path, "%s\\Pellar\\Empxxx.ini", dos);
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

Row MeasureInit(const Sandbox& box, IOVCustInst* control) {
    constexpr int kCalls = 100;
    return TimedRow("Init, set-up workstation | the same platform calls", 0, [&] {
        if (!DirectInit()) throw Failed("the sandbox's layout is not complete");
        return InTurns(
            box.runs,
            [&](int) {
                Stopwatch watch;
                for (int i = 0; i < kCalls; ++i) Check(control->Init(), "Init");
                return watch.Seconds() / kCalls;
            },
            [&](int) {
                Stopwatch watch;
                for (int i = 0; i < kCalls; ++i)
                    if (!DirectInit()) throw Failed("the direct calls found no layout");
                return watch.Seconds() / kCalls;
            });
    });
}

Row MeasureLogRecord(const Sandbox& box) {
    constexpr int kRecords = 300;
    return TimedRow("Log record | _fsopen, same lines, flush each, close", 0, [&] {
        ov::OVCILog log;  // finds the log through InstallPath: the sandbox
        if (!log.LogEnabled) throw Failed("the log is off");
        const std::string ours = log.LogFilePath, direct = box.root + "\\direct-log.txt";

        // The very lines of one record, made once.
        char* reason = nullptr;
        FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, static_cast<DWORD>(E_INVALIDARG), 0x0400, reinterpret_cast<char*>(&reason), 0,
                       nullptr);
        ov::UniqueLocal reasonOwner(reason);
        SYSTEMTIME now;
        GetLocalTime(&now);
        const ov::LogTime time{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
        const std::vector<std::string> lines =
            ov::FormatLogRecord(time, "bench", 1, E_INVALIDARG, reason ? reason : "", {"szPath: ", "C:\\x"});

        auto checkAndRemove = [&](const std::string& file) {
            std::size_t found = 0;
            for (const ovlog::Record& r : ovlog::ParseLog(ReadFileText(file), "").records)
                found += r.pairs.size() == 1 && r.pairs[0].label == "szPath" && r.pairs[0].value == "C:\\x";
            DeleteFileA(file.c_str());
            if (found != kRecords) throw Failed(file + ": " + std::to_string(found) + " records written");
        };
        return InTurns(
            box.runs,
            [&](int) {
                Stopwatch watch;
                for (int i = 0; i < kRecords; ++i)
                    log.Report(E_INVALIDARG, ov::Place{"bench", 1}, ov::Box::Hidden, "szPath: ", "C:\\x");
                const double s = watch.Seconds() / kRecords;
                checkAndRemove(ours);
                return s;
            },
            [&](int) {
                Stopwatch watch;
                for (int i = 0; i < kRecords; ++i) {
                    ov::UniqueFile f(_fsopen(direct.c_str(), "at", _SH_DENYNO));
                    if (!f) throw Failed("cannot open " + direct);
                    for (const std::string& line : lines) {
                        std::fputs(line.c_str(), f.Get());
                        std::fflush(f.Get());
                    }
                }
                const double s = watch.Seconds() / kRecords;
                checkAndRemove(direct);
                return s;
            });
    });
}

Row MeasureCopyFile(const Sandbox& box, IOVCustInst* control) {
    constexpr int kCopies = 300;
    return TimedRow("CopyFile 4 KiB, early-bound | CopyFileA", 0, [&] {
        const std::string source = box.root + "\\copy-source", ours = box.root + "\\copy-ours",
                          direct = box.root + "\\copy-direct";
        for (const std::string& dir : {source, ours, direct}) CreateDirectoryA(dir.c_str(), nullptr);
        WriteFileText(source + "\\bench.dat", std::string(4096, 'o'));
        const ov::BStr name = ov::MakeBstr("bench.dat"), from = ov::MakeBstr(source.c_str()),
                       to = ov::MakeBstr(ours.c_str());
        const std::string fromPath = source + "\\bench.dat", toPath = direct + "\\bench.dat";
        return InTurns(
            box.runs,
            [&](int) {
                Stopwatch watch;
                for (int i = 0; i < kCopies; ++i) Check(control->CopyFile(name.Get(), from.Get(), to.Get()), "CopyFile");
                return watch.Seconds() / kCopies;
            },
            [&](int) {
                Stopwatch watch;
                for (int i = 0; i < kCopies; ++i)
                    if (!CopyFileA(fromPath.c_str(), toPath.c_str(), FALSE)) throw Failed("CopyFileA failed");
                return watch.Seconds() / kCopies;
            });
    });
}

Row MeasureCreateDir(const Sandbox& box, IOVCustInst* control) {
    constexpr int kFolders = 200;
    return TimedRow("CreateDir new folder, early-bound | FSO CreateFolder", 0, [&] {
        CLSID fsoClass;
        Check(CLSIDFromProgID(L"Scripting.FileSystemObject", &fsoClass), "Scripting.FileSystemObject");
        ov::ComPtr<IDispatch> fso;
        Check(CoCreateInstance(fsoClass, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, fso.PutVoid()),
              "creating the FileSystemObject");
        LPOLESTR methodName = const_cast<LPOLESTR>(L"CreateFolder");
        DISPID createFolder = 0;
        Check(fso->GetIDsOfNames(IID_NULL, &methodName, 1, LOCALE_USER_DEFAULT, &createFolder), "CreateFolder's name");

        // Every call makes a folder that is not there yet, below a parent that is.
        auto newFolders = [&](const char* side, int round, std::string& parent) {
            parent = box.root + "\\" + side + "-folders-" + std::to_string(round);
            CreateDirectoryA(parent.c_str(), nullptr);
            std::vector<ov::BStr> names;
            for (int i = 0; i < kFolders; ++i) names.push_back(ov::MakeBstr((parent + "\\folder " + std::to_string(i)).c_str()));
            return names;
        };
        return InTurns(
            box.runs,
            [&](int round) {
                std::string parent;
                const std::vector<ov::BStr> names = newFolders("ours", round, parent);
                Stopwatch watch;
                for (const ov::BStr& n : names) Check(control->CreateDir(n.Get()), "CreateDir");
                const double s = watch.Seconds() / kFolders;
                RemoveTree(parent);
                return s;
            },
            [&](int round) {
                std::string parent;
                const std::vector<ov::BStr> names = newFolders("fso", round, parent);
                Stopwatch watch;
                for (const ov::BStr& n : names) {
                    VARIANT arg;
                    V_VT(&arg) = VT_BSTR;
                    V_BSTR(&arg) = n.Get();  // still owned by names
                    DISPPARAMS params{&arg, nullptr, 1, 0};
                    VARIANT folder;
                    VariantInit(&folder);
                    Check(fso->Invoke(createFolder, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &folder,
                                      nullptr, nullptr),
                          "CreateFolder");
                    VariantClear(&folder);
                }
                const double s = watch.Seconds() / kFolders;
                RemoveTree(parent);
                return s;
            });
    });
}

Row MeasureInfCopy(const Sandbox& box, IOVCustInst* control) {
    constexpr int kFiles = 1000;
    return TimedRow("INF copy, 1,000 files | CreateDirectoryA + CopyFileA loop", 1.30, [&] {
        // The files come from the download folder, where a browser's code download leaves them.
        ov::BStr download;
        Check(control->get_DownloadPath(download.Put()), "DownloadPath");
        char source[MAX_PATH + 1] = {};
        ov::ToAnsi(download.Get(), source);
        const bool madeSource = CreateDirectoryA(source, nullptr) != FALSE;
        struct Cleanup {
            std::string source;
            bool madeSource;
            ~Cleanup() {
                for (int i = 0; i < kFiles; ++i)
                    DeleteFileA((source + "\\ov-bench" + std::to_string(i) + ".dat").c_str());
                if (madeSource) RemoveDirectoryA(source.c_str());
            }
        } cleanup{source, madeSource};

        std::string inf;
        const std::string block(4096, 'o');
        for (int i = 0; i < kFiles; ++i) {
            const std::string name = "ov-bench" + std::to_string(i) + ".dat";
            WriteFileText(std::string(source) + "\\" + name, block);
            inf += "[" + name + "]\r\nfile-win32-x86=thiscab\r\nOVSRVDest=Apps\r\n";
        }
        const std::string infPath = box.root + "\\bench.inf", raw = box.root + "\\raw";
        WriteFileText(infPath, inf);
        const ov::BStr infName = ov::MakeBstr(infPath.c_str());
        return InTurns(
            box.runs,
            [&](int) {
                Stopwatch watch;
                Check(control->CopyOVCustomFilesFromINF(infName.Get()), "CopyOVCustomFilesFromINF");
                return watch.Seconds();
            },
            [&](int) {
                Stopwatch watch;
                for (int i = 0; i < kFiles; ++i) {
                    const std::string name = "ov-bench" + std::to_string(i) + ".dat";
                    CreateDirectoryA(raw.c_str(), nullptr);
                    CreateDirectoryA((raw + "\\Apps").c_str(), nullptr);
                    if (!CopyFileA((cleanup.source + "\\" + name).c_str(), (raw + "\\Apps\\" + name).c_str(), FALSE))
                        throw Failed("CopyFileA failed");
                }
                return watch.Seconds();
            });
    });
}

}  // namespace bench
