// Identifiers of the built-in resources. PLVRLang.dll carries the same identifiers.
// This header is read by the resource compiler as well as by C++: only #define lines here.
#pragma once

// Bitmaps
#define IDB_SPLASH 102

// Dialogs
#define IDD_ABOUTBOX 103
#define IDD_MAINPANEL 104
#define IDD_RECORDPANEL 105
#define IDD_PLAYPANEL 106

// Icons
#define IDI_MAINFRAME 261

// Accelerators
#define IDR_MAIN_ACCELERATORS 260

// Main panel (dialog 104)
#define IDC_MAIN_PLAY_TAB 1000            // play-tab button
#define IDC_MAIN_RECORD_TAB 1001          // record-tab button
#define IDC_MAIN_OPTIONS 1002             // options button
#define IDC_MAIN_CAMCORDER_NAME 1003      // camcorder model name
#define IDC_MAIN_RECORD_BACKGROUND 1074   // holds the record tab's background bitmap
#define IDC_MAIN_PLAY_BACKGROUND 1076     // holds the play tab's background bitmap
#define IDC_MAIN_FRAME 1081               // invisible frame: its size is the window's client size
#define IDC_MAIN_SHOW_FOLDER_CHECK 1085   // command only: the start-up video folder check
#define IDC_MAIN_RECORD_CAPTION 1086      // "ディスクに録画 F3"
#define IDC_MAIN_PLAY_CAPTION 1087        // "ファイル再生 F4"
#define IDC_MAIN_SHOW_FOLDER_SPECIFY 1088 // command only: the video folder specify dialog
#define IDC_MAIN_CLOSING_NOTICE 1089      // "Ploverを終了しています"
#define IDC_MAIN_STATUS_ICON 1094         // camcorder and tape status picture

// Menu commands of the main panel's accelerator table
#define IDM_MAIN_HELP 32770

// Record panel (dialog 105)
#define IDC_RECORD_BACKGROUND 1077        // holds the record panel's background bitmap

// Play panel (dialog 106)
#define IDC_PLAY_BACKGROUND 1078          // holds the play panel's background bitmap

// About box (dialog 103)
#define IDC_ABOUT_ICON 1200
#define IDC_ABOUT_NAME 1201
#define IDC_ABOUT_VERSION 1202

// String table (101-160)
#define IDS_FIRST 101
#define IDS_ABOUTBOX 101                  // system menu: about box
#define IDS_OPTION_TITLE 102              // tooltip of the options button
#define IDS_TIP_RECORD 103
#define IDS_TIP_STOP 104
#define IDS_TIP_FINALIZE 105
#define IDS_TIP_PLAY 106
#define IDS_TIP_PAUSE 107
#define IDS_TIP_PLAY_FROM_START 108
#define IDS_TIP_PLAY_DROPPED_SCENE 109
#define IDS_TIP_CHANGE_FOLDER 110
#define IDS_OPTION_SHEET_CAPTION 111
#define IDS_SELECT_FOLDER 112             // title of the folder browser
#define IDS_FOLDER_PATH_TOO_LONG 113
#define IDS_FILE_NAME_TOO_LONG 114
#define IDS_FILE_NAME_BAD_CHARACTER 115
#define IDS_SETTING_EMPTY 116
#define IDS_DEFAULT_PREFIX 117            // default file-name prefix
#define IDS_RECORD_MODE_STANDARD 118
#define IDS_RECORD_MODE_LINKED 119
#define IDS_AVI_TYPE1 120
#define IDS_AVI_TYPE2 121
#define IDS_CAMCORDER_NOT_CONNECTED 122
#define IDS_DISK_FULL 123
#define IDS_FILE_NAMES_EXHAUSTED 124
#define IDS_VIDEO_FOLDER_CHANGED 125      // two %s: the lost folder, the new folder
#define IDS_HELP_MENU 126                 // system menu: help
#define IDS_CONFIRM_QUIT_RECORDING 127
#define IDS_ERROR_TITLE 128
#define IDS_FILE_UNREADABLE 129
#define IDS_APP_TITLE 130                 // main window title
#define IDS_APP_TITLE_MINIMIZED 131       // after the time code while minimised
#define IDS_TIP_PREVIOUS_DROP 132
#define IDS_TIP_NEXT_DROP 133
#define IDS_TIP_TO_START 134
#define IDS_CAMCORDER_IN_USE 135
#define IDS_CAMCORDER_CARD_MODE 136
#define IDS_CAMCORDER_NOT_CAMERA_MODE 137
#define IDS_CAMCORDER_DV_CONTROL_OFF 138
#define IDS_CAMCORDER_NOT_SUPPORTED 139
#define IDS_TOO_MANY_1394_DEVICES 140
#define IDS_PERF_START 141
#define IDS_PERF_STOP 142
#define IDS_PERF_SUFFICIENT 143
#define IDS_PERF_INSUFFICIENT 144
#define IDS_PERF_RUNNING 145
#define IDS_PERF_INTERRUPTED 146
#define IDS_FONT_FACE 147                 // interface font face
#define IDS_FONT_SIZES 148                // small|standard|large font sizes
#define IDS_CONFIRM_DELETE_FILE 149       // %s: the file name without extension
#define IDS_TIP_SLIDER_ZOOM_OUT 150
#define IDS_TIP_SLIDER_ZOOM_IN 151
#define IDS_TIP_SORT_FILES 152
#define IDS_AVI_TOOLTIP_FORMAT 153        // four %s: date, size, length, format
#define IDS_FILE_NOT_FOUND 154
#define IDS_QUIT_OTHER_TAVIN_APP 155
#define IDS_FOLDER_NOT_NTFS 156
#define IDS_AVI_REPORT_FORMAT 157         // five %s: name, date, size, length, format
#define IDS_TIP_SHOW_LEVEL_METER 158
#define IDS_TIP_HIDE_LEVEL_METER 159
#define IDS_RESOLUTION_CHANGED 160
#define IDS_LAST 160
