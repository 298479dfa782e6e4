// Files written by the AVI writer, read back with every inspection reader: both types, both
// systems, 4:3 and 16:9, 48 and 32 kHz, drops at the start, in the middle and at the end,
// several "AVIX" segments, one-hour lengths, and a recording cut off between checkpoints.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "AviTestFiles.h"
#include "avi/AviWriter.h"
#include "files/AviInspection.h"

using namespace avitest;

namespace {

constexpr size_t kTestFrameBytes = 2000;  // the frames carry only their packs; their size does not matter

struct Recording {
  avi::AviType type = avi::AviType::Type1;
  avi::VideoSystem system = avi::VideoSystem::System525_60;
  std::uint32_t nSampleRate = 48000;
  DvHead firstHead;
  std::uint32_t nFrames = 0;
  std::vector<DWORD> drops;
  std::uint64_t nSegmentBytes = avi::AviWriterOptions::kDefaultSegmentBytes;
  size_t nFrameBytes = kTestFrameBytes;
  std::uint32_t nStopAfter = 0;  // when set: the writer stops after this many frames, unfinished
};

bool IsPal(const Recording& rec) { return rec.system == avi::VideoSystem::System625_50; }

// Writes the recording into memory: frame 0 with firstHead's packs, the others 4:3 with time
// code 00:00:00:00; for Type 2 each frame's share of the audio follows it.
Bytes WriteRecording(const Recording& rec, avi::AviWriter* pWriter = nullptr) {
  avi::AviWriterOptions options;
  options.type = rec.type;
  options.system = rec.system;
  options.audio.nSamplesPerSec = rec.nSampleRate;
  options.nSegmentBytes = rec.nSegmentBytes;
  avi::MemoryFile file;
  avi::AviWriter localWriter;
  avi::AviWriter& writer = pWriter != nullptr ? *pWriter : localWriter;
  EXPECT_EQ(avi::AviResult::Ok, writer.Open(file, options));
  const Bytes first = MakeDvFrame(rec.firstHead, rec.nFrameBytes);
  const Bytes other = MakeDvFrame(DvHead{}, rec.nFrameBytes);
  const Bytes pcm(static_cast<size_t>(rec.nSampleRate / (IsPal(rec) ? 25 : 30)) * 4, 0);
  const std::uint32_t nWrite = rec.nStopAfter != 0 ? rec.nStopAfter : rec.nFrames;
  for (std::uint32_t n = 0; n < nWrite; ++n) {
    if (std::find(rec.drops.begin(), rec.drops.end(), n) != rec.drops.end()) {
      EXPECT_EQ(avi::AviResult::Ok, writer.WriteDroppedFrame());
      continue;
    }
    EXPECT_EQ(avi::AviResult::Ok, writer.WriteVideoFrame(n == 0 ? first : other));
    if (rec.type == avi::AviType::Type2) {
      EXPECT_EQ(avi::AviResult::Ok, writer.WriteAudio(pcm));
    }
  }
  if (rec.nStopAfter == 0) {
    EXPECT_EQ(avi::AviResult::Ok, writer.Finish());
  }
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
  BOOL bType1 = FALSE;
  BOOL bType2 = FALSE;
  std::wstring strTooltip;
};

Readings ReadBack(const std::wstring& strPath) {
  Readings r;
  r.bDropInfo = GetAVIDropInfo(strPath, &r.nVideoFormat, &r.nAviType, &r.dwTotalFrames, &r.drops);
  r.bAspect = GetAVIAspect(strPath, &r.nWide, &r.nFrameMode, &r.timecode);
  r.bType1 = IsAVIType1(strPath);
  r.bType2 = IsAVIType2(strPath);
  r.strTooltip = GetAVITooltipText(strPath, kAviHeadingName);
  return r;
}

std::wstring Describe(const Recording& rec) {
  return L"type " + std::to_wstring(static_cast<int>(rec.type)) + (IsPal(rec) ? L" 625" : L" 525") + L" " +
         std::to_wstring(rec.nSampleRate) + (rec.firstHead.nDisp != 0 ? L" 16:9" : L" 4:3");
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
          rec.type = type;
          rec.system = system;
          rec.nSampleRate = nRate;
          rec.firstHead = bWide ? WideHead() : DvHead{};
          rec.firstHead.nFrameModeByte = nCase % 3 == 0 ? 0x30 : 0x60;
          rec.firstHead.timecode = {nCase, 20, 30, IsPal(rec) ? 24 : 29};
          rec.nFrames = 150;
          rec.drops = {57, 58, 149};
          // Half of the files are cut into "AVIX" segments of 64 KiB.
          if (nCase % 2 == 0) rec.nSegmentBytes = avi::AviWriterOptions::kMinSegmentBytes;
          SCOPED_TRACE(testing::Message() << Describe(rec).c_str());

          avi::AviWriter writer;
          TempFile file(L"rt.avi", WriteRecording(rec, &writer));
          EXPECT_EQ(nCase % 2 == 0, writer.SegmentCount() > 2);
          const Readings r = ReadBack(file.Path());
          EXPECT_TRUE(r.bDropInfo);
          EXPECT_EQ(IsPal(rec) ? 2 : 1, r.nVideoFormat);
          EXPECT_EQ(static_cast<int>(type), r.nAviType);
          EXPECT_EQ(150u, r.dwTotalFrames);
          EXPECT_EQ(rec.drops, r.drops);
          EXPECT_TRUE(r.bAspect);
          EXPECT_EQ(bWide ? 1 : 0, r.nWide);
          EXPECT_EQ(nCase % 3 == 0 ? 30 : 60, r.nFrameMode);
          EXPECT_EQ(rec.firstHead.timecode, r.timecode);
          EXPECT_EQ(type == avi::AviType::Type1, r.bType1 != FALSE);
          EXPECT_EQ(type == avi::AviType::Type2, r.bType2 != FALSE);
          const std::wstring strLength = IsPal(rec) ? L"長さ: 0:00:06\r\n" : L"長さ: 0:00:05\r\n";
          EXPECT_NE(std::wstring::npos, r.strTooltip.find(strLength)) << r.strTooltip;
          EXPECT_NE(std::wstring::npos,
                    r.strTooltip.find(type == avi::AviType::Type1 ? L"AVI（Type1）" : L"AVI（Type2）"));
        }
      }
    }
  }
}

