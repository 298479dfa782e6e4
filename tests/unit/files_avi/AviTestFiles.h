// Test-side makers of recorded files: DV frame heads with the packs the readers look at, a
// hand-built RIFF/AVI/OpenDML file, and temporary files on disk.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "files/Timecode.h"

namespace avitest {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t FourCC(const char (&s)[5]) {
  return static_cast<std::uint8_t>(s[0]) | (static_cast<std::uint8_t>(s[1]) << 8) |
         (static_cast<std::uint8_t>(s[2]) << 16) | (static_cast<std::uint32_t>(static_cast<std::uint8_t>(s[3])) << 24);
}
void PutLe32(Bytes& bytes, size_t nPos, std::uint32_t value);
void PutLe64(Bytes& bytes, size_t nPos, std::uint64_t value);

// What the head of a DV frame says; a pack that is absent is not written.
struct DvHead {
  int nDisp = 0;  // VAUX source control: display select mode and broadcast system
  int nBcsys = 0;
  std::uint8_t nFrameModeByte = 0x60;
  Timecode timecode{0, 0, 0, 0};  // all -1: frame byte FFh
  bool bPacks = true;
};
DvHead WideHead();  // 16:9 under broadcast system 0
Bytes MakeDvFrame(const DvHead& head, size_t nSize);

// A file laid out as the recorder writes it: "hdrl" with "avih" and the first stream's "strl"
// ("strh", "strf", an optional "strn", "indx"), optionally a second "auds" stream, then "movi"
// with a standard index before each group of frames. Empty frames are dropped ones.
struct HandAvi {
  std::uint32_t fccType = FourCC("iavs");
  std::uint32_t fccHandler = FourCC("dvsd");
  std::uint32_t dwScale = 1001;
  std::uint32_t dwRate = 30000;
  std::int64_t nLength = -1;  // dwLength; -1: the number of frames
  std::vector<Bytes> frames;
  size_t nFramesPerIndex = 0;  // 0: one standard index for all
  std::string strName;         // data of a "strn" chunk (odd sizes get a pad byte)
  bool bAudioStream = false;
};

struct BuiltAvi {
  Bytes bytes;
  size_t nStrhPos = 0;  // positions of chunk codes
  size_t nIndxPos = 0;
  std::vector<size_t> ixPositions;
  std::vector<size_t> framePositions;  // data of each frame, 0 for dropped ones
};
BuiltAvi BuildAvi(const HandAvi& layout);

// nCount frames of nSize bytes (4:3, time code 00:00:00:00) with the given ones dropped.
std::vector<Bytes> MakeFrames(size_t nCount, const std::vector<size_t>& drops, size_t nSize = 600);

// A file in the temporary folder, deleted at the end of the test.
class TempFile {
 public:
  explicit TempFile(const std::wstring& strName, const Bytes& bytes = {});
  ~TempFile() { DeleteFileW(m_strPath.c_str()); }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  const std::wstring& Path() const { return m_strPath; }
  void Write(const Bytes& bytes) const;
  // Writes at a position; a gap before it stays unwritten (and takes no disk space).
  void WriteAt(ULONGLONG qwPosition, const Bytes& bytes) const;
  void SetLastWriteTime(const FILETIME& ft) const;

 private:
  HANDLE OpenForWriting(DWORD dwDisposition) const;
  std::wstring m_strPath;
};

}  // namespace avitest
