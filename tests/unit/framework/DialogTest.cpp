#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "TestResources.h"
#include "TestSupport.h"
#include "framework/App.h"
#include "framework/Control.h"
#include "framework/Dialog.h"
#include "framework/Handles.h"

namespace {

constexpr UINT_PTR kEndTimer = 77;
constexpr UINT kEndMessage = WM_APP + 50;

// A dialog that ends itself from a timer with a chosen result.
class TimedDialog : public framework::Dialog {
 public:
  explicit TimedDialog(INT_PTR result, framework::Window* parent = nullptr)
      : Dialog(IDD_TEST_MODAL, parent), m_nResult(result) {}
  BOOL OnInitDialog() override {
    m_events.push_back("init");
    ::SetTimer(m_hWnd, kEndTimer, 30, nullptr);
    return TRUE;
  }
  void OnTimer(UINT_PTR id) override {
    if (id != kEndTimer) return;
    ::KillTimer(m_hWnd, id);
    m_events.push_back("timer");
    EndDialog(m_nResult);
  }
  void OnDestroy() override { m_events.push_back("destroy"); }
  void PostNcDestroy() override { m_events.push_back("gone"); }
  INT_PTR m_nResult;
  std::vector<std::string> m_events;
};

TEST(Dialog, DoModalReturnsTheResultGivenToEndDialog) {
  TimedDialog dialog(42);
  EXPECT_EQ(dialog.DoModal(), 42);
  EXPECT_EQ(dialog.m_events, (std::vector<std::string>{"init", "timer", "destroy", "gone"}));
  EXPECT_EQ(dialog.GetSafeHwnd(), nullptr);
  // The object can run again.
  dialog.m_events.clear();
  EXPECT_EQ(dialog.DoModal(), 42);
  EXPECT_EQ(dialog.m_events.size(), 4u);
}

TEST(Dialog, MissingTemplateFailsWithoutAWindow) {
  framework::Dialog dialog(9999);
  EXPECT_EQ(dialog.DoModal(), -1);
  EXPECT_FALSE(dialog.Create(nullptr));
}

// Hides itself during initialisation, as the main panel does; the loop must show it once idle.
class HiddenAtStartDialog : public framework::Dialog {
 public:
  HiddenAtStartDialog() : Dialog(IDD_TEST_MODAL) {}
  BOOL OnInitDialog() override {
    ShowWindow(SW_HIDE);
    // Queued before the loop starts: handled before the loop is idle, so the window is hidden then.
    PostMessage(kEndMessage, 1);
    return TRUE;
  }
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM, LRESULT&) override {
    if (msg != kEndMessage) return false;
    if (wParam == 1) {
      m_bVisibleAtFirstMessage = ::IsWindowVisible(m_hWnd) != FALSE;
      ::SetTimer(m_hWnd, kEndTimer, 30, nullptr);
    }
    return true;
  }
  void OnTimer(UINT_PTR) override {
    m_bVisibleLater = ::IsWindowVisible(m_hWnd) != FALSE;
    EndDialog(IDOK);
  }
  bool m_bVisibleAtFirstMessage = true;
  bool m_bVisibleLater = false;
};

TEST(Dialog, ModalLoopShowsADialogHiddenDuringInitialisationOnceIdle) {
  HiddenAtStartDialog dialog;
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_FALSE(dialog.m_bVisibleAtFirstMessage);
  EXPECT_TRUE(dialog.m_bVisibleLater);
}

// The owner is disabled while a modal dialog sits on it, and enabled again afterwards.
class OwnerCheckingDialog : public TimedDialog {
 public:
  explicit OwnerCheckingDialog(framework::Window* parent) : TimedDialog(IDOK, parent) {}
  BOOL OnInitDialog() override {
    m_bOwnerEnabled = ::IsWindowEnabled(m_pParent->GetSafeHwnd()) != FALSE;
    m_hOwner = ::GetWindow(m_hWnd, GW_OWNER);
    return TimedDialog::OnInitDialog();
  }
  bool m_bOwnerEnabled = true;
  HWND m_hOwner = nullptr;
};

TEST(Dialog, ModalDialogDisablesItsOwnerForItsLifetime) {
  framework::Dialog owner(IDD_TEST_MODAL);
  ASSERT_TRUE(owner.Create(nullptr));
  OwnerCheckingDialog dialog(&owner);
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_FALSE(dialog.m_bOwnerEnabled);
  EXPECT_EQ(dialog.m_hOwner, owner.GetSafeHwnd());
  EXPECT_TRUE(::IsWindowEnabled(owner.GetSafeHwnd()));
  owner.DestroyWindow();
}

