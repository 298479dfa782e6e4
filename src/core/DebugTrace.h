// Diagnostic trace log and the debug ini switches beside the executable.
//
// Every platform call that can fail is checked with one of the TRACE_FAILED_* macros: a failure
// writes one "*error*" record naming the source file, the line and the call, and the check yields
// TRUE so the caller can release what it holds and return at once. Output goes nowhere unless the
// debug ini file ("<program>.ini", section "Debug") turns on "TraceOut" (debugger output) or
// "FileOut" (the log file "<program>.log" beside the program). All functions are thread-safe and
// leave the thread's last-error value as they found it.
#pragma once

#include <windows.h>

#include <string>

#if defined(__GNUC__)
#define PLOVER_PRINTF_LIKE(fmt, args) __attribute__((format(gnu_printf, fmt, args)))
#else
#define PLOVER_PRINTF_LIKE(fmt, args)
#endif

// Debug ini readers (section "Debug"; keys are case-insensitive; any thread).
// The empty text means that the key is missing or empty.
std::wstring GetDebugIniString(const wchar_t* key);
// The default when the value is missing or empty, else its leading decimal number (0 for text).
int GetDebugIniInt(const wchar_t* key, int nDefault);
double GetDebugIniDouble(const wchar_t* key, double dDefault);

// One free-form trace record, printf-style. Records longer than 4096 bytes are cut.
void TraceOutput(const char* format, ...) PLOVER_PRINTF_LIKE(1, 2);

// One record "<source file name>(<line>): <text>".
void TraceText(const char* sourcePath, int nLine, const char* text);

namespace trace_detail {
BOOL ReportFailedHr(const char* sourcePath, int nLine, HRESULT hr, const char* callName);
BOOL ReportFailedBool(const char* sourcePath, int nLine, const char* callName);
BOOL ReportNull(const char* sourcePath, int nLine, const char* name);
}  // namespace trace_detail

// Error checks: TRUE (and one record) when the value shows a failure, FALSE otherwise.
// A success costs one comparison.
inline BOOL TraceFailedHr(const char* sourcePath, int nLine, HRESULT hr, const char* callName) {
  if (hr >= 0) return FALSE;  // S_FALSE and every other success code pass
  return trace_detail::ReportFailedHr(sourcePath, nLine, hr, callName);
}

inline BOOL TraceFailedBool(const char* sourcePath, int nLine, BOOL bOk, const char* callName) {
  if (bOk) return FALSE;
  return trace_detail::ReportFailedBool(sourcePath, nLine, callName);
}

inline BOOL TraceNull(const char* sourcePath, int nLine, const void* pValue, const char* name) {
  if (pValue != nullptr) return FALSE;
  return trace_detail::ReportNull(sourcePath, nLine, name);
}

#define TRACE_TEXT(text) TraceText(__FILE__, __LINE__, (text))
#define TRACE_FAILED_HR(hr, callName) TraceFailedHr(__FILE__, __LINE__, (hr), (callName))
#define TRACE_FAILED_BOOL(ok, callName) TraceFailedBool(__FILE__, __LINE__, (ok), (callName))
#define TRACE_NULL(value, name) TraceNull(__FILE__, __LINE__, (value), (name))
