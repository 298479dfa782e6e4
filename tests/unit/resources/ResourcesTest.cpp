// The built-in resources (linked into this test like into Plover.exe) against the English
// language library PLVRLang.dll: the same string ids, the same dialog items, the same pictures,
// and the built-in texts reaching the program as the right UTF-16.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "DialogTemplate.h"
#include "resource.h"

namespace {

constexpr UINT kStringsPerBlock = 16;
constexpr UINT kHighestIdScanned = 2000;  // ids above the table are scanned for strays too
constexpr LONG kSplashWidth = 500;
constexpr LONG kSplashHeight = 300;

// The string with the id, read straight from the module's string-table blocks; nothing when the
// table has no entry for it (LoadStringW cannot tell a missing string from an empty one).
std::optional<std::wstring> ReadTableString(HMODULE module, UINT id) {
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id / kStringsPerBlock + 1), RT_STRING);
  if (found == nullptr) return std::nullopt;
  HGLOBAL loaded = LoadResource(module, found);
  const auto* data = loaded ? static_cast<const uint8_t*>(LockResource(loaded)) : nullptr;
  if (data == nullptr) return std::nullopt;
  const size_t size = SizeofResource(module, found);
  size_t pos = 0;
  for (UINT index = 0; index < kStringsPerBlock; ++index) {
    if (pos + 2 > size) return std::nullopt;
    const size_t length = data[pos] | (data[pos + 1] << 8);
    pos += 2;
    if (pos + length * 2 > size) return std::nullopt;
    if (index == id % kStringsPerBlock) {
      if (length == 0) return std::nullopt;
      std::wstring text(length, L'\0');
      for (size_t i = 0; i < length; ++i) text[i] = static_cast<wchar_t>(data[pos + 2 * i] | (data[pos + 2 * i + 1] << 8));
      return text;
    }
    pos += length * 2;
  }
  return std::nullopt;
}

// The printf conversions of a text in order ("%s", "%02d", ...); "%%" is not a conversion.
std::vector<std::wstring> FormatFields(const std::wstring& text) {
  std::vector<std::wstring> fields;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != L'%') continue;
    if (i + 1 < text.size() && text[i + 1] == L'%') {
      ++i;
      continue;
    }
    size_t end = i + 1;
    while (end < text.size() && std::wcschr(L"diouxXeEfgGcspSn", text[end]) == nullptr) ++end;
    fields.push_back(text.substr(i, end + 1 - i));
    i = end;
  }
  return fields;
}

std::vector<std::wstring> Split(const std::wstring& text, wchar_t separator) {
  std::vector<std::wstring> pieces(1);
  for (wchar_t ch : text) {
    if (ch == separator) {
      pieces.emplace_back();
    } else {
      pieces.back().push_back(ch);
    }
  }
  return pieces;
}

std::wstring LanguageLibraryPath() {
  // The library is built into <build>/lang, beside the bin folder that holds this test.
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path);
  folder.erase(folder.find_last_of(L'\\') + 1);
  return folder + L"..\\lang\\PLVRLang.dll";
}

const BITMAPINFOHEADER* FindBitmapHeader(HMODULE module, UINT id) {
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), RT_BITMAP);
  if (found == nullptr || SizeofResource(module, found) < sizeof(BITMAPINFOHEADER)) return nullptr;
  HGLOBAL loaded = LoadResource(module, found);
  return loaded ? static_cast<const BITMAPINFOHEADER*>(LockResource(loaded)) : nullptr;
}

class Resources : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_hEnglish = LoadLibraryExW(LanguageLibraryPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  }
  static void TearDownTestSuite() {
    if (s_hEnglish != nullptr) FreeLibrary(s_hEnglish);
    s_hEnglish = nullptr;
  }
  void SetUp() override {
    ASSERT_NE(nullptr, s_hEnglish) << "cannot load " << std::string(LanguageLibraryPath().begin(), LanguageLibraryPath().end());
  }

  static HMODULE BuiltIn() { return GetModuleHandleW(nullptr); }
  static HMODULE English() { return s_hEnglish; }
  static std::wstring BuiltInText(UINT id) { return ReadTableString(BuiltIn(), id).value_or(L"<missing>"); }
  static std::wstring EnglishText(UINT id) { return ReadTableString(English(), id).value_or(L"<missing>"); }

  static HMODULE s_hEnglish;
};

