#include "OVCustInst.h"

#include "../framework/bounded_text.h"

namespace ov {

Path InstallPath;
Path PellarInstallPath;

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

void OVCustInst::RefreshInstallPaths(const InstallPathRead& read) {
    if (FAILED(read.CopyTo(InstallPath))) {
        Report(Win32ToHResult(read.registryError), OV_HERE, Box::Hidden, "Pellar Install Path: ", InstallPath);
    }
    // An install path too long for the host product's directory leaves that directory empty
    // rather than cut: a cut path would name some other directory. It must fit in MAX_PATH
    // with its terminator, as the file functions require.
    if (!FormatBounded(PellarInstallPath, MAX_PATH, "%s\\Pellar", InstallPath)) {
        PellarInstallPath[0] = '\0';
        Report(kE_TOOLONG, OV_HERE, Box::Hidden, "Pellar Install Path: ", InstallPath);
    }
}

OVCustInst::OVCustInst() : OVCustInst(InstallPathRead::Now()) {}

OVCustInst::OVCustInst(const InstallPathRead& read) : OVCILog(read) { RefreshInstallPaths(read); }

HRESULT OVCustInst::CopyField(const char* field, BSTR* pVal) {
    return Guard(OV_HERE, Box::Shown, [&] {
        if (!pVal) return Fail(E_INVALIDARG, OV_HERE, Box::Shown);
        // A copy that cannot be allocated is handed out as null, like a field never filled.
        *pVal = layout.filled && field ? BStr::FromAnsi(field).Detach() : nullptr;
        return S_OK;
    });
}

STDMETHODIMP OVCustInst::get_AppsPath(BSTR* pVal) { return CopyField(layout.AppsPath, pVal); }
STDMETHODIMP OVCustInst::get_BackupPath(BSTR* pVal) { return CopyField(layout.BackupPath, pVal); }
STDMETHODIMP OVCustInst::get_BitmapPath(BSTR* pVal) { return CopyField(layout.BitmapPath, pVal); }
STDMETHODIMP OVCustInst::get_DevelopPath(BSTR* pVal) { return CopyField(layout.DevelopPath, pVal); }
STDMETHODIMP OVCustInst::get_DownloadPath(BSTR* pVal) { return CopyField(layout.DownloadPath, pVal); }
STDMETHODIMP OVCustInst::get_FilePath(BSTR* pVal) { return CopyField(layout.FilePath, pVal); }
STDMETHODIMP OVCustInst::get_HelpPath(BSTR* pVal) { return CopyField(layout.HelpPath, pVal); }
STDMETHODIMP OVCustInst::get_LocalNWXORVANPath(BSTR* pVal) { return CopyField(layout.LocalNWXORVANPath, pVal); }
STDMETHODIMP OVCustInst::get_ProductionPath(BSTR* pVal) { return CopyField(layout.ProductionPath, pVal); }
STDMETHODIMP OVCustInst::get_ScriptingPath(BSTR* pVal) { return CopyField(layout.ScriptingPath, pVal); }
STDMETHODIMP OVCustInst::get_ServerPath(BSTR* pVal) { return CopyField(layout.ServerPath, pVal); }
STDMETHODIMP OVCustInst::get_WindowsDir(BSTR* pVal) { return CopyField(layout.WindowsDir, pVal); }
STDMETHODIMP OVCustInst::get_LocalPLORVANPath(BSTR* pVal) { return CopyField(layout.LocalPLORVANPath, pVal); }
STDMETHODIMP OVCustInst::get_InstalledMLVersion(BSTR* pVal) { return CopyField(layout.InstalledMLVersion, pVal); }
STDMETHODIMP OVCustInst::get_CachedMLVersion(BSTR* pVal) { return CopyField(layout.CachedMLVersion, pVal); }
STDMETHODIMP OVCustInst::get_MLReadMe(BSTR* pVal) { return CopyField(layout.MLReadMe, pVal); }
// These two have no field: they always answer null, the empty string.
STDMETHODIMP OVCustInst::get_ConvertLogPath(BSTR* pVal) { return CopyField(nullptr, pVal); }
STDMETHODIMP OVCustInst::get_ScriptingConversionPath(BSTR* pVal) { return CopyField(nullptr, pVal); }

}  // namespace ov
