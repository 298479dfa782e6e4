#include <gtest/gtest.h>

#include <windows.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "SkinTestDialog.h"
#include "SkinTestResources.h"
#include "ui/PanelToolTip.h"
#include "ui/SkinButton.h"
#include "ui/SkinLayout.h"
#include "ui/SkinTables.h"

namespace {

constexpr COLORREF kMagenta = RGB(255, 0, 255);
constexpr COLORREF kCyan = RGB(0, 255, 255);

const SkinLayoutRecord kTestLayout[] = {
    {IDC_SKIN_PICTURE, 0, kSkinPicture, 10, 60, 30, 20, 0, {IDB_SKIN_PICTURE_A, 0, 0, 0, 0}},
    {IDC_SKIN_PICTURE, 1, kSkinPicture, 50, 60, 30, 20, 0, {IDB_SKIN_PICTURE_B, 0, 0, 0, 0}},
    {IDC_SKIN_BUTTON, 0, kSkinButton, 10, 10, 40, 20, IDS_SKIN_TIP_RECORD,
     {IDB_SKIN_NORMAL, IDB_SKIN_PRESSED, IDB_SKIN_FOCUSED, IDB_SKIN_DISABLED, IDB_SKIN_HOT}},
    {IDC_SKIN_BUTTON, 1, kSkinButton, 10, 10, 40, 20, IDS_SKIN_TIP_STOP,
     {IDB_SKIN_NORMAL, IDB_SKIN_PRESSED, IDB_SKIN_FOCUSED, IDB_SKIN_DISABLED, IDB_SKIN_HOT}},
    {IDC_SKIN_BUTTON, 2, kSkinButton, 10, 10, 40, 20, 0, {IDB_SKIN_NORMAL, 0, 0, 0, 0}},
    {IDC_SKIN_PLACED, 0, kSkinMove, 100, 100, 80, 14, 0, {0, 0, 0, 0, 0}},
    {IDC_SKIN_PLACED, 5, kSkinMove, 120, 110, 60, 14, 0, {0, 0, 0, 0, 0}},
    // A control whose first row is not variant 0 is neither placed nor reordered at first.
    {IDC_SKIN_TAB_CAPTION, 1, kSkinMove, 200, 150, 50, 14, 0, {0, 0, 0, 0, 0}},
};
constexpr int kTestRows = static_cast<int>(sizeof(kTestLayout) / sizeof(kTestLayout[0]));

RECT PlaceOf(HWND control) {
  RECT rect{};
  ::GetWindowRect(control, &rect);
  ::MapWindowPoints(nullptr, ::GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

bool IsAt(HWND control, int x, int y, int cx, int cy) {
  const RECT rect = PlaceOf(control);
  return rect.left == x && rect.top == y && rect.right - rect.left == cx && rect.bottom - rect.top == cy;
}

class SkinLayoutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_dialog.Open());
    ASSERT_TRUE(m_button.SubclassDlgItem(IDC_SKIN_BUTTON, m_dialog.GetSafeHwnd()));
    ASSERT_TRUE(m_toolTip.Create(m_dialog.GetSafeHwnd()));
  }
  void TearDown() override { m_dialog.DestroyWindow(); }
  HWND Item(int id) const { return m_dialog.GetDlgItem(id); }
  bool Init() { return m_layout.Init(m_dialog.GetSafeHwnd(), kTestLayout, kTestRows, &m_toolTip); }

  skin_test::SkinTestDialog m_dialog;
  SkinButton m_button;
  PanelToolTip m_toolTip;
  SkinLayout m_layout;
};

