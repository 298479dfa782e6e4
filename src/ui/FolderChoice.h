// How the option page and the video-folder dialogs learn about folders: the folder browser the user
// chooses with, and the file system of a folder's volume. The dialogs take one through a pointer so
// that a test can answer for a volume that the machine under test does not have.
#pragma once

#include <windows.h>

#include <string>

class FolderChoice {
 public:
  virtual ~FolderChoice() = default;

  // Runs the folder browser from `initial`, owned by `owner`; true with the chosen folder in
  // `chosen`, false when the user cancelled.
  virtual bool BrowseForFolder(HWND owner, const std::wstring& initial, std::wstring& chosen);
  // The file system of the volume that holds `folder` ("NTFS", "FAT32", ...); empty when unknown.
  virtual std::wstring GetFileSystemName(const std::wstring& folder);

  // The shell's folder browser and the volume's own answer.
  static FolderChoice& System();
};

// The window a dialog's own modal windows (the folder browser, message boxes) are owned by: the
// top-level window of `window`, or its last active pop-up while that is disabled.
HWND GetSafeOwnerWindow(HWND window);
