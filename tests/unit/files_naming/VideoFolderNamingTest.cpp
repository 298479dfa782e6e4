// Video folder, date folder and serial-number naming, on real folders with real files.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TempFolder.h"
#include "core/AppSettings.h"

namespace {

// Settings whose "today" is 5 March 2005.
class SettingsOnFixedDate : public AppSettings {
protected:
  SYSTEMTIME GetLocalDate() const override {
    SYSTEMTIME st = {};
    st.wYear = 2005;
    st.wMonth = 3;
    st.wDay = 5;
    return st;
  }
};

// A search that breaks off with a network error after the names it was given.
class SettingsWithBrokenSearch : public AppSettings {
public:
  explicit SettingsWithBrokenSearch(std::vector<std::wstring> names) : m_names(std::move(names)) {}

protected:
  DWORD FindMatchingFiles(const std::wstring&, std::vector<std::wstring>* pNames) const override {
    *pNames = m_names;
    return ERROR_NETNAME_DELETED;
  }

private:
  std::vector<std::wstring> m_names;
};

class VideoFolderNamingTest : public ::testing::Test {
protected:
  void SetUp() override {
    m_strFolder = testsupport::MakeTempFolder();
    m_settings.SetRecordFolder(m_strFolder);
    m_settings.SetNewFolderCreate(0);
  }
  void TearDown() override { testsupport::RemoveFolderTree(m_strFolder); }

  void Touch(const std::wstring& relativePath) {
    HANDLE hFile = CreateFileW((m_strFolder + relativePath).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, hFile) << "could not make " << relativePath.size();
    CloseHandle(hFile);
  }

