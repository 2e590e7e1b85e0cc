// Identifiers shared by corvane.rc and the code. No windows.h here: windres reads this too.
#pragma once

// Dialogs
#define IDD_ABOUT 106
#define IDD_MAIN 107
#define IDD_WRITE_OPTIONS 123
#define IDD_COMPLETION 124

// Icon and tree bitmaps
#define IDI_APP 118
#define IDB_TREE_NORMAL 119
#define IDB_TREE_SELECTED 120

// Main dialog
#define IDC_DELETE_BIND 1008
#define IDC_CUSTOM_TEXT_BOX 1013
#define IDC_ADD_BIND 1015
#define IDC_KEY_SELECTOR_FRAME 1017
#define IDC_KEY_CAPTURE_BOX 1018
#define IDC_QUIT 1019
#define IDC_ABOUT 1020
#define IDC_WRITE_CONFIG 1021
#define IDC_BIND_LIST_BOX 1025
#define IDC_ACTION_TREE 1026
#define IDC_CLEAR_CONFIG 1029
#define IDC_AUTO_BIND_TOGGLE 1037
#define IDC_MOUSE_TOGGLE 1038
#define IDC_SHOW_CODE 1040
#define IDC_DESCRIPTION_BOX 1043
#define IDC_CODE_BOX 1044

// Write options dialog
#define IDC_ADD_TO_CONFIG 1031
#define IDC_WRITE_NEW_CONFIG 1032
#define IDC_WRITE_CANCEL 1033

// Completion dialog
#define IDC_GAUGE_BAR 1012
#define IDC_GAUGE_PERCENT 1035
#define IDC_GAUGE_VERDICT 1036
