#pragma once
// The reading companion's resources: its dialog, and the page it serves.
#define IDR_COMPANION_PAGE 103
#define IDD_COMPANION 211
#define IDC_COMPANION_ENABLED 2240
#define IDC_COMPANION_PORTLABEL 2241
#define IDC_COMPANION_PORT 2242
#define IDC_COMPANION_LAN 2243
#define IDC_COMPANION_ADDRESSES 2244
#define IDC_COMPANION_LINK 2245
#define IDC_COMPANION_STATUS 2246
