#include <gtest/gtest.h>

#include <windows.h>

#include <utility>

#include "framework/Handles.h"

namespace {

using framework::BitmapHolder;
using framework::BrushHolder;
using framework::FontHolder;
using framework::MemoryDC;
using framework::SelectObjectScope;
using framework::UniqueHandle;

TEST(SelectObjectScope, PutsThePreviousObjectsBackInReverseOrder) {
  framework::WindowDC screen(nullptr);
  MemoryDC dc(screen);
  ASSERT_NE(dc.Get(), nullptr);
  const HGDIOBJ originalBitmap = ::GetCurrentObject(dc, OBJ_BITMAP);
  const HGDIOBJ originalFont = ::GetCurrentObject(dc, OBJ_FONT);
  BitmapHolder first(::CreateCompatibleBitmap(screen, 4, 4));
  BitmapHolder second(::CreateCompatibleBitmap(screen, 4, 4));
  FontHolder font(::CreateFontW(-12, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Arial"));
  {
    SelectObjectScope selectFirst(dc, first.Get());
    SelectObjectScope selectFont(dc, font.Get());
    EXPECT_TRUE(selectFirst.IsSelected());
    EXPECT_EQ(selectFirst.GetPrevious(), originalBitmap);
    {
      SelectObjectScope selectSecond(dc, second.Get());
      EXPECT_EQ(::GetCurrentObject(dc, OBJ_BITMAP), second.Get());
      EXPECT_EQ(selectSecond.GetPrevious(), first.Get());
    }
    EXPECT_EQ(::GetCurrentObject(dc, OBJ_BITMAP), first.Get()) << "the inner scope must restore the outer selection";
    EXPECT_EQ(::GetCurrentObject(dc, OBJ_FONT), font.Get());
  }
  EXPECT_EQ(::GetCurrentObject(dc, OBJ_BITMAP), originalBitmap);
  EXPECT_EQ(::GetCurrentObject(dc, OBJ_FONT), originalFont);
}

TEST(SelectObjectScope, FailedSelectionRestoresNothing) {
  framework::WindowDC screen(nullptr);
  MemoryDC dc(screen);
  const HGDIOBJ original = ::GetCurrentObject(dc, OBJ_BITMAP);
  {
    SelectObjectScope none(dc, static_cast<HGDIOBJ>(nullptr));
    EXPECT_FALSE(none.IsSelected());
  }
  EXPECT_EQ(::GetCurrentObject(dc, OBJ_BITMAP), original);
}

TEST(GdiObject, MovedFromHolderDoesNotDeleteTheObject) {
  BrushHolder target;
  {
    BrushHolder source(::CreateSolidBrush(RGB(1, 2, 3)));
    ASSERT_TRUE(source);
    BrushHolder middle(std::move(source));
    EXPECT_FALSE(source);
    target = std::move(middle);
  }
  // Both earlier holders are gone; the brush must still be alive in the last one.
  ASSERT_EQ(::GetObjectType(target.Get()), static_cast<DWORD>(OBJ_BRUSH));
  LOGBRUSH info{};
  ASSERT_EQ(::GetObjectW(target.Get(), sizeof(info), &info), static_cast<int>(sizeof(info)));
  EXPECT_EQ(info.lbColor, RGB(1, 2, 3));

  BrushHolder& alias = target;
  target = std::move(alias);
  EXPECT_EQ(::GetObjectType(target.Get()), static_cast<DWORD>(OBJ_BRUSH)) << "moving to itself keeps the object";

  const HBRUSH brush = target.Get();
  target.Reset();
  EXPECT_EQ(::GetObjectType(brush), 0u) << "the last holder deletes the object";
}

TEST(GdiObject, ReplacingDeletesTheOldObjectAndReleaseKeepsIt) {
  BitmapHolder holder(::CreateBitmap(2, 2, 1, 32, nullptr));
  const HBITMAP first = holder.Get();
  holder.Reset(::CreateBitmap(2, 2, 1, 32, nullptr));
  EXPECT_EQ(::GetObjectType(first), 0u);
  const HBITMAP second = holder.Release();
  EXPECT_FALSE(holder);
  EXPECT_EQ(::GetObjectType(second), static_cast<DWORD>(OBJ_BITMAP));
  ::DeleteObject(second);
}

TEST(GdiObject, IconsAndImageListsAreFreedByTheirOwnCalls) {
  const BYTE andMask[4 * 4 / 8 * 4] = {};
  const BYTE xorMask[4 * 4 / 8 * 4] = {};
  framework::IconHolder icon(::CreateIcon(nullptr, 4, 4, 1, 1, andMask, xorMask));
  ASSERT_TRUE(icon);
  const HICON raw = icon.Get();
  ICONINFO info{};
  ASSERT_TRUE(::GetIconInfo(raw, &info));
  ::DeleteObject(info.hbmMask);
  ::DeleteObject(info.hbmColor);
  framework::ImageListHolder list(::ImageList_Create(16, 16, ILC_COLOR24, 1, 1));
  ASSERT_TRUE(list);
  EXPECT_EQ(::ImageList_AddIcon(list.Get(), raw), 0);
  EXPECT_EQ(::ImageList_GetImageCount(list.Get()), 1);
  icon.Reset();
  EXPECT_FALSE(::GetIconInfo(raw, &info)) << "the icon must be destroyed";
}

bool IsOpenHandle(HANDLE handle) {
  DWORD flags = 0;
  return ::GetHandleInformation(handle, &flags) != FALSE;
}

TEST(UniqueHandle, OnlyTheLastOwnerClosesTheHandle) {
  UniqueHandle target;
  HANDLE raw = nullptr;
  {
    UniqueHandle source(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    raw = source.Get();
    ASSERT_TRUE(source);
    UniqueHandle middle(std::move(source));
    target = std::move(middle);
  }
  EXPECT_TRUE(IsOpenHandle(raw));
  EXPECT_TRUE(::SetEvent(target.Get()));
  target.Reset(raw);
  EXPECT_TRUE(IsOpenHandle(raw)) << "resetting to the same handle must not close it";
  HANDLE released = target.Release();
  EXPECT_TRUE(IsOpenHandle(released));
  ::CloseHandle(released);

  UniqueHandle invalid(INVALID_HANDLE_VALUE);
  EXPECT_FALSE(invalid.IsValid());
  {
    UniqueHandle closing(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    raw = closing.Get();
  }
  EXPECT_FALSE(IsOpenHandle(raw));
}

TEST(DeviceContextScopes, MemoryContextIsDeletedAtTheEndOfItsScope) {
  HDC raw = nullptr;
  {
    framework::WindowDC screen(nullptr);
    MemoryDC dc(screen);
    raw = dc.Get();
    EXPECT_EQ(::GetObjectType(raw), static_cast<DWORD>(OBJ_MEMDC));
  }
  EXPECT_EQ(::GetObjectType(raw), 0u);
}

}  // namespace
