#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "TestResources.h"
#include "framework/Control.h"
#include "framework/Dialog.h"
#include "framework/Handles.h"

namespace {

// Upper-cases typed characters and counts the texts it was given; everything else goes to the
// edit's own procedure.
class UpperCaseEdit : public framework::Control {
 public:
  int m_nSetTextCount = 0;
  bool m_bFinalDestroy = false;

 protected:
  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
    if (msg == WM_CHAR && wParam >= L'a' && wParam <= L'z') wParam -= L'a' - L'A';
    if (msg == WM_SETTEXT) ++m_nSetTextCount;
    return DefaultProc(msg, wParam, lParam);
  }
  void OnFinalDestroy() override { m_bFinalDestroy = true; }
};

class SubclassTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(m_dialog.Create(nullptr)); }
  void TearDown() override { m_dialog.DestroyWindow(); }
  HWND Edit() const { return m_dialog.GetDlgItem(IDC_TEST_EDIT); }
  WNDPROC ProcOf(HWND window) const { return reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(window, GWLP_WNDPROC)); }
  framework::Dialog m_dialog{IDD_TEST_MODAL};
};

TEST_F(SubclassTest, MessagesReachTheObjectAndTheOriginalProcedure) {
  UpperCaseEdit edit;
  ASSERT_TRUE(edit.SubclassDlgItem(IDC_TEST_EDIT, m_dialog.GetSafeHwnd()));
  EXPECT_EQ(framework::Window::FromHandle(Edit()), &edit);
  ::SendMessageW(Edit(), WM_CHAR, L'a', 1);
  ::SendMessageW(Edit(), WM_CHAR, L'b', 1);
  EXPECT_EQ(edit.GetWindowText(), L"AB") << "the edit's own procedure must still insert the characters";
  edit.SetWindowText(L"plain");
  EXPECT_EQ(edit.m_nSetTextCount, 1);
  EXPECT_EQ(edit.GetWindowText(), L"plain");
}

TEST_F(SubclassTest, UnsubclassRestoresTheOriginalProcedure) {
  const WNDPROC original = ProcOf(Edit());
  {
    UpperCaseEdit edit;
    ASSERT_TRUE(edit.Subclass(Edit()));
    EXPECT_NE(ProcOf(Edit()), original);
    UpperCaseEdit second;
    EXPECT_FALSE(second.Subclass(Edit())) << "a window is bound to one object only";
    EXPECT_FALSE(edit.Subclass(m_dialog.GetDlgItem(IDC_TEST_BUTTON))) << "an object holds one window only";
  }
  // The destructor let go: the edit works as before and no longer finds the object.
  EXPECT_EQ(ProcOf(Edit()), original);
  EXPECT_EQ(framework::Window::FromHandle(Edit()), nullptr);
  ::SendMessageW(Edit(), WM_CHAR, L'q', 1);
  EXPECT_EQ(::GetWindowTextLengthW(Edit()), 1);

  UpperCaseEdit again;
  EXPECT_TRUE(again.Subclass(Edit())) << "a released window can be taken again";
}

LRESULT CALLBACK CountingProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
WNDPROC g_beneathCounting = nullptr;
int g_countingCalls = 0;
LRESULT CALLBACK CountingProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_CHAR) ++g_countingCalls;
  return ::CallWindowProcW(g_beneathCounting, window, msg, wParam, lParam);
}

