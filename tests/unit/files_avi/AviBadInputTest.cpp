// The readers over a few thousand truncated and byte-mutated recordings: every call returns,
// and whatever a reader calls a success still makes sense.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "AviTestFiles.h"
#include "avi/AviWriter.h"
#include "files/AviInspection.h"

using namespace avitest;

namespace {

// A small real recording: 120 frames with drops, in two 64 KiB segments.
Bytes MakeSeed(avi::AviType type, avi::VideoSystem system) {
  avi::AviWriterOptions options;
  options.type = type;
  options.system = system;
  options.nSegmentBytes = avi::AviWriterOptions::kMinSegmentBytes;
  options.nSuperIndexEntries = 16;
  avi::MemoryFile file;
  avi::AviWriter writer;
  EXPECT_EQ(avi::AviResult::Ok, writer.Open(file, options));
  const Bytes frame = MakeDvFrame(WideHead(), 600);
  const Bytes pcm(100 * 4, 0);
  for (int n = 0; n < 120; ++n) {
    if (n == 7 || n == 8 || n == 119) {
      writer.WriteDroppedFrame();
      continue;
    }
    writer.WriteVideoFrame(frame);
    if (type == avi::AviType::Type2) writer.WriteAudio(pcm);
  }
  EXPECT_EQ(avi::AviResult::Ok, writer.Finish());
  EXPECT_EQ(2u, writer.SegmentCount());
  return file.Bytes();
}

// Every reader on the file; checks what a successful call promises.
void ReadEverything(const std::wstring& strPath) {
  IsAVIType1(strPath);
  IsAVIType2(strPath);
  int nFormat = 0, nType = 0;
  DWORD dwTotal = 0;
  std::vector<DWORD> drops;
  if (GetAVIDropInfo(strPath, &nFormat, &nType, &dwTotal, &drops)) {
    ASSERT_TRUE(nFormat == 1 || nFormat == 2);
    ASSERT_TRUE(nType == 1 || nType == 2);
    ASSERT_LE(drops.size(), dwTotal);
    ASSERT_TRUE(std::is_sorted(drops.begin(), drops.end()));
    ASSERT_TRUE(drops.empty() || drops.back() < dwTotal);
  }
  int nWide = 0, nFrameMode = 60;
  Timecode tc;
  if (GetAVIAspect(strPath, &nWide, &nFrameMode, &tc)) {
    ASSERT_TRUE(nWide == 0 || nWide == 1);
    ASSERT_TRUE(nFrameMode == 60 || nFrameMode == 30 || nFrameMode == 24);
  }
  ASSERT_FALSE(GetAVITooltipText(strPath, kAviHeadingName).empty());
  ASSERT_FALSE(GetAVIReportHeader(strPath).empty());
}

}  // namespace

TEST(AviBadInputTest, TruncatedAndMutatedRecordingsNeverCrashOrHangAReader) {
  std::mt19937 random(20061207);
  int nFiles = 0;
  TempFile file(L"bad.avi");
  for (avi::AviType type : {avi::AviType::Type1, avi::AviType::Type2}) {
    const Bytes seed =
        MakeSeed(type, type == avi::AviType::Type1 ? avi::VideoSystem::System625_50 : avi::VideoSystem::System525_60);
    // The header list and the first standard index hold what the readers look at.
    const size_t nHot = std::min<size_t>(seed.size(), 4096);

    // Cut at every header position, then at spaced positions through the rest.
    for (size_t nCut = 0; nCut < seed.size(); nCut += (nCut < nHot ? 5 : 509)) {
      file.Write(Bytes(seed.begin(), seed.begin() + static_cast<std::ptrdiff_t>(nCut)));
      ReadEverything(file.Path());
      ++nFiles;
    }
    // Single bytes, and whole 32-bit fields set to values that sizes and counts must survive.
    const std::uint32_t extremes[] = {0, 1, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 0xFFFFFFF0, 0x10000};
    for (int i = 0; i < 700; ++i) {
      Bytes bytes = seed;
      const size_t nPos = (i % 4 != 0 ? random() % nHot : random() % bytes.size()) & ~size_t{3};
      if (i % 2 == 0) {
        bytes[nPos + random() % 4] = static_cast<std::uint8_t>(random());
      } else {
        PutLe32(bytes, nPos, extremes[random() % std::size(extremes)]);
      }
      if (i % 5 == 0) bytes.resize(random() % bytes.size());
      file.Write(bytes);
      ReadEverything(file.Path());
      ++nFiles;
    }
  }
  EXPECT_GT(nFiles, 3000);
}