TEST(AviRoundTripTest, ADroppedFirstFrameIsListedAndLeavesNoFrameToDescribe) {
  for (avi::AviType type : {avi::AviType::Type1, avi::AviType::Type2}) {
    Recording rec;
    rec.type = type;
    rec.system = avi::VideoSystem::System625_50;
    rec.firstHead = WideHead();
    rec.nFrames = 90;
    rec.drops = {0, 1, 2, 44, 89};
    rec.nSegmentBytes = avi::AviWriterOptions::kMinSegmentBytes;
    TempFile file(L"drop-start.avi", WriteRecording(rec));
    const Readings r = ReadBack(file.Path());
    EXPECT_TRUE(r.bDropInfo);
    EXPECT_EQ(rec.drops, r.drops);
    EXPECT_FALSE(r.bAspect);
    EXPECT_EQ(-1, r.nWide);  // preset kept
  }
}

TEST(AviRoundTripTest, OneHourRecordingsOfBothSystemsCountAllTheirFrames) {
  struct Case {
    avi::VideoSystem system;
    std::uint32_t nFrames;
    const wchar_t* pszLength;
  };
  for (const Case& c : {Case{avi::VideoSystem::System525_60, 108000, L"長さ: 1:00:03\r\n"},
                        Case{avi::VideoSystem::System625_50, 90000, L"長さ: 1:00:00\r\n"}}) {
    Recording rec;
    rec.system = c.system;
    rec.nFrames = c.nFrames;
    rec.nFrameBytes = 8;  // only headers and indexes are read
    for (DWORD n = 1000; n < c.nFrames; n += 7919) rec.drops.push_back(n);
    rec.drops.push_back(c.nFrames - 1);
    TempFile file(L"hour.avi", WriteRecording(rec));
    const Readings r = ReadBack(file.Path());
    EXPECT_TRUE(r.bDropInfo);
    EXPECT_EQ(c.nFrames, r.dwTotalFrames);
    EXPECT_EQ(rec.drops, r.drops);
    EXPECT_NE(std::wstring::npos, r.strTooltip.find(c.pszLength)) << r.strTooltip;
    EXPECT_FALSE(r.bAspect);  // 8-byte frames are too short to describe
  }
}

TEST(AviRoundTripTest, ARecordingCutOffBetweenCheckpointsReadsUpToItsLastCheckpoint) {
  // Checkpoints come once a second (30 frames at 525/60), and segment switches write the
  // indexes too; the writer stops after 100 frames with neither Finish nor a last checkpoint,
  // as when the process is killed. What was made readable must be consistent.
  for (std::uint64_t nSegment : {avi::AviWriterOptions::kDefaultSegmentBytes, avi::AviWriterOptions::kMinSegmentBytes}) {
    Recording rec;
    rec.type = avi::AviType::Type2;
    rec.nFrames = 200;
    rec.drops = {10, 95};
    rec.nStopAfter = 100;
    rec.nSegmentBytes = nSegment;
    avi::AviWriter writer;
    TempFile file(L"cut.avi", WriteRecording(rec, &writer));
    const Readings r = ReadBack(file.Path());
    EXPECT_TRUE(r.bDropInfo) << nSegment;
    EXPECT_GE(r.dwTotalFrames, 90u) << nSegment;
    EXPECT_LE(r.dwTotalFrames, 100u) << nSegment;
    std::vector<DWORD> expected = {10};
    if (r.dwTotalFrames > 95) expected.push_back(95);
    EXPECT_EQ(expected, r.drops) << nSegment;
    EXPECT_TRUE(r.bAspect);
    EXPECT_TRUE(r.bType2);
  }
}
