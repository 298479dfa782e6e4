// The settings store on the real registry, with HKEY_CURRENT_USER redirected to a test key.
#include <gtest/gtest.h>

#include <shlobj.h>

#include "RegistryOverride.h"
#include "core/AppSettings.h"

namespace {

constexpr const wchar_t* kKey = L"SOFTWARE\\Tavin\\Plover1.0";

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

class AppSettingsTest : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(m_override.IsActive()); }

  static void PutString(const wchar_t* name, const std::wstring& text) {
    ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueW(HKEY_CURRENT_USER, kKey, name, REG_SZ, text.c_str(),
                                             static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))));
  }
  static void PutDword(const wchar_t* name, DWORD value) {
    ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueW(HKEY_CURRENT_USER, kKey, name, REG_DWORD, &value, sizeof(value)));
  }
  // Every value, in range, as a saved set would hold them.
  static void PutCompleteSet() {
    PutString(L"RecordFolder", L"D:\\Video");
    PutDword(L"NewFolderCreate", 0);
    PutDword(L"NewFolderNameSetting", 1);
    PutString(L"NewFolderName", L"trip");
    PutString(L"FilePrefix", L"CAM");
    PutDword(L"VideoFolderCheck", 0);
    PutDword(L"RecordMode", 1);
    PutDword(L"PreviewSize", 1);
    PutDword(L"RecordFormat", 1);
  }
  static std::wstring GetString(const wchar_t* name) {
    wchar_t text[300] = {};
    DWORD cbData = sizeof(text);
    DWORD dwType = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, kKey, name, RRF_RT_ANY, &dwType, text, &cbData) != ERROR_SUCCESS ||
        dwType != REG_SZ)
      return L"<missing>";
    return text;
  }
  static DWORD GetDword(const wchar_t* name) {
    DWORD value = 0xDEADBEEF;
    DWORD cbData = sizeof(value);
    RegGetValueW(HKEY_CURRENT_USER, kKey, name, RRF_RT_REG_DWORD, nullptr, &value, &cbData);
    return value;
  }
  static std::wstring Documents() {
    wchar_t path[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, path);
    return std::wstring(path) + L"\\";
  }

  RegistryOverride m_override;
};

TEST_F(AppSettingsTest, AFirstRunWithoutTheKeyKeepsTheConstructorValuesAndDefaults) {
  SettingsOnFixedDate settings;
  EXPECT_FALSE(settings.Load());
  EXPECT_EQ(1u, settings.GetNewFolderCreate());
  EXPECT_EQ(0u, settings.GetNewFolderNameSetting());
  EXPECT_EQ(1u, settings.GetVideoFolderCheck());
  EXPECT_EQ(0u, settings.GetRecordMode());
  EXPECT_EQ(3u, settings.GetPreviewSize());
  EXPECT_EQ(2u, settings.GetRecordFormat());
  EXPECT_EQ(4, settings.GetSerialDigits());
  EXPECT_EQ(1, settings.GetFirstSerialNumber());
  EXPECT_EQ(1, settings.GetNextSerialNumber());
  EXPECT_EQ(Documents(), settings.GetRecordFolder());
  EXPECT_EQ(L"PLVR", settings.GetFilePrefix());
  EXPECT_EQ(L"2005_03_05", settings.GetNewFolderName());
  EXPECT_EQ(Documents() + L"2005_03_05\\", settings.GetVideoFolder());
}

