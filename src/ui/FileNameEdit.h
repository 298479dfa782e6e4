// An edit field for a piece of a file name: refuses the characters a file name may not hold and
// texts longer than the maximum in bytes of the multibyte code page, restores the text and caret,
// and tells its owner why.
#pragma once

#include <windows.h>

#include <string>

#include "framework/Control.h"

class FileNameEdit : public framework::Control {
 public:
  // Codes sent to the owner as SendMessage(owner, message, code, 0).
  static constexpr WPARAM kNotifyBadCharacter = 1;
  static constexpr WPARAM kNotifyTooLong = 2;

  void SetMaxLength(int bytes) { m_nMaxLength = bytes; }
  int GetMaxLength() const { return m_nMaxLength; }
  void SetNotify(HWND owner, UINT message) {
    m_hOwner = owner;
    m_nMessage = message;
  }

 protected:
  void OnSubclassed() override;
  bool OnReflectedMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  // Keeps the text and selection before an input that may be refused.
  void SaveState();

  int m_nMaxLength = 10;
  std::wstring m_strAccepted;
  DWORD m_dwSelStart = 0;
  DWORD m_dwSelEnd = 0;
  bool m_bRestoring = false;
  HWND m_hOwner = nullptr;
  UINT m_nMessage = 0;
};