TEST(Dialog, ModalDialogWithoutParentIsOwnedByTheMainWindow) {
  framework::App app;
  framework::Dialog main(IDD_TEST_MODAL);
  ASSERT_TRUE(main.Create(nullptr));
  app.SetMainWindow(&main);
  struct Probe : TimedDialog {
    Probe() : TimedDialog(IDOK) {}
    BOOL OnInitDialog() override {
      m_hOwner = ::GetWindow(m_hWnd, GW_OWNER);
      return TimedDialog::OnInitDialog();
    }
    HWND m_hOwner = nullptr;
  } probe;
  EXPECT_EQ(probe.DoModal(), IDOK);
  EXPECT_EQ(probe.m_hOwner, main.GetSafeHwnd());
  app.SetMainWindow(nullptr);
  main.DestroyWindow();
}

// Escape reaches the dialog through IsDialogMessage in the modal loop and cancels it.
class PlainDialog : public framework::Dialog {
 public:
  PlainDialog() : Dialog(IDD_TEST_MODAL) {}
  BOOL OnInitDialog() override {
    testsupport::PostKey(GetDlgItem(IDC_TEST_EDIT), VK_ESCAPE);
    return TRUE;
  }
};

TEST(Dialog, EscapeInAControlCancelsThroughTheDialogKeyboardHandling) {
  PlainDialog dialog;
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
}

// The application and the dialog see the key before the dialog's keyboard handling; the dialog
// swallows Escape, so it does not close, and ends only on the later message.
class SwallowingApp : public framework::App {
 public:
  BOOL PreTranslateMessage(MSG* msg) override {
    if (msg->message == WM_KEYDOWN) m_order.push_back("app");
    return App::PreTranslateMessage(msg);
  }
  std::vector<std::string> m_order;
};

class SwallowingDialog : public framework::Dialog {
 public:
  explicit SwallowingDialog(std::vector<std::string>* order) : Dialog(IDD_TEST_MODAL), m_pOrder(order) {}
  BOOL OnInitDialog() override {
    HWND edit = GetDlgItem(IDC_TEST_EDIT);
    ::SetFocus(edit);
    testsupport::PostKey(edit, VK_ESCAPE);
    testsupport::PostKey(edit, VK_RETURN);
    ::PostMessageW(m_hWnd, kEndMessage, 0, 0);
    return FALSE;
  }
  BOOL PreTranslateMessage(MSG* msg) override {
    if (msg->message == WM_KEYDOWN) {
      m_pOrder->push_back("dialog");
      if (msg->wParam == VK_ESCAPE || msg->wParam == VK_RETURN) return TRUE;
    }
    return Dialog::PreTranslateMessage(msg);
  }
  bool OnMessage(UINT msg, WPARAM, LPARAM, LRESULT&) override {
    if (msg != kEndMessage) return false;
    EndDialog(5);
    return true;
  }
  std::vector<std::string>* m_pOrder;
};

TEST(Dialog, PreTranslateMessageSeesKeysBeforeTheDialogHandlesThem) {
  SwallowingApp app;
  SwallowingDialog dialog(&app.m_order);
  EXPECT_EQ(dialog.DoModal(), 5);
  EXPECT_EQ(app.m_order, (std::vector<std::string>{"app", "dialog", "app", "dialog"}));
}

// WM_NOTIFY answers go to DWLP_MSGRESULT, so SendMessage returns them; a subclassed control that
// answers its own notification is asked first.
class NotifyAnsweringControl : public framework::Control {
 public:
  bool OnReflectedMessage(UINT msg, WPARAM, LPARAM lParam, LRESULT& result) override {
    if (msg != WM_NOTIFY || reinterpret_cast<NMHDR*>(lParam)->code != NM_RCLICK) return false;
    result = 77;
    return true;
  }
};

