// The inspection readers on hand-built files: drop lists, consistency, damaged indexes, the first
// frame's facts and the type tests.
#include <windows.h>

#include <gtest/gtest.h>

#include "AviTestFiles.h"
#include "files/AviInspection.h"

using namespace avitest;

namespace {

struct DropInfo {
  BOOL bOk = FALSE;
  int nVideoFormat = -1;
  int nAviType = -1;
  DWORD dwTotalFrames = 0;
  std::vector<DWORD> drops;
};

DropInfo ReadDropInfo(const std::wstring& strPath) {
  DropInfo info;
  info.drops = {7, 8, 9};  // must be cleared
  info.bOk = GetAVIDropInfo(strPath, &info.nVideoFormat, &info.nAviType, &info.dwTotalFrames, &info.drops);
  return info;
}

struct Aspect {
  BOOL bOk = FALSE;
  int nWide = -5;
  int nFrameMode = -5;
  Timecode timecode{-5, -5, -5, -5};
};

Aspect ReadAspect(const std::wstring& strPath) {
  Aspect aspect;
  aspect.bOk = GetAVIAspect(strPath, &aspect.nWide, &aspect.nFrameMode, &aspect.timecode);
  return aspect;
}

HandAvi Type2Spec(size_t nFrames, const std::vector<size_t>& drops) {
  HandAvi spec;
  spec.fccType = FourCC("vids");
  spec.bAudioStream = true;
  spec.frames = MakeFrames(nFrames, drops);
  return spec;
}

HandAvi Pal(HandAvi spec) {
  spec.dwScale = 1;
  spec.dwRate = 25;
  return spec;
}

}  // namespace

TEST(AviDropInfoTest, DroppedEntries100And101OfAType2FileMakeTheDropList) {
  TempFile file(L"type2.avi", BuildAvi(Type2Spec(300, {100, 101})).bytes);
  const DropInfo info = ReadDropInfo(file.Path());
  EXPECT_TRUE(info.bOk);
  EXPECT_EQ(1, info.nVideoFormat);
  EXPECT_EQ(2, info.nAviType);
  EXPECT_EQ(300u, info.dwTotalFrames);
  EXPECT_EQ((std::vector<DWORD>{100, 101}), info.drops);
}

TEST(AviDropInfoTest, FrameNumbersRunOnAcrossStandardIndexesInSuperIndexOrder) {
  HandAvi spec = Pal(HandAvi{});
  spec.frames = MakeFrames(120, {0, 39, 40, 41, 119});
  spec.nFramesPerIndex = 40;
  TempFile file(L"pal.avi", BuildAvi(spec).bytes);
  const DropInfo info = ReadDropInfo(file.Path());
  EXPECT_TRUE(info.bOk);
  EXPECT_EQ(2, info.nVideoFormat);
  EXPECT_EQ(1, info.nAviType);
  EXPECT_EQ(120u, info.dwTotalFrames);
  EXPECT_EQ((std::vector<DWORD>{0, 39, 40, 41, 119}), info.drops);
}

TEST(AviDropInfoTest, IndexEntriesThatDoNotMatchTheStreamLengthAreInconsistent) {
  HandAvi tooFew = Type2Spec(50, {});
  tooFew.nLength = 51;  // recording cut short: one entry missing
  TempFile cut(L"cut.avi", BuildAvi(tooFew).bytes);
  DropInfo info = ReadDropInfo(cut.Path());
  EXPECT_FALSE(info.bOk);
  EXPECT_EQ(51u, info.dwTotalFrames);

  // The tooltip only needs the stream header, so it still describes the file.
  int nFormat = 0, nType = 0;
  DWORD dwFrames = 0;
  std::wstring strDate;
  ULONGLONG qwSize = 0;
  EXPECT_TRUE(GetAVITooltipInfo(cut.Path(), &nFormat, &nType, &dwFrames, &strDate, &qwSize));
  EXPECT_EQ(51u, dwFrames);
  EXPECT_EQ(2, nType);
  EXPECT_FALSE(strDate.empty());

  HandAvi tooMany = Type2Spec(50, {});
  tooMany.nLength = 49;
  tooMany.nFramesPerIndex = 10;
  TempFile longer(L"long.avi", BuildAvi(tooMany).bytes);
  EXPECT_FALSE(ReadDropInfo(longer.Path()).bOk);
}

