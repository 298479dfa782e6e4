#include "ui/ExtractListView.h"

#include <oleauto.h>
#include <shlwapi.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "core/DebugTrace.h"
#include "core/TextHelpers.h"
#include "devices/ComPtr.h"
#include "files/AviInspection.h"
#include "framework/Resources.h"
#include "media/Interfaces.h"

namespace {

constexpr COLORREF kLetterboxColour = RGB(10, 10, 10);
constexpr COLORREF kBadgeTransparentColour = RGB(255, 0, 255);
constexpr COLORREF kListBackground = RGB(255, 255, 255);
constexpr COLORREF kItemText = RGB(0, 0, 0);
constexpr int kBadgeMargin = 2;        // pixels between the badge and the top and right edges
constexpr int kFrameMode24p = 24;      // frame mode of 24p material
constexpr int kDefaultFrameMode = 60;  // what the aspect reader leaves when the file says nothing
constexpr int kImageListGrowth = 5;    // initial capacity and growth of the image list
constexpr size_t kVideoInfoSize = 88;  // the video-info format block

// What a worker needs: copies only, freed by the worker.
struct WorkerParams {
  HWND hList = nullptr;
  int nItemId = 0;
  std::wstring strPath;
  int nWidth = 0;
  int nHeight = 0;
  ExtractListView::ThumbnailExtractor pfnExtractor = nullptr;
};

// The media detector's picture of the first frame as a device-dependent bitmap of the screen.
HBITMAP ExtractFirstFrame(const std::wstring& strPath) {
  devices::ComPtr<media::IMediaDet> spDet;
  HRESULT hr = media::CoCreateInstance(media::CLSID_MediaDet, nullptr, CLSCTX_INPROC_SERVER, media::IID_IMediaDet, spDet.AsVoid());
  if (TRACE_FAILED_HR(hr, "CoCreateInstance")) return nullptr;
  BSTR bstrPath = ::SysAllocString(strPath.c_str());
  hr = spDet->put_Filename(bstrPath);
  ::SysFreeString(bstrPath);
  if (TRACE_FAILED_HR(hr, "put_Filename")) return nullptr;
  long nStreams = 0;
  hr = spDet->get_OutputStreams(&nStreams);
  if (TRACE_FAILED_HR(hr, "get_OutputStreams")) return nullptr;
  bool bVideo = false;
  for (long n = 0; n < nStreams && !bVideo; ++n) {
    hr = spDet->put_CurrentStream(n);
    if (TRACE_FAILED_HR(hr, "put_CurrentStream")) return nullptr;
    GUID type = GUID_NULL;
    hr = spDet->get_StreamType(&type);
    if (TRACE_FAILED_HR(hr, "get_StreamType")) return nullptr;
    bVideo = IsEqualGUID(type, media::MEDIATYPE_Video) != FALSE;
  }
  if (!bVideo) {
    TRACE_FAILED_HR(VFW_E_INVALIDMEDIATYPE, "put_CurrentStream");
    return nullptr;
  }
  media::AM_MEDIA_TYPE mt{};
  hr = spDet->get_StreamMediaType(&mt);
  if (TRACE_FAILED_HR(hr, "get_StreamMediaType")) return nullptr;
  const bool bVideoInfo = IsEqualGUID(mt.formattype, media::FORMAT_VideoInfo) && mt.cbFormat >= kVideoInfoSize && mt.pbFormat != nullptr;
  long nWidth = 0;
  long nHeight = 0;
  if (bVideoInfo) {
    const auto* pVih = reinterpret_cast<const media::VIDEOINFOHEADER*>(mt.pbFormat);
    nWidth = pVih->bmiHeader.biWidth;
    nHeight = std::labs(pVih->bmiHeader.biHeight);
  }
  media::FreeMediaType(mt);
  if (!bVideoInfo) {
    TRACE_FAILED_HR(VFW_E_INVALIDMEDIATYPE, "get_StreamMediaType");
    return nullptr;
  }
  long nSize = 0;
  hr = spDet->GetBitmapBits(0.0, &nSize, nullptr, nWidth, nHeight);
  if (TRACE_FAILED_HR(hr, "GetBitmapBits")) return nullptr;
  if (nSize < static_cast<long>(sizeof(BITMAPINFOHEADER))) {
    TRACE_FAILED_HR(E_UNEXPECTED, "GetBitmapBits");
    return nullptr;
  }
  std::vector<char> vecBits(static_cast<size_t>(nSize));
  hr = spDet->GetBitmapBits(0.0, &nSize, vecBits.data(), nWidth, nHeight);
  if (TRACE_FAILED_HR(hr, "GetBitmapBits")) return nullptr;
  spDet.Release();

  const auto* pHeader = reinterpret_cast<const BITMAPINFOHEADER*>(vecBits.data());
  framework::WindowDC screen(nullptr);
  HBITMAP hFrame = ::CreateDIBitmap(screen, pHeader, CBM_INIT, vecBits.data() + pHeader->biSize,
                                    reinterpret_cast<const BITMAPINFO*>(pHeader), DIB_RGB_COLORS);
  TRACE_NULL(hFrame, "CreateDIBitmap");
  return hFrame;
}

// A new bitmap of width x height holding the whole source stretched with halftone.
HBITMAP StretchToSize(HBITMAP hSource, int nWidth, int nHeight) {
  BITMAP info{};
  if (::GetObjectW(hSource, sizeof(info), &info) == 0) return nullptr;
  framework::WindowDC screen(nullptr);
  HBITMAP hResult = ::CreateCompatibleBitmap(screen, nWidth, nHeight);
  if (TRACE_NULL(hResult, "CreateCompatibleBitmap")) return nullptr;
  framework::MemoryDC source(screen);
  framework::MemoryDC target(screen);
  {
    framework::SelectObjectScope selectSource(source, hSource);
    framework::SelectObjectScope selectTarget(target, hResult);
    ::SetStretchBltMode(target, HALFTONE);
    ::SetBrushOrgEx(target, 0, 0, nullptr);
    ::StretchBlt(target, 0, 0, nWidth, nHeight, source, 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
  }
  return hResult;
}

// The frame with dark bars above and below, so 16:9 material keeps its shape in a 4:3 thumbnail.
HBITMAP Letterbox(HBITMAP hFrame) {
  BITMAP info{};
  if (::GetObjectW(hFrame, sizeof(info), &info) == 0) return nullptr;
  const int nWidth = info.bmWidth;
  const int nHeight = info.bmHeight;
  framework::WindowDC screen(nullptr);
  HBITMAP hResult = ::CreateCompatibleBitmap(screen, nWidth, nHeight / 3 + nHeight);
  if (TRACE_NULL(hResult, "CreateCompatibleBitmap")) return nullptr;
  framework::MemoryDC source(screen);
  framework::MemoryDC target(screen);
  {
    framework::SelectObjectScope selectSource(source, hFrame);
    framework::SelectObjectScope selectTarget(target, hResult);
    framework::BrushHolder brush(::CreateSolidBrush(kLetterboxColour));
    const RECT all{0, 0, nWidth, nHeight / 3 + nHeight};
    ::FillRect(target, &all, brush.Get());
    ::BitBlt(target, 0, nHeight / 6, nWidth, nHeight, source, 0, 0, SRCCOPY);
  }
  return hResult;
}

// Draws the "24" badge at the top right of the thumbnail; its magenta pixels stay transparent.
void DrawBadge(HBITMAP hThumbnail, int nWidth) {
  framework::BitmapHolder badge(static_cast<HBITMAP>(
      ::LoadImageW(framework::GetResourceHandle(), MAKEINTRESOURCEW(kThumbnailBadge24pBitmapId), IMAGE_BITMAP, 0, 0, 0)));
  if (TRACE_NULL(badge.Get(), "LoadBitmap")) return;
  BITMAP info{};
  ::GetObjectW(badge.Get(), sizeof(info), &info);
  const int nBadgeWidth = info.bmWidth;
  const int nBadgeHeight = info.bmHeight;
  framework::WindowDC screen(nullptr);
  framework::MemoryDC source(screen);
  framework::MemoryDC maskDC(screen);
  framework::MemoryDC target(screen);
  framework::BitmapHolder mask(::CreateBitmap(nBadgeWidth, nBadgeHeight, 1, 1, nullptr));
  if (TRACE_NULL(mask.Get(), "CreateBitmap")) return;
  framework::SelectObjectScope selectSource(source, badge.Get());
  framework::SelectObjectScope selectMask(maskDC, mask.Get());
  framework::SelectObjectScope selectTarget(target, hThumbnail);
  // Mask: white where the badge is transparent, black where it is drawn.
  ::SetBkColor(source, kBadgeTransparentColour);
  ::BitBlt(maskDC, 0, 0, nBadgeWidth, nBadgeHeight, source, 0, 0, SRCCOPY);
  // Transparent pixels of the badge become black so that the final XOR leaves the thumbnail.
  ::SetBkColor(source, RGB(0, 0, 0));
  ::SetTextColor(source, RGB(255, 255, 255));
  ::BitBlt(source, 0, 0, nBadgeWidth, nBadgeHeight, maskDC, 0, 0, SRCAND);
  const int nLeft = nWidth - nBadgeWidth - kBadgeMargin;
  ::SetBkColor(target, RGB(255, 255, 255));
  ::SetTextColor(target, RGB(0, 0, 0));
  ::BitBlt(target, nLeft, kBadgeMargin, nBadgeWidth, nBadgeHeight, maskDC, 0, 0, SRCAND);
  ::BitBlt(target, nLeft, kBadgeMargin, nBadgeWidth, nBadgeHeight, source, 0, 0, SRCPAINT);
}

DWORD WINAPI ThumbnailWorker(LPVOID pParam) {
  auto* pParams = static_cast<WorkerParams*>(pParam);
  const HRESULT hrCom = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  HBITMAP hBitmap = pParams->pfnExtractor(pParams->strPath, pParams->nWidth, pParams->nHeight);
  if (!::PostMessageW(pParams->hList, WM_THUMBNAIL_READY, static_cast<WPARAM>(pParams->nItemId), reinterpret_cast<LPARAM>(hBitmap)) &&
      hBitmap != nullptr) {
    ::DeleteObject(hBitmap);  // the list is gone; nobody else would free it
  }
  if (SUCCEEDED(hrCom)) ::CoUninitialize();
  delete pParams;
  return 0;
}

// The file's size (its low 32 bits) and whether it could be opened at all.
bool GetFileSizeLow(const std::wstring& strPath, DWORD* pdwSize) {
  framework::UniqueHandle hFile(::CreateFileW(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  *pdwSize = 0;
  if (!hFile) return false;
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(hFile.Get(), &size)) return false;
  *pdwSize = size.LowPart;
  return true;
}

// "<PATH IN CAPITALS>\t<size as a signed 32-bit number>".
std::wstring CacheKey(const std::wstring& strPath, DWORD dwSize) {
  std::wstring strUpper = strPath;
  if (!strUpper.empty()) ::CharUpperBuffW(strUpper.data(), static_cast<DWORD>(strUpper.size()));
  return strUpper + L"\t" + std::to_wstring(static_cast<int>(dwSize));
}

// The bitmap as a 40-byte header with 24-bit rows (stride padded to four bytes) after it.
bool ExportBitmap(HBITMAP hBitmap, std::vector<BYTE>* pBlob) {
  BITMAP info{};
  if (::GetObjectW(hBitmap, sizeof(info), &info) == 0) return false;
  BITMAPINFOHEADER header{};
  header.biSize = sizeof(header);
  header.biWidth = info.bmWidth;
  header.biHeight = info.bmHeight;
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biCompression = BI_RGB;
  const DWORD dwStride = (static_cast<DWORD>(info.bmWidth) * 3 + 3) & ~3u;
  header.biSizeImage = dwStride * static_cast<DWORD>(std::abs(info.bmHeight));
  pBlob->assign(sizeof(header) + header.biSizeImage, 0);
  std::memcpy(pBlob->data(), &header, sizeof(header));
  framework::WindowDC screen(nullptr);
  BITMAPINFO bmi{};
  bmi.bmiHeader = header;
  const int nLines = ::GetDIBits(screen, hBitmap, 0, static_cast<UINT>(std::abs(info.bmHeight)), pBlob->data() + sizeof(header), &bmi,
                                 DIB_RGB_COLORS);
  return nLines == std::abs(info.bmHeight);
}

}  // namespace

HBITMAP ExtractThumbnail(const std::wstring& strPath, int nWidth, int nHeight) {
  framework::BitmapHolder frame(ExtractFirstFrame(strPath));
  if (!frame) return nullptr;
  int nWide = 0;
  int nFrameMode = kDefaultFrameMode;
  Timecode timecode;
  GetAVIAspect(strPath, &nWide, &nFrameMode, &timecode);
  if (nWide != 0) {
    HBITMAP hBoxed = Letterbox(frame.Get());
    if (hBoxed != nullptr) frame.Reset(hBoxed);
  }
  HBITMAP hThumbnail = StretchToSize(frame.Get(), nWidth, nHeight);
  if (hThumbnail == nullptr) return nullptr;
  if (nFrameMode == kFrameMode24p) DrawBadge(hThumbnail, nWidth);
  return hThumbnail;
}

ExtractListView::~ExtractListView() { ReleaseThumbnails(); }

bool ExtractListView::InitThumbnails(int nWidth, int nHeight, UINT nPendingBitmapId, UINT nNoPictureBitmapId) {
  if (TRACE_NULL(m_hWnd, "m_hWnd")) return false;
  if (m_bInitialised) ReleaseThumbnails();
  m_nThumbWidth = nWidth;
  m_nThumbHeight = nHeight;
  AddExtendedStyle(LVS_EX_BORDERSELECT);
  // The list keeps its own tooltip from showing; the detached window is ours to free.
  if (HWND hOwnTips = SetToolTips(nullptr)) ::DestroyWindow(hOwnTips);
  // The image list belongs to this object, not to the control, so that it outlives the window.
  ::SetWindowLongPtrW(m_hWnd, GWL_STYLE, ::GetWindowLongPtrW(m_hWnd, GWL_STYLE) | LVS_SHAREIMAGELISTS);
  m_imageList.Reset(::ImageList_Create(nWidth, nHeight, ILC_COLOR24, kImageListGrowth, kImageListGrowth));
  if (TRACE_NULL(m_imageList.Get(), "ImageList_Create")) return false;
  SetImageList(m_imageList.Get(), LVSIL_NORMAL);
  for (UINT nId : {nPendingBitmapId, nNoPictureBitmapId}) {
    framework::BitmapHolder loaded(
        static_cast<HBITMAP>(::LoadImageW(framework::GetResourceHandle(), MAKEINTRESOURCEW(nId), IMAGE_BITMAP, 0, 0, 0)));
    TRACE_NULL(loaded.Get(), "LoadBitmap");
    framework::BitmapHolder scaled(loaded ? StretchToSize(loaded.Get(), nWidth, nHeight) : ::CreateBitmap(nWidth, nHeight, 1, 32, nullptr));
    // The images keep their places 0 and 1 even when a picture is missing.
    ::ImageList_Add(m_imageList.Get(), scaled.Get(), nullptr);
  }
  if (m_toolTip.Create(m_hWnd)) {
    m_toolTip.SetMaxTipWidth(kMaxTipWidth);
    m_toolTip.AddTool(m_hWnd, std::wstring());
  }
  m_nHoverItem = -1;
  SetBkColor(kListBackground);
  ::SetTimer(m_hWnd, kScheduleTimerId, kSchedulePeriodMs, nullptr);
  m_bInitialised = true;
  return true;
}

void ExtractListView::ReleaseThumbnails() {
  if (!m_bInitialised) return;
  WaitForAllWorkers();
  if (IsWindow()) {
    // Thumbnails the workers posted but nobody will take any more.
    MSG msg;
    while (::PeekMessageW(&msg, m_hWnd, WM_THUMBNAIL_READY, WM_THUMBNAIL_READY, PM_REMOVE)) {
      if (msg.lParam != 0) ::DeleteObject(reinterpret_cast<HBITMAP>(msg.lParam));
    }
    DeleteAllItems();
    ::KillTimer(m_hWnd, kScheduleTimerId);
    SetImageList(nullptr, LVSIL_NORMAL);
  }
  m_vecItems.clear();
  m_imageList.Reset();
  m_toolTip.DestroyWindow();
  m_bInitialised = false;
}

int ExtractListView::GetThumbnailState(int nIndex) const {
  if (nIndex < 0 || static_cast<size_t>(nIndex) >= m_vecItems.size()) return -1;
  return m_vecItems[static_cast<size_t>(nIndex)].nState;
}

void ExtractListView::AddFile(const std::wstring& strPath) {
  const int nIndex = GetItemCount();
  std::wstring strText = ::PathFindFileNameW(strPath.c_str());
  const size_t nDot = strText.rfind(L'.');
  if (nDot != std::wstring::npos) strText.erase(nDot);

  ThumbnailItem item;
  item.nId = ++m_nLastItemId;
  item.strPath = strPath;
  int nImage = kPendingImage;
  if (HBITMAP hCached = LookUpCache(strPath)) {
    const int nAdded = AddImage(hCached);
    ::DeleteObject(hCached);
    if (nAdded >= 0) {
      nImage = nAdded;
      item.nState = StateDone;
    }
  }
  m_vecItems.push_back(item);
  InsertItem(nIndex, strText, nImage, static_cast<LPARAM>(item.nId));
}

void ExtractListView::RemoveFile(const std::wstring& strPath) {
  const int nIndex = FindFile(strPath);
  if (nIndex < 0) return;
  m_vecItems.erase(m_vecItems.begin() + nIndex);
  DeleteItem(nIndex);
  if (m_nHoverItem >= nIndex) HideToolTip();
}

void ExtractListView::RemoveAllFiles() {
  WaitForAllWorkers();
  DeleteAllItems();
  if (m_imageList) {
    for (int n = ::ImageList_GetImageCount(m_imageList.Get()) - 1; n > kNoPictureImage; --n) ::ImageList_Remove(m_imageList.Get(), n);
  }
  m_vecItems.clear();
  HideToolTip();
}

int ExtractListView::FindFile(const std::wstring& strPath) const {
  for (size_t n = 0; n < m_vecItems.size(); ++n) {
    if (::CompareStringOrdinal(m_vecItems[n].strPath.c_str(), -1, strPath.c_str(), -1, TRUE) == CSTR_EQUAL) return static_cast<int>(n);
  }
  return -1;
}

int ExtractListView::FindItemById(int nId) const {
  for (size_t n = 0; n < m_vecItems.size(); ++n) {
    if (m_vecItems[n].nId == nId) return static_cast<int>(n);
  }
  return -1;
}

int ExtractListView::AddImage(HBITMAP hBitmap) {
  if (!m_imageList) return -1;
  return ::ImageList_Add(m_imageList.Get(), hBitmap, nullptr);
}

LRESULT ExtractListView::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_TIMER && wParam == kScheduleTimerId) {
    ScheduleThumbnails();
    return 0;
  }
  if (msg == WM_THUMBNAIL_READY) {
    OnThumbnailReady(static_cast<int>(wParam), reinterpret_cast<HBITMAP>(lParam));
    return 0;
  }
  return ListViewCtrl::WindowProc(msg, wParam, lParam);
}

