// Places a panel's controls on the skin's pixel grid from a table of rows: position and size,
// picture of a picture static, the five bitmaps of a skinned button and the tooltip text, with
// numbered variants per control that the owner switches at run time.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>

#include "framework/Handles.h"

class PanelToolTip;

// What a layout row does with its control.
enum SkinLayoutKind : int32_t {
  kSkinMove = 0,     // position and size only
  kSkinPicture = 1,  // picture static: bitmap 1 is its picture (0 = none)
  kSkinButton = 2,   // SkinButton: normal, pressed, focused, disabled, hot
};

// One row of a layout table: thirteen 32-bit fields in this order. All rows of one control are
// consecutive; variant 0 is the one applied first.
struct SkinLayoutRecord {
  int32_t nControlId;
  int32_t nVariant;
  int32_t nKind;
  int32_t x;
  int32_t y;
  int32_t cx;
  int32_t cy;
  int32_t nTooltipId;  // string-table id of the tooltip, 0 = none
  int32_t nBitmap[5];
};
static_assert(sizeof(SkinLayoutRecord) == 13 * 4, "a layout row is thirteen 32-bit fields");

class SkinLayout {
 public:
  SkinLayout() = default;
  // Takes its pictures back from the statics that still show them, then frees them.
  ~SkinLayout();
  SkinLayout(const SkinLayout&) = delete;
  SkinLayout& operator=(const SkinLayout&) = delete;

  // Stores the table, gives picture statics their style, moves the first-variant controls behind
  // all other children in table order and applies variant 0 to every control. Always true.
  bool Init(HWND parent, const SkinLayoutRecord* table, int rowCount, PanelToolTip* toolTip);
  // Applies the control's row of that variant; false (and nothing changed) when there is none.
  bool SetVariant(HWND control, int variant);
  bool SetVariant(int controlId, int variant);
  // Applies every control's current variant again.
  void RefreshAll();
  // The variant last asked of a control, -1 when none was.
  int GetVariant(HWND control) const;

 private:
  const SkinLayoutRecord* FindRow(int controlId, int variant) const;
  bool IsOurPicture(HBITMAP bitmap) const;
  void ApplyPicture(HWND control, const SkinLayoutRecord& row);
  void ApplyButtonBitmaps(HWND control, const SkinLayoutRecord& row);
  void ApplyToolTip(HWND control, const SkinLayoutRecord& row);
  void ApplyPlace(HWND control, const SkinLayoutRecord& row);

  HWND m_hParent = nullptr;
  const SkinLayoutRecord* m_pTable = nullptr;
  int m_nRowCount = 0;
  PanelToolTip* m_pToolTip = nullptr;
  std::map<int, int> m_mapFirstRow;        // control id -> index of its first row
  std::map<HWND, int> m_mapVariant;        // control window -> current variant
  std::map<int, HWND> m_mapControl;        // control id -> control window
  std::map<HWND, HBITMAP> m_mapPicture;    // picture static -> the picture of ours it shows
  std::map<int, framework::BitmapHolder> m_mapSmallPicture;    // bitmap resource id -> small picture, kept
  std::map<HWND, framework::BitmapHolder> m_mapLargePicture;   // picture static -> large picture it shows
};
