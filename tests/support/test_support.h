// Shared pieces of the tests: the registered control, a sandboxed install directory, and
// small conversions.
#pragma once

#include <windows.h>

#include <map>
#include <string>

#include "control/ovcustinst_idl.h"
#include "framework/unique_any.h"

namespace ovtest {

// The module under test and the tests' source folder, as Windows paths.
std::string DllPath();
std::string TestsDir();

std::wstring Wide(const std::string& s);
std::string Narrow(BSTR s);

// Runs a command line and returns its exit code (-1 when it could not start).
int RunProcess(const std::string& commandLine);
// regsvr32 /s on the module under test, or with /u.
int RegisterServer();
int UnregisterServer();

// A new control created through the registry by its class id.
ov::ComPtr<IOVCustInst> CreateControl();

using Getter = HRESULT (STDMETHODCALLTYPE IOVCustInst::*)(BSTR*);
// The sixteen properties that hand out a field of the control, by name.
const std::map<std::string, Getter>& FieldGetters();
// All eighteen properties: those sixteen, ConvertLogPath and ScriptingConversionPath.
const std::map<std::string, Getter>& AllGetters();

// An exported function of a loaded module, typed.
template <class Fn>
Fn Export(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// Text of a whole file, or empty when it cannot be read.
std::string ReadFileText(const std::string& path);
void WriteFileText(const std::string& path, const std::string& text);
bool PathExists(const std::string& path);
// Removes a directory tree.
void RemoveTree(const std::string& path);

// Remembers one registry value (or its absence) under HKEY_LOCAL_MACHINE and puts it back.
class RegistryValueGuard {
public:
    RegistryValueGuard(const std::string& subKey, const std::string& name);
    ~RegistryValueGuard();
    RegistryValueGuard(const RegistryValueGuard&) = delete;
    RegistryValueGuard& operator=(const RegistryValueGuard&) = delete;

    void Set(const std::string& value);
    void SetBytes(const void* data, DWORD size, DWORD type = REG_SZ);
    void Remove();

private:
    std::string subKey_, name_;
    bool existed_ = false;
    DWORD type_ = 0;
    std::string data_;
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
    // Removes the whole "SOFTWARE\Orvanta" key until the sandbox ends.
    void RemoveOrvantaKey();

private:
    std::string path_;
    RegistryValueGuard installPath_;
    bool keyRemoved_ = false;
};

// COM for the test's thread, in a single-threaded apartment like a container's.
class ComApartment {
public:
    ComApartment() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    ~ComApartment() { CoUninitialize(); }
};

}  // namespace ovtest
