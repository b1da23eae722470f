// The interface and class declarations generated from the server's IDL.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include "OVCustInstSrv_h.h"