HMODULE Resources::s_hEnglish = nullptr;

TEST_F(Resources, EveryTableIdHasATextInBothLanguagesAndNoOtherIdExists) {
  for (UINT id = IDS_FIRST; id <= IDS_LAST; ++id) {
    EXPECT_TRUE(ReadTableString(BuiltIn(), id).has_value()) << "built-in string " << id;
    EXPECT_TRUE(ReadTableString(English(), id).has_value()) << "English string " << id;
  }
  for (UINT id = 0; id <= kHighestIdScanned; ++id) {
    if (id >= IDS_FIRST && id <= IDS_LAST) continue;
    EXPECT_EQ(ReadTableString(BuiltIn(), id).has_value(), ReadTableString(English(), id).has_value())
        << "string " << id << " is in one table only";
  }
}

TEST_F(Resources, BuiltInTextsReachTheProgramAsTheJapaneseOriginals) {
  // Message 155 spelled out in code units, so the check does not depend on how this file is read.
  EXPECT_EQ(std::wstring(L"Plover\x3092\x4f7f\x7528\x3059\x308b\x524d\x306b\x4ed6\x306eTavinDV"
                         L"\x30a2\x30d7\x30ea\x30b1\x30fc\x30b7\x30e7\x30f3\x3092\x7d42\x4e86"
                         L"\x3057\x3066\x304f\x3060\x3055\x3044\x3002"),
            BuiltInText(IDS_QUIT_OTHER_TAVIN_APP));
  EXPECT_EQ(L"PLVR", BuiltInText(IDS_DEFAULT_PREFIX));
  EXPECT_EQ(L"MS UI Gothic", BuiltInText(IDS_FONT_FACE));
  EXPECT_EQ(L"9|11|13|", BuiltInText(IDS_FONT_SIZES));
  EXPECT_EQ(L"フォルダを選択してください。", BuiltInText(IDS_SELECT_FOLDER));
  // Escapes: a new line, a backslash and a double quote; half-width katakana and a tab; full-width brackets.
  EXPECT_EQ(L"以下の文字はファイル名に使用することはできません。\n\\ / : * ? \" < > | .",
            BuiltInText(IDS_FILE_NAME_BAD_CHARACTER));
  EXPECT_EQ(L"ビデオフォルダ\"%s\"を読み込むことができません。\nビデオフォルダを\"%s\"に変更します。",
            BuiltInText(IDS_VIDEO_FOLDER_CHANGED));
  EXPECT_EQ(L"Plover の\xff8d\xff99\xff8c\xff9f(&H)\tF1", BuiltInText(IDS_HELP_MENU));
  EXPECT_EQ(L"Plover のﾊﾞｰｼﾞｮﾝ情報(&A)...", BuiltInText(IDS_ABOUTBOX));
  EXPECT_EQ(L"AVI\xff08Type1\xff09", BuiltInText(IDS_AVI_TYPE1));
  EXPECT_EQ(L"ファイル名: %s\r\n撮影日時: %s\r\nファイルサイズ: %s\r\n長さ: %s\r\nファイル形式: %s\r\n欠落フレーム情報: \r\n",
            BuiltInText(IDS_AVI_REPORT_FORMAT));
}

TEST_F(Resources, TranslationsKeepEveryFormatFieldInOrder) {
  // A translation that drops or reorders a %s makes the program format garbage or crash.
  for (UINT id = IDS_FIRST; id <= IDS_LAST; ++id) {
    EXPECT_EQ(FormatFields(BuiltInText(id)), FormatFields(EnglishText(id))) << "string " << id;
  }
  EXPECT_EQ(2u, FormatFields(BuiltInText(IDS_VIDEO_FOLDER_CHANGED)).size());
  EXPECT_EQ(5u, FormatFields(BuiltInText(IDS_AVI_REPORT_FORMAT)).size());
}

