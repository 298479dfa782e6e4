// Identifiers of the test panel in HistoryTest.rc.
#pragma once

#define IDD_HISTORY_TEST_PANEL 100
#define IDC_HISTORY_TEST_LIST 1005
