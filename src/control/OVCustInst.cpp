#include "OVCustInst.h"

#include "../environment/registry_readers.h"
#include "../framework/bounded_text.h"
#include "../diagnostics/error_codes.h"
#include "../diagnostics/last_error.h"

namespace ov {

char InstallPath[MAX_PATH + 1];
char PellarInstallPath[MAX_PATH + 1];

namespace {
constexpr char kModule[] = "OVCustInst";
}

const InterfaceEntry* OVCustInst::InterfaceMap() {
    static const InterfaceEntry map[] = {
        OV_INTERFACE(OVCustInst, IOVCustInst),
        OV_INTERFACE_VIA(OVCustInst, IDispatch, IOVCustInst),
        OV_INTERFACE(OVCustInst, IViewObjectEx),
        OV_INTERFACE(OVCustInst, IViewObject2),
        OV_INTERFACE(OVCustInst, IViewObject),
        OV_INTERFACE(OVCustInst, IOleInPlaceObjectWindowless),
        OV_INTERFACE(OVCustInst, IOleInPlaceObject),
        OV_INTERFACE_VIA(OVCustInst, IOleWindow, IOleInPlaceObjectWindowless),
        OV_INTERFACE(OVCustInst, IOleInPlaceActiveObject),
        OV_INTERFACE(OVCustInst, IOleControl),
        OV_INTERFACE(OVCustInst, IOleObject),
        OV_INTERFACE(OVCustInst, IPersistStreamInit),
        OV_INTERFACE_VIA(OVCustInst, IPersist, IPersistStreamInit),
        OV_INTERFACE(OVCustInst, ISpecifyPropertyPages),
        OV_INTERFACE(OVCustInst, IQuickActivate),
        OV_INTERFACE(OVCustInst, IPersistStorage),
        OV_INTERFACE(OVCustInst, IDataObject),
        OV_INTERFACE(OVCustInst, IProvideClassInfo),
        OV_INTERFACE(OVCustInst, IProvideClassInfo2),
        OV_INTERFACE(OVCustInst, IObjectSafety),
        OV_INTERFACE_END,
    };
    return map;
}

HRESULT OVCustInst::OnDraw(HDC dc, const RECT& bounds) {
    static const char kCaption[] = "ATL 3.0 : OVCustInst";
    Rectangle(dc, bounds.left, bounds.top, bounds.right, bounds.bottom);
    SetTextAlign(dc, TA_CENTER | TA_BASELINE);
    TextOutA(dc, (bounds.left + bounds.right) / 2, (bounds.top + bounds.bottom) / 2, kCaption,
             static_cast<int>(sizeof kCaption - 1));
    return S_OK;
}

OVCustInst::OVCustInst()
    : AppsPath(nullptr), BackupPath(nullptr), BitmapPath(nullptr), CachedMLDVersion(nullptr),
      CachedMLVersion(nullptr), MLDSEEFileName(nullptr), DownloadPath(nullptr), DevelopPath(nullptr),
      MLReadMeDev(nullptr), HelpPath(nullptr), FilePath(nullptr), InstalledMLDVersion(nullptr),
      InstalledMLVersion(nullptr), LocalNWXORVANPath(nullptr), LocalPLORVANPath(nullptr),
      ProductionPath(nullptr), MLSSEEFileName(nullptr), ScriptingPath(nullptr),
      MappedScriptServer(nullptr), ServerPath(nullptr), MLReadMe(nullptr), WindowsDir(nullptr) {
    try {
        if (FAILED(ReadInstallPath(InstallPath, MAX_PATH))) {
            ReportError(LastErrorHResult(), kModule, __LINE__, 0,
                        "Pellar Install Path: ", InstallPath, "END");
        }
        // An install path too long for the host product's directory leaves that directory
        // empty rather than cut: a cut path would name some other directory. It must fit in
        // MAX_PATH with its terminator, as the file functions require.
        if (!FormatBounded(PellarInstallPath, MAX_PATH, "%s\\Pellar", InstallPath)) {
            PellarInstallPath[0] = '\0';
            ReportError(kE_TOOLONG, kModule, __LINE__, 0,
                        "Pellar Install Path: ", InstallPath, "END");
        }
    } catch (...) {
        ReportError(E_FAIL, kModule, __LINE__, 1, "END");
    }
}

OVCustInst::~OVCustInst() {
    try {
        for (BSTR* field : {&AppsPath, &BackupPath, &BitmapPath, &CachedMLDVersion, &CachedMLVersion,
                            &MLDSEEFileName, &DownloadPath, &DevelopPath, &MLReadMeDev, &HelpPath,
                            &FilePath, &InstalledMLDVersion, &InstalledMLVersion, &LocalNWXORVANPath,
                            &LocalPLORVANPath, &ProductionPath, &MLSSEEFileName, &ScriptingPath,
                            &MappedScriptServer, &ServerPath, &MLReadMe, &WindowsDir}) {
            if (*field) {
                SysFreeString(*field);
                *field = nullptr;
            }
        }
    } catch (...) {
        ReportError(E_FAIL, kModule, __LINE__, 0, "END");
    }
}

HRESULT OVCustInst::CopyField(BSTR field, BSTR* pVal) {
    try {
        if (!pVal) {
            ReportError(E_INVALIDARG, kModule, __LINE__, 1, "END");
            return E_INVALIDARG;
        }
        // Up to the first null character; a null field stays null.
        *pVal = field ? SysAllocString(field) : nullptr;
        return S_OK;
    } catch (...) {
        ReportError(E_FAIL, kModule, __LINE__, 1, "END");
        return E_FAIL;
    }
}

STDMETHODIMP OVCustInst::get_AppsPath(BSTR* pVal) { return CopyField(AppsPath, pVal); }
STDMETHODIMP OVCustInst::get_BackupPath(BSTR* pVal) { return CopyField(BackupPath, pVal); }
STDMETHODIMP OVCustInst::get_BitmapPath(BSTR* pVal) { return CopyField(BitmapPath, pVal); }
STDMETHODIMP OVCustInst::get_DevelopPath(BSTR* pVal) { return CopyField(DevelopPath, pVal); }
STDMETHODIMP OVCustInst::get_DownloadPath(BSTR* pVal) { return CopyField(DownloadPath, pVal); }
STDMETHODIMP OVCustInst::get_FilePath(BSTR* pVal) { return CopyField(FilePath, pVal); }
STDMETHODIMP OVCustInst::get_HelpPath(BSTR* pVal) { return CopyField(HelpPath, pVal); }
STDMETHODIMP OVCustInst::get_LocalNWXORVANPath(BSTR* pVal) { return CopyField(LocalNWXORVANPath, pVal); }
STDMETHODIMP OVCustInst::get_ProductionPath(BSTR* pVal) { return CopyField(ProductionPath, pVal); }
STDMETHODIMP OVCustInst::get_ScriptingPath(BSTR* pVal) { return CopyField(ScriptingPath, pVal); }
STDMETHODIMP OVCustInst::get_ServerPath(BSTR* pVal) { return CopyField(ServerPath, pVal); }
STDMETHODIMP OVCustInst::get_WindowsDir(BSTR* pVal) { return CopyField(WindowsDir, pVal); }
STDMETHODIMP OVCustInst::get_LocalPLORVANPath(BSTR* pVal) { return CopyField(LocalPLORVANPath, pVal); }
STDMETHODIMP OVCustInst::get_InstalledMLVersion(BSTR* pVal) { return CopyField(InstalledMLVersion, pVal); }
STDMETHODIMP OVCustInst::get_CachedMLVersion(BSTR* pVal) { return CopyField(CachedMLVersion, pVal); }
STDMETHODIMP OVCustInst::get_MLReadMe(BSTR* pVal) { return CopyField(MLReadMe, pVal); }
// These two have no field: they always answer the empty string.
STDMETHODIMP OVCustInst::get_ConvertLogPath(BSTR* pVal) { return CopyField(nullptr, pVal); }
STDMETHODIMP OVCustInst::get_ScriptingConversionPath(BSTR* pVal) { return CopyField(nullptr, pVal); }

}  // namespace ov
