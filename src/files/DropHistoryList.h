// The recording history of the record panel: a report-view list with one bold row per finished
// recording and, below it, one red row per second of the recording that lost frames. Adding a
// recording also appends its drop lines to the recording log. The user opens a file, or jumps to
// one of its dropped scenes, from the list; file rows carry a tooltip with the file's description.
//
// The list lives in memory only: rows are appended, never removed or re-sorted.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "framework/Control.h"
#include "framework/Handles.h"
#include "framework/ToolTipCtrl.h"

// What the list posts to its owner (wParam of the owner message; lParam is 0).
enum HistoryNotification : WPARAM {
  HistoryOpenSelection = 0,     // double-click or Enter with a row selected
  HistorySelectionChanged = 1,  // the selected row changed
};

// One finished recording. The last-write time (local time) and the length identify the file: the
// owner compares them with the file on disk (ReadFileIdentity) before opening it.
struct HistoryFileRecord {
  std::wstring strPath;
  FILETIME ftLastWrite{};
  ULONGLONG qwLength = 0;
};

// One row. A file row has the second -1 and the file's total of dropped frames; a drop row the
// second of the file (0 or more) and the frames dropped within it (at least 1).
struct HistoryRowEntry {
  int nSecond = -1;
  int nCount = 0;
  int nFileIndex = -1;

  bool IsDropRow() const { return nSecond >= 0; }
};

class DropHistoryList : public framework::Control {
 public:
  static constexpr int kToolTipWidth = 600;  // pixels; tooltip texts are wrapped to it
  static constexpr COLORREF kDropRowText = RGB(255, 0, 0);
  static constexpr COLORREF kFileRowText = RGB(0, 0, 0);
  static constexpr COLORREF kBackground = RGB(255, 255, 255);

  ~DropHistoryList() override;

  // Prepares the subclassed list control: the owner and the message its notifications are posted
  // with, the two columns (their titles), full-row selection, white background and the list's own
  // tooltip for file rows. Always true.
  bool Init(HWND hOwner, UINT nOwnerMessage, const std::wstring& strPositionTitle, const std::wstring& strCountTitle);

  // Lists a finished recording with its drops grouped by second, selects its last row and appends
  // the drop lines to the log file. Returns the number of dropped frames, 0 when the file's drop
  // information cannot be read (then nothing is listed or logged).
  int AddRecordedFile(const std::wstring& strPath, const std::wstring& strLogPath);

  // Puts a short note (a recording cut short, for one) in the count column of the file row of the
  // file added last; nothing when no file is listed.
  void SetLastFileNote(const std::wstring& strNote);

  // The selected row's file (path, local last-write time, length) and its second and count; false
  // when no row is selected.
  bool GetSelectedEntry(std::wstring* pstrPath, FILETIME* pftLastWrite, ULONGLONG* pqwLength, int* pnSecond,
                        int* pnCount) const;

  // The owner passes every message it pre-translates; those of the list drive the file tooltip.
  void RelayToolTipEvent(const MSG* msg);

  int GetRowCount() const { return static_cast<int>(m_vecRows.size()); }
  // The entry of a row; a row that does not exist gives file index -1.
  HistoryRowEntry GetRowEntry(int nRow) const;
  const std::vector<HistoryFileRecord>& GetFileRecords() const { return m_vecFiles; }
  const framework::ToolTipCtrl& GetToolTip() const { return m_toolTip; }

  // The local last-write time and length of a file on disk, as the list records them; false when
  // the file does not exist.
  static bool ReadFileIdentity(const std::wstring& strPath, FILETIME* pftLastWrite, ULONGLONG* pqwLength);

  // Enter on the list opens the selection (and never reaches the dialog).
  BOOL PreTranslateMessage(MSG* msg) override;

 protected:
  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
  bool OnReflectedMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  struct DropGroup {
    int nSecond;
    int nCount;
  };
  static std::vector<DropGroup> GroupDropsBySecond(int nVideoFormat, const std::vector<DWORD>& drops);
  static void AppendLogLines(const std::wstring& strLogPath, const std::vector<DropGroup>& groups);
  void FillRows(const std::wstring& strPath, int nDropCount, const std::vector<DropGroup>& groups);
  bool AppendRow(const HistoryRowEntry& entry, const std::wstring& strPosition, const std::wstring& strCount);
  void SelectRow(int nRow);
  int GetSelectedRow() const;
  void OpenSelection();
  void OnItemChanged();
  LRESULT OnCustomDraw(NMLVCUSTOMDRAW* draw);
  HFONT GetBoldFont();
  int FileRowAt(POINT client) const;
  void HideToolTip();

  HWND m_hOwner = nullptr;
  UINT m_nOwnerMessage = 0;
  int m_nLastSelection = -1;
  std::vector<HistoryFileRecord> m_vecFiles;
  std::vector<HistoryRowEntry> m_vecRows;  // by row index
  framework::ToolTipCtrl m_toolTip;
  int m_nHoverRow = -1;
  framework::FontHolder m_fontBold;
};
