// Identifiers of the test panel and the meter's bitmaps in MeterTest.rc.
#pragma once

#define IDD_METER_TEST_PANEL 100
#define IDC_METER_TEST_PREVIEW 1043
#define IDC_METER_TEST_OVERLAY 1118
#define IDC_METER_TEST_METER 1119

// The meter's bitmap identifiers (LevelMeter names them too).
#define IDB_METER_TEST_BACKGROUND 316
#define IDB_METER_TEST_SEGMENT_HIGH 319
#define IDB_METER_TEST_LABEL1 320
#define IDB_METER_TEST_LABEL2 322
#define IDB_METER_TEST_SEGMENT_TOP 328
#define IDB_METER_TEST_SEGMENT_NORMAL 329
