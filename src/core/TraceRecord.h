// Text of one trace record in a buffer of fixed size.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <vector>

#include "core/DebugTrace.h"

// Pieces are appended printf-style; text that does not fit is cut at the last whole character of
// the ANSI code page, so a cut never leaves half of a double-byte character behind.
class TraceRecord {
public:
  static constexpr size_t kRecordBytes = 4096;  // one record, terminator included
  static constexpr size_t kErrorTextBytes = 1024;  // text of one failed check, terminator included

  explicit TraceRecord(size_t nCapacityBytes = kRecordBytes);

  void Append(const char* format, ...) PLOVER_PRINTF_LIKE(2, 3);
  void AppendV(const char* format, va_list args);
  void AppendRepeated(char ch, size_t nCount);

  // After a cut, makes the text end in a line feed (in place of its last character if need be),
  // so the next record starts on a line of its own.
  void EndLineIfCut();

  const char* GetText() const { return m_vecText.data(); }
  size_t GetLength() const { return m_nLength; }
  bool WasCut() const { return m_bCut; }

private:
  // Shortens the text to at most nMaxLength bytes, ending on a character boundary.
  void CutAt(size_t nMaxLength);

  std::vector<char> m_vecText;
  size_t m_nLength = 0;
  bool m_bCut = false;
};

// The length of the longest prefix of the first nBytes bytes of text that holds only whole
// characters of the ANSI code page (a double-byte character or UTF-8 sequence cut at nBytes is
// left out).
size_t LastCharBoundary(const char* text, size_t nBytes);