bool ExtractListView::OnCustomDraw(NMLVCUSTOMDRAW* pDraw, LRESULT& result) {
  switch (pDraw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
      result = CDRF_NOTIFYITEMDRAW;
      return true;
    case CDDS_ITEMPREPAINT:
      pDraw->clrText = kItemText;
      pDraw->clrTextBk = kListBackground;
      result = CDRF_DODEFAULT;
      return true;
    default:
      return false;
  }
}

void ExtractListView::ScheduleThumbnails() {
  ReapWorkers();
  if (!::IsWindowVisible(m_hWnd)) return;
  RECT client{};
  ::GetClientRect(m_hWnd, &client);
  const int nCount = static_cast<int>(m_vecItems.size());
  for (int n = std::max(GetTopIndex(), 0); n < nCount && m_vecWorkers.size() < kMaxWorkers; ++n) {
    ThumbnailItem& item = m_vecItems[static_cast<size_t>(n)];
    if (item.nState != StatePending) continue;
    RECT icon{};
    RECT overlap{};
    if (!GetItemRect(n, &icon, LVIR_ICON) || !::IntersectRect(&overlap, &icon, &client)) continue;
    item.nState = StateExtracting;
    if (!StartWorker(item)) item.nState = StatePending;
  }
}

bool ExtractListView::StartWorker(const ThumbnailItem& item) {
  auto* pParams = new WorkerParams{m_hWnd, item.nId, item.strPath, m_nThumbWidth, m_nThumbHeight, m_pfnExtractor};
  HANDLE hThread = ::CreateThread(nullptr, 0, &ThumbnailWorker, pParams, CREATE_SUSPENDED, nullptr);
  if (TRACE_NULL(hThread, "CreateThread")) {
    delete pParams;
    return false;
  }
  m_vecWorkers.push_back(Worker{framework::UniqueHandle(hThread)});
  ::ResumeThread(hThread);
  return true;
}

