#include "app/FolderBrowser.h"

#include <shlwapi.h>

#include "core/DebugTrace.h"
#include "framework/Resources.h"
#include "resource.h"

namespace {

// Attributes asked of each item before deciding whether to show it.
constexpr SFGAOF kAttributeQueryMask = 0xF70FC177;
// Flags of the browser: file-system folders only, no domain browsing, the resizable dialog.
constexpr UINT kBrowseFlags = BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN | BIF_NEWDIALOGSTYLE;

bool IsNetworkItem(IShellFolder* folder, PCUITEMID_CHILD item) {
  PIDLIST_ABSOLUTE network = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, CSIDL_NETWORK, &network)) || network == nullptr) return false;
  const HRESULT order = folder->CompareIDs(0, item, reinterpret_cast<PCUIDLIST_RELATIVE>(network));
  CoTaskMemFree(network);
  return SUCCEEDED(order) && HRESULT_CODE(order) == 0;
}

}  // namespace

HRESULT STDMETHODCALLTYPE FolderFilter::QueryInterface(REFIID riid, void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IFolderFilter)) {
    *ppv = static_cast<IFolderFilter*>(this);
    AddRef();
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE FolderFilter::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&m_nRefCount)); }

ULONG STDMETHODCALLTYPE FolderFilter::Release() {
  const LONG count = InterlockedDecrement(&m_nRefCount);
  if (count == 0) delete this;
  return static_cast<ULONG>(count);
}

HRESULT STDMETHODCALLTYPE FolderFilter::GetEnumFlags(IShellFolder*, PCIDLIST_ABSOLUTE, HWND*, DWORD* flags) {
  if (flags == nullptr) return E_POINTER;
  *flags = SHCONTF_FOLDERS | SHCONTF_NONFOLDERS;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE FolderFilter::ShouldShow(IShellFolder* folder, PCIDLIST_ABSOLUTE, PCUITEMID_CHILD item) {
  if (folder == nullptr || item == nullptr) return S_FALSE;

  STRRET parsingName{};
  if (FAILED(folder->GetDisplayNameOf(item, SHGDN_FORPARSING, &parsingName))) return S_FALSE;
  wchar_t name[MAX_PATH] = {};
  if (FAILED(StrRetToBufW(&parsingName, item, name, MAX_PATH))) return S_FALSE;

  if (IsNetworkItem(folder, item)) return S_FALSE;

  SFGAOF attributes = kAttributeQueryMask;
  PCUITEMID_CHILD items[] = {item};
  if (SUCCEEDED(folder->GetAttributesOf(1, items, &attributes))) {
    if (attributes & SFGAO_REMOVABLE) return S_FALSE;
    if ((attributes & SFGAO_STREAM) && (attributes & SFGAO_FOLDER)) return S_FALSE;
  }

  // A drive root such as "C:\" is only shown for fixed disks.
  if (wcslen(name) == 3 && name[1] == L':' && name[2] == L'\\') {
    if (GetDriveTypeW(name) != DRIVE_FIXED) return S_FALSE;
  }
  return S_OK;
}

FolderBrowser::FolderBrowser() {
  TraceFailedHr(__FILE__, __LINE__, SHGetMalloc(&m_pMalloc), "SHGetMalloc");
  m_pFilter = new FolderFilter();
  wchar_t current[1024] = {};
  GetCurrentDirectoryW(1024, current);
  m_strFolder = current;
}

FolderBrowser::~FolderBrowser() {
  if (m_pFilter != nullptr) m_pFilter->Release();
  if (m_pMalloc != nullptr) m_pMalloc->Release();
}

void FolderBrowser::SetInitialFolder(const std::wstring& path) { m_strFolder = path.substr(0, kMaxFolderChars); }

int FolderBrowser::Browse(HWND owner) {
  const std::wstring title = framework::LoadResString(IDS_SELECT_FOLDER);
  wchar_t displayName[MAX_PATH] = {};
  m_browseInfo = BROWSEINFOW{};
  m_browseInfo.hwndOwner = owner;
  m_browseInfo.pidlRoot = nullptr;
  m_browseInfo.pszDisplayName = displayName;
  m_browseInfo.lpszTitle = title.c_str();
  m_browseInfo.ulFlags = kBrowseFlags;
  m_browseInfo.lpfn = &FolderBrowser::BrowseCallback;
  m_browseInfo.lParam = reinterpret_cast<LPARAM>(this);

  PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&m_browseInfo);
  if (chosen == nullptr) return kCancelled;

  wchar_t path[MAX_PATH] = {};
  const BOOL havePath = SHGetPathFromIDListW(chosen, path);
  if (m_pMalloc != nullptr) {
    m_pMalloc->Free(chosen);
  } else {
    CoTaskMemFree(chosen);
  }
  if (!havePath) return kCancelled;
  m_strFolder = path;
  return kChosen;
}

int CALLBACK FolderBrowser::BrowseCallback(HWND hwnd, UINT message, LPARAM lParam, LPARAM data) {
  auto* self = reinterpret_cast<FolderBrowser*>(data);
  switch (message) {
    case BFFM_INITIALIZED:
      if (self != nullptr && !self->m_strFolder.empty()) {
        SendMessageW(hwnd, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(self->m_strFolder.c_str()));
      }
      break;
    case BFFM_SELCHANGED: {
      wchar_t path[MAX_PATH] = {};
      const BOOL isFileSystem = lParam != 0 && SHGetPathFromIDListW(reinterpret_cast<PCIDLIST_ABSOLUTE>(lParam), path);
      SendMessageW(hwnd, BFFM_ENABLEOK, 0, isFileSystem ? 1 : 0);
      break;
    }
    case BFFM_VALIDATEFAILEDW:
      MessageBeep(MB_ICONHAND);
      return 1;  // keep the dialog open
    case BFFM_IUNKNOWN: {
      auto* unknown = reinterpret_cast<IUnknown*>(lParam);
      if (unknown == nullptr || self == nullptr) break;
      IFolderFilterSite* site = nullptr;
      if (SUCCEEDED(unknown->QueryInterface(IID_IFolderFilterSite, reinterpret_cast<void**>(&site))) && site != nullptr) {
        TraceFailedHr(__FILE__, __LINE__, site->SetFilter(self->m_pFilter), "SetFilter");
        site->Release();
      }
      break;
    }
    default:
      break;
  }
  return 0;
}
