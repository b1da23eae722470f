#include "test_support.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace ovtest {

std::string DllPath() {
    std::string s = OV_DLL_FWD;
    for (char& c : s)
        if (c == '/') c = '\\';
    return s;
}

std::wstring Wide(const std::string& s) {
    int n = MultiByteToWideChar(CP_ACP, 0, s.c_str(), -1, nullptr, 0);
    std::wstring w(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, s.c_str(), -1, &w[0], n);
    w.resize(n > 0 ? n - 1 : 0);
    return w;
}

std::string Narrow(BSTR s) {
    int len = static_cast<int>(SysStringLen(s));
    int n = s ? WideCharToMultiByte(CP_ACP, 0, s, len, nullptr, 0, nullptr, nullptr) : 0;
    std::string out(static_cast<size_t>(n), '\0');
    if (n) WideCharToMultiByte(CP_ACP, 0, s, len, &out[0], n, nullptr, nullptr);
    return out;
}

HANDLE StartProcess(const std::string& commandLine) {
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::string cmd = commandLine;
    if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return nullptr;
    CloseHandle(pi.hThread);
    return pi.hProcess;
}

int RunProcess(const std::string& commandLine) {
    HANDLE process = StartProcess(commandLine);
    if (!process) return -1;
    WaitForSingleObject(process, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    CloseHandle(process);
    return static_cast<int>(code);
}

int RegisterServer(bool unregister) {
    return RunProcess(std::string("regsvr32.exe /s ") + (unregister ? "/u \"" : "\"") + DllPath() + "\"");
}

ov::ComPtr<IOVCustInst> CreateControl() {
    ov::ComPtr<IOVCustInst> p;
    HRESULT hr = CoCreateInstance(CLSID_OVCustInst, nullptr, CLSCTX_INPROC_SERVER, IID_IOVCustInst, p.PutVoid());
    if (FAILED(hr)) throw std::runtime_error("CoCreateInstance failed: " + HexCode(hr));
    return p;
}

HRESULT CanUnloadNow() {
    auto fn = Export<HRESULT(STDAPICALLTYPE*)()>(GetModuleHandleA("OVCustInstSrv.dll"), "DllCanUnloadNow");
    return fn ? fn() : E_UNEXPECTED;
}

const std::vector<Member>& Members() {
    // Slots 0 to 6 belong to IUnknown and IDispatch; DISPID 2 is not used.
    using I = IOVCustInst;
    static const std::vector<Member> members = {
        {"CopyFile", 1, 7, nullptr},
        {"CopyOVCustomFilesFromINF", 3, 8, nullptr},
        {"CreateDir", 4, 9, nullptr},
        {"InstallMLScripts", 5, 10, nullptr},
        {"AppsPath", 6, 11, &I::get_AppsPath},
        {"BackupPath", 7, 12, &I::get_BackupPath},
        {"BitmapPath", 8, 13, &I::get_BitmapPath},
        {"DevelopPath", 9, 14, &I::get_DevelopPath},
        {"DownloadPath", 10, 15, &I::get_DownloadPath},
        {"FilePath", 11, 16, &I::get_FilePath},
        {"HelpPath", 12, 17, &I::get_HelpPath},
        {"LocalNWXORVANPath", 13, 18, &I::get_LocalNWXORVANPath},
        {"ProductionPath", 14, 19, &I::get_ProductionPath},
        {"ScriptingPath", 15, 20, &I::get_ScriptingPath},
        {"ServerPath", 16, 21, &I::get_ServerPath},
        {"WindowsDir", 17, 22, &I::get_WindowsDir},
        {"RunSEE", 18, 23, nullptr},
        {"Init", 19, 24, nullptr},
        {"LocalPLORVANPath", 20, 25, &I::get_LocalPLORVANPath},
        {"InstalledMLVersion", 21, 26, &I::get_InstalledMLVersion},
        {"CachedMLVersion", 22, 27, &I::get_CachedMLVersion},
        {"InstallSEditor", 23, 28, nullptr},
        {"ConvertLogPath", 24, 29, &I::get_ConvertLogPath},
        {"ScriptingConversionPath", 25, 30, &I::get_ScriptingConversionPath},
        {"RunEditor", 26, 31, nullptr},
        {"MLReadMe", 27, 32, &I::get_MLReadMe},
        {"GetFreeDiskSpace", 28, 33, nullptr},
        {"InstallDevFiles", 29, 34, nullptr},
        {"ScriptServerSetupComplete", 30, 35, nullptr},
        {"SetScriptServer", 31, 36, nullptr},
    };
    return members;
}

Getter GetterOf(const std::string& name) {
    for (const Member& m : Members())
        if (name == m.name) return m.get;
    return nullptr;
}

std::string ReadFileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void WriteFileText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

bool PathExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void RemoveTree(const std::string& path) {
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((path + "\\*").c_str(), &fd);
    for (BOOL more = h != INVALID_HANDLE_VALUE; more; more = FindNextFileA(h, &fd)) {
        std::string name = fd.cFileName, child = path + "\\" + name;
        if (name == "." || name == "..") continue;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveTree(child);
        SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(child.c_str());
    }
    if (h != INVALID_HANDLE_VALUE) FindClose(h);
    RemoveDirectoryA(path.c_str());
}

RegistryValueGuard::RegistryValueGuard(const std::string& subKey, const std::string& name)
    : subKey_(subKey), name_(name) {
    ov::RegKey key;
    DWORD size = 0;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey_.c_str(), 0, KEY_QUERY_VALUE, key.Put()) != ERROR_SUCCESS ||
        RegQueryValueExA(key.Get(), name_.c_str(), nullptr, &type_, nullptr, &size) != ERROR_SUCCESS)
        return;
    data_.resize(size);
    existed_ = RegQueryValueExA(key.Get(), name_.c_str(), nullptr, &type_, reinterpret_cast<BYTE*>(&data_[0]),
                                &size) == ERROR_SUCCESS;
}

