// An icon-view list of video files, each shown with a small picture of its first frame. The
// pictures are extracted lazily, only for the items on screen and at most three at a time, on
// worker threads through the media detector; they are kept for the rest of the run in a temporary
// cache file, so refilling the list shows them at once. The list also shows an information tip
// for the file under the mouse.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "framework/Handles.h"
#include "device/DeviceEvents.h"
#include "framework/ListViewCtrl.h"
#include "framework/ToolTipCtrl.h"

// A worker hands a finished thumbnail to the list window (WM_THUMBNAIL_READY of the program's
// message numbers): wParam = item id, lParam = HBITMAP or 0.

// Bitmaps of the resource module used by the thumbnails.
inline constexpr UINT kThumbnailNoPictureBitmapId = 132;  // the file has no picture to show
inline constexpr UINT kThumbnailPendingBitmapId = 134;    // the picture is still being made
inline constexpr UINT kThumbnailBadge24pBitmapId = 313;   // 18 x 18 "24" badge, magenta is transparent

// Makes the thumbnail of a file's first frame (letterboxed for 16:9, with the "24" badge for 24p
// material) at the given size; null when the file has no picture to give. Any thread.
HBITMAP ExtractThumbnail(const std::wstring& strPath, int nWidth, int nHeight);

class ExtractListView : public framework::ListViewCtrl {
 public:
  using ThumbnailExtractor = HBITMAP (*)(const std::wstring& strPath, int nWidth, int nHeight);

  static constexpr int kPendingImage = 0;
  static constexpr int kNoPictureImage = 1;
  static constexpr UINT_PTR kScheduleTimerId = 100;
  static constexpr UINT kSchedulePeriodMs = 100;
  static constexpr size_t kMaxWorkers = 3;
  static constexpr int kMaxTipWidth = 600;

  enum ThumbnailState { StatePending = 0, StateExtracting = 1, StateDone = 2 };

  ExtractListView() = default;
  ~ExtractListView() override;

  // Thumbnail size, image list with the pending and no-picture images (bitmaps of the resource
  // module), the information tip and the scheduling timer. False when the list cannot show
  // thumbnails (no window, no image list).
  bool InitThumbnails(int nWidth, int nHeight, UINT nPendingBitmapId, UINT nNoPictureBitmapId);
  // Waits for the workers, empties the list and frees the image list.
  void ReleaseThumbnails();
  bool IsInitialised() const { return m_bInitialised; }

  void AddFile(const std::wstring& strPath);
  // Removes the item of the path (compared without regard to case); other paths are ignored.
  virtual void RemoveFile(const std::wstring& strPath);
  // Waits for the workers and removes every item and every extracted image.
  void RemoveAllFiles();

  // The owner hands every message it pre-translates here; those of the list window show, move
  // and hide the information tip.
  void RelayToolTipEvent(const MSG* pMsg);

  // Where the workers get their thumbnails (ExtractThumbnail unless changed).
  void SetThumbnailExtractor(ThumbnailExtractor pfnExtractor) { m_pfnExtractor = pfnExtractor; }

  int GetThumbnailWidth() const { return m_nThumbWidth; }
  int GetThumbnailHeight() const { return m_nThumbHeight; }
  // The state of an item (ThumbnailState), -1 for an index out of range.
  int GetThumbnailState(int nIndex) const;
  size_t GetWorkerCount() const { return m_vecWorkers.size(); }
  const framework::ToolTipCtrl& GetToolTip() const { return m_toolTip; }

 protected:
  struct ThumbnailItem {
    int nId = 0;
    std::wstring strPath;
    int nState = StatePending;
  };

  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
  bool OnCustomDraw(NMLVCUSTOMDRAW* pDraw, LRESULT& result) override;

  // The index of the path's item (case-insensitive), or -1.
  int FindFile(const std::wstring& strPath) const;
  const std::wstring& GetItemPath(int nIndex) const { return m_vecItems[static_cast<size_t>(nIndex)].strPath; }

 private:
  struct ThumbnailCacheEntry {
    std::wstring strPath;
    DWORD dwFileSize = 0;
    DWORD dwOffset = 0;
    DWORD dwLength = 0;
  };
  struct Worker {
    framework::UniqueHandle hThread;
  };

  void ScheduleThumbnails();
  bool StartWorker(const ThumbnailItem& item);
  void ReapWorkers();
  void WaitForAllWorkers();
  void OnThumbnailReady(int nId, HBITMAP hBitmap);
  int AddImage(HBITMAP hBitmap);
  int FindItemById(int nId) const;
  void HideToolTip();

  // Thumbnail cache.
  void StoreInCache(const std::wstring& strPath, HBITMAP hBitmap);
  HBITMAP LookUpCache(const std::wstring& strPath);
  bool OpenCacheFile();

  bool m_bInitialised = false;
  int m_nThumbWidth = 80;
  int m_nThumbHeight = 60;
  int m_nLastItemId = 0;
  framework::ImageListHolder m_imageList;
  std::vector<ThumbnailItem> m_vecItems;
  std::vector<Worker> m_vecWorkers;
  framework::ToolTipCtrl m_toolTip;
  int m_nHoverItem = -1;
  std::map<std::wstring, ThumbnailCacheEntry> m_mapCache;
  DWORD m_dwCacheEnd = 0;
  framework::UniqueHandle m_hCacheFile;
  ThumbnailExtractor m_pfnExtractor = &ExtractThumbnail;
};