TEST(AviDropInfoTest, ASuperIndexEntryThatIsNotAStandardIndexCountsNoFrames) {
  HandAvi spec;
  spec.frames = MakeFrames(30, {});
  spec.nFramesPerIndex = 10;
  BuiltAvi built = BuildAvi(spec);
  // The second super index entry points at the first frame's chunk.
  PutLe64(built.bytes, built.nIndxPos + 32 + 16, built.framePositions[0] - 8);
  TempFile file(L"notix.avi", built.bytes);
  const DropInfo info = ReadDropInfo(file.Path());
  EXPECT_FALSE(info.bOk);
  EXPECT_EQ(30u, info.dwTotalFrames);

  // Read directly: TRUE, and the counter stays where it was.
  HANDLE hFile = CreateFileW(file.Path().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, hFile);
  DWORD dwCounter = 17;
  std::vector<DWORD> drops;
  EXPECT_TRUE(ReadIndxDropInfo(hFile, built.framePositions[0] - 8, &dwCounter, &drops));
  EXPECT_EQ(17u, dwCounter);
  EXPECT_TRUE(ReadIndxDropInfo(hFile, built.ixPositions[2], &dwCounter, &drops));
  EXPECT_EQ(27u, dwCounter);
  CloseHandle(hFile);
}

TEST(AviDropInfoTest, StreamHeadersOfOtherKindsOrRatesAreJudgedByTheirFields) {
  HandAvi audio;
  audio.fccType = FourCC("auds");
  audio.frames = MakeFrames(10, {});
  TempFile notDv(L"auds.avi", BuildAvi(audio).bytes);
  DropInfo info = ReadDropInfo(notDv.Path());
  EXPECT_FALSE(info.bOk);
  EXPECT_EQ(0, info.nAviType);

  HandAvi upper;
  upper.fccHandler = FourCC("DVSD");
  upper.frames = MakeFrames(10, {});
  TempFile otherHandler(L"upper.avi", BuildAvi(upper).bytes);
  EXPECT_FALSE(ReadDropInfo(otherHandler.Path()).bOk);

  HandAvi noScale;
  noScale.dwScale = 0;
  noScale.dwRate = 25;
  noScale.frames = MakeFrames(10, {3});
  TempFile zero(L"scale0.avi", BuildAvi(noScale).bytes);
  info = ReadDropInfo(zero.Path());
  EXPECT_TRUE(info.bOk);
  EXPECT_EQ(1, info.nVideoFormat);

  HandAvi exact25 = Pal(HandAvi{});
  exact25.dwScale = 100;
  exact25.dwRate = 2599;  // 25.99 frames a second is 25 in integers
  exact25.frames = MakeFrames(10, {});
  TempFile pal(L"pal25.avi", BuildAvi(exact25).bytes);
  EXPECT_EQ(2, ReadDropInfo(pal.Path()).nVideoFormat);
}

TEST(AviDropInfoTest, DamagedIndexesAndChunksFailInsteadOfReadingBeyondThem) {
  HandAvi spec;
  spec.frames = MakeFrames(20, {5});
  spec.nFramesPerIndex = 10;
  const BuiltAvi good = BuildAvi(spec);

  auto expectFailure = [](const Bytes& bytes, const wchar_t* pszWhat) {
    TempFile file(L"damaged.avi", bytes);
    EXPECT_FALSE(ReadDropInfo(file.Path()).bOk) << pszWhat;
  };
  Bytes bytes = good.bytes;
  PutLe32(bytes, good.ixPositions[0] + 12, 11);  // more entries than the chunk holds,
  PutLe32(bytes, good.nStrhPos + 40, 21);         // and a length that would match them
  expectFailure(bytes, L"standard index entries");
  bytes = good.bytes;
  PutLe32(bytes, good.nIndxPos + 12, 9);  // more than the 8 reserved super index entries
  expectFailure(bytes, L"super index entries");
  bytes = good.bytes;
  PutLe64(bytes, good.nIndxPos + 32, bytes.size() + 100);  // standard index past the end
  expectFailure(bytes, L"standard index position");
  bytes = good.bytes;
  PutLe64(bytes, good.nIndxPos + 32, 0x8000000000000000ull);  // a position no seek reaches
  expectFailure(bytes, L"standard index position past 2^63");
  bytes = good.bytes;
  PutLe32(bytes, good.nStrhPos + 64 + 4, 0x7FFFFFF0);  // "strf" claims more than the file
  expectFailure(bytes, L"chunk size");
  bytes = good.bytes;
  PutLe32(bytes, good.nIndxPos + 4, 8);  // "indx" too short for its own header
  expectFailure(bytes, L"super index size");
  bytes.assign(good.bytes.begin(), good.bytes.begin() + static_cast<std::ptrdiff_t>(good.ixPositions[1] + 20));
  expectFailure(bytes, L"file cut inside the second standard index");

  // The same super index entry over and over counts the same frames again: more frames than
  // the stream has, which ends the reading at once.
  bytes = good.bytes;
  PutLe32(bytes, good.nIndxPos + 12, 8);
  for (int i = 0; i < 8; ++i) PutLe64(bytes, good.nIndxPos + 32 + 16 * i, good.ixPositions[0]);
  expectFailure(bytes, L"repeated standard index");
}