void ExtractListView::ReapWorkers() {
  std::erase_if(m_vecWorkers, [](const Worker& worker) { return ::WaitForSingleObject(worker.hThread.Get(), 0) != WAIT_TIMEOUT; });
}

void ExtractListView::WaitForAllWorkers() {
  while (!m_vecWorkers.empty()) {
    std::vector<HANDLE> vecHandles;
    for (const Worker& worker : m_vecWorkers) vecHandles.push_back(worker.hThread.Get());
    ::WaitForMultipleObjects(static_cast<DWORD>(vecHandles.size()), vecHandles.data(), TRUE, INFINITE);
    ReapWorkers();
  }
}

void ExtractListView::OnThumbnailReady(int nId, HBITMAP hBitmap) {
  framework::BitmapHolder bitmap(hBitmap);
  const int nIndex = FindItemById(nId);
  if (nIndex < 0) return;  // the list was refilled after the worker started
  int nImage = kNoPictureImage;
  if (bitmap) {
    StoreInCache(m_vecItems[static_cast<size_t>(nIndex)].strPath, bitmap.Get());
    const int nAdded = AddImage(bitmap.Get());
    if (nAdded >= 0) nImage = nAdded;
  }
  m_vecItems[static_cast<size_t>(nIndex)].nState = StateDone;
  SetItemImage(nIndex, nImage);
}