TEST_F(Resources, FontTextsGiveAFaceAndThreeSizesInBothLanguages) {
  for (HMODULE module : {BuiltIn(), English()}) {
    EXPECT_FALSE(ReadTableString(module, IDS_FONT_FACE).value_or(L"").empty());
    const std::vector<std::wstring> sizes = Split(ReadTableString(module, IDS_FONT_SIZES).value_or(L""), L'|');
    ASSERT_GE(sizes.size(), 3u);
    for (size_t i = 0; i < 3; ++i) EXPECT_GT(_wtoi(sizes[i].c_str()), 0) << "size " << i;
  }
  EXPECT_EQ(L"Please choose a folder.", EnglishText(IDS_SELECT_FOLDER));
  EXPECT_NE(BuiltInText(IDS_CONFIRM_QUIT_RECORDING), EnglishText(IDS_CONFIRM_QUIT_RECORDING));
}

TEST_F(Resources, MainPanelHasTheSameSkinnedItemsInBothLanguages) {
  const std::optional<restest::DialogTemplate> japanese = restest::LoadDialogTemplate(BuiltIn(), IDD_MAINPANEL);
  const std::optional<restest::DialogTemplate> english = restest::LoadDialogTemplate(English(), IDD_MAINPANEL);
  ASSERT_TRUE(japanese.has_value());
  ASSERT_TRUE(english.has_value());

  for (const restest::DialogTemplate* dialog : {&*japanese, &*english}) {
    EXPECT_EQ(L"Plover", dialog->strCaption);
    // Marked visible; a caption with the system menu and a minimise box, no sizing border.
    const DWORD wanted = WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    EXPECT_EQ(wanted, dialog->nStyle & wanted);
    EXPECT_EQ(0u, dialog->nStyle & (WS_THICKFRAME | WS_MAXIMIZEBOX | WS_CHILD));
    for (UINT id : {IDC_MAIN_PLAY_TAB, IDC_MAIN_RECORD_TAB, IDC_MAIN_OPTIONS}) {
      const restest::DialogItem* button = dialog->Find(id);
      ASSERT_NE(nullptr, button) << id;
      EXPECT_EQ(L"button", button->strClass) << id;
      EXPECT_EQ(static_cast<DWORD>(BS_OWNERDRAW), button->nStyle & BS_TYPEMASK) << id;
      EXPECT_EQ(L'!', button->strTitle.front()) << id;
    }
    for (UINT id : {IDC_MAIN_RECORD_BACKGROUND, IDC_MAIN_PLAY_BACKGROUND, IDC_MAIN_STATUS_ICON,
                    IDC_MAIN_SHOW_FOLDER_CHECK, IDC_MAIN_SHOW_FOLDER_SPECIFY}) {
      const restest::DialogItem* item = dialog->Find(id);
      ASSERT_NE(nullptr, item) << id;
      EXPECT_EQ(L'!', item->strTitle.front()) << id;
    }
    // Items the user never sees.
    for (UINT id : {IDC_MAIN_FRAME, IDC_MAIN_SHOW_FOLDER_CHECK, IDC_MAIN_SHOW_FOLDER_SPECIFY,
                    IDC_MAIN_RECORD_BACKGROUND, IDC_MAIN_PLAY_BACKGROUND}) {
      ASSERT_NE(nullptr, dialog->Find(id)) << id;
      EXPECT_EQ(0u, dialog->Find(id)->nStyle & WS_VISIBLE) << id;
    }
    for (UINT id : {IDC_MAIN_RECORD_CAPTION, IDC_MAIN_PLAY_CAPTION, IDC_MAIN_CLOSING_NOTICE, IDC_MAIN_CAMCORDER_NAME}) {
      ASSERT_NE(nullptr, dialog->Find(id)) << id;
      EXPECT_EQ(L"static", dialog->Find(id)->strClass) << id;
    }
  }

  // Only the texts differ: same items in the same order (tab order and z-order), same classes,
  // styles and places, and the same placeholders.
  ASSERT_EQ(japanese->items.size(), english->items.size());
  EXPECT_EQ(japanese->nStyle, english->nStyle);
  EXPECT_EQ(japanese->cx, english->cx);
  EXPECT_EQ(japanese->cy, english->cy);
  for (size_t i = 0; i < japanese->items.size(); ++i) {
    const restest::DialogItem& ja = japanese->items[i];
    const restest::DialogItem& en = english->items[i];
    EXPECT_EQ(ja.nId, en.nId) << "item " << i;
    EXPECT_EQ(ja.strClass, en.strClass) << ja.nId;
    EXPECT_EQ(ja.nStyle, en.nStyle) << ja.nId;
    EXPECT_TRUE(ja.x == en.x && ja.y == en.y && ja.cx == en.cx && ja.cy == en.cy) << ja.nId;
    if (!ja.strTitle.empty() && ja.strTitle.front() == L'!') {
      EXPECT_EQ(ja.strTitle, en.strTitle) << ja.nId;
    }
  }
}

