// Identifiers of the built-in resources. PLVRLang.dll carries the same identifiers.
// This header is read by the resource compiler as well as by C++: only #define lines here.
#pragma once

// Bitmaps
#define IDB_SPLASH 102
// Main window: tab strip, tabs (normal, pressed and hot, focused, disabled; selected), options, status icon variants 0-7
#define IDB_MAIN_RECORD_BACKGROUND 161
#define IDB_MAIN_PLAY_BACKGROUND 162
#define IDB_RECORD_TAB 158
#define IDB_RECORD_TAB_HOT 256
#define IDB_RECORD_TAB_FOCUSED 160
#define IDB_RECORD_TAB_DISABLED 159
#define IDB_RECORD_TAB_SELECTED 157
#define IDB_PLAY_TAB 164
#define IDB_PLAY_TAB_HOT 257
#define IDB_PLAY_TAB_FOCUSED 166
#define IDB_PLAY_TAB_DISABLED 165
#define IDB_PLAY_TAB_SELECTED 163
#define IDB_OPTIONS 233
#define IDB_OPTIONS_PRESSED 236
#define IDB_OPTIONS_FOCUSED 235
#define IDB_OPTIONS_DISABLED 234
#define IDB_OPTIONS_HOT 251
#define IDB_STATUS_NO_CASSETTE 290
#define IDB_STATUS_READY 295
#define IDB_STATUS_RECORDING 293
#define IDB_STATUS_PLAYING 294
#define IDB_STATUS_TAPE_PROTECTED 292
#define IDB_STATUS_TAPE_END 291
#define IDB_STATUS_WINDING 289
#define IDB_STATUS_NO_CAMCORDER 296
// Record panel: background, buttons (normal, pressed, focused, disabled, hot), recording icon frames 0-8
#define IDB_RECORD_BACKGROUND 238
#define IDB_PLAY_FILE 282
#define IDB_PLAY_FILE_PRESSED 279
#define IDB_PLAY_FILE_FOCUSED 280
#define IDB_PLAY_FILE_DISABLED 283
#define IDB_PLAY_FILE_HOT 281
#define IDB_PLAY_DROP 277
#define IDB_PLAY_DROP_PRESSED 274
#define IDB_PLAY_DROP_FOCUSED 275
#define IDB_PLAY_DROP_DISABLED 278
#define IDB_PLAY_DROP_HOT 276
#define IDB_RECORD 167
#define IDB_RECORD_PRESSED 172
#define IDB_RECORD_FOCUSED 171
#define IDB_RECORD_DISABLED 170
#define IDB_RECORD_HOT 252
#define IDB_STOP 173
#define IDB_STOP_PRESSED 176
#define IDB_STOP_FOCUSED 175
#define IDB_STOP_DISABLED 174
#define IDB_STOP_HOT 253
#define IDB_FINALIZE 177
#define IDB_FINALIZE_PRESSED 180
#define IDB_FINALIZE_FOCUSED 179
#define IDB_FINALIZE_DISABLED 178
#define IDB_FINALIZE_HOT 254
#define IDB_METER_HIDE 339
#define IDB_METER_HIDE_PRESSED 336
#define IDB_METER_HIDE_FOCUSED 337
#define IDB_METER_HIDE_DISABLED 335
#define IDB_METER_HIDE_HOT 338
#define IDB_METER_SHOW 334
#define IDB_METER_SHOW_PRESSED 331
#define IDB_METER_SHOW_FOCUSED 332
#define IDB_METER_SHOW_DISABLED 330
#define IDB_METER_SHOW_HOT 333
#define IDB_RECORDING_0 185
#define IDB_RECORDING_1 186
#define IDB_RECORDING_2 187
#define IDB_RECORDING_3 188
#define IDB_RECORDING_4 189
#define IDB_RECORDING_5 190
#define IDB_RECORDING_6 191
#define IDB_RECORDING_7 192
#define IDB_RECORDING_8 193
// Audio level meter: background, channel labels, lit segments 1-16, 17-23 and 24
#define IDB_METER_BACKGROUND 316
#define IDB_METER_LABEL_1 320
#define IDB_METER_LABEL_2 322
#define IDB_METER_LIT 329
#define IDB_METER_LIT_HIGH 319
#define IDB_METER_LIT_TOP 328
// Play panel: background and buttons
#define IDB_PLAY_BACKGROUND 239
#define IDB_PLAY 197
#define IDB_PLAY_PRESSED 200
#define IDB_PLAY_FOCUSED 199
#define IDB_PLAY_DISABLED 198
#define IDB_PLAY_HOT 243
#define IDB_PAUSE 201
#define IDB_PAUSE_PRESSED 204
#define IDB_PAUSE_FOCUSED 203
#define IDB_PAUSE_DISABLED 202
#define IDB_PAUSE_HOT 244
#define IDB_SORT 311
#define IDB_SORT_PRESSED 308
#define IDB_SORT_FOCUSED 309
#define IDB_SORT_DISABLED 307
#define IDB_SORT_HOT 310
#define IDB_FOLDER 221
#define IDB_FOLDER_PRESSED 224
#define IDB_FOLDER_FOCUSED 223
#define IDB_FOLDER_DISABLED 222
#define IDB_FOLDER_HOT 249
#define IDB_ZOOM_OUT 301
#define IDB_ZOOM_OUT_PRESSED 298
#define IDB_ZOOM_OUT_FOCUSED 299
#define IDB_ZOOM_OUT_DISABLED 297
#define IDB_ZOOM_OUT_HOT 300
#define IDB_ZOOM_IN 306
#define IDB_ZOOM_IN_PRESSED 303
#define IDB_ZOOM_IN_FOCUSED 304
#define IDB_ZOOM_IN_DISABLED 302
#define IDB_ZOOM_IN_HOT 305
#define IDB_NEXT_DROP 272
#define IDB_NEXT_DROP_PRESSED 269
#define IDB_NEXT_DROP_FOCUSED 270
#define IDB_NEXT_DROP_DISABLED 273
#define IDB_NEXT_DROP_HOT 271
#define IDB_PREVIOUS_DROP 264
#define IDB_PREVIOUS_DROP_PRESSED 267
#define IDB_PREVIOUS_DROP_FOCUSED 268
#define IDB_PREVIOUS_DROP_DISABLED 265
#define IDB_PREVIOUS_DROP_HOT 266
#define IDB_TO_START 287
#define IDB_TO_START_PRESSED 284
#define IDB_TO_START_FOCUSED 285
#define IDB_TO_START_DISABLED 288
#define IDB_TO_START_HOT 286
// Time slider thumb; file list: no picture, pending, 24p badge
#define IDB_SLIDER_THUMB 130
#define IDB_THUMB_NO_PICTURE 132
#define IDB_THUMB_PENDING 134
#define IDB_THUMB_24P_BADGE 313

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
#define IDC_RECORD_HISTORY 1005           // recording history list
#define IDC_RECORD_RECORD 1006            // record button (F5)
#define IDC_RECORD_STOP 1007              // stop button (F5)
#define IDC_RECORD_FILE_NAME 1020         // name of the file recorded next
#define IDC_RECORD_DROPS_LABEL 1021       // "欠落フレーム数 :"
#define IDC_RECORD_DROPS 1022             // dropped-frame count
#define IDC_RECORD_FINALIZE 1037          // finalize button (F6, linked mode)
#define IDC_RECORD_ANNOUNCEMENT 1040      // why the camcorder or the disk cannot record
#define IDC_RECORD_TC_HOURS 1041          // time code: hours and separator
#define IDC_RECORD_TIME_LABEL 1042        // "録画可能時間 :"
#define IDC_RECORD_PREVIEW 1043           // hosts the live picture
#define IDC_RECORD_MODE 1044              // "録画モード : %s"
#define IDC_RECORD_FORMAT 1045            // "ファイル形式 : %s"
#define IDC_RECORD_FOLDER 1046            // recording folder (read-only edit)
#define IDC_RECORD_ICON 1047              // recording icon, frames 0-8
#define IDC_RECORD_F5 1048                // "F5"
#define IDC_RECORD_F6 1049                // "F6"
#define IDC_RECORD_TC_MINUTES 1050        // time code: minutes and separator
#define IDC_RECORD_TC_SECONDS 1051        // time code: seconds and separator
#define IDC_RECORD_TC_FRAMES 1052         // time code: frames
#define IDC_RECORD_NO_PICTURE 1088        // "録画中" over the preview area when no picture is drawn
#define IDC_RECORD_LINKED_NOTICE 1090     // "連結モード　録画停止中"
#define IDC_RECORD_PLAY_FILE 1092         // play the selected file from its start
#define IDC_RECORD_PLAY_DROP 1093         // play the selected dropped scene
#define IDC_RECORD_FOLDER_FRAME 1096      // place of the recording folder field
#define IDC_RECORD_HISTORY_LABEL 1097     // "録画履歴"
#define IDC_RECORD_HOURS 1098             // recordable time: hours
#define IDC_RECORD_HOURS_UNIT 1099        // "h"
#define IDC_RECORD_MINUTES 1100           // recordable time: minutes
#define IDC_RECORD_MINUTES_UNIT 1101      // "m"
#define IDC_RECORD_OVERLAY 1118           // centre marker and safe margin over the preview
#define IDC_RECORD_LEVEL_METER 1119       // audio level meter
#define IDC_RECORD_METER_SHOW 1121        // ">": show the level meter
#define IDC_RECORD_METER_HIDE 1122        // "<": hide the level meter

