// Copying a file, creating a directory with its parents, and the free space of a drive.
#include "../control/OVCustInst.h"

namespace ov {

STDMETHODIMP OVCustInst::CopyFile(BSTR, BSTR, BSTR) { return E_NOTIMPL; }
STDMETHODIMP OVCustInst::CreateDir(BSTR) { return E_NOTIMPL; }
STDMETHODIMP OVCustInst::GetFreeDiskSpace(BSTR, ULONG*) { return E_NOTIMPL; }

}  // namespace ov