TEST_F(Resources, MainPanelCaptionsAreTheOriginalsAndTranslated) {
  const std::optional<restest::DialogTemplate> japanese = restest::LoadDialogTemplate(BuiltIn(), IDD_MAINPANEL);
  const std::optional<restest::DialogTemplate> english = restest::LoadDialogTemplate(English(), IDD_MAINPANEL);
  ASSERT_TRUE(japanese.has_value() && english.has_value());
  ASSERT_NE(nullptr, japanese->Find(IDC_MAIN_RECORD_CAPTION));
  EXPECT_EQ(L"ディスクに録画 F3", japanese->Find(IDC_MAIN_RECORD_CAPTION)->strTitle);
  EXPECT_EQ(L"ファイル再生 F4", japanese->Find(IDC_MAIN_PLAY_CAPTION)->strTitle);
  EXPECT_EQ(L"Ploverを終了しています", japanese->Find(IDC_MAIN_CLOSING_NOTICE)->strTitle);
  EXPECT_EQ(L"MS UI Gothic", japanese->strFace);
  for (UINT id : {IDC_MAIN_RECORD_CAPTION, IDC_MAIN_PLAY_CAPTION, IDC_MAIN_CLOSING_NOTICE}) {
    EXPECT_NE(japanese->Find(id)->strTitle, english->Find(id)->strTitle) << id;
  }
  // The shortcut keys stay on the tab captions.
  EXPECT_NE(std::wstring::npos, english->Find(IDC_MAIN_RECORD_CAPTION)->strTitle.find(L"F3"));
  EXPECT_NE(std::wstring::npos, english->Find(IDC_MAIN_PLAY_CAPTION)->strTitle.find(L"F4"));
}

