// CopyOVCustomFilesFromINF against the bare platform: 1,000 files of 4 KiB named by one INF,
// copied by the registered control, then the same files by a CreateDirectoryA + CopyFileA
// loop. Prints both times and their ratio. The registry points at a sandbox of the
// benchmark's own while it runs and is put back afterwards.
#include <windows.h>
#include <shellapi.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "OVCustInstSrv_h.h"
#include "framework/ansi_text.h"
#include "framework/unique_any.h"

namespace {

constexpr int kFiles = 1000;

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// One value under HKLM\SOFTWARE\Orvanta set for the benchmark, put back at the end.
class ValueForNow {
public:
    ValueForNow(HKEY key, const char* name, const std::string& value) : key_(key), name_(name) {
        DWORD size = sizeof saved_ - 1;
        had_ = RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(saved_), &size) == ERROR_SUCCESS;
        RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>(value.size() + 1));
    }
    ~ValueForNow() {
        if (had_)
            RegSetValueExA(key_, name_, 0, REG_SZ, reinterpret_cast<const BYTE*>(saved_),
                           static_cast<DWORD>(strlen(saved_) + 1));
        else
            RegDeleteValueA(key_, name_);
    }

private:
    HKEY key_;
    const char* name_;
    char saved_[MAX_PATH + 1] = {};
    bool had_ = false;
};

void WriteFile(const std::string& path, const std::string& text) {
    ov::UniqueFile f(std::fopen(path.c_str(), "wb"));
    if (f) std::fwrite(text.data(), 1, text.size(), f.Get());
}

void RemoveTree(const std::string& path) {
    std::string from = path + '\0';
    SHFILEOPSTRUCTA op{};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NO_UI;
    SHFileOperationA(&op);
}

}  // namespace

int main() {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string root = std::string(temp) + "ov-bench-" + std::to_string(GetTickCount());
    CreateDirectoryA(root.c_str(), nullptr);
    int status = 1;
    {
        ov::RegKey key;
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Orvanta", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.Put(),
                        nullptr);
        ValueForNow install(key.Get(), "InstallPath", root);
        ValueForNow local(key.Get(), "DOSInstallPath", root + "\\local");

        ov::ComPtr<IOVCustInst> control;
        if (FAILED(CoCreateInstance(CLSID_OVCustInst, nullptr, CLSCTX_INPROC_SERVER, IID_IOVCustInst,
                                    control.PutVoid()))) {
            std::fprintf(stderr, "the control is not registered: run regsvr32 on OVCustInstSrv.dll first\n");
            return 1;
        }
        control->SetScriptServer(ov::MakeBstr((root + "\\server").c_str()).Get());
        ov::BStr download;
        if (FAILED(control->Init()) || FAILED(control->get_DownloadPath(download.Put()))) return 1;
        char source[MAX_PATH + 1] = {};
        ov::ToAnsi(download.Get(), source);
        CreateDirectoryA(source, nullptr);

        std::string inf;
        const std::string block(4096, 'o');
        for (int i = 0; i < kFiles; ++i) {
            const std::string name = "ov-bench" + std::to_string(i) + ".dat";
            WriteFile(std::string(source) + "\\" + name, block);
            inf += "[" + name + "]\r\nfile-win32-x86=thiscab\r\nOVSRVDest=Apps\r\n";
        }
        WriteFile(root + "\\bench.inf", inf);

        auto start = std::chrono::steady_clock::now();
        const HRESULT hr = control->CopyOVCustomFilesFromINF(ov::MakeBstr((root + "\\bench.inf").c_str()).Get());
        const double byControl = SecondsSince(start);

        start = std::chrono::steady_clock::now();
        for (int i = 0; i < kFiles; ++i) {
            const std::string name = "ov-bench" + std::to_string(i) + ".dat";
            CreateDirectoryA((root + "\\raw").c_str(), nullptr);
            CreateDirectoryA((root + "\\raw\\Apps").c_str(), nullptr);
            CopyFileA((std::string(source) + "\\" + name).c_str(), (root + "\\raw\\Apps\\" + name).c_str(), FALSE);
        }
        const double raw = SecondsSince(start);

        std::printf("CopyOVCustomFilesFromINF, %d files of 4 KiB: %.3f s (HRESULT %08lX)\n", kFiles, byControl,
                    static_cast<unsigned long>(hr));
        std::printf("CreateDirectoryA + CopyFileA loop:              %.3f s\n", raw);
        std::printf("ratio: %.2f (goal: at most 1.30)\n", byControl / raw);
        status = SUCCEEDED(hr) ? 0 : 1;
        for (int i = 0; i < kFiles; ++i) DeleteFileA((std::string(source) + "\\ov-bench" + std::to_string(i) + ".dat").c_str());
    }
    RemoveTree(root);
    CoUninitialize();
    return status;
}
