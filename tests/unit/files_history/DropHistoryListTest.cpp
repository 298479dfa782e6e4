// The recording history on a real panel, with recordings written by the AVI writer: the rows of
// each file and its drops by second, the recording log's lines, how rows are drawn, what the owner
// is told, and the file tooltip.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "HistoryTestResources.h"
#include "TestSupport.h"
#include "avi/AviWriter.h"
#include "core/TextHelpers.h"
#include "files/AviInspection.h"
#include "files/DropHistoryList.h"
#include "framework/Dialog.h"
#include "framework/Handles.h"

namespace {

constexpr UINT kOwnerMessage = WM_APP + 10;
constexpr const wchar_t* kLogName = L"PLVR.LOG";

// A folder of its own in the temporary folder, removed with everything in it.
class TempFolder {
 public:
  explicit TempFolder(const std::wstring& strName) {
    static int s_nFolders = 0;
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    m_strPath = std::wstring(temp) + L"plover-history-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                std::to_wstring(++s_nFolders) + L"-" + strName;
    ::CreateDirectoryW(m_strPath.c_str(), nullptr);
  }
  ~TempFolder() {
    std::wstring from = m_strPath + L'\0';
    SHFILEOPSTRUCTW operation{};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    operation.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
    ::SHFileOperationW(&operation);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  std::wstring File(const std::wstring& strName) const { return m_strPath + L"\\" + strName; }
  std::wstring Log() const { return File(kLogName); }

 private:
  std::wstring m_strPath;
};

// A recording as the recorder writes it: nFrames frames of which `drops` were lost. The frames
// carry only a few bytes; the history looks at the index alone.
void WriteRecording(const std::wstring& strPath, avi::VideoSystem system, std::uint32_t nFrames,
                    const std::vector<std::uint32_t>& drops, avi::AviType type = avi::AviType::Type1) {
  avi::AviWriterOptions options;
  options.type = type;
  options.system = system;
  options.bCheckpoints = false;
  options.bSyncToDisk = false;
  avi::MemoryFile memory;
  avi::AviWriter writer;
  ASSERT_EQ(avi::AviResult::Ok, writer.Open(memory, options));
  const std::vector<std::uint8_t> frame(16, 0x55);
  auto nextDrop = drops.begin();
  for (std::uint32_t n = 0; n < nFrames; ++n) {
    if (nextDrop != drops.end() && *nextDrop == n) {
      ++nextDrop;
      ASSERT_EQ(avi::AviResult::Ok, writer.WriteDroppedFrame());
    } else {
      ASSERT_EQ(avi::AviResult::Ok, writer.WriteVideoFrame(frame));
    }
  }
  ASSERT_EQ(avi::AviResult::Ok, writer.Finish());
  HANDLE file = ::CreateFileW(strPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD dwWritten = 0;
  const auto& bytes = memory.Bytes();
  ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &dwWritten, nullptr);
  ::CloseHandle(file);
}

std::string ReadAll(const std::wstring& strPath) {
  std::ifstream in(strPath.c_str(), std::ios::binary);
  if (!in) return "<missing>";
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The record panel's part: a panel holding the list, noting every notification it is posted.
class HistoryPanel : public framework::Dialog {
 public:
  HistoryPanel() : Dialog(IDD_HISTORY_TEST_PANEL) {}

  bool Open() {
    if (!Create(nullptr)) return false;
    ::SetWindowPos(m_hWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE);
    if (!m_list.SubclassDlgItem(IDC_HISTORY_TEST_LIST, m_hWnd)) return false;
    return m_list.Init(m_hWnd, kOwnerMessage, L"Position", L"Count");
  }
  // Notifications that arrived since the last call.
  std::vector<WPARAM> TakeNotifications() {
    testsupport::PumpUntil([] { return false; }, 30);
    return std::exchange(m_vecNotifications, {});
  }
  std::wstring Text(int nRow, int nColumn) const {
    wchar_t text[128] = {};
    LVITEMW item{};
    item.iSubItem = nColumn;
    item.pszText = text;
    item.cchTextMax = static_cast<int>(std::size(text));
    ::SendMessageW(m_list.GetSafeHwnd(), LVM_GETITEMTEXTW, nRow, reinterpret_cast<LPARAM>(&item));
    return text;
  }
  int ListRows() const { return static_cast<int>(::SendMessageW(m_list.GetSafeHwnd(), LVM_GETITEMCOUNT, 0, 0)); }
  int SelectedRow() const {
    return static_cast<int>(
        ::SendMessageW(m_list.GetSafeHwnd(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
  }
  void Select(int nRow) {
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = nRow >= 0 ? LVIS_SELECTED | LVIS_FOCUSED : 0;
    ::SendMessageW(m_list.GetSafeHwnd(), LVM_SETITEMSTATE, static_cast<WPARAM>(nRow), reinterpret_cast<LPARAM>(&item));
  }
  RECT RowRect(int nRow) const {
    RECT rect{LVIR_BOUNDS, 0, 0, 0};
    ::SendMessageW(m_list.GetSafeHwnd(), LVM_GETITEMRECT, nRow, reinterpret_cast<LPARAM>(&rect));
    return rect;
  }
  POINT RowCentre(int nRow) const {
    const RECT rect = RowRect(nRow);
    return POINT{rect.left + 20, (rect.top + rect.bottom) / 2};
  }

  DropHistoryList m_list;
  bool m_bOkPressed = false;

 protected:
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
    if (msg == kOwnerMessage) {
      m_vecNotifications.push_back(wParam);
      result = 0;
      return true;
    }
    return Dialog::OnMessage(msg, wParam, lParam, result);
  }
  void OnOK() override { m_bOkPressed = true; }

 private:
  std::vector<WPARAM> m_vecNotifications;
};

struct ExpectedRow {
  const wchar_t* position;
  const wchar_t* count;
  int nSecond;
  int nCount;
};

TEST(DropHistoryList, DropListGroupsFramesBySecondAndLogsEachGroup) {
  struct Case {
    const char* name;
    avi::VideoSystem system;
    std::uint32_t nFrames;
    std::vector<std::uint32_t> drops;
    std::vector<ExpectedRow> drop_rows;
    const char* log;
  };
  const Case cases[] = {
      // 525/60 counts drop-frame: frame 1799 is 00:00:59:29, frame 1800 is 00:01:00:02.
      {"525", avi::VideoSystem::System525_60, 1900, {0, 1, 29, 30, 1799, 1800, 1801},
       {{L"    0:00:00", L"3", 0, 3}, {L"    0:00:01", L"1", 1, 1}, {L"    0:00:59", L"1", 59, 1},
        {L"    0:01:00", L"2", 60, 2}},
       " 0:00:00 3\r\n 0:00:01 1\r\n 0:00:59 1\r\n 0:01:00 2\r\n\r\n"},
      {"625", avi::VideoSystem::System625_50, 1600, {24, 25, 1499, 1500},
       {{L"    0:00:00", L"1", 0, 1}, {L"    0:00:01", L"1", 1, 1}, {L"    0:00:59", L"1", 59, 1},
        {L"    0:01:00", L"1", 60, 1}},
       " 0:00:00 1\r\n 0:00:01 1\r\n 0:00:59 1\r\n 0:01:00 1\r\n\r\n"},
      // 1 hour 2 minutes 3 seconds of 625/50 is frame 93,075.
      {"hour", avi::VideoSystem::System625_50, 93110, {93075, 93080, 93099, 93100},
       {{L"    1:02:03", L"3", 3723, 3}, {L"    1:02:04", L"1", 3724, 1}},
       " 1:02:03 3\r\n 1:02:04 1\r\n\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder(L"groups");
    const std::wstring strPath = folder.File(L"DV0001.avi");
    WriteRecording(strPath, c.system, c.nFrames, c.drops);
    HistoryPanel panel;
    ASSERT_TRUE(panel.Open());

    EXPECT_EQ(panel.m_list.AddRecordedFile(strPath, folder.Log()), static_cast<int>(c.drops.size()));
    ASSERT_EQ(panel.ListRows(), static_cast<int>(1 + c.drop_rows.size()));
    ASSERT_EQ(panel.m_list.GetRowCount(), panel.ListRows());
    EXPECT_EQ(panel.Text(0, 0), L"DV0001");
    EXPECT_EQ(panel.Text(0, 1), L" ");
    EXPECT_EQ(panel.m_list.GetRowEntry(0).nSecond, -1);
    EXPECT_EQ(panel.m_list.GetRowEntry(0).nCount, static_cast<int>(c.drops.size()));
    for (size_t i = 0; i < c.drop_rows.size(); ++i) {
      const int nRow = static_cast<int>(i + 1);
      EXPECT_EQ(panel.Text(nRow, 0), c.drop_rows[i].position);
      EXPECT_EQ(panel.Text(nRow, 1), c.drop_rows[i].count);
      EXPECT_EQ(panel.m_list.GetRowEntry(nRow).nSecond, c.drop_rows[i].nSecond);
      EXPECT_EQ(panel.m_list.GetRowEntry(nRow).nCount, c.drop_rows[i].nCount);
      EXPECT_EQ(panel.m_list.GetRowEntry(nRow).nFileIndex, 0);
    }
    EXPECT_EQ(panel.SelectedRow(), panel.ListRows() - 1) << "the file's last drop is selected";
    EXPECT_EQ(ReadAll(folder.Log()), c.log);
    panel.DestroyWindow();
  }
}

TEST(DropHistoryList, RecordingsAppendTheirRowsAndTheLogGrows) {
  // The folder's name has a letter that the Japanese code page lacks.
  TempFolder folder(L"caf\u00e9");
  const std::wstring strFirst = folder.File(L"DV0001.avi");
  const std::wstring strSecond = folder.File(L"DV0002.avi");
  WriteRecording(strFirst, avi::VideoSystem::System525_60, 300, {100, 200}, avi::AviType::Type2);
  WriteRecording(strSecond, avi::VideoSystem::System525_60, 300, {});
  HistoryPanel panel;
  ASSERT_TRUE(panel.Open());
  // The record panel writes the file's header block itself before the list adds the drop lines.
  {
    std::ofstream log(folder.Log().c_str(), std::ios::binary);
    log << "header\r\n";
  }

  EXPECT_EQ(panel.m_list.AddRecordedFile(strFirst, folder.Log()), 2);
  EXPECT_EQ(panel.m_list.AddRecordedFile(strSecond, folder.Log()), 0);
  ASSERT_EQ(panel.ListRows(), 4);
  EXPECT_EQ(panel.Text(0, 0), L"DV0001");
  EXPECT_EQ(panel.Text(1, 0), L"    0:00:03");
  EXPECT_EQ(panel.Text(2, 0), L"    0:00:06");
  EXPECT_EQ(panel.Text(3, 0), L"DV0002");
  EXPECT_EQ(panel.Text(3, 1), L" ");
  EXPECT_EQ(panel.m_list.GetRowEntry(3).nFileIndex, 1);
  EXPECT_EQ(panel.m_list.GetRowEntry(3).nCount, 0);
  EXPECT_EQ(panel.SelectedRow(), 3) << "a file without drops selects its own row";
  EXPECT_EQ(ReadAll(folder.Log()), "header\r\n 0:00:03 1\r\n 0:00:06 1\r\n\r\n\r\n");

  panel.DestroyWindow();
}

TEST(DropHistoryList, UnreadableFilesAndLogsFailQuietly) {
  TempFolder folder(L"bad");
  HistoryPanel panel;
  ASSERT_TRUE(panel.Open());

  // No such file; a file cut short (its index lists fewer frames than its header); not an AVI file.
  const std::wstring strCut = folder.File(L"cut.avi");
  WriteRecording(strCut, avi::VideoSystem::System625_50, 100, {5});
  {
    std::string bytes = ReadAll(strCut);
    const size_t nLength = bytes.find("strh") + 8 + 32;  // dwLength of the first stream
    bytes[nLength] = static_cast<char>(101);
    std::ofstream(strCut.c_str(), std::ios::binary) << bytes;
  }
  const std::wstring strText = folder.File(L"text.avi");
  std::ofstream(strText.c_str(), std::ios::binary) << "not a recording";
  for (const std::wstring& strPath : {folder.File(L"missing.avi"), strCut, strText}) {
    EXPECT_EQ(panel.m_list.AddRecordedFile(strPath, folder.Log()), 0);
    EXPECT_EQ(panel.ListRows(), 0);
    EXPECT_TRUE(panel.m_list.GetFileRecords().empty());
    EXPECT_EQ(ReadAll(folder.Log()), "<missing>") << "nothing is logged";
  }
  EXPECT_TRUE(panel.TakeNotifications().empty());
  EXPECT_FALSE(panel.m_list.GetSelectedEntry(nullptr, nullptr, nullptr, nullptr, nullptr));

  // A log that cannot be opened leaves the list as it would be.
  const std::wstring strGood = folder.File(L"good.avi");
  WriteRecording(strGood, avi::VideoSystem::System625_50, 100, {5, 6});
  EXPECT_EQ(panel.m_list.AddRecordedFile(strGood, folder.File(L"no-such-folder\\PLVR.LOG")), 2);
  EXPECT_EQ(panel.ListRows(), 2);
  panel.DestroyWindow();
}

TEST(DropHistoryList, OwnerIsToldOfSelectionChangesAndOpenRequests) {
  TempFolder folder(L"notify");
  const std::wstring strPath = folder.File(L"DV0001.avi");
  WriteRecording(strPath, avi::VideoSystem::System625_50, 200, {30, 31, 80});
  HistoryPanel panel;
  ASSERT_TRUE(panel.Open());
  EXPECT_TRUE(panel.TakeNotifications().empty());

  ASSERT_EQ(panel.m_list.AddRecordedFile(strPath, folder.Log()), 3);
  EXPECT_EQ(panel.TakeNotifications(), std::vector<WPARAM>{HistorySelectionChanged});
  std::wstring strSelected;
  FILETIME ftSelected{};
  ULONGLONG qwSelected = 0;
  int nSecond = -2;
  int nCount = -2;
  ASSERT_TRUE(panel.m_list.GetSelectedEntry(&strSelected, &ftSelected, &qwSelected, &nSecond, &nCount));
  EXPECT_EQ(strSelected, strPath);
  EXPECT_EQ(nSecond, 3);
  EXPECT_EQ(nCount, 1);
  FILETIME ftOnDisk{};
  ULONGLONG qwOnDisk = 0;
  ASSERT_TRUE(DropHistoryList::ReadFileIdentity(strPath, &ftOnDisk, &qwOnDisk));
  EXPECT_EQ(::CompareFileTime(&ftSelected, &ftOnDisk), 0);
  EXPECT_EQ(qwSelected, qwOnDisk);

  // Another row: the list tells of the old row's deselection and of the new selection; the same
  // row again: nothing.
  panel.Select(0);
  EXPECT_EQ(panel.TakeNotifications(), (std::vector<WPARAM>{HistorySelectionChanged, HistorySelectionChanged}));
  panel.Select(0);
  EXPECT_TRUE(panel.TakeNotifications().empty());
  ASSERT_TRUE(panel.m_list.GetSelectedEntry(nullptr, nullptr, nullptr, &nSecond, &nCount));
  EXPECT_EQ(nSecond, -1);
  EXPECT_EQ(nCount, 3);

  // Enter and double-click open the selection; Enter never presses the dialog's default button,
  // whether the message loop walks the windows or hands keys straight to the dialog.
  ::SetFocus(panel.m_list.GetSafeHwnd());
  testsupport::PostKey(panel.m_list.GetSafeHwnd(), VK_RETURN);
  EXPECT_EQ(panel.TakeNotifications(), std::vector<WPARAM>{HistoryOpenSelection});
  MSG enter{panel.m_list.GetSafeHwnd(), WM_KEYDOWN, VK_RETURN, 1, ::GetTickCount(), {}};
  EXPECT_TRUE(::IsDialogMessageW(panel.GetSafeHwnd(), &enter));
  EXPECT_EQ(panel.TakeNotifications(), std::vector<WPARAM>{HistoryOpenSelection});
  panel.Select(1);
  EXPECT_EQ(panel.TakeNotifications(), (std::vector<WPARAM>{HistorySelectionChanged, HistorySelectionChanged}));
  const POINT row1 = panel.RowCentre(1);
  ::SendMessageW(panel.m_list.GetSafeHwnd(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(row1.x, row1.y));
  ::SendMessageW(panel.m_list.GetSafeHwnd(), WM_LBUTTONUP, 0, MAKELPARAM(row1.x, row1.y));
  EXPECT_EQ(panel.TakeNotifications(), std::vector<WPARAM>{HistoryOpenSelection});
  EXPECT_FALSE(panel.m_bOkPressed);

  // Nothing selected: neither opens anything, and Enter is still the list's.
  panel.Select(-1);
  EXPECT_EQ(panel.TakeNotifications(), std::vector<WPARAM>{HistorySelectionChanged});
  EXPECT_FALSE(panel.m_list.GetSelectedEntry(nullptr, nullptr, nullptr, nullptr, nullptr));
  testsupport::PostKey(panel.m_list.GetSafeHwnd(), VK_RETURN);
  ::SendMessageW(panel.m_list.GetSafeHwnd(), WM_KEYDOWN, VK_RETURN, 1);
  EXPECT_TRUE(::IsDialogMessageW(panel.GetSafeHwnd(), &enter));
  const POINT below{20, 400};
  ::SendMessageW(panel.m_list.GetSafeHwnd(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(below.x, below.y));
  ::SendMessageW(panel.m_list.GetSafeHwnd(), WM_LBUTTONUP, 0, MAKELPARAM(below.x, below.y));
  EXPECT_TRUE(panel.TakeNotifications().empty());
  EXPECT_FALSE(panel.m_bOkPressed);
  EXPECT_TRUE(::IsWindowVisible(panel.GetSafeHwnd()));
  panel.DestroyWindow();
}

// Asks the list how to draw one row, as the list control does while painting.
struct RowLook {
  LRESULT result;
  COLORREF text;
  COLORREF background;
  LONG nWeight;
};

RowLook AskRowLook(HistoryPanel& panel, int nRow) {
  framework::WindowDC screen(nullptr);
  framework::MemoryDC dc(screen);
  NMLVCUSTOMDRAW draw{};
  draw.nmcd.hdr.hwndFrom = panel.m_list.GetSafeHwnd();
  draw.nmcd.hdr.idFrom = IDC_HISTORY_TEST_LIST;
  draw.nmcd.hdr.code = NM_CUSTOMDRAW;
  draw.nmcd.dwDrawStage = CDDS_ITEMPREPAINT;
  draw.nmcd.dwItemSpec = static_cast<DWORD_PTR>(nRow);
  draw.nmcd.hdc = dc;
  const HGDIOBJ original = ::GetCurrentObject(dc, OBJ_FONT);
  RowLook look{};
  look.result = ::SendMessageW(panel.GetSafeHwnd(), WM_NOTIFY, IDC_HISTORY_TEST_LIST, reinterpret_cast<LPARAM>(&draw));
  look.text = draw.clrText;
  look.background = draw.clrTextBk;
  LOGFONTW font{};
  ::GetObjectW(::GetCurrentObject(dc, OBJ_FONT), sizeof(font), &font);
  look.nWeight = font.lfWeight;
  ::SelectObject(dc, original);
  return look;
}

TEST(DropHistoryList, FileRowsAreBoldBlackAndDropRowsRed) {
  TempFolder folder(L"look");
  const std::wstring strPath = folder.File(L"DV0001.avi");
  WriteRecording(strPath, avi::VideoSystem::System525_60, 100, {50});
  HistoryPanel panel;
  ASSERT_TRUE(panel.Open());
  ASSERT_EQ(panel.m_list.AddRecordedFile(strPath, folder.Log()), 1);

  NMCUSTOMDRAW start{};
  start.hdr = {panel.m_list.GetSafeHwnd(), IDC_HISTORY_TEST_LIST, static_cast<UINT>(NM_CUSTOMDRAW)};
  start.dwDrawStage = CDDS_PREPAINT;
  EXPECT_EQ(::SendMessageW(panel.GetSafeHwnd(), WM_NOTIFY, IDC_HISTORY_TEST_LIST, reinterpret_cast<LPARAM>(&start)),
            CDRF_NOTIFYITEMDRAW);

  LOGFONTW listFont{};
  ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(panel.m_list.GetSafeHwnd(), WM_GETFONT, 0, 0)), sizeof(listFont),
               &listFont);
  const RowLook file = AskRowLook(panel, 0);
  EXPECT_EQ(file.result, CDRF_NEWFONT);
  EXPECT_EQ(file.text, RGB(0, 0, 0));
  EXPECT_EQ(file.background, RGB(255, 255, 255));
  EXPECT_EQ(file.nWeight, FW_BOLD);
  const RowLook drop = AskRowLook(panel, 1);
  EXPECT_EQ(drop.result, CDRF_NEWFONT);
  EXPECT_EQ(drop.text, RGB(255, 0, 0));
  EXPECT_EQ(drop.background, RGB(255, 255, 255));
  EXPECT_EQ(drop.nWeight, listFont.lfWeight);
  EXPECT_LT(drop.nWeight, FW_BOLD);
  EXPECT_EQ(::SendMessageW(panel.m_list.GetSafeHwnd(), LVM_GETBKCOLOR, 0, 0), RGB(255, 255, 255));

  // On screen the drop row's text is red somewhere, the file row's nowhere.
  ::UpdateWindow(panel.m_list.GetSafeHwnd());
  framework::WindowDC dc(panel.m_list.GetSafeHwnd());
  auto hasRed = [&](int nRow) {
    const RECT rect = panel.RowRect(nRow);
    for (int y = rect.top; y < rect.bottom; ++y) {
      for (int x = rect.left; x < rect.left + 180; ++x) {
        if (::GetPixel(dc, x, y) == RGB(255, 0, 0)) return true;
      }
    }
    return false;
  };
  panel.Select(-1);
  ::UpdateWindow(panel.m_list.GetSafeHwnd());
  EXPECT_TRUE(hasRed(1));
  EXPECT_FALSE(hasRed(0));
  panel.DestroyWindow();
}

TEST(DropHistoryList, FileRowsShowTheirWrappedDescriptionAndDropRowsNone) {
  // A folder name long enough for the heading to need wrapping at 600 pixels.
  TempFolder folder(L"tooltip-" + std::wstring(90, L'x'));
  const std::wstring strFirst = folder.File(L"DV0001.avi");
  const std::wstring strSecond = folder.File(L"DV0002.avi");
  WriteRecording(strFirst, avi::VideoSystem::System525_60, 100, {50});
  WriteRecording(strSecond, avi::VideoSystem::System625_50, 100, {});
  HistoryPanel panel;
  ASSERT_TRUE(panel.Open());
  panel.m_list.AddRecordedFile(strFirst, folder.Log());
  panel.m_list.AddRecordedFile(strSecond, folder.Log());
  ASSERT_EQ(panel.ListRows(), 3);
  const HWND list = panel.m_list.GetSafeHwnd();
  const framework::ToolTipCtrl& tip = panel.m_list.GetToolTip();
  const HFONT tipFont = reinterpret_cast<HFONT>(::SendMessageW(tip.GetSafeHwnd(), WM_GETFONT, 0, 0));

  auto moveOver = [&](int nRow) {
    const POINT at = panel.RowCentre(nRow);
    MSG move{list, WM_MOUSEMOVE, 0, MAKELPARAM(at.x, at.y), ::GetTickCount(), at};
    panel.m_list.RelayToolTipEvent(&move);
  };
  auto expectDescriptionOf = [&](const std::wstring& strPath) {
    ASSERT_TRUE(tip.HasTool(list));
    const std::wstring strTip = tip.GetToolText(list);
    std::wstring strHeading = strPath.substr(0, strPath.size() - 4);  // without ".avi"
    std::wstring strJoined;
    std::wstringstream lines(strTip);
    framework::WindowDC screen(nullptr);
    framework::SelectObjectScope select(screen, tipFont != nullptr ? tipFont : ::GetStockObject(SYSTEM_FONT));
    for (std::wstring strLine; std::getline(lines, strLine, L'\n');) {
      if (!strLine.empty() && strLine.back() == L'\r') strLine.pop_back();
      SIZE size{};
      ::GetTextExtentPoint32W(screen, strLine.c_str(), static_cast<int>(strLine.size()), &size);
      EXPECT_LE(size.cx, DropHistoryList::kToolTipWidth) << "line: " << testing::PrintToString(strLine);
      strJoined += strLine;
    }
    EXPECT_GT(std::count(strTip.begin(), strTip.end(), L'\n'), 4) << "the long heading is wrapped";
    EXPECT_EQ(strJoined.rfind(strHeading, 0), 0u);
    EXPECT_NE(strJoined.find(L"撮影日時: "), std::wstring::npos);
  };

  moveOver(0);
  expectDescriptionOf(strFirst);
  EXPECT_NE(tip.GetToolText(list).find(L"0:00:03"), std::wstring::npos) << "length of 100 frames at 29.97";
  moveOver(1);
  EXPECT_FALSE(tip.HasTool(list)) << "drop rows have no tooltip";
  moveOver(2);
  expectDescriptionOf(strSecond);
  moveOver(0);
  expectDescriptionOf(strFirst);
  // Below the last row: no tool.
  MSG away{list, WM_MOUSEMOVE, 0, MAKELPARAM(20, 300), ::GetTickCount(), {20, 300}};
  panel.m_list.RelayToolTipEvent(&away);
  EXPECT_FALSE(tip.HasTool(list));
  panel.DestroyWindow();
}

}  // namespace
