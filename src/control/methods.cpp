// The members of IOVCustInst that do something: each checks and converts its arguments, then
// hands them to the plain operation of its part.
#include <cwchar>
#include <string>

#include "../editor/editor.h"
#include "../fileops/custom_files.h"
#include "../fileops/file_operations.h"
#include "../framework/ansi_text.h"
#include "../packages/packages.h"
#include "OVCustInst.h"

namespace ov {
namespace {

// A BSTR as narrow text in the ANSI code page, of any length, up to its first null character.
std::string Narrow(BSTR s) {
    UINT n = SysStringLen(s);
    if (n == 0) return std::string();
    int bytes = WideCharToMultiByte(CP_ACP, 0, s, static_cast<int>(n), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0) WideCharToMultiByte(CP_ACP, 0, s, static_cast<int>(n), &out[0], bytes, nullptr, nullptr);
    return out.c_str();
}

}  // namespace

STDMETHODIMP OVCustInst::CopyFile(BSTR bstrFileName, BSTR bstrSourceDir, BSTR bstrDestDir) {
    return Guard(OV_HERE, Box::Shown, [&] {
        if (const char* label = CopyFileLengthRefusal(SysStringLen(bstrFileName), SysStringLen(bstrSourceDir),
                                                      SysStringLen(bstrDestDir)))
            return RefuseLength(OV_HERE, label);
        // Text that grows past its buffer in the ANSI code page is refused like an over-long
        // argument.
        Path fileName = {}, sourceDir = {}, destDir = {};
        if (!ToAnsi(bstrFileName, fileName)) return RefuseLength(OV_HERE, "bstrFileName: ");
        if (!ToAnsi(bstrSourceDir, sourceDir)) return RefuseLength(OV_HERE, "bstrSourceDir: ");
        if (!ToAnsi(bstrDestDir, destDir)) return RefuseLength(OV_HERE, "bstrDestDir: ");
        return CopyFileInto(*this, fileName, sourceDir, destDir);
    });
}

STDMETHODIMP OVCustInst::CreateDir(BSTR bstrDirPath) {
    return Guard(OV_HERE, Box::Shown, [&] {
        Path dirPath = {};
        if (!ArgumentFits(SysStringLen(bstrDirPath)) || !ToAnsi(bstrDirPath, dirPath))
            return RefuseLength(OV_HERE, "bstrDirPath: ");
        return CreateDirWithParents(*this, dirPath);
    });
}

STDMETHODIMP OVCustInst::GetFreeDiskSpace(BSTR bstrDrive, ULONG* ulFreeSpace) {
    return Guard(OV_HERE, Box::Shown, [&] {
        if (!ArgumentFits(SysStringLen(bstrDrive))) return RefuseLength(OV_HERE, "bstrDrive: ");
        if (!ulFreeSpace) return Fail(E_POINTER, OV_HERE, Box::Shown);
        Path drive = {};
        if (!ToAnsi(bstrDrive, drive)) return RefuseLength(OV_HERE, "bstrDrive: ");
        return DriveFreeSpace(*this, drive, ulFreeSpace);
    });
}

STDMETHODIMP OVCustInst::RunSEE(BSTR bstrSEEPath, BSTR bstrDestPath) {
    return Guard(OV_HERE, Box::Shown, [&] {
        if (!ArgumentFits(SysStringLen(bstrSEEPath))) return RefuseLength(OV_HERE, "bstrSEEPath: ");
        if (!ArgumentFits(SysStringLen(bstrDestPath))) return RefuseLength(OV_HERE, "bstrDestPath: ");
        Path seePath = {}, destPath = {};
        if (!ToAnsi(bstrSEEPath, seePath)) return RefuseLength(OV_HERE, "bstrSEEPath: ");
        if (!ToAnsi(bstrDestPath, destPath)) return RefuseLength(OV_HERE, "bstrDestPath: ");
        return RunPackage(*this, seePath, destPath);
    });
}

STDMETHODIMP OVCustInst::Init() {
    // The layout is replaced only when the whole discovery succeeded.
    return Guard(OV_HERE, Box::Shown, [&] { return DiscoverLayout(*this, MappedScriptServer.Get(), layout); });
}

STDMETHODIMP OVCustInst::CopyOVCustomFilesFromINF(BSTR bstrINFPath) {
    return Guard(OV_HERE, Box::Shown, [&] {
        Path infPath = {};
        if (!ArgumentFits(SysStringLen(bstrINFPath)) || !ToAnsi(bstrINFPath, infPath))
            return RefuseLength(OV_HERE, "bstrINFPath: ");
        HRESULT hr = Init();
        if (FAILED(hr)) return Fail(hr, OV_HERE, Box::Hidden);
        const Layout& l = layout;
        const InfDirectories dirs{l.ServerPath,  l.LocalPLORVANPath, l.LocalNWXORVANPath, l.DownloadPath, l.WindowsDir,
                                  l.AppsPath,    l.HelpPath,         l.ScriptingPath,     l.BackupPath,   l.BitmapPath,
                                  l.DevelopPath, l.FilePath,         l.ProductionPath};
        return CopyCustomFiles(*this, infPath, dirs);
    });
}

HRESULT OVCustInst::InstallPackage(PackageKindId kind, Path& seeFileName) {
    return Guard(OV_HERE, Box::Shown, [&] { return InstallScriptPackage(*this, kind, Init(), layout, seeFileName); });
}

STDMETHODIMP OVCustInst::InstallMLScripts() { return InstallPackage(PackageKindId::Scripts, MLSSEEFileName); }

STDMETHODIMP OVCustInst::InstallDevFiles() { return InstallPackage(PackageKindId::Development, MLDSEEFileName); }

STDMETHODIMP OVCustInst::InstallSEditor() {
    return Guard(OV_HERE, Box::Shown, [&] {
        HRESULT hr = Init();
        if (FAILED(hr)) return Fail(hr, OV_HERE, Box::Hidden);
        return InstallEditorPackages(*this, layout);
    });
}

STDMETHODIMP OVCustInst::RunEditor() {
    return Guard(OV_HERE, Box::Shown, [&] {
        HRESULT hr = Init();
        if (FAILED(hr)) return Fail(hr, OV_HERE, Box::Hidden);
        bool installed = false;
        hr = EditorInstalled(*this, &installed);
        if (FAILED(hr)) return hr;
        if (!installed) {
            hr = InstallSEditor();
            if (FAILED(hr)) return Fail(hr, OV_HERE, Box::Hidden);
        }
        return StartEditor(*this, layout);
    });
}

STDMETHODIMP OVCustInst::ScriptServerSetupComplete(VARIANT_BOOL* bComplete) {
    return Guard(OV_HERE, Box::Hidden, [&] { return ScriptServerComplete(*this, bComplete); });
}

STDMETHODIMP OVCustInst::SetScriptServer(BSTR bstrMappedScriptServer) {
    // A NUL before the end would have Init write a server cut there into Wkstn.ini: refused
    // like every other argument that holds one, and the server handed over before stays.
    if (bstrMappedScriptServer && std::wmemchr(bstrMappedScriptServer, L'\0', SysStringLen(bstrMappedScriptServer)))
        return RefuseLength(OV_HERE, "bstrMappedScriptServer: ");
    // Only a copy is stored, which cannot throw; a failed allocation leaves the field null, so
    // Init falls back to its other sources of the server.
    MappedScriptServer = BStr(bstrMappedScriptServer);
    return S_OK;
}

HRESULT OVCustInst::ReadRegistryValue(BSTR bstrSubKey, BSTR bstrValueName, BSTR* pbstrValue,
                                      const char** ppszErrorText) {
    static constexpr char kNonNullOut[] = "The out-parameter was passed as non-null.";
    static constexpr char kNullArgs[] =
        "The registry key or data is null.  Please enter values for these parameters.";
    const char* message = kRegistryReadFailed;  // unless a failure below names another
    HRESULT result = Guard(OV_HERE, Box::Hidden, [&] {
        if (pbstrValue && *pbstrValue) {
            message = kNonNullOut;
            return Fail(E_INVALIDARG, OV_HERE, Box::Hidden, "bstrDrive: ", kNonNullOut);
        }
        if (!bstrSubKey || !bstrValueName || !pbstrValue) {
            message = kNullArgs;
            return Fail(E_INVALIDARG, OV_HERE, Box::Hidden, "bstrFilePath: ", kNullArgs);
        }
        Path value = {};
        HRESULT hr = ReadRegistryText(*this, Narrow(bstrSubKey).c_str(), Narrow(bstrValueName).c_str(), value, &message);
        if (FAILED(hr)) return hr;
        *pbstrValue = MakeBstr(value).Detach();
        return S_OK;
    }, "Error: ", kRegistryReadFailed);
    if (FAILED(result) && ppszErrorText) *ppszErrorText = message;
    return result;
}

}  // namespace ov
