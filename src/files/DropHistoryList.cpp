#include "files/DropHistoryList.h"

#include <commctrl.h>
#include <shlwapi.h>
#include <windowsx.h>

#include <cstdio>
#include <cwchar>

#include "core/DebugTrace.h"
#include "core/TextHelpers.h"
#include "files/AviInspection.h"
#include "files/Timecode.h"

namespace {

enum Column { kColumnPosition = 0, kColumnCount = 1 };
constexpr int kPositionColumnWidth = 180;
constexpr int kCountColumnWidth = 40;
// The count column of a file row holds one space.
constexpr const wchar_t* kFileRowCount = L" ";

constexpr int kSecondsPerHour = 3600;
constexpr int kSecondsPerMinute = 60;

struct ClockParts {
  int nHours;
  int nMinutes;
  int nSeconds;
};

ClockParts SplitSecond(int nSecond) {
  return ClockParts{nSecond / kSecondsPerHour, (nSecond / kSecondsPerMinute) % kSecondsPerMinute,
                    nSecond % kSecondsPerMinute};
}

// The position column of a drop row: four spaces, then h:mm:ss.
std::wstring DropPositionText(int nSecond) {
  const ClockParts clock = SplitSecond(nSecond);
  wchar_t text[48] = {};
  swprintf(text, std::size(text), L"    %d:%02d:%02d", clock.nHours, clock.nMinutes, clock.nSeconds);
  return text;
}

// The file's name without folder and extension.
std::wstring FileTitle(const std::wstring& strPath) {
  std::wstring strName = ::PathFindFileNameW(strPath.c_str());
  const size_t nDot = strName.find_last_of(L'.');
  if (nDot != std::wstring::npos) strName.erase(nDot);
  return strName;
}

bool IsKeyboardMessage(UINT msg) { return msg >= WM_KEYFIRST && msg <= WM_KEYLAST; }
bool IsMouseMessage(UINT msg) { return msg >= WM_MOUSEFIRST && msg <= WM_MOUSELAST; }
bool IsEnterKeyDown(const MSG& msg) { return msg.message == WM_KEYDOWN && msg.wParam == VK_RETURN; }

}  // namespace

DropHistoryList::~DropHistoryList() = default;

bool DropHistoryList::Init(HWND hOwner, UINT nOwnerMessage, const std::wstring& strPositionTitle,
                           const std::wstring& strCountTitle) {
  m_hOwner = hOwner;
  m_nOwnerMessage = nOwnerMessage;
  if (m_hWnd == nullptr) return true;

  // A single-selection report view that keeps showing its selection without the focus.
  const LONG_PTR style = ::GetWindowLongPtrW(m_hWnd, GWL_STYLE);
  ::SetWindowLongPtrW(m_hWnd, GWL_STYLE,
                      (style & ~static_cast<LONG_PTR>(LVS_TYPEMASK)) | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS);
  SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);

  struct ColumnSpec {
    const std::wstring& strTitle;
    int nFormat;
    int nWidth;
  };
  const ColumnSpec columns[] = {{strPositionTitle, LVCFMT_LEFT, kPositionColumnWidth},
                                {strCountTitle, LVCFMT_RIGHT, kCountColumnWidth}};
  for (int i = 0; i < static_cast<int>(std::size(columns)); ++i) {
    std::wstring title = columns[i].strTitle;
    LVCOLUMNW column{};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    column.fmt = columns[i].nFormat;
    column.cx = columns[i].nWidth;
    column.pszText = title.data();
    column.iSubItem = i;
    SendMessage(LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
  }

  // The list's own item tips give way to the file tooltip below; the old tip window goes with them.
  const HWND hBuiltInTip = reinterpret_cast<HWND>(SendMessage(LVM_SETTOOLTIPS, 0, 0));
  if (hBuiltInTip != nullptr) ::DestroyWindow(hBuiltInTip);
  if (!TRACE_FAILED_BOOL(m_toolTip.Create(m_hWnd), "ToolTipCtrl::Create")) {
    m_toolTip.SetMaxTipWidth(kToolTipWidth);
    m_toolTip.AddTool(m_hWnd, std::wstring());
    m_toolTip.Activate(true);
  }
  SendMessage(LVM_SETBKCOLOR, 0, kBackground);
  return true;
}

