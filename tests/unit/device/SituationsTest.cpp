// Every misbehaviour the simulation can play, produced once through the scenario file beside the
// program and once through the control pipe, and the camcorder link's answer to each.
#include "LinkFixture.h"

#include "devices/Faces.h"

#include <functional>
#include <memory>

namespace {

using Events = std::vector<std::pair<int, int>>;

// One run of the link from its start, on its own window.
struct LinkRun {
    explicit LinkRun(FakeClock& clock) : clock(clock), manager(clock) { window.Route(&manager); }
    void Start() { ASSERT_TRUE(manager.InitDVManager(window.Handle(), WM_DEVICE_EVENT, 1)); }
    void For(DWORD dwMs) { Tick(manager, clock, static_cast<int>(dwMs / 100)); }
    void Until(const std::function<bool()>& fnDone, int nMaxTicks = 200) {
        for (int i = 0; i < nMaxTicks && !fnDone(); ++i) Tick(manager, clock);
    }
    int Status() const { return manager.GetDeviceStatus(); }
    int Mode() { return manager.GetDVDevice().GetDVMode(); }
    int Tape() { return manager.GetDVDevice().GetTapeStatus(); }
    int Step() { return manager.GetVirtualDevice().GetLoadStep(); }

    FakeClock& clock;
    EventWindow window;
    DVManager manager;
};

devices::VcrDriver& Sim() {
    return devices::Bus::Get().Driver();
}

struct Situation {
    const char* pszName;
    const char* pszFile;                   // scenario file text
    std::vector<const char*> vecCommands;  // the same through the pipe
    std::function<void(LinkRun&, DebugIni&)> fnCheck;
};

// The camcorder is listed, but the link never gets to use it: status 2, mode 0, no event.
void NeverChosen(LinkRun& run, DebugIni&) {
    run.Start();
    run.For(8000);
    EXPECT_EQ(2, run.Status());
    EXPECT_EQ(0, run.Mode());
    EXPECT_FALSE(run.manager.GetDVDevice().GetDVFilter());
    EXPECT_TRUE(run.window.m_vecEvents.empty());
}

class SituationTest : public LinkTest {
protected:
    void SetUp() override {
        LinkTest::SetUp();
        m_strPipe = L"\\\\.\\pipe\\PloverLinkSituations" + std::to_wstring(::GetCurrentProcessId());
        ASSERT_TRUE(m_pipe.Start(m_strPipe));
    }
    void TearDown() override {
        m_pipe.Stop();
        ::DeleteFileW(devices::ProgramScenarioPath().c_str());
        LinkTest::TearDown();
    }