class NotifyDialog : public framework::Dialog {
 public:
  NotifyDialog() : Dialog(IDD_TEST_MODAL) {}
  BOOL OnInitDialog() override {
    m_button.SubclassDlgItem(IDC_TEST_BUTTON, m_hWnd);
    NMHDR header{GetDlgItem(IDC_TEST_EDIT), IDC_TEST_EDIT, NM_CLICK};
    m_nEditAnswer = SendMessage(WM_NOTIFY, IDC_TEST_EDIT, reinterpret_cast<LPARAM>(&header));
    NMHDR other{GetDlgItem(IDC_TEST_EDIT), IDC_TEST_EDIT, NM_DBLCLK};
    m_nUnhandledAnswer = SendMessage(WM_NOTIFY, IDC_TEST_EDIT, reinterpret_cast<LPARAM>(&other));
    NMHDR fromButton{GetDlgItem(IDC_TEST_BUTTON), IDC_TEST_BUTTON, NM_RCLICK};
    m_nButtonAnswer = SendMessage(WM_NOTIFY, IDC_TEST_BUTTON, reinterpret_cast<LPARAM>(&fromButton));
    PostMessage(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(IDOK)));
    return TRUE;
  }
  bool OnNotify(NMHDR* header, LRESULT& result) override {
    m_codes.push_back(header->code);
    if (header->code != NM_CLICK) return false;
    result = 1234;
    return true;
  }
  NotifyAnsweringControl m_button;
  std::vector<UINT> m_codes;
  LRESULT m_nEditAnswer = 0, m_nUnhandledAnswer = -1, m_nButtonAnswer = 0;
};

TEST(Dialog, NotifyResultReachesTheSenderThroughDwlpMsgResult) {
  NotifyDialog dialog;
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_EQ(dialog.m_nEditAnswer, 1234);
  EXPECT_EQ(dialog.m_nUnhandledAnswer, 0);
  EXPECT_EQ(dialog.m_nButtonAnswer, 77);
  EXPECT_EQ(dialog.m_codes, (std::vector<UINT>{static_cast<UINT>(NM_CLICK), static_cast<UINT>(NM_DBLCLK)}))
      << "the control's own notification must not reach the dialog's handler";
  EXPECT_FALSE(dialog.m_button.IsSubclassed()) << "the control lets go when its window is destroyed";
}

// A child panel made with Create: its keys are walked up to the top-level dialog, whose keyboard
// handling covers the panel's controls.
class HostDialog : public framework::Dialog {
 public:
  HostDialog() : Dialog(IDD_TEST_MODAL) {}
  BOOL OnInitDialog() override {
    m_bPanelCreated = m_panel.Create(m_hWnd);
    m_bPanelIsChild = (::GetWindowLongPtrW(m_panel.GetSafeHwnd(), GWL_STYLE) & WS_CHILD) != 0;
    m_bControlParent = (::GetWindowLongPtrW(m_panel.GetSafeHwnd(), GWL_EXSTYLE) & WS_EX_CONTROLPARENT) != 0;
    HWND panelEdit = m_panel.GetDlgItem(IDC_TEST_PANEL_EDIT);
    ::SetFocus(panelEdit);
    testsupport::PostKey(panelEdit, VK_F5);
    testsupport::PostKey(panelEdit, VK_ESCAPE);
    return FALSE;
  }
  BOOL PreTranslateMessage(MSG* msg) override {
    if (msg->message == WM_KEYDOWN && msg->wParam == VK_F5) m_bSawF5 = true;
    return Dialog::PreTranslateMessage(msg);
  }
  framework::Dialog m_panel{IDD_TEST_PANEL};
  bool m_bPanelCreated = false, m_bPanelIsChild = false, m_bControlParent = false, m_bSawF5 = false;
};

TEST(Dialog, ChildPanelKeysReachTheTopLevelDialog) {
  HostDialog dialog;
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  EXPECT_TRUE(dialog.m_bPanelCreated);
  EXPECT_TRUE(dialog.m_bPanelIsChild);
  EXPECT_TRUE(dialog.m_bControlParent);
  EXPECT_TRUE(dialog.m_bSawF5);
  EXPECT_EQ(dialog.m_panel.GetSafeHwnd(), nullptr) << "the panel goes with its parent";
}

// A modal dialog's keys never reach its owner's PreTranslateMessage.
class KeyCountingDialog : public framework::Dialog {
 public:
  KeyCountingDialog() : Dialog(IDD_TEST_MODAL) {}
  BOOL PreTranslateMessage(MSG* msg) override {
    if (msg->message == WM_KEYDOWN) ++m_nKeys;
    return Dialog::PreTranslateMessage(msg);
  }
  int m_nKeys = 0;
};

class KeyPostingDialog : public framework::Dialog {
 public:
  explicit KeyPostingDialog(framework::Window* owner) : Dialog(IDD_TEST_MODAL, owner) {}
  BOOL OnInitDialog() override {
    testsupport::PostKey(GetDlgItem(IDC_TEST_EDIT), 'A');
    testsupport::PostKey(GetDlgItem(IDC_TEST_EDIT), VK_ESCAPE);
    return TRUE;
  }
};

