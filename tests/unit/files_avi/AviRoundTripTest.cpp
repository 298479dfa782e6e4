// Files of the AVI writer read back with every inspection reader: both types, both systems,
// 4:3 and 16:9, 48 and 32 kHz, drops at the start, in the middle and at the end, several
// "AVIX" segments, one-hour lengths, and a recording cut off between checkpoints.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

#include "AviTestFiles.h"
#include "avi/AviWriter.h"
#include "files/AviInspection.h"

using namespace avitest;

namespace {

struct Recording {
  avi::AviWriterOptions options;
  DvHead firstHead;  // the other frames are 4:3 with time code 00:00:00:00
  std::uint32_t nFrames = 150;
  std::vector<DWORD> drops;
  size_t nFrameBytes = 2000;  // only the packs matter
};

bool IsPal(const Recording& rec) { return rec.options.system == avi::VideoSystem::System625_50; }

// Writes the recording into memory; for Type 2 each frame's share of the audio follows it.
Bytes Write(const Recording& rec, size_t* pnSegments = nullptr) {
  avi::MemoryFile file;
  avi::AviWriter writer;
  EXPECT_EQ(avi::AviResult::Ok, writer.Open(file, rec.options));
  const Bytes first = MakeDvFrame(rec.firstHead, rec.nFrameBytes);
  const Bytes other = MakeDvFrame(DvHead{}, rec.nFrameBytes);
  const Bytes pcm(rec.options.audio.nSamplesPerSec / (IsPal(rec) ? 25 : 30) * 4, 0);
  for (std::uint32_t n = 0; n < rec.nFrames; ++n) {
    if (std::find(rec.drops.begin(), rec.drops.end(), n) != rec.drops.end()) {
      EXPECT_EQ(avi::AviResult::Ok, writer.WriteDroppedFrame());
    } else {
      EXPECT_EQ(avi::AviResult::Ok, writer.WriteVideoFrame(n == 0 ? first : other));
      if (rec.options.type == avi::AviType::Type2) {
        EXPECT_EQ(avi::AviResult::Ok, writer.WriteAudio(pcm));
      }
    }
  }
  EXPECT_EQ(avi::AviResult::Ok, writer.Finish());
  if (pnSegments != nullptr) *pnSegments = writer.SegmentCount();
  return file.Bytes();
}

struct Readings {
  BOOL bDropInfo = FALSE;
  int nVideoFormat = 0;
  int nAviType = 0;
  DWORD dwTotalFrames = 0;
  std::vector<DWORD> drops;
  BOOL bAspect = FALSE;
  int nWide = -1;
  int nFrameMode = -1;
  Timecode timecode;
  bool bType1 = false;
  bool bType2 = false;
  std::wstring strTooltip;
};

Readings ReadBack(const Bytes& bytes) {
  TempFile file(L"written.avi", bytes);
  const std::wstring& strPath = file.Path();
  Readings r;
  r.bDropInfo = GetAVIDropInfo(strPath, &r.nVideoFormat, &r.nAviType, &r.dwTotalFrames, &r.drops);
  r.bAspect = GetAVIAspect(strPath, &r.nWide, &r.nFrameMode, &r.timecode);
  r.bType1 = IsAVIType1(strPath) != FALSE;
  r.bType2 = IsAVIType2(strPath) != FALSE;
  r.strTooltip = GetAVITooltipText(strPath, kAviHeadingName);
  return r;
}

}  // namespace

TEST(AviRoundTripTest, EveryReaderAgreesWithWhatTheWriterWasGiven) {
  int nCase = 0;
  for (avi::AviType type : {avi::AviType::Type1, avi::AviType::Type2}) {
    for (avi::VideoSystem system : {avi::VideoSystem::System525_60, avi::VideoSystem::System625_50}) {
      for (std::uint32_t nRate : {48000u, 32000u}) {
        for (bool bWide : {false, true}) {
          ++nCase;
          Recording rec;
          rec.options.type = type;
          rec.options.system = system;
          rec.options.audio.nSamplesPerSec = nRate;
          rec.firstHead = bWide ? WideHead() : DvHead{};
          rec.firstHead.nFrameModeByte = nCase % 3 == 0 ? 0x30 : 0x60;
          rec.firstHead.timecode = {nCase, 20, 30, IsPal(rec) ? 24 : 29};
          // Every third file drops its first frames, which leaves no frame to describe.
          const bool bDropFirst = nCase % 3 == 1;
          rec.drops = bDropFirst ? std::vector<DWORD>{0, 1, 57, 149} : std::vector<DWORD>{57, 58, 149};
          // Half of the files are cut into "AVIX" segments of 64 KiB.
          if (nCase % 2 == 0) rec.options.nSegmentBytes = avi::AviWriterOptions::kMinSegmentBytes;
          SCOPED_TRACE(testing::Message() << "case " << nCase);

          size_t nSegments = 0;
          const Readings r = ReadBack(Write(rec, &nSegments));
          EXPECT_EQ(nCase % 2 == 0, nSegments > 2);
          EXPECT_TRUE(r.bDropInfo);
          EXPECT_EQ(IsPal(rec) ? 2 : 1, r.nVideoFormat);
          EXPECT_EQ(static_cast<int>(type), r.nAviType);
          EXPECT_EQ(150u, r.dwTotalFrames);
          EXPECT_EQ(rec.drops, r.drops);
          EXPECT_EQ(!bDropFirst, r.bAspect != FALSE);
          EXPECT_EQ(bDropFirst ? -1 : bWide ? 1 : 0, r.nWide);
          EXPECT_EQ(bDropFirst ? -1 : nCase % 3 == 0 ? 30 : 60, r.nFrameMode);
          EXPECT_EQ(bDropFirst ? Timecode{} : rec.firstHead.timecode, r.timecode);
          EXPECT_EQ(type == avi::AviType::Type1, r.bType1);
          EXPECT_EQ(type == avi::AviType::Type2, r.bType2);
          const std::wstring strLength = IsPal(rec) ? L"長さ: 0:00:06\r\n" : L"長さ: 0:00:05\r\n";
          const std::wstring strType = type == avi::AviType::Type1 ? L"AVI（Type1）" : L"AVI（Type2）";
          EXPECT_NE(std::wstring::npos, r.strTooltip.find(strLength + L"ファイル形式: " + strType)) << r.strTooltip;
        }
      }
    }
  }
}

