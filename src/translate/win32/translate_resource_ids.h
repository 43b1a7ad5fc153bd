#pragma once
// Resource identifiers shared by the resource script and the window classes:
// The Translation server settings dialog (2150-2179).
// Template ids 200-299, control ids 2000-2999, each subsystem its own range.

#define IDD_SERVERSETTINGS 205
#define IDC_SERVER_URLLABEL 2150
#define IDC_SERVER_URL 2151
#define IDC_SERVER_MODELLABEL 2152
#define IDC_SERVER_MODEL 2153
#define IDC_SERVER_PROMPTLABEL 2154
#define IDC_SERVER_PROMPT 2155
#define IDC_SERVER_KEYLABEL 2156
#define IDC_SERVER_KEY 2157
#define IDC_SERVER_TIMEOUTLABEL 2158
#define IDC_SERVER_TIMEOUT 2159
#define IDC_SERVER_TEST 2160
#define IDC_SERVER_TESTRESULT 2161