void ExtractListView::RelayToolTipEvent(const MSG* pMsg) {
  if (!m_bInitialised || pMsg == nullptr || pMsg->hwnd != m_hWnd || !m_toolTip.IsWindow()) return;
  if (pMsg->message == WM_MOUSEMOVE) {
    const POINT point{static_cast<short>(LOWORD(pMsg->lParam)), static_cast<short>(HIWORD(pMsg->lParam))};
    const int nIndex = HitTest(point);
    if (nIndex < 0 || static_cast<size_t>(nIndex) >= m_vecItems.size()) {
      HideToolTip();
      m_toolTip.DelTool(m_hWnd);
      return;
    }
    if (nIndex != m_nHoverItem) {
      m_nHoverItem = nIndex;
      const std::wstring strText = GetAVITooltipText(GetItemPath(nIndex), kAviHeadingName);
      const HFONT hFont = reinterpret_cast<HFONT>(m_toolTip.SendMessage(WM_GETFONT));
      m_toolTip.DelTool(m_hWnd);
      m_toolTip.AddTool(m_hWnd, WrapTextToWidth(strText, kMaxTipWidth, hFont));
    }
    m_toolTip.RelayEvent(pMsg);
    return;
  }
  const bool bKey = pMsg->message >= WM_KEYFIRST && pMsg->message <= WM_KEYLAST;
  const bool bMouse = pMsg->message >= WM_MOUSEFIRST && pMsg->message <= WM_MOUSELAST;
  if (bKey || bMouse || pMsg->message == WM_NCMOUSEMOVE) HideToolTip();
}