TEST(AviRoundTripTest, OneHourRecordingsOfBothSystemsCountAllTheirFrames) {
  for (bool bPal : {false, true}) {
    Recording rec;
    rec.options.system = bPal ? avi::VideoSystem::System625_50 : avi::VideoSystem::System525_60;
    rec.nFrames = bPal ? 90000 : 108000;
    rec.nFrameBytes = 8;  // only headers and indexes are read
    for (DWORD n = 1000; n < rec.nFrames; n += 7919) rec.drops.push_back(n);
    rec.drops.push_back(rec.nFrames - 1);
    const Readings r = ReadBack(Write(rec));
    EXPECT_TRUE(r.bDropInfo);
    EXPECT_EQ(rec.nFrames, r.dwTotalFrames);
    EXPECT_EQ(rec.drops, r.drops);
    EXPECT_NE(std::wstring::npos, r.strTooltip.find(bPal ? L"長さ: 1:00:00\r\n" : L"長さ: 1:00:03\r\n")) << r.strTooltip;
  }
}

// A file in memory that keeps a log of its writes, so that the file can be rebuilt as it stood
// after any one of them: a recording cut off at that moment.
class WriteLogFile : public avi::FileIo {
 public:
  struct Entry {
    std::uint64_t nPos;
    Bytes data;
    std::uint32_t nFramesBefore;  // frames handed to the writer before this write
  };

  bool WriteAt(std::uint64_t pos, const void* data, std::size_t size) override {
    const auto* p = static_cast<const std::uint8_t*>(data);
    m_vecLog.push_back(Entry{pos, Bytes(p, p + size), m_nFramesWritten});
    return m_file.WriteAt(pos, data, size);
  }
  bool ReadAt(std::uint64_t pos, void* buffer, std::size_t size, std::size_t* pRead) override {
    return m_file.ReadAt(pos, buffer, size, pRead);
  }
  bool GetSize(std::uint64_t* pSize) override { return m_file.GetSize(pSize); }
  bool Truncate(std::uint64_t size) override { return m_file.Truncate(size); }
  bool Flush(bool toDisk) override { return m_file.Flush(toDisk); }

  std::vector<Entry> m_vecLog;
  std::uint32_t m_nFramesWritten = 0;

 private:
  avi::MemoryFile m_file;
};

TEST(AviRoundTripTest, ARecordingCutOffAfterAnyWriteReadsConsistentlyUpToNearItsEnd) {
  Recording rec;
  rec.options.type = avi::AviType::Type2;
  rec.options.nSegmentBytes = avi::AviWriterOptions::kMinSegmentBytes;  // segment switches too
  rec.drops = {10, 95, 149};
  WriteLogFile log;
  avi::AviWriter writer;
  ASSERT_EQ(avi::AviResult::Ok, writer.Open(log, rec.options));
  const Bytes frame = MakeDvFrame(DvHead{}, 600);
  const Bytes pcm(1600 * 4, 0);
  for (std::uint32_t n = 0; n < rec.nFrames; log.m_nFramesWritten = ++n) {
    const bool bDrop = std::find(rec.drops.begin(), rec.drops.end(), n) != rec.drops.end();
    ASSERT_EQ(avi::AviResult::Ok, bDrop ? writer.WriteDroppedFrame() : writer.WriteVideoFrame(frame));
    if (!bDrop) writer.WriteAudio(pcm);
  }
  // Never finished: the file as it stood after each write, from the first checkpoint with frames.
  // The index's entry count and the stream length are two writes, so a cut between them is
  // inconsistent; the next header write makes the file whole again.
  constexpr std::uint32_t kCheckpointFrames = 30;
  constexpr int kHeaderWritesPerUpdate = 3;
  TempFile file(L"cut.avi");
  Bytes image;
  int nUnreadableRun = 0;
  for (const WriteLogFile::Entry& write : log.m_vecLog) {
    image.resize(std::max<size_t>(image.size(), write.nPos + write.data.size()));
    std::copy(write.data.begin(), write.data.end(), image.begin() + static_cast<std::ptrdiff_t>(write.nPos));
    if (write.nFramesBefore <= kCheckpointFrames) continue;
    file.Write(image);
    int nFormat = 0, nType = 0;
    DWORD dwTotal = 0;
    std::vector<DWORD> drops;
    if (!GetAVIDropInfo(file.Path(), &nFormat, &nType, &dwTotal, &drops)) {
      ASSERT_LT(++nUnreadableRun, kHeaderWritesPerUpdate + 1) << write.nFramesBefore;
      continue;
    }
    nUnreadableRun = 0;
    ASSERT_LE(dwTotal, write.nFramesBefore + 1);
    ASSERT_GE(dwTotal + kCheckpointFrames + 1, write.nFramesBefore);
    std::vector<DWORD> expected;
    std::copy_if(rec.drops.begin(), rec.drops.end(), std::back_inserter(expected), [&](DWORD n) { return n < dwTotal; });
    ASSERT_EQ(expected, drops) << dwTotal;
  }
}