TEST(AviDropInfoTest, AnOddSizedChunkBeforeTheSuperIndexIsFollowedByItsPadByte) {
  HandAvi spec = Type2Spec(40, {39});
  spec.strExtraChunk = "Camera";  // even
  TempFile even(L"even.avi", BuildAvi(spec).bytes);
  EXPECT_EQ((std::vector<DWORD>{39}), ReadDropInfo(even.Path()).drops);
  spec.strExtraChunk = "Cam";  // odd: a pad byte follows
  TempFile odd(L"odd.avi", BuildAvi(spec).bytes);
  const DropInfo info = ReadDropInfo(odd.Path());
  EXPECT_TRUE(info.bOk);
  EXPECT_EQ((std::vector<DWORD>{39}), info.drops);
}

TEST(AviDropInfoTest, FilesWithoutASuperIndexOrThatAreNoFilesFail) {
  // Only the header list with the stream header, then zeros: the walk ends without an index.
  HandAvi spec;
  spec.frames = MakeFrames(5, {});
  BuiltAvi built = BuildAvi(spec);
  Bytes bytes(built.bytes.begin(), built.bytes.begin() + static_cast<std::ptrdiff_t>(built.nIndxPos));
  bytes.resize(bytes.size() + 64, 0);
  TempFile noIndex(L"noindx.avi", bytes);
  DropInfo info = ReadDropInfo(noIndex.Path());
  EXPECT_FALSE(info.bOk);
  EXPECT_EQ(5u, info.dwTotalFrames);
  EXPECT_TRUE(info.drops.empty());

  TempFile empty(L"empty.avi", Bytes{});
  EXPECT_FALSE(ReadDropInfo(empty.Path()).bOk);
  TempFile missing(L"missing.avi");
  info = ReadDropInfo(missing.Path());
  EXPECT_FALSE(info.bOk);
  EXPECT_EQ(0, info.nVideoFormat);
  EXPECT_EQ(0, info.nAviType);
  EXPECT_TRUE(info.drops.empty());
}

TEST(AviDropInfoTest, FailedCallsAreTracedWithTheirNames) {
  TraceLogCapture trace;
  TempFile missing(L"missing.avi");
  ReadDropInfo(missing.Path());

  HandAvi spec;
  spec.frames = MakeFrames(10, {});
  BuiltAvi built = BuildAvi(spec);
  PutLe64(built.bytes, built.nIndxPos + 32, built.bytes.size() + 8);
  TempFile pastEnd(L"pastend.avi", built.bytes);
  ReadDropInfo(pastEnd.Path());

  const std::string strLog = trace.ReadLog();
  EXPECT_NE(std::string::npos, strLog.find("CreateFile()")) << strLog;
  EXPECT_NE(std::string::npos, strLog.find("ReadFile()")) << strLog;
  EXPECT_NE(std::string::npos, strLog.find("ReadIndxDropInfo()")) << strLog;
}

