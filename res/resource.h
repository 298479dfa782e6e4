// Identifiers of the built-in resources. PLVRLang.dll carries the same identifiers.
#pragma once

// Bitmaps
#define IDB_SPLASH 102

// Dialogs
#define IDD_MAINPANEL 104

// Icons
#define IDI_MAINFRAME 261

// String table (101-160)
#define IDS_ABOUTBOX 101
#define IDS_OPTION_TITLE 102
#define IDS_SELECT_FOLDER 112
#define IDS_DEFAULT_PREFIX 117
#define IDS_FONT_FACE 147
#define IDS_FONT_SIZES 148
#define IDS_QUIT_OTHER_TAVIN_APP 155
