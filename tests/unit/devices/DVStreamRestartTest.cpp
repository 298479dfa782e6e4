// The camcorder's DV stream across a stop and a new start: the stream clock starts again, frame
// numbers go on, and the frames that fell due while stopped are neither made nor delivered.
#include "SimulationFixture.h"

#include "devices/BusControl.h"
#include "devices/ComPtr.h"
#include "devices/DVStreamSource.h"

#include <oleauto.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

struct NumberSink : devices::IDVFrameSink {
    void OnDVFrame(const uint8_t*, size_t, uint64_t nFrameNumber) override {
        std::lock_guard lock(mtx);
        vecNumbers.push_back(nFrameNumber);
        arrived.notify_all();
    }
    std::vector<uint64_t> Numbers() {
        std::lock_guard lock(mtx);
        return vecNumbers;
    }
    // Waits until n frames in all have arrived; the limit only keeps a broken stream from hanging.
    bool WaitForCount(size_t n) {
        std::unique_lock lock(mtx);
        return arrived.wait_for(lock, std::chrono::seconds(30), [&] { return vecNumbers.size() >= n; });
    }
    std::mutex mtx;
    std::condition_variable arrived;
    std::vector<uint64_t> vecNumbers;
};

// The bus's clock in the tests that stream on the real-time thread: only the test moves it.
std::atomic<DWORD> g_dwClock{0};

std::atomic<int> g_nMade{0};
std::vector<devices::DVFrameRequest> g_vecRequests;
bool CountMade(const devices::DVFrameRequest& request, uint8_t*, size_t) {
    ++g_nMade;
    g_vecRequests.push_back(request);
    return true;
}

uint64_t Ticks(const SYSTEMTIME& time) {
    FILETIME ft;
    ::SystemTimeToFileTime(&time, &ft);
    return (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

class DVStreamRestartTest : public SimulationTest {
protected:
    void SetUp() override {
        SimulationTest::SetUp();
        g_nMade = 0;
        g_vecRequests.clear();
        devices::SetDVFrameMaker(CountMade);
        devices::ComPtr<devices::ICreateDevEnum> spDevEnum;
        ASSERT_EQ(S_OK, devices::CoCreateInstance(devices::ClsidSystemDeviceEnum, nullptr, CLSCTX_ALL, devices::IID_ICreateDevEnum, spDevEnum.AsVoid()));
        devices::ComPtr<devices::IEnumMoniker> spEnum;
        ASSERT_EQ(S_OK, spDevEnum->CreateClassEnumerator(devices::KsCategoryCapture, &spEnum, 0));
        devices::ComPtr<devices::IMoniker> spMoniker;
        ASSERT_EQ(S_OK, spEnum->Next(1, &spMoniker, nullptr));
        devices::ComPtr<devices::IBaseFilter> spFilter;
        ASSERT_EQ(S_OK, spMoniker->BindToObject(nullptr, nullptr, devices::IID_IBaseFilter, spFilter.AsVoid()));
        ASSERT_EQ(S_OK, spFilter->QueryInterface(devices::IID_IDVStreamSource, m_spStream.AsVoid()));
        m_spStream->SetFrameSink(&m_sink);
    }
    void TearDown() override {
        if (m_spStream) {
            m_spStream->StopStreaming();
            m_spStream->SetFrameSink(nullptr);
        }
        devices::Bus::Get().SetTickSource(nullptr);
        devices::SetDVFrameMaker(nullptr);
    }

    NumberSink m_sink;
    devices::ComPtr<devices::IDVStreamSource> m_spStream;
};

TEST_F(DVStreamRestartTest, AStopRestartsTheClockAndNumbersGoOn) {
    devices::ExecuteBusCommand("system 625");
    m_spStream->Pump(1000);
    m_spStream->Pump(2000);  // frames 0..25
    ASSERT_EQ(26u, m_sink.Numbers().size());
    ASSERT_EQ(S_OK, m_spStream->StopStreaming());
    // Ten seconds later only the next frame is due, not the 250 that fell due meanwhile.
    m_spStream->Pump(12000);
    EXPECT_EQ(27u, m_sink.Numbers().size());
    EXPECT_EQ(26u, m_sink.Numbers().back());
    EXPECT_EQ(27, g_nMade.load());  // nor were they made and thrown away
    m_spStream->Pump(12000 + 1000);  // a second of the new run: frames 27..51
    const auto numbers = m_sink.Numbers();
    ASSERT_EQ(52u, numbers.size());
    for (size_t i = 0; i < numbers.size(); ++i) ASSERT_EQ(i, numbers[i]);
    // The recording date and time follow the wall clock across the stop: frame 25 fell due at
    // 2000 ms, frame 26 at 12000 ms.
    EXPECT_EQ(10000ull * 10000, Ticks(g_vecRequests[26].recorded) - Ticks(g_vecRequests[25].recorded));
    // Losses within a run still show as gaps in the numbering.
    devices::ExecuteBusCommand("drop 2");
    m_spStream->Pump(12000 + 1200);
    const auto after = m_sink.Numbers();
    ASSERT_EQ(55u, after.size());
    EXPECT_EQ(52u + 2, after[52]);
    LONG nDropped = 0;
    m_spStream->GetNumDropped(&nDropped);
    EXPECT_EQ(2, nDropped);
}

TEST_F(DVStreamRestartTest, AStartAfterAStopDeliversNoBacklog) {
    // The streaming thread reads the bus's clock, so what falls due is set by the test alone.
    g_dwClock = 10000;
    devices::Bus::Get().SetTickSource([] { return g_dwClock.load(); });
    ASSERT_EQ(S_OK, m_spStream->StartStreaming());
    ASSERT_TRUE(m_sink.WaitForCount(1));  // frame 0 at the start of the run
    g_dwClock = 10000 + 299;              // frames 1..8 fall due (frame 9 at 300 ms)
    ASSERT_TRUE(m_sink.WaitForCount(9));
    ASSERT_EQ(S_OK, m_spStream->StopStreaming());
    ASSERT_EQ(9u, m_sink.Numbers().size());

    g_dwClock = 10299 + 1500;  // 45 frames' time while stopped
    ASSERT_EQ(S_OK, m_spStream->StartStreaming());
    ASSERT_TRUE(m_sink.WaitForCount(10));  // the new run starts with the next frame
    g_dwClock = 11799 + 299;  // frames 10..17
    ASSERT_TRUE(m_sink.WaitForCount(18));
    ASSERT_EQ(S_OK, m_spStream->StopStreaming());
    const auto all = m_sink.Numbers();
    ASSERT_EQ(18u, all.size()) << "frames that fell due while stopped were delivered";
    for (size_t i = 0; i < all.size(); ++i) ASSERT_EQ(i, all[i]);
}

}  // namespace
