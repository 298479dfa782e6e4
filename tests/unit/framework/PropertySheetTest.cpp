#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "TestResources.h"
#include "TestSupport.h"
#include "framework/PropertySheetDialog.h"

namespace {

constexpr UINT_PTR kStepTimer = 5;
constexpr int kApplyButtonId = 0x3021;  // the sheet's Apply button

// The first page refuses to be left while its edit is empty, as the option page does with an empty
// name; it drives the test from a timer, one step per tick.
class RefusingPage : public framework::PropertyPage {
 public:
  RefusingPage() : PropertyPage(IDD_TEST_PAGE_ONE) {}
  std::vector<std::function<void()>> m_steps;
  std::vector<std::string> m_events;

 protected:
  BOOL OnInitDialog() override {
    ::SetTimer(m_hWnd, kStepTimer, 20, nullptr);
    return TRUE;
  }
  void OnTimer(UINT_PTR) override {
    if (m_nStep < m_steps.size()) m_steps[m_nStep++]();
  }
  BOOL OnSetActive() override {
    m_events.push_back("one:set");
    return TRUE;
  }
  BOOL OnKillActive() override {
    const bool empty = GetDlgItemText(IDC_TEST_EDIT).empty();
    m_events.push_back(empty ? "one:refuse" : "one:leave");
    return empty ? FALSE : TRUE;
  }
  void OnOK() override { m_events.push_back("one:ok"); }
  void OnCancel() override { m_events.push_back("one:cancel"); }

 private:
  size_t m_nStep = 0;
};

class PlainPage : public framework::PropertyPage {
 public:
  explicit PlainPage(std::vector<std::string>* events) : PropertyPage(IDD_TEST_PAGE_TWO), m_pEvents(events) {}

 protected:
  BOOL OnSetActive() override {
    m_pEvents->push_back("two:set");
    return TRUE;
  }
  void OnOK() override { m_pEvents->push_back("two:ok"); }

 private:
  std::vector<std::string>* m_pEvents;
};

class PropertySheetTest : public ::testing::Test {
 protected:
  PropertySheetTest() : m_two(&m_one.m_events) {
    m_sheet.AddPage(&m_one);
    m_sheet.AddPage(&m_two);
  }
  HWND Sheet() const { return m_sheet.GetSafeHwnd(); }
  framework::PropertySheetDialog m_sheet{L"オプション設定"};
  RefusingPage m_one;
  PlainPage m_two;
};

TEST_F(PropertySheetTest, PageThatRefusesKillActiveStaysCurrentUntilItAgrees) {
  int indexAfterRefusal = -2, indexAfterLeave = -2;
  bool stillShownAfterRefusedOK = false;
  m_one.m_steps = {
      [&] { m_sheet.SetActivePage(1); },
      [&] { indexAfterRefusal = m_sheet.GetActiveIndex(); },
      [&] { m_sheet.PressButton(IDOK); },
      [&] { stillShownAfterRefusedOK = ::IsWindow(Sheet()) && PropSheet_GetCurrentPageHwnd(Sheet()) != nullptr; },
      [&] {
        m_one.SetDlgItemText(IDC_TEST_EDIT, L"PLVR");
        m_sheet.SetActivePage(1);
      },
      [&] { indexAfterLeave = m_sheet.GetActiveIndex(); },
      [&] { m_sheet.PressButton(IDOK); },
  };
  EXPECT_EQ(m_sheet.DoModal(), IDOK);
  EXPECT_EQ(indexAfterRefusal, 0) << "a refused PSN_KILLACTIVE must keep the first page";
  EXPECT_TRUE(stillShownAfterRefusedOK) << "OK must not close the sheet while a page refuses";
  EXPECT_EQ(indexAfterLeave, 1);
  EXPECT_EQ(m_one.m_events, (std::vector<std::string>{"one:set", "one:refuse", "one:refuse", "one:leave", "two:set",
                                                      "one:ok", "two:ok"}));
  EXPECT_EQ(Sheet(), nullptr);
  EXPECT_EQ(m_one.GetSafeHwnd(), nullptr);
}

TEST_F(PropertySheetTest, SheetHasNoApplyAndNoHelpButton) {
  bool applyShown = true, helpShown = true, contextHelp = true;
  m_one.m_steps = {
      [&] {
        HWND apply = ::GetDlgItem(Sheet(), kApplyButtonId);
        HWND help = ::GetDlgItem(Sheet(), IDHELP);
        applyShown = apply != nullptr && ::IsWindowVisible(apply);
        helpShown = help != nullptr && ::IsWindowVisible(help);
        contextHelp = (::GetWindowLongPtrW(Sheet(), GWL_EXSTYLE) & WS_EX_CONTEXTHELP) != 0;
        m_sheet.PressButton(IDCANCEL);
      },
  };
  EXPECT_EQ(m_sheet.DoModal(), IDCANCEL);
  EXPECT_FALSE(applyShown);
  EXPECT_FALSE(helpShown);
  EXPECT_FALSE(contextHelp);
  EXPECT_EQ(m_one.m_events, (std::vector<std::string>{"one:set", "one:cancel"}));
}

TEST_F(PropertySheetTest, EscapeInAPageCancelsTheSheetThroughTheFrameworkLoop) {
  m_one.m_steps = {
      [&] {
        HWND edit = m_one.GetDlgItem(IDC_TEST_EDIT);
        ::SetFocus(edit);
        testsupport::PostKey(edit, VK_ESCAPE);
      },
  };
  EXPECT_EQ(m_sheet.DoModal(), IDCANCEL);
}

TEST_F(PropertySheetTest, StartPageAndOwnerAreHonoured) {
  framework::Dialog owner(IDD_TEST_MODAL);
  ASSERT_TRUE(owner.Create(nullptr));
  RefusingPage one;
  bool ownerEnabled = true;
  // The first page is never created, so the second page's timer drives this one.
  struct TimedTwo : PlainPage {
    using PlainPage::PlainPage;
    std::function<void()> m_action;
    BOOL OnInitDialog() override {
      ::SetTimer(m_hWnd, kStepTimer, 20, nullptr);
      return TRUE;
    }
    void OnTimer(UINT_PTR) override {
      ::KillTimer(m_hWnd, kStepTimer);
      m_action();
    }
  } timedTwo(&one.m_events);
  framework::PropertySheetDialog sheet(L"Sheet", &owner);
  sheet.AddPage(&one);
  sheet.AddPage(&timedTwo);
  sheet.SetStartPage(1);
  timedTwo.m_action = [&] {
    ownerEnabled = ::IsWindowEnabled(owner.GetSafeHwnd()) != FALSE;
    sheet.PressButton(IDOK);
  };
  EXPECT_EQ(sheet.DoModal(), IDOK);
  EXPECT_FALSE(ownerEnabled);
  EXPECT_TRUE(::IsWindowEnabled(owner.GetSafeHwnd()));
  EXPECT_EQ(one.m_events, (std::vector<std::string>{"two:set", "two:ok"})) << "a page never shown is not told OK";
  owner.DestroyWindow();
}

}  // namespace
