// Libraries loaded at run time come from the system folder or the program's folder only.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "core/LibraryLoading.h"

namespace {

const wchar_t kProbeName[] = L"PLVRCwdProbe.dll";

std::wstring ModuleFolder(HMODULE module) {
  wchar_t path[MAX_PATH] = {};
  const DWORD chars = GetModuleFileNameW(module, path, MAX_PATH);
  const std::wstring text(path, chars);
  return text.substr(0, text.find_last_of(L"\\/"));
}

// A throw-away current directory holding a real library under the probe's name (a copy of the
// English language library, which is built beside the test binaries).
class CurrentDirectoryWithLibrary : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    m_folder = std::wstring(temp) + L"plover-libload-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(m_folder.c_str(), nullptr);
    const std::wstring binaries = ModuleFolder(nullptr);
    const std::wstring library = binaries.substr(0, binaries.find_last_of(L'\\')) + L"\\lang\\PLVRLang.dll";
    ASSERT_TRUE(CopyFileW(library.c_str(), (m_folder + L"\\" + kProbeName).c_str(), FALSE)) << "no language library built";
    GetCurrentDirectoryW(MAX_PATH, m_previous);
    ASSERT_TRUE(SetCurrentDirectoryW(m_folder.c_str()));
  }
  void TearDown() override {
    SetCurrentDirectoryW(m_previous);
    DeleteFileW((m_folder + L"\\" + kProbeName).c_str());
    RemoveDirectoryW(m_folder.c_str());
  }

  std::wstring m_folder;
  wchar_t m_previous[MAX_PATH] = {};
};

TEST(SystemLibrary, SessionNotificationLibraryComesFromTheSystemFolder) {
  HMODULE library = LoadSystemLibrary(L"wtsapi32.dll");
  ASSERT_NE(nullptr, library);
  wchar_t system[MAX_PATH] = {};
  GetSystemDirectoryW(system, MAX_PATH);
  EXPECT_EQ(0, _wcsicmp(system, ModuleFolder(library).c_str())) << ModuleFolder(library);
  EXPECT_NE(nullptr, GetProcAddress(library, "WTSRegisterSessionNotification"));
  FreeLibrary(library);
}

TEST_F(CurrentDirectoryWithLibrary, IsNeverLookedIn) {
  EXPECT_EQ(nullptr, LoadSystemLibrary(kProbeName));
  EXPECT_EQ(nullptr, LoadProgramFolderLibrary(kProbeName));
  // Names that carry a folder are refused, even where the library is.
  const std::wstring names[] = {
      L".\\" + std::wstring(kProbeName),
      L"..\\" + std::wstring(L"plover-libload-") + std::to_wstring(GetCurrentProcessId()) + L"\\" + kProbeName,
      m_folder + L"\\" + kProbeName,
      L"C:" + std::wstring(kProbeName),
      L"",
  };
  for (const std::wstring& name : names) {
    EXPECT_EQ(nullptr, LoadSystemLibrary(name.c_str())) << name.c_str();
    EXPECT_EQ(nullptr, LoadProgramFolderLibrary(name.c_str())) << name.c_str();
  }
  // The plain search would have found it here: the checks above mean something.
  HMODULE plain = LoadLibraryW(kProbeName);
  EXPECT_NE(nullptr, plain);
  if (plain != nullptr) FreeLibrary(plain);
}

}  // namespace