// The play panel: every item the panel takes over, the captions the panel reads (the total-time
// format keeps its one %s), and the two menus with their commands in both languages.
TEST_F(Resources, PlayPanelItemsAndMenusInBothLanguages) {
  const std::optional<restest::DialogTemplate> japanese = restest::LoadDialogTemplate(BuiltIn(), IDD_PLAYPANEL);
  const std::optional<restest::DialogTemplate> english = restest::LoadDialogTemplate(English(), IDD_PLAYPANEL);
  ASSERT_TRUE(japanese.has_value() && english.has_value());
  for (const restest::DialogTemplate* dialog : {&*japanese, &*english}) {
    for (UINT id : {1004u, 1005u, 1006u, 1007u, 1008u, 1056u, 1058u, 1059u, 1060u, 1061u, 1062u, 1063u, 1064u, 1065u,
                    1066u, 1067u, 1068u, 1069u, 1078u, 1079u, 1091u, 1095u, 1108u, 1109u, 1110u, 1111u, 1120u}) {
      EXPECT_NE(nullptr, dialog->Find(id)) << id;
    }
    ASSERT_NE(nullptr, dialog->Find(IDC_PLAY_FILE_LIST));
    EXPECT_EQ(L"syslistview32", dialog->Find(IDC_PLAY_FILE_LIST)->strClass);
  }
  EXPECT_EQ(L"合計時間 : %s", japanese->Find(IDC_PLAY_TOTAL_TIME)->strTitle);
  EXPECT_EQ(L"ファイル一覧 F11", japanese->Find(IDC_PLAY_FILE_LIST_CAPTION)->strTitle);
  EXPECT_EQ(L"タイムスライダー F12", japanese->Find(IDC_PLAY_SLIDER_CAPTION)->strTitle);
  EXPECT_NE(std::wstring::npos, english->Find(IDC_PLAY_TOTAL_TIME)->strTitle.find(L"%s"));
  EXPECT_NE(std::wstring::npos, english->Find(IDC_PLAY_FILE_LIST_CAPTION)->strTitle.find(L"F11"));
  EXPECT_NE(std::wstring::npos, english->Find(IDC_PLAY_SLIDER_CAPTION)->strTitle.find(L"F12"));

  struct MenuItem {
    UINT menu;
    int subMenu;
    UINT command;
    const wchar_t* japanese;
  };
  const MenuItem items[] = {
      {IDR_FILE_MENU, 0, IDM_FILE_DELETE, L"削除(&D)"},
      {IDR_FILE_MENU, 1, IDM_SORT_NEWEST_FIRST, L"新しい順に並べて表示(&N)"},
      {IDR_FILE_MENU, 1, IDM_SORT_OLDEST_FIRST, L"古い順に並べて表示(&O)"},
      {IDR_PREVIEW_MENU, 0, IDM_PREVIEW_CENTRE_MARKER, L"センターマーカーを表示(&C)"},
      {IDR_PREVIEW_MENU, 0, IDM_PREVIEW_SAFE_MARGIN, L"セーフマージンを表示(&S)"},
  };
  for (const MenuItem& item : items) {
    SCOPED_TRACE(item.command);
    std::wstring texts[2];
    for (int language = 0; language < 2; ++language) {
      HMENU menu = LoadMenuW(language == 0 ? BuiltIn() : English(), MAKEINTRESOURCEW(item.menu));
      ASSERT_NE(nullptr, menu);
      wchar_t text[128] = {};
      GetMenuStringW(GetSubMenu(menu, item.subMenu), item.command, text, 128, MF_BYCOMMAND);
      texts[language] = text;
      DestroyMenu(menu);
    }
    EXPECT_EQ(item.japanese, texts[0]);
    EXPECT_FALSE(texts[1].empty());
    EXPECT_NE(texts[0], texts[1]);
  }
}

TEST_F(Resources, AboutBoxHasTheIconAndAnOkButtonInBothLanguages) {
  for (HMODULE module : {BuiltIn(), English()}) {
    const std::optional<restest::DialogTemplate> about = restest::LoadDialogTemplate(module, IDD_ABOUTBOX);
    ASSERT_TRUE(about.has_value());
    ASSERT_NE(nullptr, about->Find(IDOK));
    EXPECT_EQ(L"OK", about->Find(IDOK)->strTitle);
    ASSERT_NE(nullptr, about->Find(IDC_ABOUT_ICON));
    EXPECT_EQ(L"#261", about->Find(IDC_ABOUT_ICON)->strTitle);
  }
}