TEST_F(SkinLayoutTest, RowsPlaceAndPictureTheirControlsByVariant) {
  HWND picture = Item(IDC_SKIN_PICTURE);
  HWND placed = Item(IDC_SKIN_PLACED);
  const RECT captionBefore = PlaceOf(Item(IDC_SKIN_TAB_CAPTION));
  ASSERT_TRUE(Init());

  EXPECT_EQ(::GetWindowLongPtrW(picture, GWL_STYLE) & SS_TYPEMASK, SS_BITMAP);
  EXPECT_EQ(::GetWindowLongPtrW(picture, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0) << "a picture has no sunken edge";
  EXPECT_TRUE(IsAt(picture, 10, 60, 30, 20));
  EXPECT_TRUE(IsAt(placed, 100, 100, 80, 14));
  EXPECT_EQ(m_layout.GetVariant(picture), 0);
  EXPECT_NE(m_button.GetNormalBitmap(), nullptr);
  EXPECT_NE(m_button.GetHotBitmap(), nullptr);
  const RECT captionAfter = PlaceOf(Item(IDC_SKIN_TAB_CAPTION));
  EXPECT_TRUE(::EqualRect(&captionBefore, &captionAfter)) << "no variant 0 row: left where it was";
  skin_test::PaintNow(m_dialog.GetSafeHwnd());
  EXPECT_EQ(skin_test::PixelAt(picture, 15, 10), kMagenta);

  const HBITMAP first = reinterpret_cast<HBITMAP>(::SendMessageW(picture, STM_GETIMAGE, IMAGE_BITMAP, 0));
  EXPECT_TRUE(m_layout.SetVariant(picture, 1));
  EXPECT_TRUE(IsAt(picture, 50, 60, 30, 20));
  skin_test::PaintNow(m_dialog.GetSafeHwnd());
  EXPECT_EQ(skin_test::PixelAt(picture, 15, 10), kCyan);
  // A small picture is loaded once: stepping back and forth (an animation) shows the same ones
  // again instead of loading new copies.
  const HBITMAP second = reinterpret_cast<HBITMAP>(::SendMessageW(picture, STM_GETIMAGE, IMAGE_BITMAP, 0));
  for (int step = 0; step < 20; ++step) EXPECT_TRUE(m_layout.SetVariant(picture, step % 2));
  EXPECT_EQ(reinterpret_cast<HBITMAP>(::SendMessageW(picture, STM_GETIMAGE, IMAGE_BITMAP, 0)), second);
  EXPECT_TRUE(m_layout.SetVariant(picture, 0));
  EXPECT_EQ(reinterpret_cast<HBITMAP>(::SendMessageW(picture, STM_GETIMAGE, IMAGE_BITMAP, 0)), first);
  EXPECT_NE(::GetObjectType(first), 0u);
  skin_test::PaintNow(m_dialog.GetSafeHwnd());
  EXPECT_EQ(skin_test::PixelAt(picture, 15, 10), kMagenta);
  EXPECT_TRUE(m_layout.SetVariant(picture, 1));

  EXPECT_TRUE(m_layout.SetVariant(IDC_SKIN_PLACED, 5));
  EXPECT_TRUE(IsAt(placed, 120, 110, 60, 14));
  EXPECT_TRUE(m_layout.SetVariant(m_button.GetSafeHwnd(), 2));
  EXPECT_EQ(m_button.GetHotBitmap(), nullptr) << "a row without a hot bitmap removes it";
  EXPECT_EQ(m_button.GetSelectedBitmap(), nullptr);

  // Moved away by someone else, every control comes back to its current variant's place.
  ::MoveWindow(placed, 0, 0, 5, 5, TRUE);
  ::MoveWindow(picture, 0, 0, 5, 5, TRUE);
  m_layout.RefreshAll();
  EXPECT_TRUE(IsAt(placed, 120, 110, 60, 14));
  EXPECT_TRUE(IsAt(picture, 50, 60, 30, 20));
}

TEST_F(SkinLayoutTest, MissingRowChangesNothing) {
  ASSERT_TRUE(Init());
  HWND placed = Item(IDC_SKIN_PLACED);
  HWND picture = Item(IDC_SKIN_PICTURE);
  const HBITMAP shown = reinterpret_cast<HBITMAP>(::SendMessageW(picture, STM_GETIMAGE, IMAGE_BITMAP, 0));
  EXPECT_FALSE(m_layout.SetVariant(placed, 1));
  EXPECT_FALSE(m_layout.SetVariant(picture, 2));
  EXPECT_FALSE(m_layout.SetVariant(Item(IDC_SKIN_NOT_IN_TABLE), 0));
  EXPECT_FALSE(m_layout.SetVariant(IDC_SKIN_TAB_CAPTION, 0));
  EXPECT_FALSE(m_layout.SetVariant(4242, 0)) << "no such control";
  EXPECT_TRUE(IsAt(placed, 100, 100, 80, 14));
  EXPECT_EQ(m_layout.GetVariant(placed), 0);
  EXPECT_EQ(m_layout.GetVariant(Item(IDC_SKIN_TAB_CAPTION)), -1);
  EXPECT_EQ(reinterpret_cast<HBITMAP>(::SendMessageW(picture, STM_GETIMAGE, IMAGE_BITMAP, 0)), shown);
  EXPECT_NE(::GetObjectType(shown), 0u);
}

TEST_F(SkinLayoutTest, FirstVariantControlsLieBehindAllOthersInTableOrder) {
  ASSERT_TRUE(Init());
  std::vector<int> order;
  for (HWND child = ::GetWindow(m_dialog.GetSafeHwnd(), GW_CHILD); child != nullptr;
       child = ::GetWindow(child, GW_HWNDNEXT)) {
    order.push_back(::GetDlgCtrlID(child));
  }
  ASSERT_GE(order.size(), 3u);
  const std::vector<int> bottom(order.end() - 3, order.end());
  EXPECT_EQ(bottom, (std::vector<int>{IDC_SKIN_PICTURE, IDC_SKIN_BUTTON, IDC_SKIN_PLACED}))
      << "front to back in table order, behind every other child";
}

TEST_F(SkinLayoutTest, ToolTipsAreAddedChangedAndRemovedByVariant) {
  ASSERT_TRUE(Init());
  HWND button = m_button.GetSafeHwnd();
  EXPECT_EQ(m_toolTip.GetToolCount(), 1) << "only rows with a tooltip make tools";
  EXPECT_EQ(m_toolTip.GetToolText(button), L"録画");
  m_layout.SetVariant(button, 1);
  EXPECT_EQ(m_toolTip.GetToolText(button), L"停止");
  m_layout.SetVariant(button, 2);
  EXPECT_FALSE(m_toolTip.HasTool(button));
  m_layout.SetVariant(button, 0);
  EXPECT_EQ(m_toolTip.GetToolText(button), L"録画");
  EXPECT_EQ(m_toolTip.GetToolCount(), 1);
}

// The panels' tables as the skin defines them: every control's rows together, a variant once per
// control, a normal bitmap for every button, tooltips from the string table.
TEST(SkinTables, EveryTableIsWellFormed) {
  const struct {
    const char* name;
    const SkinLayoutRecord* rows;
    int count;
    int expected;
  } tables[] = {
      {"main", kMainPanelLayout, kMainPanelLayoutRows, 22},
      {"record", kRecordPanelLayout, kRecordPanelLayoutRows, 50},
      {"play", kPlayPanelLayout, kPlayPanelLayoutRows, 28},
  };
  for (const auto& table : tables) {
    SCOPED_TRACE(table.name);
    EXPECT_EQ(table.count, table.expected);
    std::set<int> finished;
    std::set<std::pair<int, int>> variants;
    for (int index = 0; index < table.count; ++index) {
      const SkinLayoutRecord& row = table.rows[index];
      if (index > 0 && table.rows[index - 1].nControlId != row.nControlId) {
        finished.insert(table.rows[index - 1].nControlId);
      }
      EXPECT_EQ(finished.count(row.nControlId), 0u) << "rows of " << row.nControlId << " apart";
      EXPECT_TRUE(variants.emplace(row.nControlId, row.nVariant).second) << row.nControlId;
      EXPECT_TRUE(row.nTooltipId == 0 || (row.nTooltipId >= 101 && row.nTooltipId <= 160)) << row.nControlId;
      EXPECT_TRUE(row.cx >= 0 && row.cy >= 0);
      if (row.nKind == kSkinButton) {
        EXPECT_NE(row.nBitmap[0], 0) << row.nControlId;
      } else {
        for (int bitmap = 1; bitmap < 5; ++bitmap) EXPECT_EQ(row.nBitmap[bitmap], 0) << row.nControlId;
      }
    }
  }
}

TEST(SkinTables, VariantRangesExpandToOneRowEach) {
  const int statusPictures[] = {290, 295, 293, 294, 292, 291, 289, 296};
  int found = 0;
  for (int index = 0; index < kMainPanelLayoutRows; ++index) {
    const SkinLayoutRecord& row = kMainPanelLayout[index];
    if (row.nControlId != 1094) continue;
    ASSERT_EQ(row.nVariant, found);
    EXPECT_EQ(row.nBitmap[0], statusPictures[found]);
    ++found;
  }
  EXPECT_EQ(found, 8);
  found = 0;
  for (int index = 0; index < kRecordPanelLayoutRows; ++index) {
    const SkinLayoutRecord& row = kRecordPanelLayout[index];
    if (row.nControlId != 1047) continue;
    EXPECT_EQ(row.nBitmap[0], 185 + row.nVariant);
    EXPECT_EQ(row.nVariant, found++);
  }
  EXPECT_EQ(found, 9);
}

}  // namespace
