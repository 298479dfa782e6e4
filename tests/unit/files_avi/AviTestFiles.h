// Test-side makers of recorded files: DV frame heads with the packs the readers look at, a
// hand-built RIFF/AVI/OpenDML file whose every field the test chooses, temporary files on disk
// and the trace log of this test program.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "files/Timecode.h"

namespace avitest {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t FourCC(const char (&s)[5]) {
  return static_cast<std::uint32_t>(static_cast<std::uint8_t>(s[0])) |
         (static_cast<std::uint32_t>(static_cast<std::uint8_t>(s[1])) << 8) |
         (static_cast<std::uint32_t>(static_cast<std::uint8_t>(s[2])) << 16) |
         (static_cast<std::uint32_t>(static_cast<std::uint8_t>(s[3])) << 24);
}

void PutLe16(Bytes& bytes, size_t nPos, std::uint16_t value);
void PutLe32(Bytes& bytes, size_t nPos, std::uint32_t value);
void PutLe64(Bytes& bytes, size_t nPos, std::uint64_t value);
std::uint32_t GetLe32(const Bytes& bytes, size_t nPos);

// What the head of a DV frame says.
struct DvHead {
  int nDisp = 0;                   // VAUX source control: display select mode
  int nBcsys = 0;                  // and broadcast system
  bool bVauxControlPack = true;    // pack 61h present
  std::uint8_t nFrameModeByte = 0x60;
  bool bFrameModePack = true;      // pack 64h present
  Timecode timecode{0, 0, 0, 0};   // written in BCD
  bool bTimecodePack = true;       // pack 13h present
  bool bFramesUnknown = false;     // frame byte FFh
};

// A frame of nSize bytes (at least the head) carrying the packs of `head`; the rest is filler.
Bytes MakeDvFrame(const DvHead& head, size_t nSize);

// A 16:9 head under broadcast system 0.
DvHead WideHead();

// One frame of a hand-built file: its data, or none for a dropped frame.
struct HandFrame {
  Bytes data;
  bool bDropped = false;
};

// A file laid out as the recorder writes it: RIFF "AVI ", "hdrl" with "avih" and the first
// stream's "strl" ("strh", "strf", optional extra chunk, "indx"), optionally a second "auds"
// stream, then "movi" holding for each group of frames a standard index followed by the frames.
struct HandAvi {
  std::uint32_t fccType = FourCC("iavs");
  std::uint32_t fccHandler = FourCC("dvsd");
  std::uint32_t dwScale = 1001;
  std::uint32_t dwRate = 30000;
  std::int64_t nLength = -1;         // dwLength; -1: the number of frames
  std::vector<HandFrame> frames;
  size_t nFramesPerIndex = 0;        // 0: one standard index for all frames
  std::string strExtraChunk;         // data of a "strn" chunk before "indx" (odd sizes get a pad byte)
  bool bAudioStream = false;         // a second "auds" stream after the first one's "strl"
  std::uint32_t nSuperIndexRoom = 8;  // entries reserved in "indx"
};

struct BuiltAvi {
  Bytes bytes;
  size_t nStrhPos = 0;                 // "strh" code
  size_t nIndxPos = 0;                 // "indx" code
  std::vector<size_t> ixPositions;     // standard index codes, in super index order
  std::vector<size_t> framePositions;  // data of each frame (0 for dropped ones)
};

BuiltAvi BuildAvi(const HandAvi& spec);

// Frames of `size` bytes (4:3, time code 00:00:00:00) with the given ones dropped.
std::vector<HandFrame> MakeFrames(size_t nCount, const std::vector<size_t>& drops, size_t nSize = 600);

// A file in the temporary folder, deleted at the end of the test.
class TempFile {
 public:
  explicit TempFile(const std::wstring& strName);
  TempFile(const std::wstring& strName, const Bytes& bytes);
  ~TempFile();
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  const std::wstring& Path() const { return m_strPath; }
  void Write(const Bytes& bytes) const;
  // Writes bytes at a position of the existing file; a gap before them is left unwritten.
  void WriteAt(ULONGLONG qwPosition, const Bytes& bytes) const;
  void SetLastWriteTime(const FILETIME& ft) const;
  // Moves the end of the file (a longer file is not written beyond its old end).
  void SetSize(ULONGLONG qwSize) const;

 private:
  std::wstring m_strPath;
};

// Turns on the trace log file of this test program for the life of the object.
class TraceLogCapture {
 public:
  TraceLogCapture();
  ~TraceLogCapture();
  std::string ReadLog() const;

 private:
  std::wstring m_strIni;
  std::wstring m_strLog;
};

}  // namespace avitest
