// The process's one application object: single instance, the maker's other applications, the
// language library, the interface font, and the main panel run modally for the life of the program.
#pragma once

#include <windows.h>

#include <array>
#include <string>

#include "framework/App.h"

// The interface font sizes of the string table's "small|standard|large" text. A piece that is
// missing (or left empty) takes the built-in 9, 11 or 13; any other piece is its number as written:
// 0 keeps the dialog's font height, a negative value is a character height.
struct FontSizes {
  int nSmall = 9;
  int nStandard = 11;
  int nLarge = 13;
};
FontSizes ParseFontSizes(const std::wstring& strSizes);

class RecorderApp : public framework::App {
 public:
  static RecorderApp* Get();

  BOOL InitInstance() override;
  int ExitInstance() override;
  BOOL PreTranslateMessage(MSG* msg) override;

  // Reads the face (string 147) and the sizes (string 148) of the resource module and makes the face
  // and the standard size the skinned labels' default font.
  void LoadInterfaceFont();

  std::wstring GetFontFace() const { return m_strFontFace; }
  int GetSmallFontSize() const { return m_nSmallFontSize; }
  int GetStandardFontSize() const { return m_nStandardFontSize; }
  int GetLargeFontSize() const { return m_nLargeFontSize; }

 private:
  void LoadLanguageLibrary();
  // True when a copy of the program already runs; its window is then brought to the front.
  bool ActivateRunningCopy();
  void ReleaseMutexes();

  std::wstring m_strFontFace;
  int m_nSmallFontSize = 9;
  int m_nStandardFontSize = 11;
  int m_nLargeFontSize = 13;

  // Held, never waited on, until the process ends, so that the names stay claimed.
  HANDLE m_hInstanceMutex = nullptr;
  HANDLE m_hMakerMutex = nullptr;
};
