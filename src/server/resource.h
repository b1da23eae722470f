// Resource identifiers of the server module.
#pragma once

#define IDS_PROJNAME           100
#define IDB_OVCUSTINST         101
#define IDR_OVCUSTINST         102
#define IDD_OVCICONFIRM        103
#define IDC_VIEW_CHANGES       205
#define IDC_CONFIRM_MESSAGE    206
