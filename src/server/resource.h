// Resource identifiers of the server module: its own, and those of the parts it carries.
#pragma once

#include "../control/control_resources.h"
#include "../packages/confirm_resources.h"

#define IDS_PROJNAME           100
