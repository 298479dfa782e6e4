// The DV grabber's stream reports and the level meter's decay and peak hold.
#include "graph/SampleCallbacks.h"

#include "device/DeviceEvents.h"
#include "devices/ComPtr.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

// An event channel whose window keeps the events posted to it.
class EventWindow : public DeviceEventChannel {
public:
    EventWindow() {
        m_hWnd = ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 1, 1, HWND_MESSAGE, nullptr, nullptr, nullptr);
        m_nMessage = WM_DEVICE_EVENT;
    }
    ~EventWindow() { ::DestroyWindow(m_hWnd); }
    // (code, parameter) of every event posted since the last call.
    std::vector<std::pair<int, LPARAM>> Take() {
        std::vector<std::pair<int, LPARAM>> events;
        MSG msg;
        while (::PeekMessageW(&msg, m_hWnd, WM_DEVICE_EVENT, WM_DEVICE_EVENT, PM_REMOVE)) events.emplace_back(static_cast<int>(msg.wParam), msg.lParam);
        return events;
    }
};

using Events = std::vector<std::pair<int, LPARAM>>;

// A 625-line frame with the three packs the grabber reads.
struct Frame {
    std::vector<BYTE> bytes = std::vector<BYTE>(144000, 0xFF);
    Frame(int nDisp, int nBcsys, BYTE byFrameMode, int nQu) {
        bytes[453] = 0x61;
        bytes[455] = static_cast<BYTE>(0xF8 | nDisp);
        bytes[456] = static_cast<BYTE>(0xFC | nBcsys);
        bytes[468] = 0x64;
        bytes[470] = byFrameMode;
        bytes[4323] = 0x50;
        bytes[4327] = static_cast<BYTE>(0xF8 | nQu);
    }
};

class DVCapCBTest : public ::testing::Test {
protected:
    void Feed(const Frame& frame, double dTime = 0.0) {
        std::vector<BYTE> copy = frame.bytes;
        m_callback.BufferCB(dTime, copy.data(), static_cast<long>(copy.size()));
    }
    // The grabber is attached without a graph: the callback needs no running stream for this.
    void Attach() {
        devices::ComPtr<media::IBaseFilter> spGrabber;
        ASSERT_EQ(S_OK, media::CoCreateInstance(media::CLSID_SampleGrabber, nullptr, CLSCTX_ALL, media::IID_IBaseFilter, spGrabber.AsVoid()));
        ASSERT_EQ(S_OK, m_callback.SetCallback(spGrabber.Get(), &m_window, EVENT_RECASPECT, EVENT_RECFORMAT));
    }
    EventWindow m_window;
    DVCapCB m_callback;
};

TEST_F(DVCapCBTest, FirstFrameAlwaysPostsTheAspectAndNeverTheFormat) {
    Attach();
    Feed(Frame(0, 0, 0x60, 1));
    EXPECT_EQ((Events{{EVENT_RECASPECT, 0}}), m_window.Take());
    Feed(Frame(0, 0, 0x60, 1));
    EXPECT_TRUE(m_window.Take().empty());
    // Wide in both systems' ways, then back.
    Feed(Frame(2, 0, 0x60, 1));
    Feed(Frame(7, 1, 0x60, 1));
    Feed(Frame(6, 1, 0x60, 1));
    EXPECT_EQ((Events{{EVENT_RECASPECT, 1}, {EVENT_RECASPECT, 0}}), m_window.Take());
    // A new SetCallback is a new first frame.
    Attach();
    Feed(Frame(6, 1, 0x60, 0));
    EXPECT_EQ((Events{{EVENT_RECASPECT, 0}}), m_window.Take());
}

TEST_F(DVCapCBTest, OnlyChangesIntoOrOutOf24AndAudioChangesAreFormatEvents) {
    Attach();
    Feed(Frame(0, 0, 0x60, 0));
    m_window.Take();
    Feed(Frame(0, 0, 0x30, 0));  // 60 → 30: nothing
    EXPECT_TRUE(m_window.Take().empty());
    Feed(Frame(0, 0, 0x24, 0));  // 30 → 24: the last mode
    Feed(Frame(0, 0, 0x30, 0));  // 24 → 30
    Feed(Frame(0, 0, 0x42, 0));  // unknown BCD counts as 60: no change of 24
    EXPECT_EQ((Events{{EVENT_RECFORMAT, 30}, {EVENT_RECFORMAT, 24}}), m_window.Take());
    Feed(Frame(0, 0, 0x60, 1), 2.5);  // 12-bit audio: mode 2
    EXPECT_EQ((Events{{EVENT_RECFORMAT, 2}}), m_window.Take());
    EXPECT_DOUBLE_EQ(2.5, m_callback.GetLastSampleTime());
}

