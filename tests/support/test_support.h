// Shared pieces of the tests: the registered control and the table of its members, a
// sandboxed install directory, files and registry values, and the log read back.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "control/ovcustinst_idl.h"
#include "framework/com_ptr.h"

namespace ovtest {

std::string DllPath();  // the module under test, as a Windows path
std::wstring Wide(const std::string& s);
std::string Narrow(BSTR s);

// A started process (null when it could not start), or one run to its end: its exit code, -1
// when it could not start.
HANDLE StartProcess(const std::string& commandLine);
int RunProcess(const std::string& commandLine);
int RegisterServer(bool unregister = false);  // regsvr32 /s, or /s /u

ov::ComPtr<IOVCustInst> CreateControl();  // through the registry, by class id
HRESULT CanUnloadNow();                   // the loaded module's DllCanUnloadNow

template <class Fn>
Fn Export(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// IOVCustInst as clients bind to it: each member's DISPID and vtable slot, and the getter of
// each property.
using Getter = HRESULT (STDMETHODCALLTYPE IOVCustInst::*)(BSTR*);
struct Member {
    const char* name;
    DISPID id;
    unsigned slot;
    Getter get;
};
const std::vector<Member>& Members();
Getter GetterOf(const std::string& name);  // null for a method or an unknown name

std::string ReadFileText(const std::string& path);  // empty when it cannot be read
void WriteFileText(const std::string& path, const std::string& text);
bool PathExists(const std::string& path);
void RemoveTree(const std::string& path);

// One value under HKEY_LOCAL_MACHINE, put back as it was (or removed) at the end.
class RegistryValueGuard {
public:
    RegistryValueGuard(const std::string& subKey, const std::string& name);
    ~RegistryValueGuard();
    RegistryValueGuard(const RegistryValueGuard&) = delete;
    RegistryValueGuard& operator=(const RegistryValueGuard&) = delete;
    void Set(const std::string& value) { SetBytes(value.c_str(), static_cast<DWORD>(value.size() + 1)); }
    void SetBytes(const void* data, DWORD size, DWORD type = REG_SZ);
    void Remove();

private:
    std::string subKey_, name_, data_;
    bool existed_ = false;
    DWORD type_ = 0;
};

// A fresh install directory named by HKLM\SOFTWARE\Orvanta "InstallPath" for the test's
// lifetime; the registry and the disk are put back afterwards.
class InstallSandbox {
public:
    InstallSandbox();
    ~InstallSandbox();
    InstallSandbox(const InstallSandbox&) = delete;
    InstallSandbox& operator=(const InstallSandbox&) = delete;
    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& rel) const { return path_ + "\\" + rel; }
    std::string LogText() const { return ReadFileText(*this / "OVCILog.txt"); }
    RegistryValueGuard& InstallPathValue() { return installPath_; }
    void RemoveOrvantaKey();  // the whole "SOFTWARE\Orvanta" key, until the sandbox ends

private:
    std::string path_;
    RegistryValueGuard installPath_;
    bool keyRemoved_ = false;
    std::vector<std::pair<std::string, std::pair<DWORD, std::string>>> savedKey_;
};

// OVCILog.txt read back: each record's fixed lines taken apart, the rest kept as written.
struct ParsedRecord {
    SYSTEMTIME time{};
    std::string file, line, code;  // the values of the "File:", "Line:" and "HRESULT:" lines
    std::string tail;              // from "Reason:  " up to where the next record begins
};
struct ParsedLog {
    std::string before;  // whatever precedes the first record
    std::vector<ParsedRecord> records;
    std::string error;  // which record did not parse; empty when all did
};
// Each record must have its time line exactly as written for its time, then the file, line,
// HRESULT and reason labels, each line ended by CR LF.
ParsedLog SplitLogRecords(const std::string& text);
std::string SystemMessage(HRESULT code);        // the system's text for a code, or empty
std::string AsStored(const std::string& text);  // as a text-mode stream stores it: LF -> CR LF
std::string HexCode(HRESULT code);              // upper-case hexadecimal, no prefix or zeros

}  // namespace ovtest