void ExtractListView::HideToolTip() {
  m_nHoverItem = -1;
  if (m_toolTip.IsWindow()) m_toolTip.Pop();
}

void ExtractListView::StoreInCache(const std::wstring& strPath, HBITMAP hBitmap) {
  DWORD dwSize = 0;
  if (!GetFileSizeLow(strPath, &dwSize)) return;
  const std::wstring strKey = CacheKey(strPath, dwSize);
  if (m_mapCache.count(strKey) != 0) return;
  std::vector<BYTE> vecBlob;
  if (!ExportBitmap(hBitmap, &vecBlob)) return;
  if (vecBlob.size() > std::numeric_limits<DWORD>::max() - m_dwCacheEnd) return;  // the cache file's offsets are 32-bit
  if (!m_hCacheFile && !OpenCacheFile()) return;
  OVERLAPPED position{};
  position.Offset = m_dwCacheEnd;
  DWORD dwWritten = 0;
  if (!::WriteFile(m_hCacheFile.Get(), vecBlob.data(), static_cast<DWORD>(vecBlob.size()), &dwWritten, &position)) return;
  if (dwWritten != vecBlob.size()) return;
  m_mapCache[strKey] = ThumbnailCacheEntry{strPath, dwSize, m_dwCacheEnd, dwWritten};
  m_dwCacheEnd += dwWritten;
}

