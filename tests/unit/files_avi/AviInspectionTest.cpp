// The inspection readers on hand-built files: drop lists, consistency, damaged indexes, the
// first frame's facts and the type tests.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "AviTestFiles.h"
#include "core/DebugTraceTesting.h"
#include "files/AviInspection.h"

using namespace avitest;

namespace {

struct DropInfo {
  BOOL bOk = FALSE;
  int nVideoFormat = -1;
  int nAviType = -1;
  DWORD dwTotalFrames = 0;
  std::vector<DWORD> drops{7, 8};  // must be cleared
};

DropInfo ReadDropInfo(const Bytes& bytes) {
  TempFile file(L"drops.avi", bytes);
  DropInfo info;
  info.bOk = GetAVIDropInfo(file.Path(), &info.nVideoFormat, &info.nAviType, &info.dwTotalFrames, &info.drops);
  return info;
}

struct Aspect {
  BOOL bOk = FALSE;
  int nWide = -5;  // presets
  int nFrameMode = -5;
  Timecode timecode{-5, -5, -5, -5};
};

Aspect ReadAspect(const Bytes& bytes) {
  TempFile file(L"aspect.avi", bytes);
  Aspect aspect;
  aspect.bOk = GetAVIAspect(file.Path(), &aspect.nWide, &aspect.nFrameMode, &aspect.timecode);
  return aspect;
}

HandAvi Layout(size_t nFrames, const std::vector<size_t>& drops, size_t nPerIndex = 0) {
  HandAvi layout;
  layout.frames = MakeFrames(nFrames, drops);
  layout.nFramesPerIndex = nPerIndex;
  return layout;
}

}  // namespace

TEST(AviDropInfoTest, DroppedEntriesAreNumberedAcrossStandardIndexesInSuperIndexOrder) {
  HandAvi type2 = Layout(300, {100, 101});
  type2.fccType = FourCC("vids");
  type2.bAudioStream = true;  // its header comes after the first stream's super index
  type2.strName = "Cam";      // odd size: a pad byte follows
  DropInfo info = ReadDropInfo(BuildAvi(type2).bytes);
  EXPECT_TRUE(info.bOk);
  EXPECT_EQ(1, info.nVideoFormat);
  EXPECT_EQ(2, info.nAviType);
  EXPECT_EQ(300u, info.dwTotalFrames);
  EXPECT_EQ((std::vector<DWORD>{100, 101}), info.drops);

  HandAvi pal = Layout(120, {0, 39, 40, 119}, 40);
  pal.dwScale = 100;
  pal.dwRate = 2599;  // 25.99 frames a second is 25 in integers
  info = ReadDropInfo(BuildAvi(pal).bytes);
  EXPECT_TRUE(info.bOk);
  EXPECT_EQ(2, info.nVideoFormat);
  EXPECT_EQ(1, info.nAviType);
  EXPECT_EQ((std::vector<DWORD>{0, 39, 40, 119}), info.drops);

  pal.dwScale = 0;  // no rate at all: the 525-line system
  EXPECT_EQ(1, ReadDropInfo(BuildAvi(pal).bytes).nVideoFormat);
}

TEST(AviDropInfoTest, IndexEntriesThatDoNotMatchTheStreamLengthAreInconsistent) {
  HandAvi cut = Layout(50, {});
  cut.nLength = 51;  // recording cut short: one entry missing
  TempFile file(L"cut.avi", BuildAvi(cut).bytes);
  int nFormat = 0, nType = 0;
  DWORD dwFrames = 0;
  std::vector<DWORD> drops;
  EXPECT_FALSE(GetAVIDropInfo(file.Path(), &nFormat, &nType, &dwFrames, &drops));
  EXPECT_EQ(51u, dwFrames);
  // The tooltip needs only the stream header, so it still describes the file.
  std::wstring strDate;
  ULONGLONG qwSize = 0;
  EXPECT_TRUE(GetAVITooltipInfo(file.Path(), &nFormat, &nType, &dwFrames, &strDate, &qwSize));
  EXPECT_EQ(51u, dwFrames);

  cut.nLength = 49;
  EXPECT_FALSE(ReadDropInfo(BuildAvi(cut).bytes).bOk);

  // A super index entry that points at a frame instead of a standard index counts nothing.
  BuiltAvi built = BuildAvi(Layout(30, {}, 10));
  PutLe64(built.bytes, built.nIndxPos + 48, built.framePositions[0] - 8);
  const DropInfo info = ReadDropInfo(built.bytes);
  EXPECT_FALSE(info.bOk);
  EXPECT_EQ(30u, info.dwTotalFrames);

  HandAvi other = Layout(10, {});
  other.fccHandler = FourCC("DVSD");
  EXPECT_EQ(0, ReadDropInfo(BuildAvi(other).bytes).nAviType);
}

