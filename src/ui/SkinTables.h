// The skin layouts of the main window and its two panels: where each control lies on the skin's
// pixel grid, which pictures and button bitmaps it shows and which tooltip it carries, by variant.
#pragma once

#include "ui/SkinLayout.h"

// Main window: tab backgrounds, tab buttons (variant 0 selected, 1 not) and their captions, status
// icon (one variant per status picture), camcorder name, options button.
extern const SkinLayoutRecord kMainPanelLayout[];
extern const int kMainPanelLayoutRows;

// Record panel: preview sizes (variants 0 to 3 for 4:3, 10 to 13 for 16:9), texts, buttons and the
// recording icon's frames.
extern const SkinLayoutRecord kRecordPanelLayout[];
extern const int kRecordPanelLayoutRows;

// Play panel: video window (hidden, 4:3, 16:9), texts, buttons, file list and time slider.
extern const SkinLayoutRecord kPlayPanelLayout[];
extern const int kPlayPanelLayoutRows;