TEST(Dialog, ModalDialogKeysDoNotReachTheOwner) {
  framework::App app;
  KeyCountingDialog owner;
  ASSERT_TRUE(owner.Create(nullptr));
  app.SetMainWindow(&owner);
  KeyPostingDialog dialog(&owner);
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  EXPECT_EQ(owner.m_nKeys, 0);
  app.SetMainWindow(nullptr);
}

TEST(Dialog, ItemTextHelpersChangeTextOnlyWhenItDiffers) {
  framework::Dialog dialog(IDD_TEST_MODAL);
  ASSERT_TRUE(dialog.Create(nullptr));
  EXPECT_TRUE(dialog.SetDlgItemTextIfChanged(IDC_TEST_EDIT, L"録画"));
  EXPECT_EQ(dialog.GetDlgItemText(IDC_TEST_EDIT), L"録画");
  EXPECT_FALSE(dialog.SetDlgItemTextIfChanged(IDC_TEST_EDIT, L"録画"));
  dialog.SetDlgItemInt(IDC_TEST_EDIT, static_cast<UINT>(-12));
  bool ok = false;
  EXPECT_EQ(static_cast<int>(dialog.GetDlgItemInt(IDC_TEST_EDIT, &ok)), -12);
  EXPECT_TRUE(ok);
  dialog.CheckDlgButton(IDC_TEST_CHECK, true);
  EXPECT_TRUE(dialog.IsDlgButtonChecked(IDC_TEST_CHECK));
  EXPECT_FALSE(dialog.SetDlgItemTextIfChanged(4242, L"x")) << "a missing item is no change";
  std::wstring longText(5000, L'x');
  dialog.SetDlgItemText(IDC_TEST_EDIT, longText);
  EXPECT_EQ(dialog.GetDlgItemText(IDC_TEST_EDIT).size(), 5000u);
}

}  // namespace

namespace {

// A modal dialog inside a modal dialog: the inner one disables the outer one, both return their own
// results, and a dialog ended during its initialisation never enters its loop.
class OuterDialog : public TimedDialog {
 public:
  OuterDialog() : TimedDialog(11) {}
  void OnTimer(UINT_PTR id) override {
    if (id != kEndTimer) return;
    ::KillTimer(m_hWnd, id);
    struct Inner : TimedDialog {
      Inner(Window* parent, bool* sawDisabled) : TimedDialog(22, parent), m_pSawDisabled(sawDisabled) {}
      BOOL OnInitDialog() override {
        *m_pSawDisabled = ::IsWindowEnabled(m_pParent->GetSafeHwnd()) == FALSE;
        return TimedDialog::OnInitDialog();
      }
      bool* m_pSawDisabled;
    } inner(this, &m_bInnerSawOuterDisabled);
    m_nInnerResult = inner.DoModal();
    struct Immediate : framework::Dialog {
      explicit Immediate(Window* parent) : Dialog(IDD_TEST_MODAL, parent) {}
      BOOL OnInitDialog() override {
        EndDialog(33);
        return TRUE;
      }
    } immediate(this);
    m_nImmediateResult = immediate.DoModal();
    m_bEnabledAfter = ::IsWindowEnabled(m_hWnd) != FALSE;
    EndDialog(m_nResult);
  }
  INT_PTR m_nInnerResult = 0, m_nImmediateResult = 0;
  bool m_bInnerSawOuterDisabled = false, m_bEnabledAfter = false;
};

TEST(Dialog, NestedModalDialogsEachReturnTheirOwnResult) {
  OuterDialog outer;
  EXPECT_EQ(outer.DoModal(), 11);
  EXPECT_EQ(outer.m_nInnerResult, 22);
  EXPECT_EQ(outer.m_nImmediateResult, 33);
  EXPECT_TRUE(outer.m_bInnerSawOuterDisabled);
  EXPECT_TRUE(outer.m_bEnabledAfter);
}

// A quit message ends every modal loop and is left for the outermost loop, which ends the program.
class QuittingDialog : public framework::Dialog {
 public:
  QuittingDialog() : Dialog(IDD_TEST_MODAL) {}
  BOOL OnInitDialog() override {
    ::PostQuitMessage(3);
    return TRUE;
  }
};

TEST(Dialog, QuitMessageEndsTheModalLoopAndReachesTheOuterLoop) {
  QuittingDialog dialog;
  EXPECT_EQ(dialog.DoModal(), -1);
  EXPECT_EQ(dialog.GetSafeHwnd(), nullptr);
  MSG msg;
  ASSERT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 3u);
}