// Play panel (dialog 106)
#define IDC_PLAY_PLAY 1004                // play button
#define IDC_PLAY_PAUSE 1005               // pause button (in the play button's place)
#define IDC_PLAY_NEXT_DROP 1006           // next dropped scene
#define IDC_PLAY_PREVIOUS_DROP 1007       // previous dropped scene
#define IDC_PLAY_TO_START 1008            // to the start of the file
#define IDC_PLAY_FOLDER_BUTTON 1056       // change the folder
#define IDC_PLAY_FILE_NAME 1058           // name of the shown file
#define IDC_PLAY_PREVIEW 1059             // the video window
#define IDC_PLAY_TIMECODE_HOURS 1060      // "hh:"
#define IDC_PLAY_PREVIOUS_COUNT 1061      // dropped scenes before the position
#define IDC_PLAY_F9 1062                  // "F9"
#define IDC_PLAY_NEXT_COUNT 1063          // dropped scenes after the position
#define IDC_PLAY_TIMECODE_MINUTES 1064    // "mm:"
#define IDC_PLAY_FILE_LIST_CAPTION 1065   // "ファイル一覧 F11"
#define IDC_PLAY_FOLDER 1066              // the shown folder (read-only edit)
#define IDC_PLAY_TIMECODE_SECONDS 1067    // "ss:"
#define IDC_PLAY_ANNOUNCEMENT 1068        // messages to the user
#define IDC_PLAY_TIMECODE_FRAMES 1069     // "ff"
#define IDC_PLAY_BACKGROUND 1078          // holds the play panel's background bitmap
#define IDC_PLAY_FILE_LIST 1079           // the thumbnail list
#define IDC_PLAY_SLIDER 1091              // placeholder of the time slider, then the slider
#define IDC_PLAY_TOTAL_TIME 1095          // "合計時間 : %s"
#define IDC_PLAY_SLIDER_CAPTION 1108      // "タイムスライダー F12"
#define IDC_PLAY_ZOOM_OUT 1109            // "-"
#define IDC_PLAY_ZOOM_IN 1110             // "+"
#define IDC_PLAY_SORT 1111                // sort menu
#define IDC_PLAY_OVERLAY 1120             // the framing aids over the preview

