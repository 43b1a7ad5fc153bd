#pragma once
// Identifiers of the main window, its menus and the About box, shared by the
// resource script and the window classes. The other windows keep theirs
// beside them (<subsystem>/win32/*_resource_ids.h).

#define IDI_MAIN 1
#define IDR_MAINMENU 100
#define IDR_POPUPMENU 101
#define IDR_ACCELERATORS 102

#define IDC_LOGVIEW 1000

// Main menu
#define ID_FILE_AGTHHELPER 40001
#define ID_FILE_SAVETEXTAS 40002
#define ID_FILE_OPENHISTORYFOLDER 40004
#define ID_FILE_EXIT 40003
#define ID_OPTIONS_MONITORING 40010
#define ID_OPTIONS_TRANSLATION 40011
#define ID_OPTIONS_ALWAYSONTOP 40012
#define ID_OPTIONS_FONT 40013
#define ID_METHOD_ASCII 40020
#define ID_METHOD_HEXSEQ 40021
#define ID_METHOD_HEXREV 40022
#define ID_METHOD_UNICODE 40027
#define ID_METHOD_HALF_LL 40023
#define ID_METHOD_HALF_HL 40024
#define ID_METHOD_HALF_LH 40025
#define ID_METHOD_HALF_HH 40026
#define ID_OPTIONS_ADVANCED 40030
#define ID_OPTIONS_TEXTFILTERS 40031
#define ID_OPTIONS_COMPANION 40032
#define ID_PLUGIN 40035
#define ID_SOURCE_CLIPBOARD 40036
#define ID_SOURCE_WEBSOCKET 40037
#define ID_SOURCE_WEBSOCKETSETTINGS 40038
#define ID_HELP_ABOUT 40040
// Options › Game profile: none, a new one, and the profiles there are from
// ID_PROFILE_FIRST on (at most kMaxProfileMenuItems of them).
#define ID_PROFILE_NONE 40200
#define ID_PROFILE_NEW 40201
#define ID_PROFILE_FIRST 40210
#define ID_PROFILE_LAST 40409

// Options › Translation engine, made from the engine list each time it
// opens: the main engine (one item per engine from ID_ENGINE_EZTRANS on, in
// the list's order), the Draft and Fallback submenus (None, then one item per
// engine), Keep the draft line, and each engine's settings.
#define ID_ENGINE_EZTRANS 40500
#define ID_ENGINE_SERVER 40501
#define ID_ENGINE_DEEPL 40502
#define ID_ENGINE_PAPAGO 40503
#define ID_ENGINE_DRAFT_NONE 40520
#define ID_ENGINE_DRAFT_EZTRANS 40521
#define ID_ENGINE_FALLBACK_NONE 40540
#define ID_ENGINE_FALLBACK_EZTRANS 40541
#define ID_ENGINE_KEEPDRAFT 40560
#define ID_ENGINE_SERVERSETTINGS 40571
#define ID_ENGINE_DEEPLSETTINGS 40572
#define ID_ENGINE_PAPAGOSETTINGS 40573
#define ID_ENGINE_FIRST ID_ENGINE_EZTRANS
#define ID_ENGINE_LAST 40599

// Context menu
#define ID_POPUP_CLEARTEXT 40100
#define ID_POPUP_FONT 40101
#define ID_POPUP_SETTINGS 40102
#define ID_POPUP_SUBTITLE 40103
#define ID_POPUP_EXIT 40104
#define ID_POPUP_TEXTFILTERS 40105
#define ID_POPUP_CLICKTHROUGH 40106
#define ID_POPUP_CORRECT 40107
#define ID_POPUP_RETRANSLATE 40108

// The About box
#define IDD_ABOUT 201
#define IDC_ABOUT_TITLE 2010
#define IDC_ABOUT_ICON 2011
#define IDC_ABOUT_AUTHOR 2012
#define IDC_ABOUT_SITE 2013
#define IDC_ABOUT_THANKS 2014
#define IDC_ABOUT_CREDITS 2015
