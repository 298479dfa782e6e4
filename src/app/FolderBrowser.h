// The shared folder chooser: the shell's folder browser limited to folders on fixed local disks.
#pragma once

#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <string>

// Decides for each item of the folder browser whether it is shown: network places, removable
// media, archives shown as folders and roots of drives that are not fixed disks are hidden.
class FolderFilter final : public IFolderFilter {
 public:
  FolderFilter() = default;
  FolderFilter(const FolderFilter&) = delete;
  FolderFilter& operator=(const FolderFilter&) = delete;

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // IFolderFilter
  HRESULT STDMETHODCALLTYPE ShouldShow(IShellFolder* folder, PCIDLIST_ABSOLUTE parentItem,
                                       PCUITEMID_CHILD item) override;
  HRESULT STDMETHODCALLTYPE GetEnumFlags(IShellFolder* folder, PCIDLIST_ABSOLUTE parentItem, HWND* hwnd,
                                         DWORD* flags) override;

 private:
  ~FolderFilter() = default;
  LONG m_nRefCount = 1;
};

class FolderBrowser {
 public:
  static constexpr int kChosen = 1;
  static constexpr int kCancelled = 2;

  FolderBrowser();
  ~FolderBrowser();
  FolderBrowser(const FolderBrowser&) = delete;
  FolderBrowser& operator=(const FolderBrowser&) = delete;

  void SetInitialFolder(const std::wstring& path);
  std::wstring GetFolder() const { return m_strFolder; }

  // Shows the browser; kChosen with the folder in GetFolder(), or kCancelled.
  int Browse(HWND owner);

  // The browser's callback, public so that tests can drive it without the shell dialog.
  static int CALLBACK BrowseCallback(HWND hwnd, UINT message, LPARAM lParam, LPARAM data);

 private:
  static constexpr size_t kMaxFolderChars = 260;

  IMalloc* m_pMalloc = nullptr;
  FolderFilter* m_pFilter = nullptr;
  BROWSEINFOW m_browseInfo{};
  std::wstring m_strFolder;
};