TEST(AviDropInfoTest, DamagedIndexesAndChunksFailInsteadOfBeingReadBeyond) {
  const BuiltAvi good = BuildAvi(Layout(20, {5}, 10));
  auto expectFailure = [&good](size_t nPos, std::uint64_t value, bool b64, const char* pszWhat) {
    Bytes bytes = good.bytes;
    if (b64) {
      PutLe64(bytes, nPos, value);
    } else {
      PutLe32(bytes, nPos, static_cast<std::uint32_t>(value));
    }
    EXPECT_FALSE(ReadDropInfo(bytes).bOk) << pszWhat;
  };
  expectFailure(good.nIndxPos + 12, 9, false, "more super index entries than the chunk holds");
  expectFailure(good.nIndxPos + 32, good.bytes.size() + 100, true, "standard index past the end");
  expectFailure(good.nIndxPos + 32, 1ull << 63, true, "standard index at a position no seek reaches");
  expectFailure(good.nStrhPos + 68, 0x7FFFFFF0, false, "\"strf\" larger than the file");
  expectFailure(good.nIndxPos + 4, 8, false, "\"indx\" too short for its header");

  // Entries claimed beyond the standard index chunk are not taken from the frames behind it,
  // even when the stream length would then match.
  Bytes bytes = good.bytes;
  PutLe32(bytes, good.ixPositions[0] + 12, 11);
  PutLe32(bytes, good.nStrhPos + 40, 21);
  EXPECT_FALSE(ReadDropInfo(bytes).bOk);

  // The same standard index listed over and over counts more frames than the stream has.
  bytes = good.bytes;
  PutLe32(bytes, good.nIndxPos + 12, 8);
  for (int i = 0; i < 8; ++i) PutLe64(bytes, good.nIndxPos + 32 + 16 * i, good.ixPositions[0]);
  EXPECT_FALSE(ReadDropInfo(bytes).bOk);

  bytes.assign(good.bytes.begin(), good.bytes.begin() + static_cast<std::ptrdiff_t>(good.ixPositions[1] + 20));
  EXPECT_FALSE(ReadDropInfo(bytes).bOk);
  EXPECT_FALSE(ReadDropInfo(Bytes{}).bOk);
}

TEST(AviDropInfoTest, IndexesAndFramesBeyondFourGigabytesAreFound) {
  // Everything from "movi" on moves 5 GiB further, so every index position and base offset
  // needs more than 32 bits. The gap is never written.
  HandAvi layout = Layout(60, {0, 31}, 30);
  layout.frames[1] = MakeDvFrame(WideHead(), 600);
  BuiltAvi built = BuildAvi(layout);
  constexpr ULONGLONG kShift = 5ull << 30;
  const size_t nMovi = built.ixPositions[0] - 12;
  for (size_t i = 0; i < built.ixPositions.size(); ++i) {
    PutLe64(built.bytes, built.nIndxPos + 32 + 16 * i, built.ixPositions[i] + kShift);
    PutLe64(built.bytes, built.ixPositions[i] + 20, nMovi + kShift);
  }
  // The aspect reader needs a first entry with data: give the first entry the second frame's.
  std::copy_n(built.bytes.begin() + static_cast<std::ptrdiff_t>(built.ixPositions[0] + 40), 8,
              built.bytes.begin() + static_cast<std::ptrdiff_t>(built.ixPositions[0] + 32));
  TempFile file(L"beyond4g.avi", Bytes(built.bytes.begin(), built.bytes.begin() + static_cast<std::ptrdiff_t>(nMovi)));
  file.WriteAt(nMovi + kShift, Bytes(built.bytes.begin() + static_cast<std::ptrdiff_t>(nMovi), built.bytes.end()));

  int nFormat = 0, nType = 0, nWide = 0, nMode = 0;
  DWORD dwFrames = 0;
  std::vector<DWORD> drops;
  Timecode tc;
  EXPECT_TRUE(GetAVIDropInfo(file.Path(), &nFormat, &nType, &dwFrames, &drops));
  EXPECT_EQ((std::vector<DWORD>{31}), drops);
  EXPECT_TRUE(GetAVIAspect(file.Path(), &nWide, &nMode, &tc));
  EXPECT_EQ(1, nWide);
  EXPECT_NE(std::wstring::npos, GetAVIReportHeader(file.Path()).find(L"ファイルサイズ: 5,368,7"));
  EXPECT_NE(std::wstring::npos, GetAVITooltipText(file.Path(), kAviHeadingName).find(L"ファイルサイズ: 5,120 MB"));
}

