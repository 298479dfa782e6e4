// Redirects this process's HKEY_CURRENT_USER to a throw-away key for the life of the object, so
// tests never touch the user's real settings and may run beside the program and other tests.
#pragma once

#include <windows.h>

#include <string>

class RegistryOverride {
public:
  RegistryOverride() {
    static LONG s_nCounter = 0;
    m_strPath = L"Software\\PloverTests\\" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(InterlockedIncrement(&s_nCounter));
    if (RegCreateKeyExW(HKEY_CURRENT_USER, m_strPath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        nullptr, &m_hKey, nullptr) == ERROR_SUCCESS)
      m_bActive = RegOverridePredefKey(HKEY_CURRENT_USER, m_hKey) == ERROR_SUCCESS;
  }
  ~RegistryOverride() {
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    if (m_hKey) RegCloseKey(m_hKey);
    RegDeleteTreeW(HKEY_CURRENT_USER, m_strPath.c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\PloverTests");  // only when no other test holds a key there
  }
  RegistryOverride(const RegistryOverride&) = delete;
  RegistryOverride& operator=(const RegistryOverride&) = delete;

  bool IsActive() const { return m_bActive; }

private:
  std::wstring m_strPath;
  HKEY m_hKey = nullptr;
  bool m_bActive = false;
};
