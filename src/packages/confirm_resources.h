// Resource identifiers of the confirmation dialog (template 103 and its controls).
#pragma once

#define IDD_OVCICONFIRM        103
#define IDC_VIEW_CHANGES       205
#define IDC_CONFIRM_MESSAGE    206
