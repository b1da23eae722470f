#include "test_support.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace ovtest {

namespace {
std::string Backslashed(std::string s) {
    for (char& c : s)
        if (c == '/') c = '\\';
    return s;
}
}  // namespace

std::string DllPath() { return Backslashed(OV_DLL_FWD); }
std::string TestsDir() { return Backslashed(OV_TESTS_FWD); }

std::wstring Wide(const std::string& s) {
    int n = MultiByteToWideChar(CP_ACP, 0, s.c_str(), -1, nullptr, 0);
    std::wstring w(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, s.c_str(), -1, &w[0], n);
    w.resize(static_cast<size_t>(n > 0 ? n - 1 : 0));
    return w;
}

std::string Narrow(BSTR s) {
    if (!s) return std::string();
    int n = WideCharToMultiByte(CP_ACP, 0, s, static_cast<int>(SysStringLen(s)), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, s, static_cast<int>(SysStringLen(s)), &out[0], n, nullptr, nullptr);
    return out;
}

int RunProcess(const std::string& commandLine) {
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::vector<char> cmd(commandLine.begin(), commandLine.end());
    cmd.push_back('\0');
    if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return -1;
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return static_cast<int>(code);
}

int RegisterServer() { return RunProcess(std::string("regsvr32.exe /s \"") + DllPath() + "\""); }
int UnregisterServer() { return RunProcess(std::string("regsvr32.exe /s /u \"") + DllPath() + "\""); }

ov::ComPtr<IOVCustInst> CreateControl() {
    ov::ComPtr<IOVCustInst> p;
    HRESULT hr = CoCreateInstance(CLSID_OVCustInst, nullptr, CLSCTX_INPROC_SERVER, IID_IOVCustInst, p.PutVoid());
    if (FAILED(hr)) {
        char msg[64];
        std::snprintf(msg, sizeof msg, "CoCreateInstance failed: 0x%08lX", static_cast<unsigned long>(hr));
        throw std::runtime_error(msg);
    }
    return p;
}

const std::map<std::string, Getter>& FieldGetters() {
    static const std::map<std::string, Getter> getters = {
        {"AppsPath", &IOVCustInst::get_AppsPath},
        {"BackupPath", &IOVCustInst::get_BackupPath},
        {"BitmapPath", &IOVCustInst::get_BitmapPath},
        {"DevelopPath", &IOVCustInst::get_DevelopPath},
        {"DownloadPath", &IOVCustInst::get_DownloadPath},
        {"FilePath", &IOVCustInst::get_FilePath},
        {"HelpPath", &IOVCustInst::get_HelpPath},
        {"LocalNWXORVANPath", &IOVCustInst::get_LocalNWXORVANPath},
        {"ProductionPath", &IOVCustInst::get_ProductionPath},
        {"ScriptingPath", &IOVCustInst::get_ScriptingPath},
        {"ServerPath", &IOVCustInst::get_ServerPath},
        {"WindowsDir", &IOVCustInst::get_WindowsDir},
        {"LocalPLORVANPath", &IOVCustInst::get_LocalPLORVANPath},
        {"InstalledMLVersion", &IOVCustInst::get_InstalledMLVersion},
        {"CachedMLVersion", &IOVCustInst::get_CachedMLVersion},
        {"MLReadMe", &IOVCustInst::get_MLReadMe},
    };
    return getters;
}

const std::map<std::string, Getter>& AllGetters() {
    static const std::map<std::string, Getter> getters = [] {
        std::map<std::string, Getter> all = FieldGetters();
        all["ConvertLogPath"] = &IOVCustInst::get_ConvertLogPath;
        all["ScriptingConversionPath"] = &IOVCustInst::get_ScriptingConversionPath;
        return all;
    }();
    return getters;
}

std::string ReadFileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void WriteFileText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

