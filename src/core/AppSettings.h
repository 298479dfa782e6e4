// The user's recording options, kept in the registry, with the folder and file naming that
// works on them.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class AppSettings {
public:
  static constexpr const wchar_t* kRegistryKey = L"SOFTWARE\\Tavin\\Plover1.0";  // under HKEY_CURRENT_USER
  static constexpr int kLastSerialNumber = 9999999;  // ten to the power seven, minus one

  AppSettings();
  virtual ~AppSettings() = default;

  // Reads the values in order; the first one that cannot be read ends the load (FALSE) and leaves
  // it and all later ones as they were.
  BOOL Load();
  // Writes all nine values, defaults as empty texts; FALSE at the first failing write.
  BOOL Save();

  // Texts whose empty value means a default, supplied (and kept) when asked for.
  std::wstring GetRecordFolder();
  std::wstring GetNewFolderName();
  std::wstring GetFilePrefix();
  void SetRecordFolder(const std::wstring& strFolder) { m_strRecordFolder = strFolder; }
  void SetNewFolderName(const std::wstring& strName) { m_strNewFolderName = strName; }
  void SetFilePrefix(const std::wstring& strPrefix) { m_strFilePrefix = strPrefix; }

  DWORD GetNewFolderCreate() const { return m_dwNewFolderCreate; }
  void SetNewFolderCreate(DWORD dwValue) { m_dwNewFolderCreate = dwValue; }
  DWORD GetNewFolderNameSetting() const { return m_dwNewFolderNameSetting; }
  void SetNewFolderNameSetting(DWORD dwValue) { m_dwNewFolderNameSetting = dwValue; }
  DWORD GetVideoFolderCheck() const { return m_dwVideoFolderCheck; }
  void SetVideoFolderCheck(DWORD dwValue) { m_dwVideoFolderCheck = dwValue; }
  DWORD GetRecordMode() const { return m_dwRecordMode; }
  void SetRecordMode(DWORD dwValue) { m_dwRecordMode = dwValue; }
  DWORD GetPreviewSize() const { return m_dwPreviewSize; }
  void SetPreviewSize(DWORD dwValue) { m_dwPreviewSize = dwValue; }
  DWORD GetRecordFormat() const { return m_dwRecordFormat; }
  void SetRecordFormat(DWORD dwValue) { m_dwRecordFormat = dwValue; }
  int GetNextSerialNumber() const { return m_nNextSerialNumber; }
  void SetNextSerialNumber(int nValue) { m_nNextSerialNumber = nValue; }
  int GetSerialDigits() const { return m_nSerialDigits; }
  int GetFirstSerialNumber() const { return m_nFirstSerialNumber; }

  // A shell folder's path with a trailing backslash; empty when the shell cannot supply it.
  static std::wstring GetSpecialFolderPath(int nCsidl);
  // The Documents folder with a trailing backslash (the root of the system drive if the shell
  // has no Documents folder).
  std::wstring GetDefaultVideoFolder() const;

  // Folder and file naming (VideoFolderNaming.cpp).
  std::wstring GetVideoFolder();
  std::wstring MakeDateFolderName() const;
  std::wstring MakeFileName(int nSerialNumber);
  std::wstring GetNextFilePath();
  static int ParseSerialNumber(const std::wstring& strFileName, size_t nPrefixLength);
  BOOL FindNextSerialNumber();
  BOOL IsSerialNumberExhausted();
  static std::wstring GetFileSystemName(const std::wstring& strPath);

protected:
  // Today's local date.
  virtual SYSTEMTIME GetLocalDate() const;
  // The names of the files that match a search pattern, and the error that ended the search
  // (ERROR_NO_MORE_FILES after a complete search, ERROR_FILE_NOT_FOUND when nothing matched).
  virtual DWORD FindMatchingFiles(const std::wstring& strPattern, std::vector<std::wstring>* pNames) const;

private:
  std::wstring m_strRecordFolder;
  DWORD m_dwNewFolderCreate = 1;
  DWORD m_dwNewFolderNameSetting = 0;
  std::wstring m_strNewFolderName;
  std::wstring m_strFilePrefix;
  DWORD m_dwVideoFolderCheck = 1;
  DWORD m_dwRecordMode = 0;
  DWORD m_dwPreviewSize = 3;
  DWORD m_dwRecordFormat = 2;
  int m_nSerialDigits = 4;
  int m_nFirstSerialNumber = 1;
  int m_nNextSerialNumber = 1;
  // The last search saw a file with the last serial number: no automatic name is left.
  bool m_bSerialNumbersUsedUp = false;
};

// Appends a backslash unless the text is empty or already ends in one.
std::wstring WithTrailingBackslash(const std::wstring& strPath);
