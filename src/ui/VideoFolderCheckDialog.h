// The start-up confirmation of the video folder: shows the folder, lets the user keep it or ask to
// change it, and switch the start-up check off. Esc does not close it.
#pragma once

#include <windows.h>

#include <string>

#include "framework/Dialog.h"

class VideoFolderCheckDialog : public framework::Dialog {
 public:
  explicit VideoFolderCheckDialog(framework::Window* parent = nullptr);

  void SetFolder(const std::wstring& folder) { m_strFolder = folder; }
  void SetCheckState(int state) { m_nCheckState = state; }
  int GetCheckState() const { return m_nCheckState; }

  BOOL PreTranslateMessage(MSG* msg) override;

 protected:
  BOOL OnInitDialog() override;
  bool OnCommand(WORD id, WORD code, HWND control) override;
  void OnOK() override;
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  // The hidden note area's height, taken off the dialog.
  static constexpr int kShortenBy = 40;

  void Shorten();
  void EndWithCheckState(INT_PTR result);

  std::wstring m_strFolder;
  int m_nCheckState = 0;
};
