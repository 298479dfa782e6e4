#include "core/DebugTrace.h"

#include <atomic>
#include <cstdarg>
#include <ctime>
#include <memory>
#include <mutex>

#include "core/DebugIniFile.h"
#include "core/DebugTraceTesting.h"
#include "core/TraceLogFile.h"
#include "core/TraceRecord.h"
#include "framework/Resources.h"

namespace {

constexpr DWORD kModulePathChars = 520;  // longest executable path taken for the ini file
constexpr DWORD kLogPathBytes = 260;     // longest executable path taken for the log file
constexpr size_t kBannerRuleLength = 78;  // '#' characters above and below the banner
constexpr size_t kThreadRuleLength = 63;  // '-' characters after "ThreadID[...]"
constexpr LONGLONG kNoWriterYet = -1;     // no thread has this id
constexpr int kFileOutAppend = 1;         // "FileOut" value for plain append; others commit

// Keeps the thread's last-error value across a scope.
class LastErrorKeeper {
public:
  LastErrorKeeper() : m_dwError(GetLastError()) {}
  ~LastErrorKeeper() { SetLastError(m_dwError); }
  LastErrorKeeper(const LastErrorKeeper&) = delete;
  LastErrorKeeper& operator=(const LastErrorKeeper&) = delete;
  DWORD GetError() const { return m_dwError; }

private:
  DWORD m_dwError;
};

// "dir\\name.exe" -> "dir\\name" + extension; the whole path gets the extension when its last
// component has no period.
template <typename Char>
std::basic_string<Char> ReplaceExtension(std::basic_string<Char> path, const Char* extension) {
  const size_t nDot = path.find_last_of(Char('.'));
  const size_t nSlash = path.find_last_of(Char('\\'));
  if (nDot != std::basic_string<Char>::npos && (nSlash == std::basic_string<Char>::npos || nDot > nSlash))
    path.erase(nDot);
  return path + extension;
}

std::wstring MakeIniPath() {
  wchar_t path[kModulePathChars] = {};
  const DWORD nChars = GetModuleFileNameW(framework::GetInstanceHandle(), path, kModulePathChars);
  if (nChars == 0 || nChars >= kModulePathChars) return std::wstring();
  return ReplaceExtension<wchar_t>(std::wstring(path, nChars), L".ini");
}

std::string MakeLogPath() {
  char path[kLogPathBytes] = {};
  const DWORD nBytes = GetModuleFileNameA(framework::GetInstanceHandle(), path, kLogPathBytes);
  if (nBytes == 0 || nBytes >= kLogPathBytes) return std::string();
  return ReplaceExtension<char>(std::string(path, nBytes), ".log");
}

// The source file's own name: the part after the last path separator. Paths written by a cross
// compiler use forward slashes, so both separators count.
const char* SourceFileName(const char* sourcePath) {
  if (sourcePath == nullptr) return "";
  const char* name = sourcePath;
  for (const char* p = sourcePath; *p != '\0'; ++p) {
    if (*p == '\\' || *p == '/') name = p + 1;
  }
  return name;
}

// The process-wide ini reader.
class DebugIniReader {
public:
  std::wstring GetString(const wchar_t* key) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_spFile) m_spFile = std::make_unique<DebugIniFile>(MakeIniPath());
    if (m_spFile->GetPath().empty()) return std::wstring();
    return m_spFile->GetString(key);
  }

  void Reset() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_spFile.reset();
  }

private:
  std::mutex m_mutex;
  std::unique_ptr<DebugIniFile> m_spFile;
};

// The process-wide objects are never destroyed, so code that traces while the process exits
// (destructors of other static objects) still finds them.
DebugIniReader& IniReader() {
  static DebugIniReader* s_pReader = new DebugIniReader;
  return *s_pReader;
}

// The process-wide trace state: latched switches, last writer and log file, under one lock so
// that records never interleave.
class TraceState {
public:
  // True once the switches are latched and both are off: a call can return at once.
  bool IsSilent() const { return m_bSilent.load(std::memory_order_acquire); }

  void Emit(const char* format, va_list args) {
    std::lock_guard<std::mutex> lock(m_mutex);
    LatchSwitches();
    if (m_nTraceOut == 0 && m_nFileOut == 0) return;

    TraceRecord record;
    const LONGLONG llThread = static_cast<LONGLONG>(GetCurrentThreadId());
    if (m_llLastWriter == kNoWriterYet) AppendBanner(record);
    if (llThread != m_llLastWriter) {
      record.Append("ThreadID[%d]", static_cast<int>(llThread));
      record.AppendRepeated('-', kThreadRuleLength);
      record.Append("\n");
    }
    record.AppendV(format, args);
    record.EndLineIfCut();

    if (m_nTraceOut != 0) OutputDebugStringA(record.GetText());
    if (m_nFileOut != 0) {
      if (!m_spLog) m_spLog = std::make_unique<TraceLogFile>(MakeLogPath());
      if (!m_spLog->GetPath().empty()) m_spLog->Append(record.GetText(), m_nFileOut != kFileOutAppend);
    }
    m_llLastWriter = llThread;
  }

