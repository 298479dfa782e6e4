// The folder browser's filter: only folders on fixed local disks can be reached.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "app/FolderBrowser.h"

namespace {

class FolderFilterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CoInitialize(nullptr);
    m_pFilter = new FolderFilter();
    ASSERT_HRESULT_SUCCEEDED(SHGetDesktopFolder(&m_pDesktop));
  }
  void TearDown() override {
    if (m_pDesktop) m_pDesktop->Release();
    m_pFilter->Release();
    CoUninitialize();
  }
  FolderFilter* m_pFilter = nullptr;
  IShellFolder* m_pDesktop = nullptr;
};

}  // namespace

TEST_F(FolderFilterTest, AsksForFoldersAndFiles) {
  DWORD flags = 0;
  HWND owner = nullptr;
  ASSERT_EQ(S_OK, m_pFilter->GetEnumFlags(m_pDesktop, nullptr, &owner, &flags));
  EXPECT_EQ(static_cast<DWORD>(SHCONTF_FOLDERS | SHCONTF_NONFOLDERS), flags);
}

TEST_F(FolderFilterTest, ShowsAFolderOnAFixedDiskAndItsDriveRoot) {
  wchar_t windowsFolder[MAX_PATH] = {};
  GetWindowsDirectoryW(windowsFolder, MAX_PATH);
  const std::wstring root = std::wstring(windowsFolder).substr(0, 3);
  ASSERT_EQ(static_cast<UINT>(DRIVE_FIXED), GetDriveTypeW(root.c_str()));

  PIDLIST_ABSOLUTE item = nullptr;
  ASSERT_HRESULT_SUCCEEDED(SHParseDisplayName(windowsFolder, nullptr, &item, 0, nullptr));
  IShellFolder* parent = nullptr;
  PCUITEMID_CHILD child = nullptr;
  ASSERT_HRESULT_SUCCEEDED(SHBindToParent(item, IID_IShellFolder, reinterpret_cast<void**>(&parent), &child));
  EXPECT_EQ(S_OK, m_pFilter->ShouldShow(parent, nullptr, child));
  parent->Release();
  CoTaskMemFree(item);

  PIDLIST_ABSOLUTE rootItem = nullptr;
  ASSERT_HRESULT_SUCCEEDED(SHParseDisplayName(root.c_str(), nullptr, &rootItem, 0, nullptr));
  ASSERT_HRESULT_SUCCEEDED(SHBindToParent(rootItem, IID_IShellFolder, reinterpret_cast<void**>(&parent), &child));
  EXPECT_EQ(S_OK, m_pFilter->ShouldShow(parent, nullptr, child));
  parent->Release();
  CoTaskMemFree(rootItem);
}

TEST_F(FolderFilterTest, HidesTheNetworkPlaces) {
  PIDLIST_ABSOLUTE network = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, CSIDL_NETWORK, &network)) || network == nullptr) {
    GTEST_SKIP() << "this shell has no network places";
  }
  IShellFolder* parent = nullptr;
  PCUITEMID_CHILD child = nullptr;
  ASSERT_HRESULT_SUCCEEDED(SHBindToParent(network, IID_IShellFolder, reinterpret_cast<void**>(&parent), &child));
  EXPECT_EQ(S_FALSE, m_pFilter->ShouldShow(parent, nullptr, child));
  parent->Release();
  CoTaskMemFree(network);
}

TEST_F(FolderFilterTest, BrowserStartsAtTheCurrentFolderUntilTold) {
  FolderBrowser browser;
  wchar_t current[1024] = {};
  GetCurrentDirectoryW(1024, current);
  EXPECT_EQ(std::wstring(current), browser.GetFolder());
  browser.SetInitialFolder(L"C:\\Video\\");
  EXPECT_EQ(L"C:\\Video\\", browser.GetFolder());
}
