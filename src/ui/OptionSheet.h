// The options sheet: the general page and the record page over the main panel's settings. Saving
// the settings and applying them to the record side is the caller's work once the sheet ends
// with OK.
#pragma once

#include <windows.h>

#include "core/AppSettings.h"
#include "framework/PropertySheetDialog.h"
#include "ui/FolderChoice.h"
#include "ui/OptionWholePage.h"

// The record page: record mode, preview size and file format, written only when the sheet ends
// with OK.
class COptionRecPage : public framework::PropertyPage {
 public:
  explicit COptionRecPage(AppSettings& settings);

 protected:
  BOOL OnInitDialog() override;
  void OnOK() override;
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  AppSettings& m_settings;
};

class COptionSheet : public framework::PropertySheetDialog {
 public:
  COptionSheet(AppSettings& settings, framework::Window* parent, FolderChoice& folders = FolderChoice::System());

  COptionWholePage& GetWholePage() { return m_pageWhole; }
  COptionRecPage& GetRecPage() { return m_pageRec; }

 private:
  COptionWholePage m_pageWhole;
  COptionRecPage m_pageRec;
};
