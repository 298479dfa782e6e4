// The tooltip and recording-log texts of a recorded file: heading, local date, size in MB or
// bytes, length as h:mm:ss and the file type, with the string-table texts.
#include <windows.h>

#include <gtest/gtest.h>
#include <shlwapi.h>

#include <algorithm>

#include "AviTestFiles.h"
#include "files/AviInspection.h"

using namespace avitest;

namespace {

// Larger files are made by moving their end, which leaves the rest of the file unwritten.
constexpr size_t kLargestWrittenFile = 1 << 24;

// A file of exactly nSize bytes whose stream header counts nFrames frames.
Bytes FileOfSize(std::uint32_t fccType, bool bPal, std::uint32_t nFrames, size_t nSize) {
  HandAvi spec;
  spec.fccType = fccType;
  if (bPal) {
    spec.dwScale = 1;
    spec.dwRate = 25;
  }
  spec.frames = MakeFrames(3, {});
  spec.nLength = nFrames;
  Bytes bytes = BuildAvi(spec).bytes;
  bytes.resize(std::min(nSize, kLargestWrittenFile), 0);
  return bytes;
}

// Sets the file's last write so that it is the given local time, and returns the date text
// the system makes of that local time.
std::wstring StampLocalTime(const TempFile& file, WORD wYear, WORD wMonth, WORD wDay, WORD wHour) {
  SYSTEMTIME stLocal = {};
  stLocal.wYear = wYear;
  stLocal.wMonth = wMonth;
  stLocal.wDay = wDay;
  stLocal.wHour = wHour;
  stLocal.wMinute = 6;
  stLocal.wSecond = 7;
  SYSTEMTIME stUtc = {};
  TzSpecificLocalTimeToSystemTime(nullptr, &stLocal, &stUtc);
  FILETIME ft = {};
  SystemTimeToFileTime(&stUtc, &ft);
  file.SetLastWriteTime(ft);
  wchar_t date[64] = {};
  wchar_t time[64] = {};
  GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &stLocal, nullptr, date, 64);
  GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &stLocal, nullptr, time, 64);
  return std::wstring(date) + L" " + time;
}

std::wstring WithoutExtension(const std::wstring& strPath) {
  std::wstring strResult = strPath;
  PathRemoveExtensionW(strResult.data());
  return strResult.c_str();
}

}  // namespace

TEST(AviFileTextTest, TooltipListsDateSizeLengthAndTypeUnderTheChosenHeading) {
  TempFile file(L"録画0001.avi", FileOfSize(FourCC("vids"), false, 300, 524288));
  const std::wstring strDate = StampLocalTime(file, 2024, 3, 4, 5);
  EXPECT_NE(std::wstring::npos, strDate.find(L"2024"));
  EXPECT_NE(std::wstring::npos, strDate.find(L"06:07"));

  const std::wstring strBody = L"撮影日時: " + strDate +
                               L"\r\nファイルサイズ: 0.50 MB\r\n長さ: 0:00:10\r\nファイル形式: AVI（Type2）";
  const std::wstring strFullPath = WithoutExtension(file.Path());
  const std::wstring strName = WithoutExtension(PathFindFileNameW(file.Path().c_str()));
  EXPECT_EQ(strName + L"\r\n" + strBody, GetAVITooltipText(file.Path(), kAviHeadingName));
  EXPECT_EQ(strFullPath + L"\r\n" + strBody, GetAVITooltipText(file.Path(), kAviHeadingFullPath));
  EXPECT_EQ(L"\r\n" + strBody, GetAVITooltipText(file.Path(), 7));

  int nFormat = 0, nType = 0;
  DWORD dwFrames = 0;
  std::wstring strInfoDate;
  ULONGLONG qwSize = 0;
  EXPECT_TRUE(GetAVITooltipInfo(file.Path(), &nFormat, &nType, &dwFrames, &strInfoDate, &qwSize));
  EXPECT_EQ(524288u, qwSize);
  EXPECT_EQ(strDate, strInfoDate);
}