// Menus: the file list's (sub-menu 0: the file; 1: the sort order) and the preview's
#define IDR_FILE_MENU 312
#define IDR_PREVIEW_MENU 317
#define IDM_FILE_DELETE 32772
#define IDM_SORT_NEWEST_FIRST 32774
#define IDM_SORT_OLDEST_FIRST 32775
#define IDM_PREVIEW_CENTRE_MARKER 32776
#define IDM_PREVIEW_SAFE_MARGIN 32777

// About box (dialog 103)
#define IDC_ABOUT_ICON 1200
#define IDC_ABOUT_NAME 1201
#define IDC_ABOUT_VERSION 1202

// Option sheet, performance check and video-folder dialogs
#define IDD_OPTION_WHOLE 108
#define IDD_OPTION_REC 109
#define IDD_VIDEO_FOLDER_CHECK 110
#define IDD_PERFORMANCE_CHECK 112
#define IDD_VIDEO_FOLDER_SPECIFY 314
// General page (dialog 108)
#define IDC_OPT_FOLDER 1010               // video folder (read-only edit)
#define IDC_OPT_CHANGE_FOLDER 1011        // "変更..."
#define IDC_OPT_NEW_FOLDER 1012           // "新規フォルダを作る" check box
#define IDC_OPT_SUBFOLDER_NAME 1015       // sub-folder name (file-name edit)
#define IDC_OPT_NAME_BY_DATE 1016         // "撮影日にする" radio
#define IDC_OPT_NAME_BY_TEXT 1017         // "新規で設定する" radio
#define IDC_OPT_PREFIX 1021               // file-name prefix (file-name edit)
#define IDC_OPT_PERFORMANCE 1022          // "パフォーマンスチェック..."
#define IDC_OPT_EXAMPLE 1024              // "例）%s"
#define IDC_OPT_FOLDER_CHECK 1025         // start-up folder check box
// Record page (dialog 109)
#define IDC_OPT_MODE_STANDARD 1027
#define IDC_OPT_MODE_LINKED 1028
#define IDC_OPT_PREVIEW_LARGE 1030
#define IDC_OPT_PREVIEW_MEDIUM 1031
#define IDC_OPT_PREVIEW_SMALL 1032
#define IDC_OPT_PREVIEW_NONE 1033
#define IDC_OPT_FORMAT_TYPE1 1035
#define IDC_OPT_FORMAT_TYPE2 1036
// Performance check (dialog 112)
#define IDC_PERF_START 1000               // start / stop
#define IDC_PERF_STATUS 1002
#define IDC_PERF_CLOSE 1105               // "閉じる"
#define IDC_PERF_GRAPH 1107               // hidden: the graph's rectangle
// Video folder check (dialog 110) and specify (dialog 314)
#define IDC_FOLDER_CHECK_TEXT 1080        // "ビデオフォルダ: ""%s"""
#define IDC_FOLDER_CHECK_BOX 1082
#define IDC_FOLDER_CHECK_CHANGE 1083      // "フォルダ変更..."
#define IDC_FOLDER_CHECK_NOTE 1113        // note area, kept hidden
#define IDC_FOLDER_SEPARATOR 1114
#define IDC_FOLDER_SPECIFY_CHOOSE 1115    // "フォルダ指定..."
#define IDC_FOLDER_SPECIFY_QUIT 1116      // "終了"
#define IDC_FOLDER_SPECIFY_TEXT 1117

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
// Record panel: a recording that could not be written or started, beyond the original table
#define IDS_RECORD_WRITE_ERROR 161        // %s: the system's error text
#define IDS_RECORD_CUT_SHORT 162          // history and log mark of a file cut short
#define IDS_RECORD_START_FAILED 163       // %s: the system's error text
// Play panel: a file that could not be deleted, beyond the original table
#define IDS_DELETE_FILE_FAILED 164        // %s: the file name; the system's error text follows on its own line
