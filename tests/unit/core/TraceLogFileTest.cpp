// The log file's rotation, the record buffer's safe cut and the cached ini reader, on real files.
#include <gtest/gtest.h>

#include <cstring>

#include "TestFiles.h"
#include "core/DebugIniFile.h"
#include "core/TraceLogFile.h"
#include "core/TraceRecord.h"

using namespace test_files;

namespace {

std::string Narrow(const std::wstring& wide, UINT nCodePage = CP_ACP) {
  const int nBytes = WideCharToMultiByte(nCodePage, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<size_t>(nBytes), '\0');
  WideCharToMultiByte(nCodePage, 0, wide.c_str(), -1, narrow.data(), nBytes, nullptr, nullptr);
  return narrow.c_str();
}

class TraceLogFileTest : public ::testing::Test {
protected:
  TempFolder m_folder;
  std::wstring m_strLog = m_folder.Path(L"trace.log");
  TraceLogFile m_log{Narrow(m_strLog)};

  std::wstring Rotated(const wchar_t* suffix) const { return m_strLog + suffix; }
};

TEST_F(TraceLogFileTest, AFileOfExactlyOneMillionBytesIsAppendedTo) {
  WriteFileOfSize(m_strLog, 1000000);
  m_log.Append("record\n", false);
  EXPECT_FALSE(Exists(Rotated(L"0001")));
  // Text mode: the line feed reaches the file as CR LF.
  EXPECT_EQ(1000000u + 8u, SizeOf(m_strLog));
}

TEST_F(TraceLogFileTest, AFileOfOneMillionAndOneBytesIsMovedAsideBeforeTheRecord) {
  WriteFileOfSize(m_strLog, 1000001);
  m_log.Append("fresh\n", false);
  ASSERT_TRUE(Exists(Rotated(L"0001")));
  EXPECT_EQ(1000001u, SizeOf(Rotated(L"0001")));
  ASSERT_EQ(7u, SizeOf(m_strLog));
  EXPECT_EQ("fresh\r\n", ReadBytes(m_strLog));
}

TEST_F(TraceLogFileTest, RotationTakesTheFirstFreeNumber) {
  WriteBytes(Rotated(L"0001"), "one");
  WriteBytes(Rotated(L"0002"), "two");
  WriteFileOfSize(m_strLog, 1200000);
  m_log.Append("after\n", true);
  EXPECT_EQ("one", ReadBytes(Rotated(L"0001")));
  EXPECT_EQ("two", ReadBytes(Rotated(L"0002")));
  EXPECT_EQ(1200000u, SizeOf(Rotated(L"0003")));
  ASSERT_EQ(7u, SizeOf(m_strLog));
  EXPECT_EQ("after\r\n", ReadBytes(m_strLog));
}

TEST_F(TraceLogFileTest, AFileThatCannotBeMovedKeepsGrowing) {
  WriteFileOfSize(m_strLog, 1000001);
  // Another handle without delete sharing keeps the file from being renamed, but not from being
  // appended to.
  HANDLE hHolder = CreateFileW(m_strLog.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, hHolder);
  m_log.Append("kept\n", false);
  CloseHandle(hHolder);
  EXPECT_FALSE(Exists(Rotated(L"0001")));
  EXPECT_FALSE(Exists(Rotated(L"0002")));
  EXPECT_EQ(1000001u + 6u, SizeOf(m_strLog));
}

TEST(TraceRecordTest, ACutNeverSplitsADoubleByteCharacter) {
  ASSERT_EQ(932u, GetACP());
  const std::string kana = Narrow(L"あいうえおかきくけこ");  // two bytes each in code page 932
  ASSERT_EQ(20u, kana.size());

  TraceRecord record(16);  // 15 bytes of text
  record.Append("ab");
  record.Append("%s", kana.c_str());
  // 2 + 13 bytes would end on a lead byte, so the record stops after six characters.
  EXPECT_EQ(14u, record.GetLength());
  EXPECT_EQ("ab" + kana.substr(0, 12), std::string(record.GetText()));

  TraceRecord odd(16);
  odd.Append("a");
  odd.Append("%s", kana.c_str());
  EXPECT_EQ(15u, odd.GetLength());
  EXPECT_EQ("a" + kana.substr(0, 14), std::string(odd.GetText()));
}

TEST(TraceRecordTest, LongTextIsCutAtTheBufferEnd) {
  const std::string longText(10000, 'x');
  TraceRecord record;
  record.Append("head ");
  record.Append("%s", longText.c_str());
  record.Append("tail");  // no room left: ignored
  record.AppendRepeated('-', 50);
  EXPECT_EQ(TraceRecord::kRecordBytes - 1, record.GetLength());
  EXPECT_EQ(record.GetLength(), std::strlen(record.GetText()));
  EXPECT_EQ(0, std::strncmp(record.GetText(), "head xxx", 8));
}

class DebugIniFileTest : public ::testing::Test {
protected:
  TempFolder m_folder;
  std::wstring m_strIni = m_folder.Path(L"program.ini");
  DebugIniFile m_ini{m_strIni};
};

TEST_F(DebugIniFileTest, ValuesAreReadAgainOnlyWhenTheWriteTimeChanges) {
  WriteBytes(m_strIni, "[Debug]\r\nOnlyNodeCount2=0\r\n");
  ShiftWriteTime(m_strIni, -60);
  EXPECT_EQ(L"0", m_ini.GetString(L"OnlyNodeCount2"));

  // New text with the old time: the cached value stays.
  WIN32_FILE_ATTRIBUTE_DATA before = {};
  GetFileAttributesExW(m_strIni.c_str(), GetFileExInfoStandard, &before);
  WriteBytes(m_strIni, "[Debug]\r\nOnlyNodeCount2=7\r\n");
  HANDLE hFile = CreateFileW(m_strIni.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
  SetFileTime(hFile, nullptr, nullptr, &before.ftLastWriteTime);
  CloseHandle(hFile);
  EXPECT_EQ(L"0", m_ini.GetString(L"onlynodecount2"));

  ShiftWriteTime(m_strIni, 30);
  EXPECT_EQ(L"7", m_ini.GetString(L"OnlyNodeCount2"));
}

TEST_F(DebugIniFileTest, MissingFileSectionOrKeyReadsEmpty) {
  EXPECT_EQ(L"", m_ini.GetString(L"TraceOut"));
  WriteBytes(m_strIni, "[Other]\r\nTraceOut=1\r\n[Debug]\r\nFileOut=1\r\n");
  EXPECT_EQ(L"", m_ini.GetString(L"TraceOut"));
  EXPECT_EQ(L"1", m_ini.GetString(L"FILEOUT"));
  Remove(m_strIni);
  EXPECT_EQ(L"", m_ini.GetString(L"FileOut"));
}

}  // namespace
