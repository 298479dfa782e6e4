#include "ui/SkinTables.h"

namespace {
// Row shorthands: control, variant, place, tooltip string and bitmaps (normal, pressed, focused,
// disabled, hot for a button; the picture for a picture static).
constexpr SkinLayoutRecord Move(int id, int variant, int x, int y, int cx, int cy) {
  return {id, variant, kSkinMove, x, y, cx, cy, 0, {0, 0, 0, 0, 0}};
}
constexpr SkinLayoutRecord Picture(int id, int variant, int x, int y, int cx, int cy, int bitmap = 0) {
  return {id, variant, kSkinPicture, x, y, cx, cy, 0, {bitmap, 0, 0, 0, 0}};
}
constexpr SkinLayoutRecord Button(int id, int variant, int x, int y, int cx, int cy, int tooltip, int normal,
                                  int pressed, int focused, int disabled, int hot) {
  return {id, variant, kSkinButton, x, y, cx, cy, tooltip, {normal, pressed, focused, disabled, hot}};
}
}  // namespace

const SkinLayoutRecord kMainPanelLayout[] = {
    Move(1081, 0, 0, 0, 646, 440),              // frame: the window's client size
    Picture(1074, 0, 0, 0, 646, 29, 161),       // record tab's background
    Picture(1076, 0, 0, 0, 646, 29, 162),       // play tab's background
    Button(1001, 0, 4, 4, 155, 25, 0, 158, 256, 160, 159, 256),  // record tab, selected
    Button(1001, 1, 4, 4, 155, 25, 0, 157, 0, 0, 0, 0),          // record tab, not selected
    Button(1000, 0, 159, 4, 160, 25, 0, 164, 257, 166, 165, 257),  // play tab, selected
    Button(1000, 1, 159, 4, 160, 25, 0, 163, 0, 0, 0, 0),          // play tab, not selected
    Move(1086, 0, 12, 10, 100, 14),             // record tab's caption, lower while selected
    Move(1086, 1, 12, 12, 100, 14),
    Move(1087, 0, 170, 12, 100, 14),            // play tab's caption
    Move(1087, 1, 170, 10, 100, 14),
    Picture(1094, 0, 336, 3, 44, 26, 290),      // status icon, one picture per status
    Picture(1094, 1, 336, 3, 44, 26, 295),
    Picture(1094, 2, 336, 3, 44, 26, 293),
    Picture(1094, 3, 336, 3, 44, 26, 294),
    Picture(1094, 4, 336, 3, 44, 26, 292),
    Picture(1094, 5, 336, 3, 44, 26, 291),
    Picture(1094, 6, 336, 3, 44, 26, 289),
    Picture(1094, 7, 336, 3, 44, 26, 296),
    Move(1003, 0, 385, 12, 140, 14),            // camcorder name
    Button(1002, 0, 605, 2, 34, 27, 102, 233, 236, 235, 234, 251),  // options
    Move(1089, 0, 84, 200, 500, 50),            // closing notice
};
const int kMainPanelLayoutRows = static_cast<int>(sizeof(kMainPanelLayout) / sizeof(kMainPanelLayout[0]));