TEST(AviDropInfoTest, IndexesAndFramesBeyondFourGigabytesAreFound) {
  // The header list stays at the start; everything from "movi" on moves 5 GiB further, so
  // every index position and base offset needs more than 32 bits. The gap is never written.
  HandAvi spec = Pal(Type2Spec(60, {0, 31}));
  spec.frames[1].data = MakeDvFrame(WideHead(), 600);
  spec.nFramesPerIndex = 30;
  BuiltAvi built = BuildAvi(spec);
  constexpr ULONGLONG kShift = 5ull << 30;
  const size_t nMovi = built.ixPositions[0] - 12;
  for (size_t i = 0; i < built.ixPositions.size(); ++i) {
    PutLe64(built.bytes, built.nIndxPos + 32 + 16 * i, built.ixPositions[i] + kShift);
    PutLe64(built.bytes, built.ixPositions[i] + 20, nMovi + kShift);
  }
  // The second frame is the first with data: make it the first entry of the first index.
  PutLe32(built.bytes, built.ixPositions[0] + 32, GetLe32(built.bytes, built.ixPositions[0] + 40));
  PutLe32(built.bytes, built.ixPositions[0] + 36, GetLe32(built.bytes, built.ixPositions[0] + 44));
  TempFile file(L"beyond4g.avi", Bytes(built.bytes.begin(), built.bytes.begin() + static_cast<std::ptrdiff_t>(nMovi)));
  file.WriteAt(nMovi + kShift, Bytes(built.bytes.begin() + static_cast<std::ptrdiff_t>(nMovi), built.bytes.end()));

  const DropInfo info = ReadDropInfo(file.Path());
  EXPECT_TRUE(info.bOk);
  EXPECT_EQ(60u, info.dwTotalFrames);
  EXPECT_EQ((std::vector<DWORD>{31}), info.drops);
  const Aspect aspect = ReadAspect(file.Path());
  EXPECT_TRUE(aspect.bOk);
  EXPECT_EQ(1, aspect.nWide);
  const std::wstring strReport = GetAVIReportHeader(file.Path());
  EXPECT_NE(std::wstring::npos, strReport.find(L"ファイルサイズ: 5,368,7")) << strReport;
  EXPECT_NE(std::wstring::npos, GetAVITooltipText(file.Path(), kAviHeadingName).find(L"ファイルサイズ: 5,120 MB"));
}

TEST(AviAspectTest, TheFirstFrameGivesWideFlagFrameModeAndTimecode) {
  DvHead head = WideHead();
  head.nFrameModeByte = 0x24;
  head.timecode = {1, 23, 45, 29};
  HandAvi spec;
  spec.frames = MakeFrames(3, {});
  spec.frames[0].data = MakeDvFrame(head, 120000);
  TempFile file(L"wide.avi", BuildAvi(spec).bytes);
  const Aspect aspect = ReadAspect(file.Path());
  EXPECT_TRUE(aspect.bOk);
  EXPECT_EQ(1, aspect.nWide);
  EXPECT_EQ(24, aspect.nFrameMode);
  EXPECT_EQ((Timecode{1, 23, 45, 29}), aspect.timecode);

  // The first entry of the first standard index is the one read, wherever its frame lies.
  HandAvi later = Pal(HandAvi{});
  later.frames = MakeFrames(30, {});
  later.nFramesPerIndex = 10;
  DvHead unknown;
  unknown.bFramesUnknown = true;
  unknown.nFrameModeByte = 0x30;
  later.frames[0].data = MakeDvFrame(unknown, 144000);
  later.frames[10].data = MakeDvFrame(WideHead(), 144000);
  TempFile second(L"unknown.avi", BuildAvi(later).bytes);
  const Aspect narrow = ReadAspect(second.Path());
  EXPECT_TRUE(narrow.bOk);
  EXPECT_EQ(0, narrow.nWide);
  EXPECT_EQ(30, narrow.nFrameMode);
  EXPECT_EQ(Timecode{}, narrow.timecode);
}

TEST(AviAspectTest, ADroppedOrTooShortFirstFrameGivesFalseAndLeavesThePresets) {
  HandAvi spec;
  spec.frames = MakeFrames(10, {0});
  TempFile dropped(L"drop0.avi", BuildAvi(spec).bytes);
  Aspect aspect = ReadAspect(dropped.Path());
  EXPECT_FALSE(aspect.bOk);
  EXPECT_EQ(-5, aspect.nWide);
  EXPECT_EQ(-5, aspect.nFrameMode);

  spec.frames = MakeFrames(10, {}, 499);
  TempFile shortFrame(L"short.avi", BuildAvi(spec).bytes);
  EXPECT_FALSE(ReadAspect(shortFrame.Path()).bOk);
  spec.frames = MakeFrames(10, {}, 500);
  TempFile justLongEnough(L"500.avi", BuildAvi(spec).bytes);
  aspect = ReadAspect(justLongEnough.Path());
  EXPECT_TRUE(aspect.bOk);
  EXPECT_EQ(60, aspect.nFrameMode);
  EXPECT_EQ((Timecode{0, 0, 0, 0}), aspect.timecode);
}