  std::wstring m_strFolder;
  SettingsOnFixedDate m_settings;
};

TEST_F(VideoFolderNamingTest, AnEmptyFolderStartsAtNumberOne) {
  m_settings.SetNextSerialNumber(57);
  EXPECT_TRUE(m_settings.FindNextSerialNumber());
  EXPECT_EQ(1, m_settings.GetNextSerialNumber());
  EXPECT_EQ(m_strFolder + L"PLVR0001.avi", m_settings.GetNextFilePath());
  EXPECT_FALSE(m_settings.IsSerialNumberExhausted());
}

TEST_F(VideoFolderNamingTest, TheNextNumberFollowsTheHighestNumberOfFourToSevenDigits) {
  for (const wchar_t* name : {L"PLVR0001.avi", L"PLVR0007.avi", L"PLVR12.avi", L"PLVR123.avi", L"PLVR0001a.avi",
                              L"PLVR00001234567890.avi", L"PLVR.avi", L"PLVR0050.mov", L"XYZ0900.avi"})
    Touch(name);
  EXPECT_TRUE(m_settings.FindNextSerialNumber());
  EXPECT_EQ(8, m_settings.GetNextSerialNumber());
  EXPECT_EQ(m_strFolder + L"PLVR0008.avi", m_settings.GetNextFilePath());

  Touch(L"PLVR1234567.avi");  // seven digits still count
  EXPECT_TRUE(m_settings.FindNextSerialNumber());
  EXPECT_EQ(1234568, m_settings.GetNextSerialNumber());
  EXPECT_EQ(m_strFolder + L"PLVR1234568.avi", m_settings.GetNextFilePath());
}

TEST_F(VideoFolderNamingTest, NamesMatchInTheFileSystemsLetterCase) {
  Touch(L"plvr0041.AVI");
  EXPECT_TRUE(m_settings.FindNextSerialNumber());
  EXPECT_EQ(42, m_settings.GetNextSerialNumber());
}

TEST_F(VideoFolderNamingTest, TheLastNumberExhaustsTheRange) {
  Touch(L"PLVR9999998.avi");
  EXPECT_FALSE(m_settings.IsSerialNumberExhausted());
  EXPECT_EQ(9999999, m_settings.GetNextSerialNumber());
  EXPECT_EQ(L"PLVR9999999.avi", m_settings.MakeFileName(m_settings.GetNextSerialNumber()));
  EXPECT_EQ(L"PLVR12345.avi", m_settings.MakeFileName(12345));

  Touch(L"PLVR9999999.avi");
  EXPECT_FALSE(m_settings.FindNextSerialNumber());
  EXPECT_EQ(1, m_settings.GetNextSerialNumber());
  EXPECT_TRUE(m_settings.IsSerialNumberExhausted());
}

TEST_F(VideoFolderNamingTest, APrefixAndADateFolderMakeTheFilePath) {
  m_settings.SetFilePrefix(L"ABC");
  m_settings.SetNewFolderCreate(1);
  m_settings.SetNewFolderNameSetting(0);
  const std::wstring strDateFolder = m_strFolder + L"2005_03_05\\";
  EXPECT_EQ(strDateFolder, m_settings.GetVideoFolder());
  ASSERT_TRUE(CreateDirectoryW(strDateFolder.c_str(), nullptr));

  EXPECT_TRUE(m_settings.FindNextSerialNumber());
  EXPECT_EQ(strDateFolder + L"ABC0001.avi", m_settings.GetNextFilePath());

  Touch(L"2005_03_05\\ABC0001.avi");
  Touch(L"2005_03_05\\ABC0002.avi");
  Touch(L"2005_03_05\\PLVR0009.avi");
  Touch(L"ABC0020.avi");  // beside the date folder, not in it
  EXPECT_TRUE(m_settings.FindNextSerialNumber());
  EXPECT_EQ(strDateFolder + L"ABC0003.avi", m_settings.GetNextFilePath());
}

TEST_F(VideoFolderNamingTest, AUserNamedFolderTakesThePlaceOfTheDate) {
  m_settings.SetNewFolderCreate(1);
  m_settings.SetNewFolderNameSetting(1);
  m_settings.SetNewFolderName(L"trip");
  m_settings.SetRecordFolder(m_strFolder.substr(0, m_strFolder.size() - 1));  // without its backslash
  EXPECT_EQ(m_strFolder + L"trip\\", m_settings.GetVideoFolder());
}

TEST_F(VideoFolderNamingTest, AMissingFolderFailsTheSearchWithoutExhaustingTheRange) {
  m_settings.SetRecordFolder(m_strFolder + L"absent\\");
  EXPECT_FALSE(m_settings.FindNextSerialNumber());
  EXPECT_EQ(0, m_settings.GetNextSerialNumber());
  EXPECT_FALSE(m_settings.IsSerialNumberExhausted());
}

TEST(VideoFolderNamingSearchTest, ASearchThatBreaksOffNeverReusesTheHighestNumberSeen) {
  SettingsWithBrokenSearch settings({L"PLVR0003.avi", L"PLVR0005.avi"});
  EXPECT_FALSE(settings.FindNextSerialNumber());
  EXPECT_EQ(6, settings.GetNextSerialNumber());
}

TEST(VideoFolderNamingSearchTest, OnlyTheLastNumberSeenExhaustsTheNamesAfterASearchBreaksOff) {
  struct Case {
    std::vector<std::wstring> names;
    int nNext;
    bool bExhausted;
  };
  const Case cases[] = {
      {{L"PLVR.avi", L"PLVRtrip.avi"}, 1, false},  // only unnumbered files seen
      {{L"PLVR0003.avi"}, 4, false},
      {{L"PLVR9999999.avi", L"PLVR.avi"}, 1, true},
  };
  for (const Case& c : cases) {
    SettingsWithBrokenSearch settings(c.names);
    EXPECT_EQ(c.bExhausted, settings.IsSerialNumberExhausted() != FALSE) << c.names.front();
    EXPECT_EQ(c.nNext, settings.GetNextSerialNumber()) << c.names.front();
  }
}

TEST(SerialNumberTest, OnlyFourToSevenDigitsAfterThePrefixCount) {
  struct Case {
    const wchar_t* name;
    size_t nPrefixLength;
    int nExpected;
  };
  const Case cases[] = {
      {L"PLVR0001.avi", 4, 1},          {L"PLVR0007.AVI", 4, 7},
      {L"PLVR12.avi", 4, -1},           {L"PLVR123.avi", 4, -1},
      {L"PLVR1234567.avi", 4, 1234567}, {L"PLVR12345678.avi", 4, -1},
      {L"PLVR0001a.avi", 4, -1},        {L"PLVR-001.avi", 4, -1},
      {L"PLVR００１２.avi", 4, -1},      {L"ABC0012.avi", 3, 12},
      {L"ABC0012.avi", 4, -1},          {L"PLVR0099", 4, 99},
      {L"PLVR0001.avi.avi", 4, -1},     {L"", 4, -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.nExpected, AppSettings::ParseSerialNumber(c.name, c.nPrefixLength))
        << "name of " << wcslen(c.name) << " characters, case " << (&c - cases);
  }
}

TEST(FileSystemNameTest, WineDrivesReportNtfs) {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  EXPECT_EQ(L"NTFS", AppSettings::GetFileSystemName(std::wstring(temp) + L"some\\deeper\\folder\\"));
  EXPECT_EQ(L"NTFS", AppSettings::GetFileSystemName(L""));  // the current drive
  EXPECT_EQ(L"", AppSettings::GetFileSystemName(L"Q:\\no drive here\\"));
}

}  // namespace
