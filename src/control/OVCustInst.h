// The control class OVCustInst and its automation interface IOVCustInst.
#pragma once

#include <windows.h>

#include "../diagnostics/OVCILog.h"
#include "../diagnostics/install_path.h"
#include "../environment/layout.h"
#include "../environment/package_kinds.h"
#include "../framework/control_base.h"
#include "../framework/control_interfaces.h"
#include "../framework/dispatch_impl.h"
#include "../framework/object_root.h"
#include "../framework/object_safety.h"
#include "../framework/unique_any.h"
#include "control_resources.h"
#include "ovcustinst_idl.h"

namespace ov {

class OVCustInst : public ObjectRoot,
                   public DispatchImpl<IOVCustInst>,
                   public ControlBase,
                   public PersistStreamInitImpl<OVCustInst>,
                   public OleControlImpl<OVCustInst>,
                   public OleObjectImpl<OVCustInst>,
                   public OleInPlaceActiveObjectImpl<OVCustInst>,
                   public ViewObjectExImpl<OVCustInst>,
                   public OleInPlaceObjectWindowlessImpl<OVCustInst>,
                   public PersistStorageImpl<OVCustInst>,
                   public SpecifyPropertyPagesImpl<OVCustInst>,
                   public QuickActivateImpl<OVCustInst>,
                   public DataObjectImpl<OVCustInst>,
                   public ProvideClassInfo2Impl<OVCustInst>,
                   public ObjectSafetyImpl<INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA>,
                   public OVCILog,
                   public ClassObjectSupport<OVCustInst, &CLSID_OVCustInst, IDR_OVCUSTINST> {
public:
    static constexpr const char* kReportModule = kOVCustInstModule;

    OVCustInst();

    static const InterfaceEntry* InterfaceMap();

    // The drawing: a frame on the bounds with the caption centred in it.
    HRESULT OnDraw(HDC dc, const RECT& bounds) override;

    // IOVCustInst
    STDMETHOD(CopyFile)(BSTR bstrFileName, BSTR bstrSourceDir, BSTR bstrDestDir) override;
    STDMETHOD(CopyOVCustomFilesFromINF)(BSTR bstrINFPath) override;
    STDMETHOD(CreateDir)(BSTR bstrDirPath) override;
    STDMETHOD(InstallMLScripts)() override;
    STDMETHOD(get_AppsPath)(BSTR* pVal) override;
    STDMETHOD(get_BackupPath)(BSTR* pVal) override;
    STDMETHOD(get_BitmapPath)(BSTR* pVal) override;
    STDMETHOD(get_DevelopPath)(BSTR* pVal) override;
    STDMETHOD(get_DownloadPath)(BSTR* pVal) override;
    STDMETHOD(get_FilePath)(BSTR* pVal) override;
    STDMETHOD(get_HelpPath)(BSTR* pVal) override;
    STDMETHOD(get_LocalNWXORVANPath)(BSTR* pVal) override;
    STDMETHOD(get_ProductionPath)(BSTR* pVal) override;
    STDMETHOD(get_ScriptingPath)(BSTR* pVal) override;
    STDMETHOD(get_ServerPath)(BSTR* pVal) override;
    STDMETHOD(get_WindowsDir)(BSTR* pVal) override;
    STDMETHOD(RunSEE)(BSTR bstrSEEPath, BSTR bstrDestPath) override;
    STDMETHOD(Init)() override;
    STDMETHOD(get_LocalPLORVANPath)(BSTR* pVal) override;
    STDMETHOD(get_InstalledMLVersion)(BSTR* pVal) override;
    STDMETHOD(get_CachedMLVersion)(BSTR* pVal) override;
    STDMETHOD(InstallSEditor)() override;
    STDMETHOD(get_ConvertLogPath)(BSTR* pVal) override;
    STDMETHOD(get_ScriptingConversionPath)(BSTR* pVal) override;
    STDMETHOD(RunEditor)() override;
    STDMETHOD(get_MLReadMe)(BSTR* pVal) override;
    STDMETHOD(GetFreeDiskSpace)(BSTR bstrDrive, ULONG* ulFreeSpace) override;
    STDMETHOD(InstallDevFiles)() override;
    STDMETHOD(ScriptServerSetupComplete)(VARIANT_BOOL* bComplete) override;
    STDMETHOD(SetScriptServer)(BSTR bstrMappedScriptServer) override;

    // Reads a string value below HKEY_LOCAL_MACHINE into a new BSTR; reports every failure
    // itself (without a box) and points *ppszErrorText at a short message.
    HRESULT ReadRegistryValue(BSTR bstrSubKey, BSTR bstrValueName, BSTR* pbstrValue,
                              const char** ppszErrorText);

protected:
    // The control's own fields, each owned by the object.
    Layout layout{};
    Path MLDSEEFileName = {};  // the development-files package, from its list's "SEE"
    Path MLSSEEFileName = {};  // the standard-scripts package, from its list's "SEE"
    BStr MappedScriptServer;   // the server SetScriptServer handed over, for the next first-run Init

private:
    // The install path is read once and serves the log and the module-wide paths.
    explicit OVCustInst(const InstallPathRead& read);
    // The only writer of InstallPath and PellarInstallPath. Only the constructor may call it:
    // constructions run on the creating apartment's thread, so its writes never overlap.
    void RefreshInstallPaths(const InstallPathRead& read);
    // Hands out a copy of a layout value through a getter's out-pointer: null before the first
    // successful Init.
    HRESULT CopyField(const char* field, BSTR* pVal);
    HRESULT InstallPackage(PackageKindId kind, Path& seeFileName);
};

}  // namespace ov