TEST_F(Resources, SplashIsA500By300TrueColourPictureInBothLanguages) {
  for (HMODULE module : {BuiltIn(), English()}) {
    const BITMAPINFOHEADER* header = FindBitmapHeader(module, IDB_SPLASH);
    ASSERT_NE(nullptr, header);
    EXPECT_EQ(kSplashWidth, header->biWidth);
    EXPECT_EQ(kSplashHeight, header->biHeight);
    EXPECT_EQ(24, header->biBitCount);
    EXPECT_EQ(static_cast<DWORD>(BI_RGB), header->biCompression);
  }
  // Loaded the way the splash window loads it.
  HBITMAP bitmap = static_cast<HBITMAP>(
      LoadImageW(BuiltIn(), MAKEINTRESOURCEW(IDB_SPLASH), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  ASSERT_NE(nullptr, bitmap);
  DIBSECTION dib{};
  ASSERT_EQ(static_cast<int>(sizeof(dib)), GetObjectW(bitmap, sizeof(dib), &dib));
  EXPECT_EQ(kSplashWidth, dib.dsBm.bmWidth);
  EXPECT_EQ(kSplashHeight, dib.dsBm.bmHeight);
  // A drawn picture, not a blank: gradients and lettering give many colours.
  std::set<uint32_t> colours;
  const auto* bits = static_cast<const uint8_t*>(dib.dsBm.bmBits);
  for (LONG y = 0; y < kSplashHeight; y += 3) {
    for (LONG x = 0; x < kSplashWidth; x += 3) {
      const uint8_t* p = bits + y * dib.dsBm.bmWidthBytes + x * 3;
      colours.insert(p[0] | (p[1] << 8) | (p[2] << 16));
    }
  }
  EXPECT_GT(colours.size(), 500u);
  DeleteObject(bitmap);
}

TEST_F(Resources, ApplicationIconHasSmallAndLargeImagesInBothLanguages) {
  for (HMODULE module : {BuiltIn(), English()}) {
    HRSRC group = FindResourceW(module, MAKEINTRESOURCEW(IDI_MAINFRAME), RT_GROUP_ICON);
    ASSERT_NE(nullptr, group);
    auto* directory = static_cast<PBYTE>(LockResource(LoadResource(module, group)));
    ASSERT_NE(nullptr, directory);
    for (int side : {16, 32, 48}) {
      // The image Windows picks for this size must be one of exactly that size.
      const int iconId = LookupIconIdFromDirectoryEx(directory, TRUE, side, side, LR_DEFAULTCOLOR);
      HRSRC image = FindResourceW(module, MAKEINTRESOURCEW(iconId), RT_ICON);
      ASSERT_NE(nullptr, image) << side;
      const auto* header = static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(module, image)));
      ASSERT_NE(nullptr, header) << side;
      EXPECT_EQ(side, header->biWidth);
      EXPECT_EQ(2 * side, header->biHeight);  // colour image and mask
      EXPECT_EQ(32, header->biBitCount);
    }
  }
  HICON small = static_cast<HICON>(LoadImageW(BuiltIn(), MAKEINTRESOURCEW(IDI_MAINFRAME), IMAGE_ICON, 16, 16, 0));
  ASSERT_NE(nullptr, small);
  ICONINFO info{};
  ASSERT_TRUE(GetIconInfo(small, &info));
  BITMAP colour{};
  GetObjectW(info.hbmColor, sizeof(colour), &colour);
  EXPECT_EQ(16, colour.bmWidth);
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  DestroyIcon(small);
}

TEST(LanguageLibrary, LoadsAsAnOrdinaryLibraryWithEnglishTexts) {
  // The program loads it with LoadLibraryW, not as a data file: it must be a valid image.
  HMODULE library = LoadLibraryW(LanguageLibraryPath().c_str());
  ASSERT_NE(nullptr, library) << GetLastError();
  wchar_t text[128] = {};
  EXPECT_GT(LoadStringW(library, IDS_SELECT_FOLDER, text, 128), 0);
  EXPECT_STREQ(L"Please choose a folder.", text);
  EXPECT_NE(nullptr, FindResourceW(library, MAKEINTRESOURCEW(IDD_MAINPANEL), RT_DIALOG));
  EXPECT_TRUE(FreeLibrary(library));
}

TEST(DialogTemplateReader, RefusesEveryTruncationOfAValidTemplate) {
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(IDD_MAINPANEL), RT_DIALOG);
  ASSERT_NE(nullptr, found);
  const auto* data = static_cast<const uint8_t*>(LockResource(LoadResource(module, found)));
  const size_t size = SizeofResource(module, found);
  ASSERT_TRUE(restest::ParseDialogTemplate(data, size).has_value());
  // Only the alignment padding after the last item may be cut; any shorter copy is refused.
  for (size_t length = 0; length < size; ++length) {
    std::vector<uint8_t> copy(data, data + length);
    const bool parsed = restest::ParseDialogTemplate(copy.data(), copy.size()).has_value();
    if (parsed) {
      EXPECT_GE(length + 3, size) << length;
    }
  }
}

}  // namespace