int DropHistoryList::AddRecordedFile(const std::wstring& strPath, const std::wstring& strLogPath) {
  int nVideoFormat = kVideoFormat525;
  int nAviType = 1;
  DWORD dwTotalFrames = 0;
  std::vector<DWORD> drops;
  if (TRACE_FAILED_BOOL(GetAVIDropInfo(strPath, &nVideoFormat, &nAviType, &dwTotalFrames, &drops), "GetAVIDropInfo")) {
    return 0;
  }
  const std::vector<DropGroup> groups = GroupDropsBySecond(nVideoFormat, drops);
  const int nDropCount = static_cast<int>(drops.size());
  FillRows(strPath, nDropCount, groups);
  AppendLogLines(strLogPath, groups);
  return nDropCount;
}

void DropHistoryList::SetLastFileNote(const std::wstring& strNote) {
  if (m_hWnd == nullptr || m_vecFiles.empty()) return;
  const int nLastFile = static_cast<int>(m_vecFiles.size()) - 1;
  for (int nRow = GetRowCount() - 1; nRow >= 0; --nRow) {
    const HistoryRowEntry& entry = m_vecRows[static_cast<size_t>(nRow)];
    if (entry.nFileIndex != nLastFile || entry.IsDropRow()) continue;
    std::wstring note = strNote;
    LVITEMW item{};
    item.iSubItem = kColumnCount;
    item.pszText = note.data();
    SendMessage(LVM_SETITEMTEXTW, nRow, reinterpret_cast<LPARAM>(&item));
    return;
  }
}

std::vector<DropHistoryList::DropGroup> DropHistoryList::GroupDropsBySecond(int nVideoFormat,
                                                                              const std::vector<DWORD>& drops) {
  std::vector<DropGroup> groups;
  for (DWORD dwFrame : drops) {
    const Timecode tc = FrameToTimecode(nVideoFormat, dwFrame);
    const int nSecond = tc.nHours * kSecondsPerHour + tc.nMinutes * kSecondsPerMinute + tc.nSeconds;
    if (!groups.empty() && groups.back().nSecond == nSecond) {
      ++groups.back().nCount;
    } else {
      groups.push_back(DropGroup{nSecond, 1});
    }
  }
  return groups;
}

void DropHistoryList::AppendLogLines(const std::wstring& strLogPath, const std::vector<DropGroup>& groups) {
  // Opened by its wide name, so a folder outside the system's code page still gets its log.
  FILE* file = _wfopen(strLogPath.c_str(), L"ab");
  if (file == nullptr) return;
  for (const DropGroup& group : groups) {
    const ClockParts clock = SplitSecond(group.nSecond);
    char line[64] = {};
    const int nLength =
        std::snprintf(line, sizeof(line), " %d:%02d:%02d %d\r\n", clock.nHours, clock.nMinutes, clock.nSeconds,
                      group.nCount);
    if (nLength > 0) std::fwrite(line, 1, static_cast<size_t>(nLength), file);
  }
  std::fwrite("\r\n", 1, 2, file);
  std::fclose(file);
}

bool DropHistoryList::ReadFileIdentity(const std::wstring& strPath, FILETIME* pftLastWrite, ULONGLONG* pqwLength) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExW(strPath.c_str(), GetFileExInfoStandard, &data)) return false;
  if (pftLastWrite != nullptr && !::FileTimeToLocalFileTime(&data.ftLastWriteTime, pftLastWrite)) return false;
  if (pqwLength != nullptr) {
    *pqwLength = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  }
  return true;
}

void DropHistoryList::FillRows(const std::wstring& strPath, int nDropCount, const std::vector<DropGroup>& groups) {
  HistoryFileRecord record;
  if (!ReadFileIdentity(strPath, &record.ftLastWrite, &record.qwLength)) return;
  record.strPath = strPath;
  const int nFileIndex = static_cast<int>(m_vecFiles.size());
  m_vecFiles.push_back(record);

  if (!AppendRow(HistoryRowEntry{-1, nDropCount, nFileIndex}, FileTitle(strPath), kFileRowCount)) return;
  for (const DropGroup& group : groups) {
    AppendRow(HistoryRowEntry{group.nSecond, group.nCount, nFileIndex}, DropPositionText(group.nSecond),
              std::to_wstring(group.nCount));
  }
  SelectRow(GetRowCount() - 1);
}