TEST(AviDropInfoTest, FailedCallsAreTracedWithTheirNames) {
  wchar_t exe[MAX_PATH] = {};
  const std::wstring strBase(exe, GetModuleFileNameW(nullptr, exe, MAX_PATH) - 4);  // without ".exe"
  WritePrivateProfileStringW(L"Debug", L"FileOut", L"1", (strBase + L".ini").c_str());
  ResetDebugTraceForTesting();
  ReadDropInfo(Bytes{'R', 'I', 'F', 'F'});               // "ReadFile"
  BuiltAvi built = BuildAvi(Layout(10, {}));
  PutLe64(built.bytes, built.nIndxPos + 32, 1ull << 63);  // "SetFilePointerEx", "ReadIndxDropInfo"
  ReadDropInfo(built.bytes);
  TempFile missing(L"missing.avi");
  EXPECT_FALSE(IsAVIType1(missing.Path()));               // the file class does not trace
  EXPECT_NE(std::wstring::npos, GetAVIReportHeader(missing.Path()).find(L"missing"));  // "CreateFile", ...
  DeleteFileW((strBase + L".ini").c_str());
  ResetDebugTraceForTesting();

  std::ostringstream log;
  log << std::ifstream((strBase + L".log").c_str(), std::ios::binary).rdbuf();
  DeleteFileW((strBase + L".log").c_str());
  for (const char* pszCall : {"ReadFile()", "SetFilePointerEx()", "ReadIndxDropInfo()", "CreateFile()", "GetAVITooltipInfo()"}) {
    EXPECT_NE(std::string::npos, log.str().find(pszCall)) << pszCall << "\n" << log.str();
  }
}

TEST(AviAspectTest, TheFirstEntryOfTheFirstStandardIndexDescribesTheFile) {
  DvHead head = WideHead();
  head.nFrameModeByte = 0x24;
  head.timecode = {1, 23, 45, 29};
  HandAvi layout = Layout(30, {}, 10);
  layout.frames[0] = MakeDvFrame(head, 120000);
  Aspect aspect = ReadAspect(BuildAvi(layout).bytes);
  EXPECT_TRUE(aspect.bOk);
  EXPECT_EQ(1, aspect.nWide);
  EXPECT_EQ(24, aspect.nFrameMode);
  EXPECT_EQ((Timecode{1, 23, 45, 29}), aspect.timecode);

  head = DvHead{};
  head.timecode = Timecode{};  // frame byte FFh
  head.nFrameModeByte = 0x30;
  layout.frames[0] = MakeDvFrame(head, 500);  // the shortest frame taken
  layout.frames[10] = MakeDvFrame(WideHead(), 600);
  aspect = ReadAspect(BuildAvi(layout).bytes);
  EXPECT_TRUE(aspect.bOk);
  EXPECT_EQ(0, aspect.nWide);
  EXPECT_EQ(30, aspect.nFrameMode);
  EXPECT_EQ(Timecode{}, aspect.timecode);
}