TEST_F(SubclassTest, ObjectGoneWhileAnotherSubclassSitsOnTopStillForwards) {
  const WNDPROC original = ProcOf(Edit());
  auto edit = std::make_unique<UpperCaseEdit>();
  ASSERT_TRUE(edit->Subclass(Edit()));
  g_beneathCounting = reinterpret_cast<WNDPROC>(
      ::SetWindowLongPtrW(Edit(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CountingProc)));
  edit.reset();
  // Our procedure cannot be taken out of the chain without breaking the later subclass, so it stays
  // and passes everything to the original procedure.
  EXPECT_EQ(ProcOf(Edit()), &CountingProc);
  ::SendMessageW(Edit(), WM_CHAR, L'z', 1);
  EXPECT_EQ(g_countingCalls, 1);
  EXPECT_EQ(::GetWindowTextLengthW(Edit()), 1) << "lower case: the object no longer runs, the edit still does";
  wchar_t text[4] = {};
  ::GetWindowTextW(Edit(), text, 4);
  EXPECT_STREQ(text, L"z");
  UpperCaseEdit late;
  EXPECT_FALSE(late.Subclass(Edit())) << "a second procedure of ours in the same chain would call itself in a circle";
  ::SetWindowLongPtrW(Edit(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
}

TEST_F(SubclassTest, DestroyingTheWindowReleasesTheObject) {
  UpperCaseEdit edit;
  ASSERT_TRUE(edit.SubclassDlgItem(IDC_TEST_EDIT, m_dialog.GetSafeHwnd()));
  m_dialog.DestroyWindow();
  EXPECT_TRUE(edit.m_bFinalDestroy);
  EXPECT_FALSE(edit.IsSubclassed());
  EXPECT_EQ(edit.GetSafeHwnd(), nullptr);
  EXPECT_EQ(m_dialog.GetSafeHwnd(), nullptr);
}

TEST_F(SubclassTest, MissingItemIsRefused) {
  UpperCaseEdit edit;
  EXPECT_FALSE(edit.SubclassDlgItem(4242, m_dialog.GetSafeHwnd()));
  EXPECT_FALSE(edit.IsSubclassed());
}

}  // namespace

namespace {

// A window of the framework's own class: the object sees the creation messages and paints it.
class OwnWindow : public framework::Control {
 public:
  std::vector<UINT> m_first;
  int m_nPaints = 0;
  bool m_bFinal = false;

 protected:
  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
    if (msg == WM_NCCREATE || msg == WM_CREATE) m_first.push_back(msg);
    if (msg == WM_PAINT) {
      ++m_nPaints;
      framework::PaintDC dc(m_hWnd);
      return 0;
    }
    return DefaultProc(msg, wParam, lParam);
  }
  void OnFinalDestroy() override { m_bFinal = true; }
};

TEST(OwnClassWindow, CreationMessagesReachTheObjectAndPaintingValidates) {
  OwnWindow window;
  ASSERT_TRUE(window.Create(WS_EX_TOOLWINDOW, nullptr, L"splash", WS_POPUP | WS_VISIBLE, RECT{10, 10, 110, 60}, nullptr));
  EXPECT_EQ(window.m_first, (std::vector<UINT>{WM_NCCREATE, WM_CREATE}));
  EXPECT_EQ(window.GetWindowText(), L"splash") << "the default procedure must still store the title";
  ::InvalidateRect(window.GetSafeHwnd(), nullptr, TRUE);
  ::UpdateWindow(window.GetSafeHwnd());
  EXPECT_GE(window.m_nPaints, 1);
  RECT update{};
  EXPECT_FALSE(::GetUpdateRect(window.GetSafeHwnd(), &update, FALSE)) << "PaintDC must validate what it painted";

  OwnWindow second;
  ASSERT_TRUE(second.Create(0, nullptr, L"", WS_POPUP, RECT{0, 0, 10, 10}, nullptr));
  EXPECT_EQ(framework::Window::FromHandle(second.GetSafeHwnd()), &second) << "each window binds its own object";
  EXPECT_EQ(framework::Window::FromHandle(window.GetSafeHwnd()), &window);
  second.DestroyWindow();
  EXPECT_TRUE(second.m_bFinal);
  window.DestroyWindow();
  EXPECT_EQ(window.GetSafeHwnd(), nullptr);
}

TEST(OwnClassWindow, SystemClassWindowIsAttachedAfterCreation) {
  framework::Control edit;
  ASSERT_TRUE(edit.Create(0, L"EDIT", L"abc", WS_POPUP, RECT{0, 0, 80, 20}, nullptr));
  EXPECT_EQ(framework::Window::FromHandle(edit.GetSafeHwnd()), &edit);
  EXPECT_EQ(edit.GetWindowText(), L"abc");
  edit.DestroyWindow();
  EXPECT_FALSE(edit.IsSubclassed());
}

}  // namespace