// The application's message box sits on the main window and carries the application's title.
HWND g_foundBox = nullptr;
HWND g_boxOwner = nullptr;
BOOL CALLBACK FindOwnBox(HWND window, LPARAM found) {
  wchar_t className[16] = {}, title[32] = {};
  ::GetClassNameW(window, className, 16);
  ::GetWindowTextW(window, title, 32);
  if (::lstrcmpW(className, L"#32770") != 0 || ::lstrcmpW(title, L"Plover test") != 0) return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

void CALLBACK AnswerNo(HWND, UINT, UINT_PTR id, DWORD) {
  // Only this thread's box: other programs on the display may show boxes too.
  HWND box = nullptr;
  ::EnumThreadWindows(::GetCurrentThreadId(), &FindOwnBox, reinterpret_cast<LPARAM>(&box));
  if (box == nullptr) return;
  ::KillTimer(nullptr, id);
  g_foundBox = box;
  g_boxOwner = ::GetWindow(box, GW_OWNER);
  ::PostMessageW(box, WM_COMMAND, IDNO, 0);
}

TEST(App, MessageBoxIsOwnedByTheMainWindowAndTitledByTheApplication) {
  framework::App app;
  app.SetAppTitle(L"Plover test");
  framework::Dialog main(IDD_TEST_MODAL);
  ASSERT_TRUE(main.Create(nullptr));
  app.SetMainWindow(&main);
  const UINT_PTR timer = ::SetTimer(nullptr, 0, 30, &AnswerNo);
  EXPECT_EQ(framework::AppMessageBox(L"録画中です。終了してもよろしいですか？", MB_YESNO | MB_DEFBUTTON2), IDNO);
  ::KillTimer(nullptr, timer);
  EXPECT_NE(g_foundBox, nullptr);
  EXPECT_EQ(g_boxOwner, main.GetSafeHwnd());
  app.SetMainWindow(nullptr);
  main.DestroyWindow();
}

}  // namespace

namespace {

// Colour requests are answered with the brush as the procedure's return value, not through
// DWLP_MSGRESULT: a subclassed control answers its own, the dialog answers the rest.
class ColourControl : public framework::Control {
 public:
  HBRUSH m_hBrush = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
  bool OnReflectedMessage(UINT msg, WPARAM, LPARAM, LRESULT& result) override {
    if (msg != WM_CTLCOLORBTN) return false;
    result = reinterpret_cast<LRESULT>(m_hBrush);
    return true;
  }
};

class ColourDialog : public framework::Dialog {
 public:
  ColourDialog() : Dialog(IDD_TEST_MODAL) {}
  HBRUSH m_hBrush = static_cast<HBRUSH>(::GetStockObject(GRAY_BRUSH));
  bool OnMessage(UINT msg, WPARAM, LPARAM, LRESULT& result) override {
    if (msg != WM_CTLCOLORBTN && msg != WM_CTLCOLORDLG) return false;
    result = reinterpret_cast<LRESULT>(m_hBrush);
    return true;
  }
};

TEST(Dialog, ColourRequestsReturnTheBrushDirectly) {
  ColourDialog dialog;
  ASSERT_TRUE(dialog.Create(nullptr));
  ColourControl check;
  ASSERT_TRUE(check.SubclassDlgItem(IDC_TEST_CHECK, dialog.GetSafeHwnd()));
  framework::WindowDC dc(dialog.GetSafeHwnd());
  const auto ask = [&](UINT msg, int id) {
    return reinterpret_cast<HBRUSH>(::SendMessageW(dialog.GetSafeHwnd(), msg, reinterpret_cast<WPARAM>(dc.Get()),
                                                   reinterpret_cast<LPARAM>(dialog.GetDlgItem(id))));
  };
  EXPECT_EQ(ask(WM_CTLCOLORBTN, IDC_TEST_CHECK), check.m_hBrush);
  EXPECT_EQ(ask(WM_CTLCOLORBTN, IDC_TEST_BUTTON), dialog.m_hBrush);
  EXPECT_EQ(::SendMessageW(dialog.GetSafeHwnd(), WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(dc.Get()),
                           reinterpret_cast<LPARAM>(dialog.GetSafeHwnd())),
            reinterpret_cast<LRESULT>(dialog.m_hBrush));
  dialog.DestroyWindow();
}

}  // namespace
