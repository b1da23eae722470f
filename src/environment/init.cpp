// Init: discovering (and on a new workstation setting up) the install layout.
#include "../control/OVCustInst.h"

namespace ov {

STDMETHODIMP OVCustInst::Init() { return E_NOTIMPL; }

}  // namespace ov