TEST_F(AppSettingsTest, StoredValuesAreReadWithAFolderBackslashAppended) {
  PutCompleteSet();
  AppSettings settings;
  ASSERT_TRUE(settings.Load());
  EXPECT_EQ(L"D:\\Video\\", settings.GetRecordFolder());
  EXPECT_EQ(0u, settings.GetNewFolderCreate());
  EXPECT_EQ(1u, settings.GetNewFolderNameSetting());
  EXPECT_EQ(L"trip", settings.GetNewFolderName());
  EXPECT_EQ(L"CAM", settings.GetFilePrefix());
  EXPECT_EQ(0u, settings.GetVideoFolderCheck());
  EXPECT_EQ(1u, settings.GetRecordMode());
  EXPECT_EQ(1u, settings.GetPreviewSize());
  EXPECT_EQ(1u, settings.GetRecordFormat());

  PutString(L"RecordFolder", L"E:\\");  // a drive root gets no second backslash
  PutString(L"FilePrefix", L"ABCDEFGHIJKLMNOPQ");  // 17 characters: the longest that fits
  ASSERT_TRUE(settings.Load());
  EXPECT_EQ(L"E:\\", settings.GetRecordFolder());
  EXPECT_EQ(L"ABCDEFGHIJKLMNOPQ", settings.GetFilePrefix());
}

TEST_F(AppSettingsTest, EveryClampedValueHoldsAtItsBoundsAndIsReplacedJustPastThem) {
  // Each stored number at its largest value, one above it, far above it, at 0 and at -1 (stored
  // as FFFFFFFFh: the comparisons are unsigned, so it counts as far above).
  struct Clamp {
    const wchar_t* name;
    DWORD (AppSettings::*get)() const;
    DWORD dwMax;
    DWORD dwPastMax;  // what any larger value reads as
  };
  const Clamp clamps[] = {
      {L"NewFolderCreate", &AppSettings::GetNewFolderCreate, 1, 1},
      {L"NewFolderNameSetting", &AppSettings::GetNewFolderNameSetting, 1, 0},
      {L"VideoFolderCheck", &AppSettings::GetVideoFolderCheck, 1, 1},
      {L"RecordMode", &AppSettings::GetRecordMode, 1, 0},
      {L"PreviewSize", &AppSettings::GetPreviewSize, 3, 3},
      {L"RecordFormat", &AppSettings::GetRecordFormat, 2, 2},
  };
  for (const Clamp& clamp : clamps) {
    struct Probe {
      DWORD dwStored;
      DWORD dwRead;
    };
    // 0 is below RecordFormat's smallest format (1) and stays 0: the record graph then keeps its own.
    const Probe probes[] = {{clamp.dwMax, clamp.dwMax},
                            {clamp.dwMax + 1, clamp.dwPastMax},
                            {clamp.dwMax + 6, clamp.dwPastMax},
                            {0, 0},
                            {0xFFFFFFFF, clamp.dwPastMax}};
    for (const Probe& probe : probes) {
      SCOPED_TRACE(::testing::Message() << "stored " << probe.dwStored);
      PutCompleteSet();
      PutDword(clamp.name, probe.dwStored);
      AppSettings settings;
      ASSERT_TRUE(settings.Load());
      EXPECT_EQ(probe.dwRead, (settings.*clamp.get)()) << clamp.name;
    }
  }
}

TEST_F(AppSettingsTest, APrefixOfEighteenCharactersStopsTheLoadThere) {
  PutCompleteSet();
  PutString(L"FilePrefix", L"ABCDEFGHIJKLMNOPQR");
  AppSettings settings;
  EXPECT_FALSE(settings.Load());
  // Values before the prefix were read ...
  EXPECT_EQ(L"D:\\Video\\", settings.GetRecordFolder());
  EXPECT_EQ(L"trip", settings.GetNewFolderName());
  EXPECT_EQ(1u, settings.GetNewFolderNameSetting());
  // ... the prefix and every later value keep what they had.
  EXPECT_EQ(L"PLVR", settings.GetFilePrefix());
  EXPECT_EQ(1u, settings.GetVideoFolderCheck());
  EXPECT_EQ(0u, settings.GetRecordMode());
  EXPECT_EQ(3u, settings.GetPreviewSize());
  EXPECT_EQ(2u, settings.GetRecordFormat());
}