bool PathExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void RemoveTree(const std::string& path) {
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((path + "\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::string name = fd.cFileName;
            if (name == "." || name == "..") continue;
            std::string child = path + "\\" + name;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(child);
            } else {
                SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(child.c_str());
            }
        } while (FindNextFileA(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryA(path.c_str());
}

RegistryValueGuard::RegistryValueGuard(const std::string& subKey, const std::string& name)
    : subKey_(subKey), name_(name) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey_.c_str(), 0, KEY_QUERY_VALUE, &key) == ERROR_SUCCESS) {
        DWORD size = 0;
        if (RegQueryValueExA(key, name_.c_str(), nullptr, &type_, nullptr, &size) == ERROR_SUCCESS) {
            data_.resize(size);
            RegQueryValueExA(key, name_.c_str(), nullptr, &type_, reinterpret_cast<BYTE*>(&data_[0]), &size);
            existed_ = true;
        }
        RegCloseKey(key);
    }
}

RegistryValueGuard::~RegistryValueGuard() {
    if (existed_) SetBytes(data_.data(), static_cast<DWORD>(data_.size()), type_);
    else Remove();
}

void RegistryValueGuard::Set(const std::string& value) {
    SetBytes(value.c_str(), static_cast<DWORD>(value.size() + 1), REG_SZ);
}

void RegistryValueGuard::SetBytes(const void* data, DWORD size, DWORD type) {
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, subKey_.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) == ERROR_SUCCESS) {
        RegSetValueExA(key, name_.c_str(), 0, type, static_cast<const BYTE*>(data), size);
        RegCloseKey(key);
    }
}

void RegistryValueGuard::Remove() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey_.c_str(), 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
        RegDeleteValueA(key, name_.c_str());
        RegCloseKey(key);
    }
}

namespace {

std::string NewSandboxPath() {
    static unsigned counter = 0;
    char path[MAX_PATH];
    std::snprintf(path, sizeof path, "C:\\ovtest\\%lu-%u-%lu", GetCurrentProcessId(), ++counter,
                  static_cast<unsigned long>(GetTickCount()));
    CreateDirectoryA("C:\\ovtest", nullptr);
    CreateDirectoryA(path, nullptr);
    return path;
}

// Every value under SOFTWARE\Orvanta, to rebuild the key after a test removed it.
struct SavedKey {
    std::vector<std::pair<std::string, std::pair<DWORD, std::string>>> values;
    bool existed = false;
};

SavedKey SaveOrvanta() {
    SavedKey saved;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Orvanta", 0, KEY_READ, &key) != ERROR_SUCCESS) return saved;
    saved.existed = true;
    for (DWORD i = 0;; ++i) {
        char name[512];
        DWORD nameLen = sizeof name, type = 0, size = 0;
        if (RegEnumValueA(key, i, name, &nameLen, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
        std::string data(size, '\0');
        nameLen = sizeof name;
        RegEnumValueA(key, i, name, &nameLen, nullptr, &type, reinterpret_cast<BYTE*>(&data[0]), &size);
        saved.values.push_back({name, {type, data}});
    }
    RegCloseKey(key);
    return saved;
}

SavedKey g_savedOrvanta;

}  // namespace

InstallSandbox::InstallSandbox()
    : path_(NewSandboxPath()), installPath_("SOFTWARE\\Orvanta", "InstallPath") {
    installPath_.Set(path_);
}

InstallSandbox::~InstallSandbox() {
    if (keyRemoved_) {
        HKEY key;
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Orvanta", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                            nullptr) == ERROR_SUCCESS) {
            for (auto& v : g_savedOrvanta.values)
                RegSetValueExA(key, v.first.c_str(), 0, v.second.first,
                               reinterpret_cast<const BYTE*>(v.second.second.data()),
                               static_cast<DWORD>(v.second.second.size()));
            RegCloseKey(key);
        }
    }
    RemoveTree(path_);
}

void InstallSandbox::RemoveOrvantaKey() {
    g_savedOrvanta = SaveOrvanta();
    keyRemoved_ = true;
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Orvanta");
}

}  // namespace ovtest
