// Resource identifiers of the control: its toolbox bitmap and its registration script.
#pragma once

#define IDB_OVCUSTINST         101
#define IDR_OVCUSTINST         102
