#pragma once
// Identifiers shared by the resource script and the window classes.

#define IDI_MAIN 1
#define IDR_MAINMENU 100
#define IDR_POPUPMENU 101
#define IDR_ACCELERATORS 102

#define IDC_LOGVIEW 1000
