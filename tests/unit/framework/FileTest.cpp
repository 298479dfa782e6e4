#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "framework/File.h"

namespace {

using framework::File;
using framework::FileException;

class FileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t folder[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, folder);
    wchar_t path[MAX_PATH] = {};
    ::GetTempFileNameW(folder, L"PFT", 0, path);
    m_strPath = path;
    std::vector<BYTE> bytes(100);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<BYTE>(i);
    HANDLE file = ::CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(file);
  }
  void TearDown() override { ::DeleteFileW(m_strPath.c_str()); }
  std::wstring m_strPath;
};

TEST_F(FileTest, ReadsSeeksAndMeasures) {
  File file;
  ASSERT_TRUE(file.Open(m_strPath, File::modeRead | File::shareDenyWrite));
  EXPECT_EQ(file.GetLength(), 100u);
  BYTE block[12] = {};
  file.Read(block, sizeof(block));
  EXPECT_EQ(block[0], 0);
  EXPECT_EQ(block[11], 11);
  EXPECT_EQ(file.GetPosition(), 12u);
  EXPECT_EQ(file.Seek(-4, File::end), 96u);
  BYTE tail[8] = {};
  EXPECT_EQ(file.ReadSome(tail, sizeof(tail)), 4u);
  EXPECT_EQ(tail[3], 99);
  EXPECT_EQ(file.ReadSome(tail, sizeof(tail)), 0u) << "at the end nothing more is read";
}

TEST_F(FileTest, ReadPastTheEndOfATruncatedFileThrowsEndOfFile) {
  File file;
  ASSERT_TRUE(file.Open(m_strPath, File::modeRead | File::shareDenyWrite));
  file.Seek(90, File::begin);
  BYTE block[64] = {};
  try {
    file.Read(block, sizeof(block));
    FAIL() << "a short read must not pass as a whole block";
  } catch (const FileException& error) {
    EXPECT_EQ(error.m_cause, FileException::endOfFile);
    EXPECT_EQ(error.m_dwOsError, static_cast<DWORD>(ERROR_HANDLE_EOF));
    EXPECT_EQ(error.m_strFileName, m_strPath);
  }
}

TEST_F(FileTest, ReadOnAHandleWithoutReadAccessThrowsAccessDenied) {
  File file;
  ASSERT_TRUE(file.Open(m_strPath, File::modeWrite));
  BYTE block[4] = {};
  try {
    file.Read(block, sizeof(block));
    FAIL() << "reading a write-only handle must throw";
  } catch (const FileException& error) {
    EXPECT_EQ(error.m_cause, FileException::accessDenied);
    EXPECT_EQ(error.m_dwOsError, static_cast<DWORD>(ERROR_ACCESS_DENIED));
  }
}

TEST_F(FileTest, OpenFailuresReportTheirCause) {
  File file;
  FileException error(FileException::none, 0, L"");
  EXPECT_FALSE(file.Open(m_strPath + L".missing", File::modeRead, &error));
  EXPECT_EQ(error.m_cause, FileException::fileNotFound);
  EXPECT_FALSE(file.IsOpen());

  // Others may not write while the type tests read: a writer already holding the file wins.
  HANDLE writer = ::CreateFileW(m_strPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(file.Open(m_strPath, File::modeRead | File::shareDenyWrite, &error));
  EXPECT_EQ(error.m_cause, FileException::sharingViolation);
  ::CloseHandle(writer);
  EXPECT_TRUE(file.Open(m_strPath, File::modeRead | File::shareDenyWrite));
}

TEST_F(FileTest, ClosedFileAndBadSeekThrow) {
  File file;
  BYTE block[4] = {};
  EXPECT_THROW(file.Read(block, sizeof(block)), FileException);
  ASSERT_TRUE(file.Open(m_strPath, File::modeRead));
  try {
    file.Seek(-1, File::begin);
    FAIL() << "a position before the start must throw";
  } catch (const FileException& error) {
    EXPECT_EQ(error.m_cause, FileException::badSeek);
  }
  file.Close();
  EXPECT_THROW(file.GetLength(), FileException);
}

}  // namespace
