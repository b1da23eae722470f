// The script server the workstation points at.
#include "../control/OVCustInst.h"

namespace ov {

STDMETHODIMP OVCustInst::ScriptServerSetupComplete(VARIANT_BOOL*) { return E_NOTIMPL; }
STDMETHODIMP OVCustInst::SetScriptServer(BSTR) { return E_NOTIMPL; }

}  // namespace ov
