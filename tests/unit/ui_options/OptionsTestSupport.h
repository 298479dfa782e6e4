// Support for the option and folder dialog tests: a folder chooser that answers from a script, a
// script of steps run from inside whatever modal loop is running, and small window helpers.
#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "MainWindowTestSupport.h"
#include "ui/FolderChoice.h"

// Answers the folder browser from a queue (an empty answer is a cancel) and reports "NTFS" for
// every folder not named in m_fileSystems.
class FakeFolders : public FolderChoice {
 public:
  bool BrowseForFolder(HWND owner, const std::wstring& initial, std::wstring& chosen) override;
  std::wstring GetFileSystemName(const std::wstring& folder) override;

  std::deque<std::wstring> m_answers;
  std::map<std::wstring, std::wstring> m_fileSystems;
  std::vector<std::wstring> m_initialFolders;
};

// One step of a script: true when it is done and the next may run (a wait returns false until
// its condition holds).
using Step = std::function<bool()>;
Step Do(std::function<void()> action);
Step WaitFor(std::function<bool()> condition);

// Runs the steps in order, one step per 30 ms tick of any message loop (so that what a step posts
// is handled before the next one runs). A script that has not finished
// after 20 seconds cancels every dialog of the thread so that the test ends (and fails).
class Script {
 public:
  explicit Script(std::vector<Step> steps);
  bool Finished() const { return m_spState->nNext == m_spState->steps.size(); }
  size_t StepsDone() const { return m_spState->nNext; }

 private:
  struct State {
    std::vector<Step> steps;
    size_t nNext = 0;
    DWORD dwStart = 0;
  };
  std::shared_ptr<State> m_spState;
  std::unique_ptr<WhileModal> m_spTicker;
};

// A button press as the dialog's owner hears it, posted so that any loop it opens runs outside
// the step.
void PostClick(HWND dialog, int id);
// Types the characters at the end of an edit's text, one WM_CHAR each.
void TypeText(HWND edit, const std::wstring& text);
std::wstring ItemText(HWND dialog, int id);
// A text with its line breaks taken out (a wrapped text as it was before wrapping).
std::wstring WithoutLineBreaks(const std::wstring& text);
// The visible message box (or other dialog besides `except`) whose texts contain `text`; null if none.
HWND FindBoxWithText(const std::wstring& text, HWND except = nullptr);
// Presses OK on the box showing `text`; true when one was found.
bool AnswerBox(const std::wstring& text, HWND except = nullptr);
// The names of the files matching "PLV*.tmp" in a folder.
std::vector<std::wstring> TemporaryFiles(const std::wstring& folder);