const SkinLayoutRecord kRecordPanelLayout[] = {
    Picture(1077, 0, 0, 0, 646, 411, 238),      // background
    Picture(1043, 0, 12, 17, 360, 270),         // preview, 4:3: full, half, quarter, hidden
    Picture(1043, 1, 102, 84, 180, 135),
    Picture(1043, 2, 148, 119, 88, 66),
    Picture(1043, 3, 24, 17, 0, 0),
    Picture(1043, 10, 12, 51, 360, 202),        // preview, 16:9: full, half, quarter, hidden
    Picture(1043, 11, 102, 101, 180, 101),
    Picture(1043, 12, 148, 127, 88, 50),
    Picture(1043, 13, 24, 17, 0, 0),
    Move(1088, 0, 12, 144, 360, 14),
    Move(1090, 0, 12, 144, 360, 14),
    Move(1020, 0, 386, 14, 84, 14),
    Move(1042, 0, 471, 14, 90, 14),
    Move(1098, 0, 562, 11, 22, 14),
    Move(1100, 0, 594, 11, 22, 14),
    Move(1099, 0, 585, 15, 8, 10),
    Move(1101, 0, 617, 15, 8, 10),
    Move(1044, 0, 386, 42, 240, 14),
    Move(1045, 0, 386, 57, 240, 14),
    Move(1096, 0, 386, 72, 240, 14),
    Move(1046, 0, 386, 72, 240, 14),
    Move(1005, 0, 385, 127, 245, 136),          // recording history
    Move(1097, 0, 386, 112, 240, 14),
    Button(1092, 0, 384, 268, 30, 20, 108, 282, 279, 280, 283, 281),  // play from the file's start
    Button(1093, 0, 384, 268, 30, 20, 109, 277, 274, 275, 278, 276),  // play the dropped scene
    Move(1021, 0, 451, 273, 140, 14),
    Move(1022, 0, 597, 270, 37, 16),
    Move(1041, 0, 14, 312, 16, 14),
    Move(1050, 0, 31, 312, 16, 14),
    Move(1051, 0, 48, 312, 16, 14),
    Move(1052, 0, 64, 312, 14, 14),
    Button(1006, 0, 12, 349, 69, 22, 103, 167, 172, 171, 170, 252),  // record
    Button(1006, 1, 12, 349, 69, 22, 103, 167, 172, 171, 172, 252),
    Button(1007, 0, 12, 349, 69, 22, 104, 173, 176, 175, 174, 253),  // stop
    Button(1037, 0, 124, 349, 37, 22, 105, 177, 180, 179, 178, 254),  // finalize
    Move(1048, 0, 84, 349, 18, 22),
    Move(1049, 0, 164, 349, 18, 22),
    Picture(1047, 0, 88, 306, 30, 30, 185),     // recording icon, one frame per variant
    Picture(1047, 1, 88, 306, 30, 30, 186),
    Picture(1047, 2, 88, 306, 30, 30, 187),
    Picture(1047, 3, 88, 306, 30, 30, 188),
    Picture(1047, 4, 88, 306, 30, 30, 189),
    Picture(1047, 5, 88, 306, 30, 30, 190),
    Picture(1047, 6, 88, 306, 30, 30, 191),
    Picture(1047, 7, 88, 306, 30, 30, 192),
    Picture(1047, 8, 88, 306, 30, 30, 193),
    Button(1122, 0, 124, 310, 12, 20, 159, 339, 336, 337, 335, 338),  // hide the level meter
    Button(1121, 0, 124, 310, 12, 20, 158, 334, 331, 332, 330, 333),  // show the level meter
    Move(1040, 0, 9, 382, 630, 28),             // announcement
    Picture(1119, 0, 136, 310, 129, 20),        // level meter
};
const int kRecordPanelLayoutRows = static_cast<int>(sizeof(kRecordPanelLayout) / sizeof(kRecordPanelLayout[0]));

const SkinLayoutRecord kPlayPanelLayout[] = {
    Picture(1078, 0, 0, 0, 646, 411, 239),      // background
    Picture(1059, 0, 12, 17, 0, 0),             // video window: hidden, 4:3, 16:9
    Picture(1059, 1, 12, 17, 360, 270),
    Picture(1059, 10, 12, 51, 360, 202),
    Move(1060, 0, 14, 312, 16, 14),
    Move(1064, 0, 31, 312, 16, 14),
    Move(1067, 0, 48, 312, 16, 14),
    Move(1069, 0, 64, 312, 14, 14),
    Move(1058, 0, 386, 14, 240, 14),
    Move(1095, 0, 386, 30, 240, 14),
    Button(1004, 0, 12, 349, 69, 22, 106, 197, 200, 199, 198, 243),  // play
    Button(1005, 0, 12, 349, 69, 22, 107, 201, 204, 203, 202, 244),  // pause
    Move(1062, 0, 84, 349, 16, 22),
    Move(1065, 0, 387, 66, 200, 14),
    Button(1111, 0, 560, 68, 34, 24, 152, 311, 308, 309, 307, 310),  // sort the files
    Button(1056, 0, 595, 68, 34, 24, 110, 221, 224, 223, 222, 249),  // change the folder
    Move(1066, 0, 386, 91, 240, 14),
    Move(1079, 0, 385, 106, 245, 181),          // file list
    Move(1108, 0, 149, 303, 200, 14),
    Button(1109, 0, 588, 299, 20, 19, 150, 301, 298, 299, 297, 300),  // narrow the time slider
    Button(1110, 0, 612, 299, 20, 19, 151, 306, 303, 304, 302, 305),  // widen the time slider
    Move(1091, 0, 148, 319, 484, 51),           // time slider
    Button(1006, 0, 104, 309, 25, 20, 133, 272, 269, 270, 273, 271),  // next dropped scene
    Button(1007, 0, 104, 330, 25, 20, 132, 264, 267, 268, 265, 266),  // previous dropped scene
    Button(1008, 0, 104, 351, 25, 20, 134, 287, 284, 285, 288, 286),  // to the start
    Move(1063, 0, 131, 309, 14, 20),
    Move(1061, 0, 83, 330, 20, 20),
    Move(1068, 0, 9, 382, 630, 28),             // announcement
};
const int kPlayPanelLayoutRows = static_cast<int>(sizeof(kPlayPanelLayout) / sizeof(kPlayPanelLayout[0]));