    // The bus as the scenario file beside the program describes it, as "reset" reads it.
    void FromFile(const std::string& strText) {
        HANDLE hFile = ::CreateFileW(devices::ProgramScenarioPath().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD dwWritten = 0;
        ::WriteFile(hFile, strText.data(), static_cast<DWORD>(strText.size()), &dwWritten, nullptr);
        ::CloseHandle(hFile);
        EXPECT_EQ("OK", Send("reset"));
        ::DeleteFileW(devices::ProgramScenarioPath().c_str());
    }
    std::string Send(const char* pszCommand) {
        std::string strAnswer;
        EXPECT_TRUE(devices::SendBusCommand(m_strPipe, pszCommand, strAnswer)) << pszCommand;
        return strAnswer;
    }

    void Play(const Situation& situation) {
        for (const bool bFile : {true, false}) {
            SCOPED_TRACE(std::string(situation.pszName) + (bFile ? " (DVBus.ini)" : " (pipe)"));
            ResetBus(devices::BusScenario{});
            VirtualDriver::ResetProcessStateForTesting();
            SetVirtualDeviceCount(-1);
            m_ini.TraceToFile();
            if (bFile) {
                FromFile(situation.pszFile);
            } else {
                for (const char* pszCommand : situation.vecCommands) EXPECT_EQ("OK", Send(pszCommand)) << pszCommand;
            }
            auto spRun = std::make_unique<LinkRun>(m_clock);
            situation.fnCheck(*spRun, m_ini);
            spRun.reset();
            auto lock = devices::Bus::Get().Lock();
            devices::Bus::Get().GetCamcorder(0).ClearLog();  // refused frames are expected here
        }
    }

    std::wstring m_strPipe;
    devices::ControlPipe m_pipe;
};

TEST_F(SituationTest, CamcorderAnswersTheLinkCannotUse) {
    const Situation Situations[] = {
        {"transport state WIND 31h", "[Camcorder1]\r\nTransportBytes=C4 31\r\n", {"transport-bytes C4 31"},
         [](LinkRun& run, DebugIni&) {
             run.Start();
             run.Until([&] { return run.Mode() == 2; });
             EXPECT_EQ(8, run.Status());
             EXPECT_EQ(0, run.Tape());
             EXPECT_EQ((Events{{1, 1}, {1, 2}}), run.window.m_vecEvents);
         }},
        {"DV-control answer 7Fh", "[Camcorder1]\r\nDVControlByte=7F\r\n", {"dvcontrol-byte 7f"},
         [](LinkRun& run, DebugIni& ini) {
             run.Start();
             run.Until([&] { return run.Mode() == 2; });
             EXPECT_EQ(8, run.Status());
             EXPECT_EQ((Events{{1, 1}, {2, 4}, {1, 2}}), run.window.m_vecEvents);
             // Asked at selection and at the check: each unknown answer leaves its record.
             EXPECT_EQ(2u, CountOf(ini.ReadLog(), Ansi(L"GetDeviceDVControler()内で、不明なレスポンスコードを検知した")));
         }},
        {"one node while a DV device is listed", "[Bus]\r\nReportedNodes=1\r\n", {"reported-nodes 1"}, NeverChosen},
        {"unreadable property bag", "[Camcorder1]\r\nPropertyBag=unreadable\r\n", {"property-bag unreadable"}, NeverChosen},
        {"property bag that cannot be bound", "[Camcorder1]\r\nPropertyBag=unbound\r\n", {"property-bag unbound"}, NeverChosen},
        {"camcorder that cannot be bound", "[Camcorder1]\r\nBind=fails\r\n", {"bind fails"},
         [](LinkRun& run, DebugIni& ini) {
             NeverChosen(run, ini);
             EXPECT_LE(1u, CountOf(ini.ReadLog(), "*error* BindToObject() failed"));
         }},
        {"camcorder bound to no object", "[Camcorder1]\r\nBind=empty\r\n", {"bind empty"}, NeverChosen},
    };
    for (const Situation& situation : Situations) Play(situation);
}

TEST_F(SituationTest, HostAndDriverFailuresTheLinkRidesOut) {
    const Situation Situations[] = {
        {"failing device enumerator", "[Bus]\r\nFailEnumerator=all\r\n", {"fail-enumerator all"},
         [](LinkRun& run, DebugIni& ini) {
             run.Start();
             run.For(8000);
             // Neither the camcorder nor the virtual VCR's filter can be listed.
             EXPECT_EQ(2, run.Status());
             EXPECT_EQ(0, run.Mode());
             EXPECT_FALSE(run.manager.GetVirtualDevice().IsLoaded());
             EXPECT_LE(2u, CountOf(ini.ReadLog(), "*error* CoCreateInstance() failed"));
             // Once the enumerator works again everything comes up.
             auto lock = devices::Bus::Get().Lock();
             Sim().Settings().nEnumeratorFailures = 0;
             lock.unlock();
             run.Until([&] { return run.Mode() == 2; });
             EXPECT_EQ(8, run.Status());
         }},
        {"failing LoadAvcDevice", "[Bus]\r\nFailAvcLoad=1\r\n", {"fail-avc-load 1"},
         [](LinkRun& run, DebugIni& ini) {
             run.Start();
             run.Until([&] { return run.Step() == 1; });
             run.For(1000);
             // The virtual device was removed and loading starts again.
             EXPECT_EQ(0, run.Step());
             EXPECT_FALSE(Sim().IsVirtualDeviceAdded());
             EXPECT_EQ(1u, CountOf(ini.ReadLog(), Ansi(L"AVC仮想デバイスロード失敗")));
             EXPECT_EQ(0, run.Status());
             run.Until([&] { return run.Mode() == 2; });
             EXPECT_EQ(2, Sim().AddDeviceRequests());
         }},
        {"failure to start events", "[Bus]\r\nFailEventEnable=2\r\n", {"fail-event-enable 2"},
         [](LinkRun& run, DebugIni& ini) {
             run.Start();
             run.Until([&] { return run.Step() == 2; });
             for (int i = 0; i < 2; ++i) {
                 Tick(run.manager, run.clock);
                 EXPECT_EQ(2, run.Step());
                 EXPECT_FALSE(Sim().IsEventEnabled());
             }
             EXPECT_EQ(2u, CountOf(ini.ReadLog(), "*error* KsEnableEvent() failed"));
             EXPECT_EQ(0, run.Status());
             Tick(run.manager, run.clock);
             EXPECT_EQ(3, run.Step());
             EXPECT_TRUE(Sim().IsEventEnabled());
             EXPECT_EQ(2, run.Status());
         }},
        {"failing KsGetEvent", "[Bus]\r\nFailEventQuery=1\r\n", {"fail-event-query 1"},
         [](LinkRun& run, DebugIni& ini) {
             run.Start();
             run.Until([&] { return run.manager.GetVirtualDevice().IsLoaded(); });
             run.For(900);
             ASSERT_EQ(0, Sim().TapeStateSends());
             Tick(run.manager, run.clock);  // the first tick that reads events: the read fails
             EXPECT_EQ(0, Sim().TapeStateSends());
             EXPECT_EQ(1u, CountOf(ini.ReadLog(), "*error* KsGetEvent() failed"));
             EXPECT_EQ(3, run.Step());
             Tick(run.manager, run.clock);
             EXPECT_EQ(1, Sim().TapeStateSends());
         }},
        {"V61883 node not working at step 1", "[Bus]\r\nV61883Problem=1\r\n", {"v61883-problem 1"},
         [](LinkRun& run, DebugIni&) {
             run.Start();
             run.Until([&] { return run.Step() == 1; });
             run.For(1000);
             // Back to step 0 without removing the virtual device; loading goes round again.
             EXPECT_EQ(0, run.Step());
             EXPECT_TRUE(Sim().IsVirtualDeviceAdded());
             EXPECT_FALSE(Sim().IsSubunitAdded());
             run.For(5000);
             EXPECT_FALSE(run.manager.GetVirtualDevice().IsLoaded());
             EXPECT_EQ(0, run.Status());
             EXPECT_TRUE(run.window.m_vecEvents.empty());
         }},
        {"virtual devices of other users", "[Bus]\r\nCount=1\r\n", {"count 1"},
         [](LinkRun& run, DebugIni&) {
             run.Start();
             run.Until([&] { return run.Mode() == 2; });
             run.manager.ExitDVManager();
             EXPECT_FALSE(Sim().IsSubunitAdded());
             EXPECT_TRUE(Sim().IsVirtualDeviceAdded());
         }},
    };
    for (const Situation& situation : Situations) Play(situation);
}

} // namespace