HBITMAP ExtractListView::LookUpCache(const std::wstring& strPath) {
  if (!m_hCacheFile) return nullptr;
  DWORD dwSize = 0;
  GetFileSizeLow(strPath, &dwSize);
  const auto it = m_mapCache.find(CacheKey(strPath, dwSize));
  if (it == m_mapCache.end()) return nullptr;
  const ThumbnailCacheEntry& entry = it->second;
  if (entry.dwLength < sizeof(BITMAPINFOHEADER)) return nullptr;
  std::vector<BYTE> vecBlob(entry.dwLength);
  OVERLAPPED position{};
  position.Offset = entry.dwOffset;
  DWORD dwRead = 0;
  if (!::ReadFile(m_hCacheFile.Get(), vecBlob.data(), entry.dwLength, &dwRead, &position) || dwRead != entry.dwLength) return nullptr;
  const auto* pHeader = reinterpret_cast<const BITMAPINFOHEADER*>(vecBlob.data());
  if (pHeader->biSize != sizeof(BITMAPINFOHEADER) || sizeof(BITMAPINFOHEADER) + pHeader->biSizeImage > vecBlob.size()) return nullptr;
  framework::WindowDC screen(nullptr);
  return ::CreateDIBitmap(screen, pHeader, CBM_INIT, vecBlob.data() + sizeof(BITMAPINFOHEADER), reinterpret_cast<const BITMAPINFO*>(pHeader),
                          DIB_RGB_COLORS);
}

bool ExtractListView::OpenCacheFile() {
  wchar_t szFolder[MAX_PATH] = {};
  wchar_t szName[MAX_PATH] = {};
  if (TRACE_FAILED_BOOL(::GetTempPathW(MAX_PATH, szFolder) != 0, "GetTempPath")) return false;
  if (TRACE_FAILED_BOOL(::GetTempFileNameW(szFolder, L"PLV", 0, szName) != 0, "GetTempFileName")) return false;
  m_hCacheFile.Reset(::CreateFileW(szName, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
  if (TRACE_FAILED_BOOL(m_hCacheFile.IsValid(), "CreateFile")) {
    ::DeleteFileW(szName);
    return false;
  }
  return true;
}