TEST_F(AppSettingsTest, AStoredTextWithoutTerminatorNeverRunsPastItsBuffer) {
  PutCompleteSet();
  const std::wstring kFull = L"ABCDEFGHIJKLMNOPQR";  // 36 bytes, no terminator stored
  ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueW(HKEY_CURRENT_USER, kKey, L"FilePrefix", REG_SZ, kFull.c_str(),
                                           static_cast<DWORD>(kFull.size() * sizeof(wchar_t))));
  AppSettings settings;
  if (settings.Load()) {
    EXPECT_EQ(kFull, settings.GetFilePrefix());
  } else {
    EXPECT_EQ(L"PLVR", settings.GetFilePrefix());
  }
}

TEST_F(AppSettingsTest, EmptyStoredTextsReadAsTheirDefaults) {
  PutCompleteSet();
  PutString(L"RecordFolder", L"");
  PutString(L"NewFolderName", L"");
  PutString(L"FilePrefix", L"");
  SettingsOnFixedDate settings;
  ASSERT_TRUE(settings.Load());
  EXPECT_EQ(Documents(), settings.GetRecordFolder());
  EXPECT_EQ(L"2005_03_05", settings.GetNewFolderName());
  EXPECT_EQ(L"PLVR", settings.GetFilePrefix());
}

TEST_F(AppSettingsTest, SavingStoresDefaultsAsEmptyValues) {
  SettingsOnFixedDate settings;
  settings.SetRecordFolder(Documents());
  settings.SetNewFolderNameSetting(0);
  settings.SetNewFolderName(L"typed earlier");
  settings.SetFilePrefix(L"PLVR");
  ASSERT_TRUE(settings.Save());
  EXPECT_EQ(L"", GetString(L"RecordFolder"));
  EXPECT_EQ(L"", GetString(L"NewFolderName"));
  EXPECT_EQ(L"", GetString(L"FilePrefix"));
  EXPECT_EQ(1u, GetDword(L"NewFolderCreate"));
  EXPECT_EQ(0u, GetDword(L"NewFolderNameSetting"));
  EXPECT_EQ(1u, GetDword(L"VideoFolderCheck"));
  EXPECT_EQ(0u, GetDword(L"RecordMode"));
  EXPECT_EQ(3u, GetDword(L"PreviewSize"));
  EXPECT_EQ(2u, GetDword(L"RecordFormat"));
  // The object itself supplies the defaults again when asked.
  EXPECT_EQ(Documents(), settings.GetRecordFolder());
  EXPECT_EQ(L"2005_03_05", settings.GetNewFolderName());
  EXPECT_EQ(L"PLVR", settings.GetFilePrefix());
}

TEST_F(AppSettingsTest, ChangedValuesSurviveASaveAndALoad) {
  AppSettings saved;
  saved.SetRecordFolder(L"D:\\Video");
  saved.SetNewFolderCreate(1);
  saved.SetNewFolderNameSetting(1);
  saved.SetNewFolderName(L"holiday");
  saved.SetFilePrefix(L"ABC");
  saved.SetVideoFolderCheck(0);
  saved.SetRecordMode(1);
  saved.SetPreviewSize(0);
  saved.SetRecordFormat(0);  // stays 0; the record graph then keeps its own format
  ASSERT_TRUE(saved.Save());
  EXPECT_EQ(L"D:\\Video", GetString(L"RecordFolder"));

  AppSettings loaded;
  ASSERT_TRUE(loaded.Load());
  EXPECT_EQ(L"D:\\Video\\", loaded.GetRecordFolder());
  EXPECT_EQ(1u, loaded.GetNewFolderCreate());
  EXPECT_EQ(1u, loaded.GetNewFolderNameSetting());
  EXPECT_EQ(L"holiday", loaded.GetNewFolderName());
  EXPECT_EQ(L"ABC", loaded.GetFilePrefix());
  EXPECT_EQ(0u, loaded.GetVideoFolderCheck());
  EXPECT_EQ(1u, loaded.GetRecordMode());
  EXPECT_EQ(0u, loaded.GetPreviewSize());
  EXPECT_EQ(0u, loaded.GetRecordFormat());
  EXPECT_EQ(L"D:\\Video\\holiday\\", loaded.GetVideoFolder());
}

}  // namespace
