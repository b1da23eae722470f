// Members of IOVCustInst whose work the server does not carry out yet.
#include "OVCustInst.h"

namespace ov {

HRESULT OVCustInst::NotImplemented() { return E_NOTIMPL; }

STDMETHODIMP OVCustInst::CopyFile(BSTR, BSTR, BSTR) { return NotImplemented(); }
STDMETHODIMP OVCustInst::CopyOVCustomFilesFromINF(BSTR) { return NotImplemented(); }
STDMETHODIMP OVCustInst::CreateDir(BSTR) { return NotImplemented(); }
STDMETHODIMP OVCustInst::InstallMLScripts() { return NotImplemented(); }
STDMETHODIMP OVCustInst::RunSEE(BSTR, BSTR) { return NotImplemented(); }
STDMETHODIMP OVCustInst::Init() { return NotImplemented(); }
STDMETHODIMP OVCustInst::InstallSEditor() { return NotImplemented(); }
STDMETHODIMP OVCustInst::RunEditor() { return NotImplemented(); }
STDMETHODIMP OVCustInst::GetFreeDiskSpace(BSTR, ULONG*) { return NotImplemented(); }
STDMETHODIMP OVCustInst::InstallDevFiles() { return NotImplemented(); }
STDMETHODIMP OVCustInst::ScriptServerSetupComplete(VARIANT_BOOL*) { return NotImplemented(); }
STDMETHODIMP OVCustInst::SetScriptServer(BSTR) { return NotImplemented(); }

}  // namespace ov