namespace {

TEST(ControlOwnership, WindowsTheObjectCreatedGoWithItAndSubclassedOnesStay) {
  HWND ownClass = nullptr;
  HWND systemClass = nullptr;
  {
    framework::Control own;
    ASSERT_TRUE(own.Create(0, nullptr, L"", WS_POPUP, RECT{0, 0, 10, 10}, nullptr));
    EXPECT_TRUE(own.OwnsWindow());
    ownClass = own.GetSafeHwnd();
    framework::Control edit;
    ASSERT_TRUE(edit.Create(0, L"EDIT", L"abc", WS_POPUP, RECT{0, 0, 80, 20}, nullptr));
    systemClass = edit.GetSafeHwnd();
  }
  EXPECT_FALSE(::IsWindow(ownClass));
  EXPECT_FALSE(::IsWindow(systemClass));

  framework::Dialog dialog(IDD_TEST_MODAL);
  ASSERT_TRUE(dialog.Create(nullptr));
  HWND item = dialog.GetDlgItem(IDC_TEST_EDIT);
  {
    framework::Control subclassed;
    ASSERT_TRUE(subclassed.Subclass(item));
    EXPECT_FALSE(subclassed.OwnsWindow());
  }
  EXPECT_TRUE(::IsWindow(item)) << "a dialog item belongs to its dialog";

  // A created window destroyed by someone else leaves the object nothing to do.
  framework::Control child;
  ASSERT_TRUE(child.Create(0, L"STATIC", L"", WS_CHILD, RECT{0, 0, 10, 10}, dialog.GetSafeHwnd()));
  dialog.DestroyWindow();
  EXPECT_FALSE(child.OwnsWindow());
  EXPECT_EQ(child.GetSafeHwnd(), nullptr);
}

TEST(WindowStyle, BitsAreRemovedThenAddedAndChangesReported) {
  framework::Dialog dialog(IDD_TEST_MODAL);
  ASSERT_TRUE(dialog.Create(nullptr));
  framework::Control edit;
  ASSERT_TRUE(edit.SubclassDlgItem(IDC_TEST_EDIT, dialog.GetSafeHwnd()));
  const auto style = [&] { return static_cast<DWORD>(::GetWindowLongPtrW(edit.GetSafeHwnd(), GWL_STYLE)); };
  const auto exStyle = [&] { return static_cast<DWORD>(::GetWindowLongPtrW(edit.GetSafeHwnd(), GWL_EXSTYLE)); };
  ASSERT_NE(style() & ES_AUTOHSCROLL, 0u);
  EXPECT_TRUE(edit.ModifyStyle(ES_AUTOHSCROLL, ES_READONLY | ES_UPPERCASE));
  EXPECT_EQ(style() & (ES_AUTOHSCROLL | ES_READONLY | ES_UPPERCASE), DWORD{ES_READONLY | ES_UPPERCASE});
  EXPECT_FALSE(edit.ModifyStyle(ES_AUTOHSCROLL, ES_UPPERCASE)) << "nothing changed";

  RECT before{};
  ::GetClientRect(edit.GetSafeHwnd(), &before);
  const bool hadEdge = (exStyle() & WS_EX_CLIENTEDGE) != 0;
  EXPECT_TRUE(framework::Window::ModifyStyleEx(edit.GetSafeHwnd(), WS_EX_CLIENTEDGE, WS_EX_TOOLWINDOW, SWP_FRAMECHANGED));
  EXPECT_EQ(exStyle() & (WS_EX_CLIENTEDGE | WS_EX_TOOLWINDOW), DWORD{WS_EX_TOOLWINDOW});
  RECT after{};
  ::GetClientRect(edit.GetSafeHwnd(), &after);
  if (hadEdge) {
    EXPECT_GT(after.right, before.right) << "the frame change is applied at once";
  }
  EXPECT_FALSE(framework::Window::ModifyStyle(nullptr, 0, WS_VISIBLE));
  dialog.DestroyWindow();
}

}  // namespace