RegistryValueGuard::~RegistryValueGuard() {
    if (existed_) SetBytes(data_.data(), static_cast<DWORD>(data_.size()), type_);
    else Remove();
}

void RegistryValueGuard::SetBytes(const void* data, DWORD size, DWORD type) {
    ov::RegKey key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, subKey_.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.Put(),
                        nullptr) == ERROR_SUCCESS)
        RegSetValueExA(key.Get(), name_.c_str(), 0, type, static_cast<const BYTE*>(data), size);
}

void RegistryValueGuard::Remove() {
    ov::RegKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey_.c_str(), 0, KEY_SET_VALUE, key.Put()) == ERROR_SUCCESS)
        RegDeleteValueA(key.Get(), name_.c_str());
}

namespace {
constexpr char kOrvanta[] = "SOFTWARE\\Orvanta";

std::string NewSandboxPath() {
    static unsigned counter = 0;
    char path[MAX_PATH];
    std::snprintf(path, sizeof path, "C:\\ovtest\\%lu-%u-%lu", GetCurrentProcessId(), ++counter, GetTickCount());
    CreateDirectoryA("C:\\ovtest", nullptr);
    CreateDirectoryA(path, nullptr);
    return path;
}
}  // namespace

InstallSandbox::InstallSandbox() : path_(NewSandboxPath()), installPath_(kOrvanta, "InstallPath") {
    installPath_.Set(path_);
}

InstallSandbox::~InstallSandbox() {
    ov::RegKey key;
    if (keyRemoved_ && RegCreateKeyExA(HKEY_LOCAL_MACHINE, kOrvanta, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.Put(),
                                       nullptr) == ERROR_SUCCESS)
        for (auto& v : savedKey_)
            RegSetValueExA(key.Get(), v.first.c_str(), 0, v.second.first,
                           reinterpret_cast<const BYTE*>(v.second.second.data()),
                           static_cast<DWORD>(v.second.second.size()));
    RemoveTree(path_);
}

void InstallSandbox::RemoveOrvantaKey() {
    ov::RegKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kOrvanta, 0, KEY_READ, key.Put()) == ERROR_SUCCESS) {
        char name[512];
        std::string data(4096, '\0');
        for (DWORD i = 0, nameLen = sizeof name, type = 0, size = 4096;
             RegEnumValueA(key.Get(), i, name, &nameLen, nullptr, &type, reinterpret_cast<BYTE*>(&data[0]),
                           &size) == ERROR_SUCCESS;
             ++i, nameLen = sizeof name, size = 4096)
            savedKey_.push_back({name, {type, data.substr(0, size)}});
    }
    key.Close();
    keyRemoved_ = true;
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kOrvanta);
}

namespace {
constexpr char kRecordStart[] = "\r\nTime: (mm/dd/yy)   ";

// Takes "<label><value>\r\n" off the front of rest.
bool TakeLine(std::string& rest, const std::string& label, std::string& value) {
    size_t end = rest.find("\r\n", label.size());
    if (rest.compare(0, label.size(), label) != 0 || end == std::string::npos) return false;
    value = rest.substr(label.size(), end - label.size());
    rest.erase(0, end + 2);
    return true;
}

bool ParseRecord(std::string rest, ParsedRecord& r) {
    SYSTEMTIME& t = r.time;
    if (std::sscanf(rest.c_str(), "\r\nTime: (mm/dd/yy)   %hu/%hu/%hu   %hu:%hu:%hu", &t.wMonth, &t.wDay, &t.wYear,
                    &t.wHour, &t.wMinute, &t.wSecond) != 6)
        return false;
    // Written again from the numbers: no leading zeros, no other spacing.
    char head[128];
    std::snprintf(head, sizeof head, "\r\nTime: (mm/dd/yy)   %u/%u/%u   %u:%u:%u \r\n", t.wMonth, t.wDay, t.wYear,
                  t.wHour, t.wMinute, t.wSecond);
    if (rest.compare(0, std::strlen(head), head) != 0) return false;
    rest.erase(0, std::strlen(head));
    if (!TakeLine(rest, "File:    ", r.file) || !TakeLine(rest, "Line:    ", r.line) ||
        !TakeLine(rest, "HRESULT: ", r.code) || rest.compare(0, 9, "Reason:  ") != 0)
        return false;
    r.tail = rest;
    return true;
}
}  // namespace

ParsedLog SplitLogRecords(const std::string& text) {
    ParsedLog log;
    size_t at = text.find(kRecordStart);
    log.before = text.substr(0, at);
    while (at != std::string::npos) {
        size_t next = text.find(kRecordStart, at + 2);
        ParsedRecord r;
        if (!ParseRecord(text.substr(at, next == std::string::npos ? next : next - at), r)) {
            log.error = "record " + std::to_string(log.records.size()) + " does not parse";
            return log;
        }
        log.records.push_back(std::move(r));
        at = next;
    }
    return log;
}

std::string SystemMessage(HRESULT code) {
    char* text = nullptr;
    DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, static_cast<DWORD>(code), 0x0400, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string out = (n && text) ? std::string(text, n) : std::string();
    LocalFree(text);
    return out;
}

std::string AsStored(const std::string& text) {
    std::string out;
    for (char c : text) out += c == '\n' ? "\r\n" : std::string(1, c);
    return out;
}

std::string HexCode(HRESULT code) {
    char text[16];
    std::snprintf(text, sizeof text, "%lX", static_cast<unsigned long>(code));
    return text;
}

}  // namespace ovtest