TEST(AviFileTextTest, ReportHeaderGivesTheSizeInBytesAndTheFixedTypeText) {
  TempFile file(L"PLV0002.avi", FileOfSize(FourCC("iavs"), true, 90000, 1572864));
  const std::wstring strDate = StampLocalTime(file, 2023, 12, 31, 23);
  EXPECT_EQ(L"ファイル名: " + WithoutExtension(file.Path()) + L"\r\n撮影日時: " + strDate +
                L"\r\nファイルサイズ: 1,572,864 byte\r\n長さ: 1:00:00\r\nファイル形式: AVI(Type1)\r\n欠落フレーム情報: \r\n",
            GetAVIReportHeader(file.Path()));
  const std::wstring strTooltip = GetAVITooltipText(file.Path(), kAviHeadingName);
  EXPECT_NE(std::wstring::npos, strTooltip.find(L"ファイルサイズ: 1 MB\r\n")) << strTooltip;
  EXPECT_NE(std::wstring::npos, strTooltip.find(L"ファイル形式: AVI（Type1）")) << strTooltip;
}

TEST(AviFileTextTest, SizesAndLengthsAreShownAsThePanelsExpect) {
  struct Case {
    bool bPal;
    std::uint32_t nFrames;
    size_t nSize;
    const wchar_t* pszMegabytes;
    const wchar_t* pszBytes;
    const wchar_t* pszLength;
  };
  const Case cases[] = {
      {false, 108000, 1048575, L"1.00 MB", L"1,048,575 byte", L"1:00:03"},  // "%.2f" rounds up below 1 MB
      {false, 1, 1048576, L"1 MB", L"1,048,576 byte", L"0:00:00"},
      {true, 90000 * 10 + 25 * 61, 1048576 * 1000 - 1, L"999 MB", L"1,048,575,999 byte", L"10:01:01"},
      {true, 24, 1048576 * 1234 + 17, L"1,234 MB", L"1,293,942,801 byte", L"0:00:00"},
      {false, 1800, 5000, L"0.00 MB", L"5,000 byte", L"0:01:00"},
  };
  for (const Case& c : cases) {
    TempFile file(L"size.avi", FileOfSize(FourCC("iavs"), c.bPal, c.nFrames, c.nSize));
    file.SetSize(c.nSize);
    const std::wstring strTooltip = GetAVITooltipText(file.Path(), kAviHeadingName);
    const std::wstring strReport = GetAVIReportHeader(file.Path());
    EXPECT_NE(std::wstring::npos, strTooltip.find(std::wstring(L"ファイルサイズ: ") + c.pszMegabytes + L"\r\n"))
        << strTooltip;
    EXPECT_NE(std::wstring::npos, strReport.find(std::wstring(L"ファイルサイズ: ") + c.pszBytes + L"\r\n")) << strReport;
    EXPECT_NE(std::wstring::npos, strTooltip.find(std::wstring(L"長さ: ") + c.pszLength + L"\r\n")) << strTooltip;
  }
}

TEST(AviFileTextTest, FilesThatCannotBeDescribedFallBackToNotFoundOrTheHeading) {
  TempFile missing(L"gone.avi");
  EXPECT_EQ(L"ファイルが見つかりません。", GetAVITooltipText(missing.Path(), kAviHeadingFullPath));
  EXPECT_EQ(WithoutExtension(missing.Path()), GetAVIReportHeader(missing.Path()));

  // A stream of neither type, and a stream without frames, are not described either.
  TempFile audio(L"auds.avi", FileOfSize(FourCC("auds"), false, 100, 4000));
  EXPECT_EQ(L"ファイルが見つかりません。", GetAVITooltipText(audio.Path(), kAviHeadingName));
  TempFile noFrames(L"zero.avi", FileOfSize(FourCC("vids"), false, 0, 4000));
  EXPECT_EQ(WithoutExtension(noFrames.Path()), GetAVIReportHeader(noFrames.Path()));
}
