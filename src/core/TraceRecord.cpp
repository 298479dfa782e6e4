#include "core/TraceRecord.h"

#include <windows.h>

#include <cstdio>

namespace {

constexpr unsigned char kUtf8ContinuationMask = 0xC0;  // top two bits of a UTF-8 byte
constexpr unsigned char kUtf8ContinuationBits = 0x80;  // 10xxxxxx: inside a character

bool IsUtf8Continuation(char ch) {
  return (static_cast<unsigned char>(ch) & kUtf8ContinuationMask) == kUtf8ContinuationBits;
}

// Bytes of the UTF-8 sequence that starts with this lead byte.
size_t Utf8SequenceBytes(char lead) {
  const unsigned char byte = static_cast<unsigned char>(lead);
  if (byte >= 0xF0) return 4;  // 11110xxx
  if (byte >= 0xE0) return 3;  // 1110xxxx
  if (byte >= 0xC0) return 2;  // 110xxxxx
  return 1;
}

}  // namespace

size_t LastCharBoundary(const char* text, size_t nBytes) {
  if (nBytes == 0) return 0;
  if (GetACP() == CP_UTF8) {
    size_t nLead = nBytes - 1;
    while (nLead > 0 && IsUtf8Continuation(text[nLead])) --nLead;
    return nLead + Utf8SequenceBytes(text[nLead]) > nBytes ? nLead : nBytes;
  }
  // Double-byte code pages: walk whole characters from the start, since a trail byte can have
  // the value of a lead byte.
  size_t nPos = 0;
  while (nPos < nBytes) {
    const size_t nCharBytes = IsDBCSLeadByte(static_cast<BYTE>(text[nPos])) ? 2 : 1;
    if (nPos + nCharBytes > nBytes) break;
    nPos += nCharBytes;
  }
  return nPos;
}

TraceRecord::TraceRecord(size_t nCapacityBytes) : m_vecText(nCapacityBytes > 0 ? nCapacityBytes : 1, '\0') {}

void TraceRecord::CutAt(size_t nMaxLength) {
  m_bCut = true;
  m_nLength = LastCharBoundary(m_vecText.data(), nMaxLength);
  m_vecText[m_nLength] = '\0';
}

void TraceRecord::AppendV(const char* format, va_list args) {
  const size_t nRoom = m_vecText.size() - m_nLength;
  if (nRoom <= 1) {
    if (format != nullptr && *format != '\0') m_bCut = true;
    return;
  }
  const int nWanted = std::vsnprintf(m_vecText.data() + m_nLength, nRoom, format, args);
  if (nWanted < 0) {
    m_vecText[m_nLength] = '\0';
    return;
  }
  if (static_cast<size_t>(nWanted) < nRoom) {
    m_nLength += static_cast<size_t>(nWanted);
  } else {
    CutAt(m_vecText.size() - 1);
  }
}

void TraceRecord::Append(const char* format, ...) {
  va_list args;
  va_start(args, format);
  AppendV(format, args);
  va_end(args);
}

void TraceRecord::AppendRepeated(char ch, size_t nCount) {
  const size_t nRoom = m_vecText.size() - 1 - m_nLength;
  const size_t nTake = nCount < nRoom ? nCount : nRoom;
  if (nTake < nCount) m_bCut = true;
  for (size_t i = 0; i < nTake; ++i) m_vecText[m_nLength++] = ch;
  m_vecText[m_nLength] = '\0';
}

void TraceRecord::EndLineIfCut() {
  if (!m_bCut || m_vecText.size() < 2 || (m_nLength > 0 && m_vecText[m_nLength - 1] == '\n')) return;
  if (m_nLength + 1 >= m_vecText.size()) CutAt(m_vecText.size() - 2);
  m_vecText[m_nLength++] = '\n';
  m_vecText[m_nLength] = '\0';
}
