// Identifiers of the test dialogs in FrameworkTest.rc.
#pragma once

#define IDD_TEST_MODAL 100
#define IDD_TEST_PANEL 101
#define IDD_TEST_PAGE_ONE 110
#define IDD_TEST_PAGE_TWO 111
#define IDC_TEST_EDIT 1001
#define IDC_TEST_BUTTON 1002
#define IDC_TEST_PANEL_EDIT 1003
#define IDC_TEST_CHECK 1004
#define IDB_TEST_RED 200
#define IDB_TEST_GREEN 201
#define IDB_TEST_BLUE 202
#define IDB_TEST_GREY 203
#define IDB_TEST_MISSING 299
#define IDS_TEST_TIP 500
