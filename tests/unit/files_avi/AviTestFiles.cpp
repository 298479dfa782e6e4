#include "AviTestFiles.h"

#include <algorithm>

namespace avitest {

namespace {

std::uint8_t Bcd(int value) { return static_cast<std::uint8_t>(((value / 10) << 4) | (value % 10)); }

// Chunks are appended with a zero size that EndChunk fills in, adding the pad byte.
size_t BeginChunk(Bytes& b, std::uint32_t fcc, size_t nData = 0) {
  const size_t nPos = b.size();
  b.resize(nPos + 8 + nData);
  PutLe32(b, nPos, fcc);
  return nPos;
}

void EndChunk(Bytes& b, size_t nPos) {
  PutLe32(b, nPos + 4, static_cast<std::uint32_t>(b.size() - nPos - 8));
  if (b.size() % 2 != 0) b.push_back(0);
}

size_t BeginList(Bytes& b, std::uint32_t fcc, std::uint32_t fccType) {
  const size_t nPos = BeginChunk(b, fcc, 4);
  PutLe32(b, nPos + 8, fccType);
  return nPos;
}

size_t AddChunk(Bytes& b, std::uint32_t fcc, size_t nData) {
  const size_t nPos = BeginChunk(b, fcc, nData);
  EndChunk(b, nPos);
  return nPos;
}

}  // namespace

void PutLe32(Bytes& bytes, size_t nPos, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[nPos + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void PutLe64(Bytes& bytes, size_t nPos, std::uint64_t value) {
  PutLe32(bytes, nPos, static_cast<std::uint32_t>(value));
  PutLe32(bytes, nPos + 4, static_cast<std::uint32_t>(value >> 32));
}

DvHead WideHead() {
  DvHead head;
  head.nDisp = 2;
  return head;
}

Bytes MakeDvFrame(const DvHead& head, size_t nSize) {
  Bytes frame(std::max<size_t>(nSize, 480), 0x55);
  if (head.bPacks) {
    const Timecode& tc = head.timecode;
    const std::uint8_t tcBytes[] = {0x13, tc.IsKnown() ? Bcd(tc.nFrames) : std::uint8_t{0xFF}, Bcd(tc.nSeconds),
                                    Bcd(tc.nMinutes), Bcd(tc.nHours)};
    std::copy(std::begin(tcBytes), std::end(tcBytes), frame.begin() + 110);
    frame[453] = 0x61;
    frame[455] = static_cast<std::uint8_t>(0x38 | head.nDisp);   // bits beside the fields must be masked
    frame[456] = static_cast<std::uint8_t>(0xC8 | head.nBcsys);
    frame[468] = 0x64;
    frame[470] = head.nFrameModeByte;
  }
  frame.resize(nSize);
  return frame;
}

std::vector<Bytes> MakeFrames(size_t nCount, const std::vector<size_t>& drops, size_t nSize) {
  std::vector<Bytes> frames(nCount, MakeDvFrame(DvHead{}, nSize));
  for (size_t n : drops) frames[n].clear();
  return frames;
}

BuiltAvi BuildAvi(const HandAvi& layout) {
  BuiltAvi built;
  Bytes& b = built.bytes;
  const size_t nRiff = BeginList(b, FourCC("RIFF"), FourCC("AVI "));
  const size_t nHdrl = BeginList(b, FourCC("LIST"), FourCC("hdrl"));
  AddChunk(b, FourCC("avih"), 56);
  const size_t nStrl = BeginList(b, FourCC("LIST"), FourCC("strl"));
  built.nStrhPos = AddChunk(b, FourCC("strh"), 56);
  const std::uint32_t strh[] = {layout.fccType, layout.fccHandler, 0, 0, 0, layout.dwScale, layout.dwRate, 0,
                                layout.nLength >= 0 ? static_cast<std::uint32_t>(layout.nLength)
                                                  : static_cast<std::uint32_t>(layout.frames.size())};
  for (size_t i = 0; i < std::size(strh); ++i) PutLe32(b, built.nStrhPos + 8 + 4 * i, strh[i]);
  AddChunk(b, FourCC("strf"), 32);
  if (!layout.strName.empty()) {
    const size_t nStrn = BeginChunk(b, FourCC("strn"));
    b.insert(b.end(), layout.strName.begin(), layout.strName.end());
    EndChunk(b, nStrn);
  }
  constexpr size_t kSuperRoom = 8;
  built.nIndxPos = AddChunk(b, FourCC("indx"), 24 + 16 * kSuperRoom);
  EndChunk(b, nStrl);
  if (layout.bAudioStream) {
    const size_t nAudio = BeginList(b, FourCC("LIST"), FourCC("strl"));
    const size_t nStrh = AddChunk(b, FourCC("strh"), 56);
    PutLe32(b, nStrh + 8, FourCC("auds"));
    PutLe32(b, nStrh + 40, 480000);
    AddChunk(b, FourCC("indx"), 24);
    EndChunk(b, nAudio);
  }
  EndChunk(b, nHdrl);

  const size_t nMovi = BeginList(b, FourCC("LIST"), FourCC("movi"));
  const size_t nPerIndex = layout.nFramesPerIndex != 0 ? layout.nFramesPerIndex : std::max<size_t>(layout.frames.size(), 1);
  built.framePositions.assign(layout.frames.size(), 0);
  for (size_t nFirst = 0; nFirst < layout.frames.size(); nFirst += nPerIndex) {
    const size_t nCount = std::min(nPerIndex, layout.frames.size() - nFirst);
    const size_t nIx = AddChunk(b, FourCC("ix00"), 24 + 8 * nCount);
    PutLe32(b, nIx + 12, static_cast<std::uint32_t>(nCount));
    PutLe64(b, nIx + 20, nMovi);
    built.ixPositions.push_back(nIx);
    for (size_t i = 0; i < nCount; ++i) {
      const Bytes& frame = layout.frames[nFirst + i];
      if (frame.empty()) continue;
      const size_t nChunk = BeginChunk(b, FourCC("00dc"));
      b.insert(b.end(), frame.begin(), frame.end());
      EndChunk(b, nChunk);
      built.framePositions[nFirst + i] = nChunk + 8;
      PutLe32(b, nIx + 32 + 8 * i, static_cast<std::uint32_t>(nChunk + 8 - nMovi));
      PutLe32(b, nIx + 36 + 8 * i, static_cast<std::uint32_t>(frame.size()));
    }
  }
  EndChunk(b, nMovi);
  EndChunk(b, nRiff);
  PutLe32(b, built.nIndxPos + 12, static_cast<std::uint32_t>(std::min(built.ixPositions.size(), kSuperRoom)));
  for (size_t i = 0; i < built.ixPositions.size() && i < kSuperRoom; ++i) {
    PutLe64(b, built.nIndxPos + 32 + 16 * i, built.ixPositions[i]);
  }
  return built;
}

TempFile::TempFile(const std::wstring& strName, const Bytes& bytes) {
  static int s_nFiles = 0;
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  m_strPath = std::wstring(temp) + L"plover-avi-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
              std::to_wstring(++s_nFiles) + L"-" + strName;
  if (!bytes.empty()) Write(bytes);
}

HANDLE TempFile::OpenForWriting(DWORD dwDisposition) const {
  return CreateFileW(m_strPath.c_str(), GENERIC_WRITE, 0, nullptr, dwDisposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

void TempFile::Write(const Bytes& bytes) const {
  HANDLE hFile = OpenForWriting(CREATE_ALWAYS);
  DWORD dwWritten = 0;
  WriteFile(hFile, bytes.data(), static_cast<DWORD>(bytes.size()), &dwWritten, nullptr);
  CloseHandle(hFile);
}

void TempFile::WriteAt(ULONGLONG qwPosition, const Bytes& bytes) const {
  HANDLE hFile = OpenForWriting(OPEN_EXISTING);
  LARGE_INTEGER position = {};
  position.QuadPart = static_cast<LONGLONG>(qwPosition);
  DWORD dwWritten = 0;
  if (SetFilePointerEx(hFile, position, nullptr, FILE_BEGIN)) {
    WriteFile(hFile, bytes.data(), static_cast<DWORD>(bytes.size()), &dwWritten, nullptr);
  }
  CloseHandle(hFile);
}

void TempFile::SetLastWriteTime(const FILETIME& ft) const {
  HANDLE hFile = OpenForWriting(OPEN_EXISTING);
  SetFileTime(hFile, nullptr, nullptr, &ft);
  CloseHandle(hFile);
}

}  // namespace avitest
