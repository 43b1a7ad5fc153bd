#pragma once
// The game-profile name dialog's template and controls (2190-2199).

#define IDD_PROFILENAME 207
#define IDC_PROFILENAME_LABEL 2190
#define IDC_PROFILENAME_EDIT 2191