bool DropHistoryList::AppendRow(const HistoryRowEntry& entry, const std::wstring& strPosition,
                                const std::wstring& strCount) {
  if (m_hWnd == nullptr) return false;
  const int nRow = GetRowCount();
  // The entry is in place before the row exists, so the row's first paint finds it.
  m_vecRows.push_back(entry);
  std::wstring position = strPosition;
  LVITEMW item{};
  item.mask = LVIF_TEXT;
  item.iItem = nRow;
  item.iSubItem = kColumnPosition;
  item.pszText = position.data();
  const LRESULT nInserted = SendMessage(LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
  if (TRACE_FAILED_BOOL(nInserted == nRow, "LVM_INSERTITEMW")) {
    m_vecRows.pop_back();
    return false;
  }
  std::wstring count = strCount;
  item.iSubItem = kColumnCount;
  item.pszText = count.data();
  SendMessage(LVM_SETITEMTEXTW, nRow, reinterpret_cast<LPARAM>(&item));
  return true;
}

void DropHistoryList::SelectRow(int nRow) {
  if (nRow < 0) return;
  LVITEMW item{};
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  item.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessage(LVM_SETITEMSTATE, nRow, reinterpret_cast<LPARAM>(&item));
  SendMessage(LVM_ENSUREVISIBLE, nRow, TRUE);
}

HistoryRowEntry DropHistoryList::GetRowEntry(int nRow) const {
  if (nRow < 0 || nRow >= GetRowCount()) return HistoryRowEntry{};
  return m_vecRows[static_cast<size_t>(nRow)];
}

int DropHistoryList::GetSelectedRow() const {
  if (m_hWnd == nullptr) return -1;
  return static_cast<int>(SendMessage(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

bool DropHistoryList::GetSelectedEntry(std::wstring* pstrPath, FILETIME* pftLastWrite, ULONGLONG* pqwLength,
                                       int* pnSecond, int* pnCount) const {
  const int nRow = GetSelectedRow();
  if (nRow < 0 || nRow >= GetRowCount()) return false;
  const HistoryRowEntry& entry = m_vecRows[static_cast<size_t>(nRow)];
  const HistoryFileRecord& file = m_vecFiles[static_cast<size_t>(entry.nFileIndex)];
  if (pstrPath != nullptr) *pstrPath = file.strPath;
  if (pftLastWrite != nullptr) *pftLastWrite = file.ftLastWrite;
  if (pqwLength != nullptr) *pqwLength = file.qwLength;
  if (pnSecond != nullptr) *pnSecond = entry.nSecond;
  if (pnCount != nullptr) *pnCount = entry.nCount;
  return true;
}

void DropHistoryList::OpenSelection() {
  if (GetSelectedRow() < 0 || m_hOwner == nullptr) return;
  ::PostMessageW(m_hOwner, m_nOwnerMessage, HistoryOpenSelection, 0);
}

void DropHistoryList::OnItemChanged() {
  const int nSelected = GetSelectedRow();
  if (nSelected == m_nLastSelection) return;
  m_nLastSelection = nSelected;
  if (m_hOwner != nullptr) ::PostMessageW(m_hOwner, m_nOwnerMessage, HistorySelectionChanged, 0);
}

BOOL DropHistoryList::PreTranslateMessage(MSG* msg) {
  if (msg->hwnd == m_hWnd && IsEnterKeyDown(*msg)) {
    OpenSelection();
    return TRUE;
  }
  return Control::PreTranslateMessage(msg);
}

LRESULT DropHistoryList::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_GETDLGCODE: {
      // Enter belongs to the list, not to the dialog's default button.
      const auto* pending = reinterpret_cast<const MSG*>(lParam);
      const LRESULT code = DefaultProc(msg, wParam, lParam);
      return pending != nullptr && IsEnterKeyDown(*pending) ? code | DLGC_WANTALLKEYS : code;
    }
    case WM_KEYDOWN:
      if (wParam == VK_RETURN) {
        OpenSelection();
        return 0;
      }
      break;
    case WM_CHAR:
      if (wParam == L'\r') return 0;
      break;
    default:
      break;
  }
  return Control::WindowProc(msg, wParam, lParam);
}

bool DropHistoryList::OnReflectedMessage(UINT msg, WPARAM, LPARAM lParam, LRESULT& result) {
  if (msg != WM_NOTIFY) return false;
  auto* header = reinterpret_cast<NMHDR*>(lParam);
  if (header == nullptr || header->hwndFrom != m_hWnd) return false;
  switch (header->code) {
    case NM_CUSTOMDRAW:
      result = OnCustomDraw(reinterpret_cast<NMLVCUSTOMDRAW*>(header));
      return true;
    case LVN_ITEMCHANGED:
      OnItemChanged();
      result = 0;
      return true;
    case NM_DBLCLK:
      OpenSelection();
      result = 0;
      return true;
    default:
      return false;
  }
}

LRESULT DropHistoryList::OnCustomDraw(NMLVCUSTOMDRAW* draw) {
  switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
      return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT: {
      const int nRow = static_cast<int>(draw->nmcd.dwItemSpec);
      if (nRow < 0 || nRow >= GetRowCount()) return CDRF_DODEFAULT;
      const HistoryRowEntry& entry = m_vecRows[static_cast<size_t>(nRow)];
      const bool bDrop = entry.IsDropRow() && entry.nCount > 0;
      HFONT font = bDrop ? reinterpret_cast<HFONT>(SendMessage(WM_GETFONT)) : GetBoldFont();
      if (font != nullptr) ::SelectObject(draw->nmcd.hdc, font);
      draw->clrText = bDrop ? kDropRowText : kFileRowText;
      draw->clrTextBk = kBackground;
      return CDRF_NEWFONT;
    }
    default:
      return CDRF_DODEFAULT;
  }
}

HFONT DropHistoryList::GetBoldFont() {
  if (m_fontBold) return m_fontBold.Get();
  HFONT font = reinterpret_cast<HFONT>(SendMessage(WM_GETFONT));
  if (font == nullptr) font = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
  LOGFONTW description{};
  if (::GetObjectW(font, sizeof(description), &description) == 0) return nullptr;
  // Bold, or the font's own weight when it is heavier already.
  if (description.lfWeight < FW_BOLD) description.lfWeight = FW_BOLD;
  m_fontBold.Reset(::CreateFontIndirectW(&description));
  return m_fontBold.Get();
}

int DropHistoryList::FileRowAt(POINT client) const {
  LVHITTESTINFO hit{};
  hit.pt = client;
  const int nRow = static_cast<int>(SendMessage(LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
  if (nRow < 0 || nRow >= GetRowCount() || (hit.flags & LVHT_ONITEM) == 0) return -1;
  return m_vecRows[static_cast<size_t>(nRow)].IsDropRow() ? -1 : nRow;
}

void DropHistoryList::HideToolTip() {
  m_nHoverRow = -1;
  m_toolTip.Pop();
}

void DropHistoryList::RelayToolTipEvent(const MSG* msg) {
  if (msg == nullptr || m_hWnd == nullptr || msg->hwnd != m_hWnd || !m_toolTip.IsWindow()) return;
  if (msg->message == WM_MOUSEMOVE) {
    const POINT client{GET_X_LPARAM(msg->lParam), GET_Y_LPARAM(msg->lParam)};
    const int nRow = FileRowAt(client);
    if (nRow < 0) {
      HideToolTip();
      m_toolTip.DelTool(m_hWnd);
      return;
    }
    if (nRow != m_nHoverRow) {
      m_nHoverRow = nRow;
      const HistoryFileRecord& file = m_vecFiles[static_cast<size_t>(m_vecRows[static_cast<size_t>(nRow)].nFileIndex)];
      const HFONT tipFont = reinterpret_cast<HFONT>(m_toolTip.SendMessage(WM_GETFONT));
      const std::wstring strText =
          WrapTextToWidth(GetAVITooltipText(file.strPath, kAviHeadingFullPath), kToolTipWidth, tipFont);
      m_toolTip.DelTool(m_hWnd);
      m_toolTip.AddTool(m_hWnd, strText);
    }
    m_toolTip.RelayEvent(msg);
    return;
  }
  if (IsKeyboardMessage(msg->message) || IsMouseMessage(msg->message) || msg->message == WM_NCMOUSEMOVE) {
    HideToolTip();
  }
}