TEST(DVCapCBFields, PacksThatAreMissingGiveTheDefaults) {
    Frame frame(2, 0, 0x24, 1);
    frame.bytes[453] = 0x60;
    frame.bytes[468] = 0xFF;
    frame.bytes[4323] = 0x51;
    EXPECT_EQ(0, DVCapCB::ReadWideFlag(frame.bytes.data(), 144000));
    EXPECT_EQ(60, DVCapCB::ReadFrameMode(frame.bytes.data(), 144000));
    EXPECT_EQ(1, DVCapCB::ReadAudioMode(frame.bytes.data(), 144000));
    // A buffer too short to hold the packs is read as having none.
    Frame wide(2, 0, 0x24, 1);
    EXPECT_EQ(0, DVCapCB::ReadWideFlag(wide.bytes.data(), 400));
    EXPECT_EQ(1, DVCapCB::ReadWideFlag(wide.bytes.data(), 144000));
}

double g_dNow = 100.0;
double TestClock() {
    return g_dNow;
}

class LevelMeterTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_dNow = 100.0;
        m_meter.SetClock(TestClock);
    }
    void Feed(int16_t left, int16_t right) {
        std::vector<int16_t> samples;
        for (int n = 0; n < 100; ++n) {
            samples.push_back(n == 50 ? left : 0);
            samples.push_back(n == 50 ? right : -32768);  // negative samples never raise the level
        }
        m_meter.BufferCB(0, reinterpret_cast<BYTE*>(samples.data()), static_cast<long>(samples.size() * 2));
    }
    LevelMeterCB m_meter;
};

TEST_F(LevelMeterTest, ThresholdsAreReachedExactly) {
    EXPECT_EQ(20, LevelMeterCB::LevelToIndex(16384));
    EXPECT_EQ(19, LevelMeterCB::LevelToIndex(16383));
    EXPECT_EQ(0, LevelMeterCB::LevelToIndex(103));
    EXPECT_EQ(1, LevelMeterCB::LevelToIndex(104));
    EXPECT_EQ(24, LevelMeterCB::LevelToIndex(32767));
    EXPECT_EQ(23, LevelMeterCB::LevelToIndex(32703));
    EXPECT_EQ(24, LevelMeterCB::GetMaxLevel());
}

TEST_F(LevelMeterTest, SilenceLetsTheLevelFallByAFactorOf064PerBuffer) {
    Feed(10000, 0);
    EXPECT_EQ(LevelMeterCB::LevelToIndex(10000), m_meter.GetLevels().nLeft);
    Feed(0, 0);  // 6400
    EXPECT_EQ(LevelMeterCB::LevelToIndex(6400), m_meter.GetLevels().nLeft);
    Feed(0, 0);  // 4096, just below 4112
    EXPECT_EQ(13, m_meter.GetLevels().nLeft);
    Feed(0, 0);  // 2621
    EXPECT_EQ(12, m_meter.GetLevels().nLeft);
    EXPECT_EQ(0, m_meter.GetLevels().nRight);
}

TEST_F(LevelMeterTest, PeakHoldsForJustOverASecondThenFallsToTheCurrentIndex) {
    Feed(32767, 32767);
    EXPECT_EQ(24, m_meter.GetLevels().nLeftPeak);
    for (int n = 0; n < 10; ++n) {
        g_dNow += 0.1;
        Feed(0, 0);
    }
    EXPECT_EQ(24, m_meter.GetLevels().nLeftPeak);  // exactly one second: still held
    EXPECT_LT(m_meter.GetLevels().nLeft, 5);
    g_dNow += 0.01;
    Feed(0, 0);
    EXPECT_EQ(m_meter.GetLevels().nLeft, m_meter.GetLevels().nLeftPeak);
    EXPECT_EQ(m_meter.GetLevels().nRight, m_meter.GetLevels().nRightPeak);
}

}  // namespace
