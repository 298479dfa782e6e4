#include "AviTestFiles.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include "core/DebugTraceTesting.h"

namespace avitest {

namespace {

std::uint8_t Bcd(int value) { return static_cast<std::uint8_t>(((value / 10) << 4) | (value % 10)); }

std::wstring BesideProgram(const wchar_t* pszExtension) {
  wchar_t path[MAX_PATH] = {};
  const DWORD nLength = GetModuleFileNameW(nullptr, path, MAX_PATH);
  const std::wstring strPath(path, nLength);
  return strPath.substr(0, strPath.find_last_of(L'.')) + pszExtension;
}

// Appends a chunk header and returns its position; EndChunk patches the size.
size_t BeginChunk(Bytes& bytes, std::uint32_t fcc) {
  const size_t nPos = bytes.size();
  bytes.resize(nPos + 8);
  PutLe32(bytes, nPos, fcc);
  return nPos;
}

size_t BeginList(Bytes& bytes, std::uint32_t fcc, std::uint32_t fccType) {
  const size_t nPos = BeginChunk(bytes, fcc);
  bytes.resize(nPos + 12);
  PutLe32(bytes, nPos + 8, fccType);
  return nPos;
}

void EndChunk(Bytes& bytes, size_t nPos) {
  PutLe32(bytes, nPos + 4, static_cast<std::uint32_t>(bytes.size() - nPos - 8));
  if (bytes.size() % 2 != 0) bytes.push_back(0);  // pad byte, not counted in the size
}

size_t AddChunk(Bytes& bytes, std::uint32_t fcc, size_t nDataSize) {
  const size_t nPos = BeginChunk(bytes, fcc);
  bytes.resize(bytes.size() + nDataSize);
  EndChunk(bytes, nPos);
  return nPos;
}

}  // namespace

void PutLe16(Bytes& bytes, size_t nPos, std::uint16_t value) {
  bytes[nPos] = static_cast<std::uint8_t>(value);
  bytes[nPos + 1] = static_cast<std::uint8_t>(value >> 8);
}

void PutLe32(Bytes& bytes, size_t nPos, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[nPos + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void PutLe64(Bytes& bytes, size_t nPos, std::uint64_t value) {
  for (int i = 0; i < 8; ++i) bytes[nPos + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint32_t GetLe32(const Bytes& bytes, size_t nPos) {
  return static_cast<std::uint32_t>(bytes[nPos]) | (static_cast<std::uint32_t>(bytes[nPos + 1]) << 8) |
         (static_cast<std::uint32_t>(bytes[nPos + 2]) << 16) | (static_cast<std::uint32_t>(bytes[nPos + 3]) << 24);
}

Bytes MakeDvFrame(const DvHead& head, size_t nSize) {
  Bytes frame(std::max<size_t>(nSize, 480), 0x55);
  if (head.bTimecodePack) {
    frame[110] = 0x13;
    if (head.bFramesUnknown) {
      frame[111] = 0xFF;
    } else {
      frame[111] = Bcd(head.timecode.nFrames);
      frame[112] = Bcd(head.timecode.nSeconds);
      frame[113] = Bcd(head.timecode.nMinutes);
      frame[114] = Bcd(head.timecode.nHours);
    }
  }
  if (head.bVauxControlPack) {
    frame[453] = 0x61;
    frame[455] = static_cast<std::uint8_t>(0x38 | head.nDisp);   // other bits set, to be masked
    frame[456] = static_cast<std::uint8_t>(0xC8 | head.nBcsys);  // likewise
  }
  if (head.bFrameModePack) {
    frame[468] = 0x64;
    frame[470] = head.nFrameModeByte;
  }
  frame.resize(nSize);
  return frame;
}

DvHead WideHead() {
  DvHead head;
  head.nDisp = 2;
  return head;
}

std::vector<HandFrame> MakeFrames(size_t nCount, const std::vector<size_t>& drops, size_t nSize) {
  std::vector<HandFrame> frames(nCount);
  const Bytes data = MakeDvFrame(DvHead{}, nSize);
  for (size_t i = 0; i < nCount; ++i) {
    if (std::find(drops.begin(), drops.end(), i) != drops.end()) {
      frames[i].bDropped = true;
    } else {
      frames[i].data = data;
    }
  }
  return frames;
}

BuiltAvi BuildAvi(const HandAvi& spec) {
  BuiltAvi built;
  Bytes& b = built.bytes;
  const size_t nRiff = BeginList(b, FourCC("RIFF"), FourCC("AVI "));
  const size_t nHdrl = BeginList(b, FourCC("LIST"), FourCC("hdrl"));
  const size_t nAvih = AddChunk(b, FourCC("avih"), 56);
  PutLe32(b, nAvih + 8 + 24, spec.bAudioStream ? 2 : 1);  // dwStreams

  const size_t nStrl = BeginList(b, FourCC("LIST"), FourCC("strl"));
  built.nStrhPos = AddChunk(b, FourCC("strh"), 56);
  PutLe32(b, built.nStrhPos + 8, spec.fccType);
  PutLe32(b, built.nStrhPos + 12, spec.fccHandler);
  PutLe32(b, built.nStrhPos + 28, spec.dwScale);
  PutLe32(b, built.nStrhPos + 32, spec.dwRate);
  const std::uint32_t dwLength =
      spec.nLength >= 0 ? static_cast<std::uint32_t>(spec.nLength) : static_cast<std::uint32_t>(spec.frames.size());
  PutLe32(b, built.nStrhPos + 40, dwLength);
  AddChunk(b, FourCC("strf"), 32);
  if (!spec.strExtraChunk.empty()) {
    const size_t nStrn = BeginChunk(b, FourCC("strn"));
    b.insert(b.end(), spec.strExtraChunk.begin(), spec.strExtraChunk.end());
    EndChunk(b, nStrn);
  }
  built.nIndxPos = AddChunk(b, FourCC("indx"), 24 + 16 * spec.nSuperIndexRoom);
  PutLe16(b, built.nIndxPos + 8, 4);
  PutLe32(b, built.nIndxPos + 16, FourCC("00dc"));
  EndChunk(b, nStrl);

  if (spec.bAudioStream) {
    const size_t nAudioStrl = BeginList(b, FourCC("LIST"), FourCC("strl"));
    const size_t nStrh = AddChunk(b, FourCC("strh"), 56);
    PutLe32(b, nStrh + 8, FourCC("auds"));
    PutLe32(b, nStrh + 28, 1);
    PutLe32(b, nStrh + 32, 48000);
    PutLe32(b, nStrh + 40, 48000 * 10);
    AddChunk(b, FourCC("strf"), 18);
    AddChunk(b, FourCC("indx"), 24 + 16 * spec.nSuperIndexRoom);
    EndChunk(b, nAudioStrl);
  }
  EndChunk(b, nHdrl);

  const size_t nMovi = BeginList(b, FourCC("LIST"), FourCC("movi"));
  const size_t nPerIndex = spec.nFramesPerIndex == 0 ? std::max<size_t>(spec.frames.size(), 1) : spec.nFramesPerIndex;
  built.framePositions.assign(spec.frames.size(), 0);
  for (size_t nFirst = 0; nFirst < spec.frames.size(); nFirst += nPerIndex) {
    const size_t nCount = std::min(nPerIndex, spec.frames.size() - nFirst);
    const size_t nIx = AddChunk(b, FourCC("ix00"), 24 + 8 * nCount);
    PutLe16(b, nIx + 8, 2);
    b[nIx + 11] = 1;  // index of chunks
    PutLe32(b, nIx + 12, static_cast<std::uint32_t>(nCount));
    PutLe32(b, nIx + 16, FourCC("00dc"));
    PutLe64(b, nIx + 20, nMovi);
    built.ixPositions.push_back(nIx);
    for (size_t i = 0; i < nCount; ++i) {
      const HandFrame& frame = spec.frames[nFirst + i];
      if (frame.bDropped) continue;
      const size_t nChunk = BeginChunk(b, FourCC("00dc"));
      b.insert(b.end(), frame.data.begin(), frame.data.end());
      EndChunk(b, nChunk);
      built.framePositions[nFirst + i] = nChunk + 8;
      PutLe32(b, nIx + 32 + 8 * i, static_cast<std::uint32_t>(nChunk + 8 - nMovi));
      PutLe32(b, nIx + 36 + 8 * i, static_cast<std::uint32_t>(frame.data.size()));
    }
  }
  EndChunk(b, nMovi);
  EndChunk(b, nRiff);

  const size_t nSuper = std::min<size_t>(built.ixPositions.size(), spec.nSuperIndexRoom);
  PutLe32(b, built.nIndxPos + 12, static_cast<std::uint32_t>(nSuper));
  for (size_t i = 0; i < nSuper; ++i) {
    const size_t nEntry = built.nIndxPos + 32 + 16 * i;
    PutLe64(b, nEntry, built.ixPositions[i]);
    PutLe32(b, nEntry + 8, GetLe32(b, built.ixPositions[i] + 4) + 8);
    PutLe32(b, nEntry + 12, GetLe32(b, built.ixPositions[i] + 12));
  }
  return built;
}

TempFile::TempFile(const std::wstring& strName) {
  static int s_nFiles = 0;
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  m_strPath = std::wstring(temp) + L"plover-avi-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
              std::to_wstring(++s_nFiles) + L"-" + strName;
}

TempFile::TempFile(const std::wstring& strName, const Bytes& bytes) : TempFile(strName) { Write(bytes); }

TempFile::~TempFile() { DeleteFileW(m_strPath.c_str()); }

void TempFile::Write(const Bytes& bytes) const {
  HANDLE hFile = CreateFileW(m_strPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (hFile == INVALID_HANDLE_VALUE) return;
  size_t nDone = 0;
  while (nDone < bytes.size()) {
    const DWORD dwChunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - nDone, 1 << 24));
    DWORD dwWritten = 0;
    if (!WriteFile(hFile, bytes.data() + nDone, dwChunk, &dwWritten, nullptr) || dwWritten == 0) break;
    nDone += dwWritten;
  }
  CloseHandle(hFile);
}

void TempFile::SetLastWriteTime(const FILETIME& ft) const {
  HANDLE hFile = CreateFileW(m_strPath.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
  if (hFile == INVALID_HANDLE_VALUE) return;
  SetFileTime(hFile, nullptr, nullptr, &ft);
  CloseHandle(hFile);
}

void TempFile::WriteAt(ULONGLONG qwPosition, const Bytes& bytes) const {
  HANDLE hFile = CreateFileW(m_strPath.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (hFile == INVALID_HANDLE_VALUE) return;
  LARGE_INTEGER position = {};
  position.QuadPart = static_cast<LONGLONG>(qwPosition);
  DWORD dwWritten = 0;
  if (SetFilePointerEx(hFile, position, nullptr, FILE_BEGIN)) {
    WriteFile(hFile, bytes.data(), static_cast<DWORD>(bytes.size()), &dwWritten, nullptr);
  }
  CloseHandle(hFile);
}

void TempFile::SetSize(ULONGLONG qwSize) const {
  HANDLE hFile = CreateFileW(m_strPath.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (hFile == INVALID_HANDLE_VALUE) return;
  LARGE_INTEGER size = {};
  size.QuadPart = static_cast<LONGLONG>(qwSize);
  if (SetFilePointerEx(hFile, size, nullptr, FILE_BEGIN)) SetEndOfFile(hFile);
  CloseHandle(hFile);
}

TraceLogCapture::TraceLogCapture() : m_strIni(BesideProgram(L".ini")), m_strLog(BesideProgram(L".log")) {
  DeleteFileW(m_strLog.c_str());
  WritePrivateProfileStringW(L"Debug", L"FileOut", L"1", m_strIni.c_str());
  ResetDebugTraceForTesting();
}

TraceLogCapture::~TraceLogCapture() {
  DeleteFileW(m_strIni.c_str());
  ResetDebugTraceForTesting();
  DeleteFileW(m_strLog.c_str());
}

std::string TraceLogCapture::ReadLog() const {
  std::ifstream in(m_strLog.c_str(), std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace avitest