TEST(AviAspectTest, ADroppedShortOrMissingFirstFrameFailsWhileAMissingIndexKeepsThePresets) {
  Aspect aspect = ReadAspect(BuildAvi(Layout(10, {0})).bytes);
  EXPECT_FALSE(aspect.bOk);
  EXPECT_EQ(-5, aspect.nWide);
  HandAvi shortFrames = Layout(10, {});
  shortFrames.frames = MakeFrames(10, {}, 499);
  EXPECT_FALSE(ReadAspect(BuildAvi(shortFrames).bytes).bOk);

  const BuiltAvi good = BuildAvi(Layout(10, {}));
  Bytes bytes = good.bytes;
  PutLe32(bytes, good.nIndxPos + 12, 0);  // empty super index
  EXPECT_FALSE(ReadAspect(bytes).bOk);
  bytes = good.bytes;
  PutLe32(bytes, good.ixPositions[0] + 12, 0);  // empty standard index
  EXPECT_FALSE(ReadAspect(bytes).bOk);
  bytes = good.bytes;
  PutLe32(bytes, good.ixPositions[0] + 32, 0x7FFFFFF0);  // frame data past the end
  EXPECT_FALSE(ReadAspect(bytes).bOk);

  bytes = good.bytes;
  PutLe64(bytes, good.nIndxPos + 32, good.nStrhPos);  // not a standard index: nothing read
  aspect = ReadAspect(bytes);
  EXPECT_TRUE(aspect.bOk);
  EXPECT_EQ(-5, aspect.nWide);
  bytes.assign(good.bytes.begin(), good.bytes.begin() + static_cast<std::ptrdiff_t>(good.nIndxPos));
  bytes.resize(bytes.size() + 64, 0);  // no super index; zeros end the walk
  aspect = ReadAspect(bytes);
  EXPECT_TRUE(aspect.bOk);
  EXPECT_EQ(-5, aspect.nFrameMode);
}

TEST(AviTypeTest, TheHeadOfTheFileTellsType1Type2AndOthersApart) {
  HandAvi layout = Layout(2, {});
  const Bytes type1 = BuildAvi(layout).bytes;
  layout.fccType = FourCC("vids");
  const Bytes type2 = BuildAvi(layout).bytes;
  layout.fccHandler = FourCC("dvhd");
  const Bytes other = BuildAvi(layout).bytes;
  auto types = [](const Bytes& bytes) {
    TempFile file(L"type.avi", bytes);
    return std::make_pair(IsAVIType1(file.Path()) != FALSE, IsAVIType2(file.Path()) != FALSE);
  };
  EXPECT_EQ(std::make_pair(true, false), types(type1));
  EXPECT_EQ(std::make_pair(false, true), types(type2));
  EXPECT_EQ(std::make_pair(false, false), types(other));
  // Cut at and inside the fixed blocks; the read exception is consumed. 164 bytes are enough.
  for (size_t nCut : {0u, 11u, 12u, 23u, 87u, 99u, 163u}) {
    EXPECT_FALSE(types(Bytes(type1.begin(), type1.begin() + static_cast<std::ptrdiff_t>(nCut))).first) << nCut;
  }
  EXPECT_TRUE(types(Bytes(type1.begin(), type1.begin() + 164)).first);

  // Nobody may write the file while it is read: a file being written is not recognised.
  TempFile file(L"writing.avi", type2);
  HANDLE hWriter = CreateFileW(file.Path().c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_FALSE(IsAVIType2(file.Path()));
  CloseHandle(hWriter);
  EXPECT_TRUE(IsAVIType2(file.Path()));
  EXPECT_FALSE(IsAVIType1(file.Path() + L".missing"));
}

TEST(AviForeignFileTest, AFileOfAnotherWriterWithoutSuperIndexIsTypedAndDescribedButHasNoDropList) {
  wchar_t exe[MAX_PATH] = {};
  const std::wstring strExe(exe, GetModuleFileNameW(nullptr, exe, MAX_PATH));
  const std::wstring strPath = strExe.substr(0, strExe.size() - 4) + L"_ffmpeg.avi";
  if (GetFileAttributesW(strPath.c_str()) == INVALID_FILE_ATTRIBUTES) GTEST_SKIP() << "made at build time with ffmpeg";
  EXPECT_TRUE(IsAVIType2(strPath));
  int nFormat = 0, nType = 0;
  DWORD dwFrames = 0;
  std::vector<DWORD> drops;
  EXPECT_FALSE(GetAVIDropInfo(strPath, &nFormat, &nType, &dwFrames, &drops));  // only "idx1"
  EXPECT_EQ(15u, dwFrames);
  Aspect aspect;  // the walk crosses the whole file and leaves the presets
  EXPECT_TRUE(GetAVIAspect(strPath, &aspect.nWide, &aspect.nFrameMode, &aspect.timecode));
  EXPECT_EQ(-5, aspect.nWide);
  EXPECT_NE(std::wstring::npos, GetAVITooltipText(strPath, kAviHeadingName).find(L"長さ: 0:00:00\r\nファイル形式: AVI（Type2）"));
}