  void Reset() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bSwitchesRead = false;
    m_bSilent.store(false, std::memory_order_release);
    m_nTraceOut = 0;
    m_nFileOut = 0;
    m_llLastWriter = kNoWriterYet;
    m_spLog.reset();
  }

private:
  void LatchSwitches() {
    if (m_bSwitchesRead) return;
    const std::wstring strTraceOut = GetDebugIniString(L"TraceOut");
    if (!strTraceOut.empty()) m_nTraceOut = ParseDebugIniInt(strTraceOut);
    const std::wstring strFileOut = GetDebugIniString(L"FileOut");
    if (!strFileOut.empty()) m_nFileOut = ParseDebugIniInt(strFileOut);
    m_bSwitchesRead = true;
    m_bSilent.store(m_nTraceOut == 0 && m_nFileOut == 0, std::memory_order_release);
  }

  static void AppendBanner(TraceRecord& record) {
    const time_t now = time(nullptr);
    const char* when = ctime(&now);  // ends in its own line feed
    record.AppendRepeated('#', kBannerRuleLength);
    record.Append("\n# Start Debug - %s", when ? when : "\n");
    record.AppendRepeated('#', kBannerRuleLength);
    record.Append("\n");
  }

  std::mutex m_mutex;
  std::atomic<bool> m_bSilent{false};
  bool m_bSwitchesRead = false;
  int m_nTraceOut = 0;
  int m_nFileOut = 0;
  LONGLONG m_llLastWriter = kNoWriterYet;
  std::unique_ptr<TraceLogFile> m_spLog;
};

TraceState& State() {
  static TraceState* s_pState = new TraceState;
  return *s_pState;
}

void EmitV(const char* format, va_list args) {
  if (State().IsSilent()) return;
  LastErrorKeeper keeper;
  State().Emit(format, args);
}

void Emit(const char* format, ...) PLOVER_PRINTF_LIKE(1, 2);
void Emit(const char* format, ...) {
  va_list args;
  va_start(args, format);
  EmitV(format, args);
  va_end(args);
}

BOOL ReportFailure(const char* sourcePath, int nLine, const char* format, ...) PLOVER_PRINTF_LIKE(3, 4);

// Formats the text of a failed check (at most 1024 bytes) and writes it as one record.
BOOL ReportFailure(const char* sourcePath, int nLine, const char* format, ...) {
  LastErrorKeeper keeper;
  if (State().IsSilent()) return TRUE;
  TraceRecord text(TraceRecord::kErrorTextBytes);
  va_list args;
  va_start(args, format);
  text.AppendV(format, args);
  va_end(args);
  text.EndLineIfCut();
  TraceText(sourcePath, nLine, text.GetText());
  return TRUE;
}

}  // namespace

std::wstring GetDebugIniString(const wchar_t* key) {
  LastErrorKeeper keeper;
  return IniReader().GetString(key);
}

int GetDebugIniInt(const wchar_t* key, int nDefault) {
  const std::wstring strValue = GetDebugIniString(key);
  return strValue.empty() ? nDefault : ParseDebugIniInt(strValue);
}

double GetDebugIniDouble(const wchar_t* key, double dDefault) {
  LastErrorKeeper keeper;
  const std::wstring strValue = GetDebugIniString(key);
  return strValue.empty() ? dDefault : ParseDebugIniDouble(strValue);
}

void TraceOutput(const char* format, ...) {
  va_list args;
  va_start(args, format);
  EmitV(format, args);
  va_end(args);
}

void TraceText(const char* sourcePath, int nLine, const char* text) {
  Emit("%s(%d): %s", SourceFileName(sourcePath), nLine, text ? text : "");
}

namespace trace_detail {

BOOL ReportFailedHr(const char* sourcePath, int nLine, HRESULT hr, const char* callName) {
  const DWORD dwError = GetLastError();
  return ReportFailure(sourcePath, nLine, "*error* %s() failed, lasterr = 0x%08x(%d), hr = 0x%08x(%d)\n",
                       callName ? callName : "", static_cast<unsigned>(dwError), static_cast<int>(dwError),
                       static_cast<unsigned>(hr), static_cast<int>(hr));
}

BOOL ReportFailedBool(const char* sourcePath, int nLine, const char* callName) {
  const DWORD dwError = GetLastError();
  return ReportFailure(sourcePath, nLine, "*error* %s() failed, lasterr = 0x%08x(%d)\n", callName ? callName : "",
                       static_cast<unsigned>(dwError), static_cast<int>(dwError));
}

BOOL ReportNull(const char* sourcePath, int nLine, const char* name) {
  const DWORD dwError = GetLastError();
  return ReportFailure(sourcePath, nLine, "*error* %s is Null, lasterr = 0x%08x(%d)\n", name ? name : "",
                       static_cast<unsigned>(dwError), static_cast<int>(dwError));
}

}  // namespace trace_detail

void ResetDebugTraceForTesting() {
  State().Reset();
  IniReader().Reset();
}