TEST(AviAspectTest, IndexesWithoutAFirstEntryFailButAMissingIndexKeepsThePresets) {
  HandAvi spec;
  spec.frames = MakeFrames(10, {});
  const BuiltAvi good = BuildAvi(spec);

  Bytes bytes = good.bytes;
  PutLe32(bytes, good.nIndxPos + 12, 0);  // empty super index
  TempFile emptySuper(L"nosuper.avi", bytes);
  EXPECT_FALSE(ReadAspect(emptySuper.Path()).bOk);

  bytes = good.bytes;
  PutLe32(bytes, good.ixPositions[0] + 12, 0);  // empty standard index
  TempFile emptyStd(L"nostd.avi", bytes);
  EXPECT_FALSE(ReadAspect(emptyStd.Path()).bOk);

  bytes = good.bytes;
  PutLe64(bytes, good.nIndxPos + 32, good.nStrhPos);  // not a standard index: nothing read
  TempFile elsewhere(L"elsewhere.avi", bytes);
  Aspect aspect = ReadAspect(elsewhere.Path());
  EXPECT_TRUE(aspect.bOk);
  EXPECT_EQ(-5, aspect.nWide);

  bytes.assign(good.bytes.begin(), good.bytes.begin() + static_cast<std::ptrdiff_t>(good.nIndxPos));
  TempFile noIndex(L"noindx.avi", bytes);
  aspect = ReadAspect(noIndex.Path());
  EXPECT_TRUE(aspect.bOk);
  EXPECT_EQ(-5, aspect.nFrameMode);

  bytes = good.bytes;
  PutLe32(bytes, good.ixPositions[0] + 32, 0x7FFFFFF0);  // frame data far past the end
  TempFile pastEnd(L"frame-past.avi", bytes);
  EXPECT_FALSE(ReadAspect(pastEnd.Path()).bOk);

  TempFile missing(L"missing.avi");
  EXPECT_FALSE(ReadAspect(missing.Path()).bOk);
}

TEST(AviTypeTest, TheHeadOfTheFileTellsType1Type2AndOthersApart) {
  HandAvi type1;
  type1.frames = MakeFrames(2, {});
  TempFile file1(L"t1.avi", BuildAvi(type1).bytes);
  EXPECT_TRUE(IsAVIType1(file1.Path()));
  EXPECT_FALSE(IsAVIType2(file1.Path()));

  TempFile file2(L"t2.avi", BuildAvi(Type2Spec(2, {})).bytes);
  EXPECT_FALSE(IsAVIType1(file2.Path()));
  EXPECT_TRUE(IsAVIType2(file2.Path()));

  HandAvi other = type1;
  other.fccHandler = FourCC("dvhd");
  TempFile otherFile(L"other.avi", BuildAvi(other).bytes);
  EXPECT_FALSE(IsAVIType1(otherFile.Path()));
  EXPECT_FALSE(IsAVIType2(otherFile.Path()));

  // A chunk between "avih" and the stream list is not expected.
  Bytes bytes = BuildAvi(type1).bytes;
  Bytes shifted(bytes.begin(), bytes.begin() + 88);
  const Bytes junk = {'J', 'U', 'N', 'K', 4, 0, 0, 0, 0, 0, 0, 0};
  shifted.insert(shifted.end(), junk.begin(), junk.end());
  shifted.insert(shifted.end(), bytes.begin() + 88, bytes.end());
  TempFile junkFile(L"junk.avi", shifted);
  EXPECT_FALSE(IsAVIType1(junkFile.Path()));

  // Cut at every block boundary and inside the last block: the read exception is consumed.
  for (size_t nCut : {0u, 11u, 12u, 23u, 87u, 99u, 162u, 163u}) {
    TempFile cut(L"cut.avi", Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(nCut)));
    EXPECT_FALSE(IsAVIType1(cut.Path())) << nCut;
  }
  TempFile exact(L"exact.avi", Bytes(bytes.begin(), bytes.begin() + 164));
  EXPECT_TRUE(IsAVIType1(exact.Path()));

  TempFile missing(L"missing.avi");
  EXPECT_FALSE(IsAVIType1(missing.Path()));
}

TEST(AviTypeTest, AFileThatIsBeingWrittenCannotBeOpenedByTheReaders) {
  TempFile file(L"writing.avi", BuildAvi(Type2Spec(10, {})).bytes);
  HANDLE hWriter = CreateFileW(file.Path().c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, hWriter);
  EXPECT_FALSE(IsAVIType2(file.Path()));
  EXPECT_FALSE(ReadDropInfo(file.Path()).bOk);
  CloseHandle(hWriter);
  EXPECT_TRUE(IsAVIType2(file.Path()));
  EXPECT_TRUE(ReadDropInfo(file.Path()).bOk);
}
