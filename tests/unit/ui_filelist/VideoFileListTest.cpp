// The file list's folder scan, order, selection and notifications, and its information tip.
#include <gtest/gtest.h>

#include "FileListTest.h"

namespace {

using namespace filelist_test;

FILETIME FileTimeOf(WORD wYear, WORD wMonth, WORD wDay) {
  SYSTEMTIME st{};
  st.wYear = wYear;
  st.wMonth = wMonth;
  st.wDay = wDay;
  st.wHour = 10;
  FILETIME ft{};
  ::SystemTimeToFileTime(&st, &ft);
  return ft;
}

class VideoFileListTest : public FileListFixture {
 protected:
  std::vector<std::wstring> Names() {
    std::vector<std::wstring> names;
    for (int n = 0; n < List().GetItemCount(); ++n) names.push_back(List().GetItemText(n));
    return names;
  }
};

TEST_F(VideoFileListTest, OnlyRecordedFilesAreListedWithOrWithoutTrailingBackslash) {
  List().SetFolder(m_folder.Path());
  EXPECT_EQ(0, List().GetItemCount());
  EXPECT_TRUE(List().GetPaths().empty());

  WriteBytes(m_folder.Path(L"other codec.avi"), MotionJpegAvi());
  WriteBytes(m_folder.Path(L"empty.avi"), {});
  ::CreateDirectoryW(m_folder.Path(L"folder.avi").c_str(), nullptr);
  WriteRecording(m_folder.Path(L"folder.avi\\inside.avi"), Recording{});
  WriteRecording(m_folder.Path(L"not an avi name.dv"), Recording{});
  for (const std::wstring& strFolder : {m_folder.Path(), m_folder.Path() + L"\\"}) {
    List().SetFolder(strFolder);
    EXPECT_EQ(0, List().GetItemCount());
  }

  WriteRecording(m_folder.Path(L"type1.avi"), Recording{});
  WriteRecording(m_folder.Path(L"type2.avi"), Recording{false, false, 60, 2, 1});
  for (const std::wstring& strFolder : {m_folder.Path(), m_folder.Path() + L"\\"}) {
    List().SetFolder(strFolder);
    ASSERT_EQ(2, List().GetItemCount());
    for (const std::wstring& strPath : List().GetPaths()) {
      EXPECT_EQ(m_folder.Path(), strPath.substr(0, strPath.rfind(L'\\'))) << "one separator between folder and name";
    }
  }
  EXPECT_EQ(m_folder.Path() + L"\\", List().GetFolder()) << "the folder as given last";
}

TEST_F(VideoFileListTest, EqualTimesAreOrderedByPathInBothOrders) {
  const FILETIME older = FileTimeOf(2026, 3, 1);
  const FILETIME newer = FileTimeOf(2026, 3, 2);
  // Capitals sort before small letters: the order is by code unit, not alphabetical.
  for (const wchar_t* pszName : {L"c.avi", L"a.avi", L"B.avi", L"later.avi"}) {
    WriteRecording(m_folder.Path(pszName), Recording{});
    SetLastWriteTime(m_folder.Path(pszName), std::wstring(pszName) == L"later.avi" ? newer : older);
  }
  List().SetFolder(m_folder.Path());
  EXPECT_EQ((std::vector<std::wstring>{L"later", L"B", L"a", L"c"}), Names());
  List().Sort(VideoFileList::SortOldestFirst);
  EXPECT_EQ(VideoFileList::SortOldestFirst, List().GetSortOrder());
  EXPECT_EQ((std::vector<std::wstring>{L"c", L"a", L"B", L"later"}), Names());
  // A rescan keeps the order chosen last.
  List().SetFolder(m_folder.Path());
  EXPECT_EQ((std::vector<std::wstring>{L"c", L"a", L"B", L"later"}), Names());
  List().Sort(VideoFileList::SortNewestFirst);
  EXPECT_EQ((std::vector<std::wstring>{L"later", L"B", L"a", L"c"}), Names());
}

TEST_F(VideoFileListTest, SelectionActivationDeleteAndContextMenuReachTheOwner) {
  for (const wchar_t* pszName : {L"one.avi", L"two.avi", L"three.avi"}) WriteRecording(m_folder.Path(pszName), Recording{});
  List().SetFolder(m_folder.Path());
  PumpFor(50);
  m_host.TakeNotifications();
  ::SetFocus(List());

  // Keys without a selected file tell the owner nothing.
  ::PostMessageW(List(), WM_KEYDOWN, VK_DELETE, 1);
  ::PostMessageW(List(), WM_KEYDOWN, VK_RETURN, 1);
  PumpFor(100);
  EXPECT_TRUE(m_host.TakeNotifications().empty());

  const std::wstring strTwo = m_folder.Path(L"TWO.AVI");  // any case finds the file
  List().SelectFile(strTwo, true);
  EXPECT_EQ(m_folder.Path(L"two.avi"), List().GetSelectedPath());
  EXPECT_EQ(m_folder.Path(L"two.avi"), List().GetFocusedPath());
  PumpFor(50);
  m_host.TakeNotifications();
  // The same selection again is no change.
  List().SelectFile(strTwo, false);
  PumpFor(50);
  EXPECT_TRUE(m_host.TakeNotifications().empty());

  // Another file: the owner hears of the change.
  List().SelectFile(m_folder.Path(L"one.avi"), false);
  PumpFor(50);
  auto notes = m_host.TakeNotifications();
  ASSERT_FALSE(notes.empty());
  for (const auto& note : notes) EXPECT_EQ(static_cast<WPARAM>(VideoFileList::FileSelectionChanged), note.first);
  EXPECT_EQ(m_folder.Path(L"one.avi"), List().GetSelectedPath());

  ::PostMessageW(List(), WM_KEYDOWN, VK_RETURN, 1);
  ::PostMessageW(List(), WM_KEYDOWN, VK_DELETE, 1);
  ::PostMessageW(List(), WM_KEYUP, VK_APPS, static_cast<LPARAM>(0xC0000001u));
  PumpFor(100);
  notes = m_host.TakeNotifications();
  ASSERT_EQ(3u, notes.size());
  EXPECT_EQ(static_cast<WPARAM>(VideoFileList::FileActivated), notes[0].first);
  EXPECT_EQ(static_cast<WPARAM>(VideoFileList::FileDeleteRequested), notes[1].first);
  EXPECT_EQ(static_cast<WPARAM>(VideoFileList::FileContextMenu), notes[2].first);
  // The menu point is the centre of the selected icon, on the screen.
  RECT icon{};
  ASSERT_TRUE(List().GetItemRect(List().GetSelectedItem(), &icon, LVIR_ICON));
  ::MapWindowPoints(List(), nullptr, reinterpret_cast<POINT*>(&icon), 2);
  const POINT menu{static_cast<short>(LOWORD(notes[2].second)), static_cast<short>(HIWORD(notes[2].second))};
  EXPECT_TRUE(::PtInRect(&icon, menu));

  // Focus without selection, and removal of the selected file.
  List().FocusFile(m_folder.Path(L"three.avi"));
  EXPECT_EQ(m_folder.Path(L"three.avi"), List().GetFocusedPath());
  EXPECT_EQ(m_folder.Path(L"one.avi"), List().GetSelectedPath());
  List().RemoveFile(m_folder.Path(L"ONE.avi"));
  List().RemoveFile(m_folder.Path(L"never listed.avi"));
  EXPECT_EQ(2, List().GetItemCount());
  EXPECT_EQ(2u, List().GetPaths().size());
  EXPECT_EQ(L"", List().GetSelectedPath());
  EXPECT_EQ((std::vector<std::wstring>{m_folder.Path(L"three.avi"), m_folder.Path(L"two.avi")}), (std::vector<std::wstring>{List().GetPaths()}));
}

TEST_F(VideoFileListTest, TheTipNamesTheFileUnderTheMouseAndGoesAwayElsewhere) {
  WriteRecording(m_folder.Path(L"clip.avi"), Recording{});
  List().SetFolder(m_folder.Path());
  RECT icon{};
  ASSERT_TRUE(List().GetItemRect(0, &icon, LVIR_ICON));
  MSG move{List(), WM_MOUSEMOVE, 0, MAKELPARAM((icon.left + icon.right) / 2, (icon.top + icon.bottom) / 2), 0, {}};
  List().RelayToolTipEvent(&move);
  ASSERT_TRUE(List().GetToolTip().HasTool(List()));
  const std::wstring strTip = List().GetToolTip().GetToolText(List());
  EXPECT_EQ(0u, strTip.find(L"clip")) << "heading is the name without extension";
  EXPECT_NE(std::wstring::npos, strTip.find(L"\n"));

  // Messages of other windows change nothing; empty space removes the tip.
  MSG other = move;
  other.hwnd = m_host;
  other.lParam = MAKELPARAM(1, 1);
  List().RelayToolTipEvent(&other);
  EXPECT_TRUE(List().GetToolTip().HasTool(List()));
  RECT client{};
  ::GetClientRect(List(), &client);
  MSG empty{List(), WM_MOUSEMOVE, 0, MAKELPARAM(client.right - 2, client.bottom - 2), 0, {}};
  List().RelayToolTipEvent(&empty);
  EXPECT_FALSE(List().GetToolTip().HasTool(List()));
}

}  // namespace
