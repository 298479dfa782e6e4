// The dialog manager builds real windows from the templates of both languages.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "resource.h"

namespace {

INT_PTR CALLBACK QuietDialogProc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

std::wstring WindowText(HWND window) {
  wchar_t text[256] = {};
  GetWindowTextW(window, text, 256);
  return text;
}

std::wstring LanguageLibraryPath() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path);
  folder.erase(folder.find_last_of(L'\\') + 1);
  return folder + L"..\\lang\\PLVRLang.dll";
}

// Creates the main panel from the module's template and checks what the main panel relies on.
void CheckMainPanelWindow(HMODULE module, const wchar_t* recordCaption) {
  HWND dialog = CreateDialogParamW(module, MAKEINTRESOURCEW(IDD_MAINPANEL), nullptr, &QuietDialogProc, 0);
  ASSERT_NE(nullptr, dialog) << GetLastError();
  EXPECT_EQ(L"Plover", WindowText(dialog));
  EXPECT_TRUE(IsWindowVisible(dialog));  // the template is marked visible
  EXPECT_EQ(recordCaption, WindowText(GetDlgItem(dialog, IDC_MAIN_RECORD_CAPTION)));
  // The frame that gives the client size is there but never visible.
  HWND frame = GetDlgItem(dialog, IDC_MAIN_FRAME);
  ASSERT_NE(nullptr, frame);
  EXPECT_FALSE(IsWindowVisible(frame));
  RECT rect{};
  GetWindowRect(frame, &rect);
  EXPECT_GT(rect.right - rect.left, 0);
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, IDC_MAIN_CLOSING_NOTICE)));
  // The command-only items exist so the panel can post their commands to itself.
  EXPECT_NE(nullptr, GetDlgItem(dialog, IDC_MAIN_SHOW_FOLDER_CHECK));
  EXPECT_NE(nullptr, GetDlgItem(dialog, IDC_MAIN_SHOW_FOLDER_SPECIFY));
  // The system menu carries the size and maximise items the panel deletes, and a minimise box.
  EXPECT_NE(0, GetWindowLongW(dialog, GWL_STYLE) & WS_MINIMIZEBOX);
  EXPECT_NE(nullptr, GetSystemMenu(dialog, FALSE));
  DestroyWindow(dialog);
}

TEST(DialogWindows, MainPanelOfTheBuiltInResourcesIsJapanese) {
  CheckMainPanelWindow(GetModuleHandleW(nullptr), L"ディスクに録画 F3");
}

TEST(DialogWindows, MainPanelOfTheLanguageLibraryIsEnglish) {
  HMODULE library = LoadLibraryW(LanguageLibraryPath().c_str());
  ASSERT_NE(nullptr, library);
  CheckMainPanelWindow(library, L"Record to disk F3");
  FreeLibrary(library);
}

TEST(DialogWindows, AboutBoxShowsTheProgramIcon) {
  HWND dialog = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_ABOUTBOX), nullptr, &QuietDialogProc, 0);
  ASSERT_NE(nullptr, dialog);
  HWND icon = GetDlgItem(dialog, IDC_ABOUT_ICON);
  ASSERT_NE(nullptr, icon);
  EXPECT_NE(nullptr, reinterpret_cast<HICON>(SendMessageW(icon, STM_GETICON, 0, 0)));
  EXPECT_EQ(L"OK", WindowText(GetDlgItem(dialog, IDOK)));
  DestroyWindow(dialog);
}

}  // namespace
