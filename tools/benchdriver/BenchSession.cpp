#include "BenchSession.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "resource.h"

using namespace std::chrono_literals;

namespace bench {
namespace {

constexpr wchar_t kSettingsKey[] = L"SOFTWARE\\Tavin\\Plover1.0";

void SetNumber(HKEY hKey, const wchar_t* pszName, DWORD dwValue) {
  RegSetValueExW(hKey, pszName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwValue), sizeof(dwValue));
}

void SetText(HKEY hKey, const wchar_t* pszName, const std::wstring& strText) {
  RegSetValueExW(hKey, pszName, 0, REG_SZ, reinterpret_cast<const BYTE*>(strText.c_str()),
                 static_cast<DWORD>((strText.size() + 1) * sizeof(wchar_t)));
}

}  // namespace

bool MarkChannel::Mark(const std::string& strName) {
  const int n = ++m_nLast;
  std::printf("mark %d %s\n", n, strName.c_str());
  std::fflush(stdout);
  const std::wstring strAck = m_strWorkFolder + L"\\ack-" + std::to_wstring(n);
  return e2e::WaitUntil([&] { return GetFileAttributesW(strAck.c_str()) != INVALID_FILE_ATTRIBUTES; }, 30s);
}

BenchSession::BenchSession(const ProgramOptions& options) {
  WriteSettings(options);
  const std::wstring strBus = m_install.Path() + L"\\DVBus.ini";
  if (!options.bCamcorder) WritePrivateProfileStringW(L"Bus", L"camcorders", L"0", strBus.c_str());
  m_spProgram = std::make_unique<e2e::RunningProgram>(m_install.ProgramPath());
  m_hMain = m_spProgram->WaitForTopWindow(L"Plover", 60s);
}

BenchSession::~BenchSession() {
  if (m_hMain != nullptr) PostMessageW(m_hMain, WM_CLOSE, 0, 0);
  if (!m_spProgram->WaitForExit(30s)) m_spProgram->Terminate();
  m_spProgram.reset();
  RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
}

// Every value the program reads at start, so that none takes a default that asks the user.
void BenchSession::WriteSettings(const ProgramOptions& options) {
  RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
  HKEY hKey = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &hKey, nullptr) !=
      ERROR_SUCCESS)
    return;
  SetText(hKey, L"RecordFolder", options.strVideoFolder);
  SetNumber(hKey, L"NewFolderCreate", 0);
  SetNumber(hKey, L"NewFolderNameSetting", 0);
  SetText(hKey, L"NewFolderName", L"");
  SetText(hKey, L"FilePrefix", L"");
  SetNumber(hKey, L"VideoFolderCheck", 0);
  SetNumber(hKey, L"RecordMode", 0);
  SetNumber(hKey, L"PreviewSize", options.dwPreviewSize);
  SetNumber(hKey, L"RecordFormat", 2);
  RegCloseKey(hKey);
}

HWND BenchSession::Panel(int backgroundId) const {
  for (HWND hChild = FindWindowExW(m_hMain, nullptr, L"#32770", nullptr); hChild != nullptr;
       hChild = FindWindowExW(m_hMain, hChild, L"#32770", nullptr)) {
    if (GetDlgItem(hChild, backgroundId) != nullptr) return hChild;
  }
  return nullptr;
}

bool BenchSession::WaitForCamcorder() const {
  return e2e::WaitUntil([&] { return IsWindowVisible(GetDlgItem(m_hMain, IDC_MAIN_CAMCORDER_NAME)) != FALSE; }, 60s);
}

bool BenchSession::ShowTab(WPARAM key, int backgroundId) {
  Key(m_hMain, key);
  return e2e::WaitUntil([&] {
    HWND hPanel = Panel(backgroundId);
    return hPanel != nullptr && IsWindowVisible(hPanel);
  }, 20s);
}

bool BenchSession::ShowPlayTab() { return ShowTab(VK_F4, IDC_PLAY_BACKGROUND); }
bool BenchSession::ShowRecordTab() { return ShowTab(VK_F3, IDC_RECORD_BACKGROUND); }

void BenchSession::Key(HWND hWnd, WPARAM key) const {
  PostMessageW(hWnd, WM_KEYDOWN, key, 1);
  PostMessageW(hWnd, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001u));
}

void BenchSession::Command(HWND hPanel, int id) const {
  PostMessageW(hPanel, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
}

// The handles the process holds, from the system's handle table (one entry per handle of every
// process; the process is known by the low 16 bits of its id).
long BenchSession::HandleCount() const {
  struct HandleEntry {
    USHORT nProcessId;
    USHORT nCreatorBackTraceIndex;
    UCHAR nObjectType;
    UCHAR nAttributes;
    USHORT nHandle;
    PVOID pObject;
    ULONG nGrantedAccess;
  };
  using QuerySystemInformation = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
  constexpr ULONG kSystemHandleInformation = 16;
  const auto pfnQuery = reinterpret_cast<QuerySystemInformation>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
  if (pfnQuery == nullptr) return -1;
  std::vector<uint8_t> vecTable(1 << 20);
  for (;;) {
    ULONG nNeeded = 0;
    const LONG status = pfnQuery(kSystemHandleInformation, vecTable.data(), static_cast<ULONG>(vecTable.size()), &nNeeded);
    if (status >= 0) break;
    if (vecTable.size() >= (64u << 20)) return -1;
    vecTable.resize(std::max<size_t>(vecTable.size() * 2, nNeeded));
  }
  ULONG nEntries = 0;
  std::memcpy(&nEntries, vecTable.data(), sizeof(nEntries));
  const size_t nFirst = sizeof(ULONG_PTR);  // the count, padded to the entries' alignment
  const USHORT nProcess = static_cast<USHORT>(m_spProgram->ProcessId());
  long nCount = 0;
  for (ULONG n = 0; n < nEntries && nFirst + (n + 1) * sizeof(HandleEntry) <= vecTable.size(); ++n) {
    HandleEntry entry;
    std::memcpy(&entry, vecTable.data() + nFirst + n * sizeof(HandleEntry), sizeof(entry));
    if (entry.nProcessId == nProcess) ++nCount;
  }
  return nCount;
}

void BenchSession::PrintProbe(const char* pszWhen) const {
  std::printf("probe %s handles %ld\n", pszWhen, HandleCount());
  std::fflush(stdout);
}

}  // namespace bench
