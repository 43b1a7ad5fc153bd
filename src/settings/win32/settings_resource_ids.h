#pragma once
// Resource identifiers shared by the resource script and the window classes:
// The Advanced Setting dialog's template and controls.
// Template ids 200-299, control ids 2000-2999, each subsystem its own range.

#define IDD_SETTINGS 200
#define IDC_SETTINGS_BUTTON1 2020
#define IDC_SETTINGS_BUTTON2 2021
#define IDC_SETTINGS_CHECKBOX1 2022
#define IDC_SETTINGS_CHECKBOX2 2023
#define IDC_SETTINGS_CSCOMBOBOX 2024
#define IDC_SETTINGS_TRACKBAR1 2025
#define IDC_SETTINGS_BUTTON3 2026
#define IDC_SETTINGS_CHECKBOX3 2027
#define IDC_SETTINGS_EDIT1 2028
#define IDC_SETTINGS_LABEL1 2030
#define IDC_SETTINGS_LABEL2 2031
#define IDC_SETTINGS_TVALUE 2032
#define IDC_SETTINGS_OFF 2033
#define IDC_SETTINGS_LABEL4 2034
#define IDC_SETTINGS_LABEL3 2035
#define IDC_SETTINGS_LABEL5 2036
