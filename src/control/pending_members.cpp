// Members of IOVCustInst whose work the server does not carry out yet.
#include "OVCustInst.h"

namespace ov {

HRESULT OVCustInst::NotImplemented() { return E_NOTIMPL; }

STDMETHODIMP OVCustInst::InstallSEditor() { return NotImplemented(); }
STDMETHODIMP OVCustInst::RunEditor() { return NotImplemented(); }

}  // namespace ov
