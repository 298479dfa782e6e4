// The tooltip and recording-log texts of a recorded file: heading, local date, size in MB or
// bytes, length as h:mm:ss and the file type, with the string-table texts.
#include <windows.h>

#include <gtest/gtest.h>
#include <shlwapi.h>

#include "AviTestFiles.h"
#include "files/AviInspection.h"

using namespace avitest;

namespace {

// A file of nSize bytes whose stream header counts nFrames frames; sizes past the built file
// are reached by writing its last byte only.
void MakeFile(const TempFile& file, std::uint32_t fccType, bool bPal, std::uint32_t nFrames, ULONGLONG qwSize) {
  HandAvi layout;
  layout.fccType = fccType;
  layout.dwScale = bPal ? 1 : 1001;
  layout.dwRate = bPal ? 25 : 30000;
  layout.frames = MakeFrames(3, {});
  layout.nLength = nFrames;
  file.Write(BuildAvi(layout).bytes);
  file.WriteAt(qwSize - 1, Bytes{0});
}

// Stamps the file's last write with a local time and returns the text the system makes of it.
std::wstring StampLocalTime(const TempFile& file, WORD wYear, WORD wMonth, WORD wDay, WORD wHour) {
  SYSTEMTIME stLocal = {wYear, wMonth, 0, wDay, wHour, 6, 7, 0};
  SYSTEMTIME stUtc = {};
  FILETIME ft = {};
  TzSpecificLocalTimeToSystemTime(nullptr, &stLocal, &stUtc);
  SystemTimeToFileTime(&stUtc, &ft);
  file.SetLastWriteTime(ft);
  wchar_t date[64] = {};
  wchar_t time[64] = {};
  GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &stLocal, nullptr, date, 64);
  GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &stLocal, nullptr, time, 64);
  return std::wstring(date) + L" " + time;
}

std::wstring WithoutExtension(std::wstring strPath) {
  PathRemoveExtensionW(strPath.data());
  return strPath.c_str();
}

}  // namespace

TEST(AviFileTextTest, TooltipAndReportListDateSizeLengthAndTypeUnderTheirHeadings) {
  TempFile file(L"録画0001.avi");
  MakeFile(file, FourCC("vids"), false, 108000, 524288);
  const std::wstring strDate = StampLocalTime(file, 2024, 3, 4, 5);
  EXPECT_NE(std::wstring::npos, strDate.find(L"2024"));
  EXPECT_NE(std::wstring::npos, strDate.find(L"06:07"));

  const std::wstring strBody = L"撮影日時: " + strDate + L"\r\nファイルサイズ: 0.50 MB\r\n長さ: 1:00:03\r\nファイル形式: AVI（Type2）";
  EXPECT_EQ(WithoutExtension(PathFindFileNameW(file.Path().c_str())) + L"\r\n" + strBody,
            GetAVITooltipText(file.Path(), kAviHeadingName));
  EXPECT_EQ(WithoutExtension(file.Path()) + L"\r\n" + strBody, GetAVITooltipText(file.Path(), kAviHeadingFullPath));
  EXPECT_EQ(L"\r\n" + strBody, GetAVITooltipText(file.Path(), 7));

  MakeFile(file, FourCC("iavs"), true, 90000, 1572864);
  const std::wstring strDate2 = StampLocalTime(file, 2023, 12, 31, 23);
  EXPECT_EQ(L"ファイル名: " + WithoutExtension(file.Path()) + L"\r\n撮影日時: " + strDate2 +
                L"\r\nファイルサイズ: 1,572,864 byte\r\n長さ: 1:00:00\r\nファイル形式: AVI(Type1)\r\n欠落フレーム情報: \r\n",
            GetAVIReportHeader(file.Path()));
  const std::wstring strTooltip = GetAVITooltipText(file.Path(), kAviHeadingName);
  EXPECT_NE(std::wstring::npos, strTooltip.find(L"ファイルサイズ: 1 MB\r\n長さ: 1:00:00\r\nファイル形式: AVI（Type1）"))
      << strTooltip;
}

TEST(AviFileTextTest, SizesAreGroupedByThousandsAndSmallOnesCutToFourCharacters) {
  struct Case {
    ULONGLONG qwSize;
    const wchar_t* pszMegabytes;
    const wchar_t* pszBytes;
  };
  const Case cases[] = {{5000, L"0.00 MB", L"5,000 byte"},
                        {1048575, L"1.00 MB", L"1,048,575 byte"},  // "%.2f" rounds up below 1 MB
                        {1048576ull * 1000 - 1, L"999 MB", L"1,048,575,999 byte"},
                        {1048576ull * 1234 + 17, L"1,234 MB", L"1,293,942,801 byte"}};
  for (const Case& c : cases) {
    TempFile file(L"size.avi");
    MakeFile(file, FourCC("iavs"), false, 1800, c.qwSize);
    const std::wstring strTooltip = GetAVITooltipText(file.Path(), kAviHeadingName);
    const std::wstring strReport = GetAVIReportHeader(file.Path());
    EXPECT_NE(std::wstring::npos, strTooltip.find(std::wstring(L"ファイルサイズ: ") + c.pszMegabytes + L"\r\n")) << strTooltip;
    EXPECT_NE(std::wstring::npos, strReport.find(std::wstring(L"ファイルサイズ: ") + c.pszBytes + L"\r\n")) << strReport;
    EXPECT_NE(std::wstring::npos, strTooltip.find(L"長さ: 0:01:00\r\n")) << strTooltip;
  }
}

TEST(AviFileTextTest, FilesThatCannotBeDescribedFallBackToNotFoundOrTheHeading) {
  TempFile missing(L"gone.avi");
  EXPECT_EQ(L"ファイルが見つかりません。", GetAVITooltipText(missing.Path(), kAviHeadingFullPath));
  EXPECT_EQ(WithoutExtension(missing.Path()), GetAVIReportHeader(missing.Path()));
  TempFile audio(L"auds.avi");
  MakeFile(audio, FourCC("auds"), false, 100, 4000);
  EXPECT_EQ(L"ファイルが見つかりません。", GetAVITooltipText(audio.Path(), kAviHeadingName));
  TempFile noFrames(L"zero.avi");
  MakeFile(noFrames, FourCC("vids"), false, 0, 4000);
  EXPECT_EQ(WithoutExtension(noFrames.Path()), GetAVIReportHeader(noFrames.Path()));
}
