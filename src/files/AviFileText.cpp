// The texts shown for a recorded file: its tooltip in the lists and its block in the recording log.
#include <cwchar>
#include <initializer_list>

#include "core/DebugTrace.h"
#include "files/AviFileLayout.h"
#include "files/AviInspection.h"
#include "framework/Resources.h"
#include "resource.h"

namespace {

constexpr double kBytesPerMegabyte = 1048576.0;
constexpr size_t kFractionalMegabyteChars = 4;  // "0.50"
constexpr size_t kDigitsPerGroup = 3;

// The type texts of the recording log, which stay the same in every language.
constexpr const wchar_t* kReportType1 = L"AVI(Type1)";
constexpr const wchar_t* kReportType2 = L"AVI(Type2)";

// The parts of a path: "C:", "\folder\", "name", ".avi".
struct PathParts {
  std::wstring strDrive;
  std::wstring strFolder;
  std::wstring strName;
  std::wstring strExtension;
};

PathParts SplitPath(const std::wstring& strPath) {
  PathParts parts;
  size_t nStart = 0;
  if (strPath.size() >= 2 && strPath[1] == L':') {
    parts.strDrive = strPath.substr(0, 2);
    nStart = 2;
  }
  const size_t nSlash = strPath.find_last_of(L"\\/");
  size_t nNameStart = nStart;
  if (nSlash != std::wstring::npos && nSlash >= nStart) {
    parts.strFolder = strPath.substr(nStart, nSlash + 1 - nStart);
    nNameStart = nSlash + 1;
  }
  const size_t nDot = strPath.find_last_of(L'.');
  const size_t nNameEnd = (nDot != std::wstring::npos && nDot >= nNameStart) ? nDot : strPath.size();
  parts.strName = strPath.substr(nNameStart, nNameEnd - nNameStart);
  parts.strExtension = strPath.substr(nNameEnd);
  return parts;
}

// "1234567" -> "1,234,567".
std::wstring GroupThousands(ULONGLONG qwValue) {
  const std::wstring strDigits = std::to_wstring(qwValue);
  std::wstring strResult;
  for (size_t i = 0; i < strDigits.size(); ++i) {
    if (i > 0 && (strDigits.size() - i) % kDigitsPerGroup == 0) strResult += L',';
    strResult += strDigits[i];
  }
  return strResult;
}

// Whole megabytes with separators from 1 MB on, below that two decimals ("0.50").
std::wstring MegabyteText(ULONGLONG qwSize) {
  const double dMegabytes = static_cast<double>(qwSize) / kBytesPerMegabyte;
  if (dMegabytes >= 1.0) return GroupThousands(static_cast<ULONGLONG>(dMegabytes)) + L" MB";
  wchar_t text[32] = {};
  swprintf(text, sizeof(text) / sizeof(text[0]), L"%.2f", dMegabytes);
  return std::wstring(text).substr(0, kFractionalMegabyteChars) + L" MB";
}

// "h:mm:ss" of the stream's length.
std::wstring LengthText(int nVideoFormat, DWORD dwTotalFrames) {
  const Timecode tc = FrameToTimecode(nVideoFormat, dwTotalFrames);
  wchar_t text[32] = {};
  swprintf(text, sizeof(text) / sizeof(text[0]), L"%d:%02d:%02d", tc.nHours, tc.nMinutes, tc.nSeconds);
  return text;
}

// The string-table format with each "%s" replaced by the next argument in turn ("%%" is "%").
std::wstring FillFormat(const std::wstring& strFormat, std::initializer_list<std::wstring> args) {
  std::wstring strResult;
  auto itArg = args.begin();
  for (size_t i = 0; i < strFormat.size(); ++i) {
    if (strFormat[i] == L'%' && i + 1 < strFormat.size()) {
      if (strFormat[i + 1] == L's') {
        if (itArg != args.end()) strResult += *itArg++;
        ++i;
        continue;
      }
      if (strFormat[i + 1] == L'%') {
        strResult += L'%';
        ++i;
        continue;
      }
    }
    strResult += strFormat[i];
  }
  return strResult;
}

struct TooltipFacts {
  int nVideoFormat = 0;
  int nAviType = 0;
  DWORD dwTotalFrames = 0;
  std::wstring strDate;
  ULONGLONG qwFileSize = 0;
};

BOOL ReadTooltipFacts(const std::wstring& strPath, TooltipFacts* pFacts) {
  const BOOL bOk = GetAVITooltipInfo(strPath, &pFacts->nVideoFormat, &pFacts->nAviType, &pFacts->dwTotalFrames,
                                     &pFacts->strDate, &pFacts->qwFileSize);
  return !TRACE_FAILED_BOOL(bOk, "GetAVITooltipInfo");
}

}  // namespace

std::wstring GetAVITooltipText(const std::wstring& strPath, int nHeading) {
  const PathParts parts = SplitPath(strPath);
  std::wstring strHeading;
  if (nHeading == kAviHeadingName) strHeading = parts.strName;
  if (nHeading == kAviHeadingFullPath) strHeading = parts.strDrive + parts.strFolder + parts.strName;

  TooltipFacts facts;
  if (!ReadTooltipFacts(strPath, &facts)) return framework::LoadResString(IDS_FILE_NOT_FOUND);

  const std::wstring strType =
      framework::LoadResString(facts.nAviType == avilayout::kAviType1 ? IDS_AVI_TYPE1 : IDS_AVI_TYPE2);
  return strHeading + L"\r\n" +
         FillFormat(framework::LoadResString(IDS_AVI_TOOLTIP_FORMAT),
                    {facts.strDate, MegabyteText(facts.qwFileSize), LengthText(facts.nVideoFormat, facts.dwTotalFrames),
                     strType});
}

std::wstring GetAVIReportHeader(const std::wstring& strPath) {
  const PathParts parts = SplitPath(strPath);
  const std::wstring strHeading = parts.strDrive + parts.strFolder + parts.strName;

  TooltipFacts facts;
  if (!ReadTooltipFacts(strPath, &facts)) return strHeading;

  const std::wstring strType = facts.nAviType == avilayout::kAviType1 ? kReportType1 : kReportType2;
  return FillFormat(framework::LoadResString(IDS_AVI_REPORT_FORMAT),
                    {strHeading, facts.strDate, GroupThousands(facts.qwFileSize) + L" byte",
                     LengthText(facts.nVideoFormat, facts.dwTotalFrames), strType});
}
