// AV/C frames and their interpretation, against the simulated camcorder.
#include "LinkFixture.h"

#include "device/DVCommand.h"

namespace {

class DVCommandTest : public LinkTest {
protected:
    void SetUp() override {
        LinkTest::SetUp();
        ASSERT_TRUE(BringUp(m_manager, m_clock, m_window));
        auto lock = devices::Bus::Get().Lock();
        Camcorder().ClearLog();
    }
    void ClearCamcorderLog() {
        auto lock = devices::Bus::Get().Lock();
        Camcorder().ClearLog();
    }
    DVCommand m_command{m_manager.GetDVDevice(), m_clock};
};

TEST_F(DVCommandTest, StatusQueriesSendTheMakersFramesByteForByte) {
    int nState = -1, nMode = -1, nStatus = -1;
    BOOL bEnd = TRUE;
    EXPECT_EQ(S_OK, m_command.GetDeviceDVControler(nState));
    EXPECT_EQ(S_OK, m_command.GetDeviceDVMode(nMode));
    EXPECT_EQ(S_OK, m_command.GetDeviceTapeEnd(bEnd));
    EXPECT_EQ(S_OK, m_command.GetDeviceTapeStatus(nStatus, TRUE));
    EXPECT_EQ(1, nState);
    EXPECT_EQ(2, nMode);
    EXPECT_FALSE(bEnd);
    EXPECT_EQ(4, nStatus);
    const std::vector<std::string> expected = {
        "01 20 00 00 00 3D 00 01 30 FF FF",
        "01 20 00 00 00 3D 00 10 09 FF FF FF FF",
        "01 20 00 00 00 3D 00 10 12 FF",
        "01 20 D0 7F",
        "01 20 DA 7F 7F",
        "01 20 00 00 00 3D 00 10 12 FF",
    };
    EXPECT_EQ(expected, SentFrames());
    auto lock = devices::Bus::Get().Lock();
    EXPECT_TRUE(Camcorder().UnknownRequests().empty());
}

TEST_F(DVCommandTest, DVModeTableRows) {
    const struct { const char* pszBytes; int nMode; } rows[] = {
        {"38 03 FF", 2}, {"38 03 00", 2}, {"38 01 01", 6}, {"38 01 00", 4}, {"20 03 00", 3}, {"20 03 FF", 3},
        {"20 03 01", 7}, {"20 02 00", 5}, {"20 02 01", 5}, {"00 03 00", 2}, {"38 05 00", 2},
    };
    for (const auto& row : rows) {
        ASSERT_EQ("OK", devices::ExecuteBusCommand(std::string("modebytes ") + row.pszBytes));
        int nMode = -1;
        EXPECT_EQ(S_OK, m_command.GetDeviceDVMode(nMode)) << row.pszBytes;
        EXPECT_EQ(row.nMode, nMode) << row.pszBytes;
    }
}

TEST_F(DVCommandTest, UnknownModeByteIsTracedAndReportsMode2) {
    m_ini.TraceToFile();
    ASSERT_EQ("OK", devices::ExecuteBusCommand("modebytes 00 03 00"));
    int nMode = -1;
    EXPECT_EQ(S_OK, m_command.GetDeviceDVMode(nMode));
    EXPECT_EQ(2, nMode);
    EXPECT_NE(std::string::npos, m_ini.ReadLog().find("GetDeviceDVMode()"));
}

TEST_F(DVCommandTest, RejectedModeQueryMeansMode5AndSuccess) {
    ASSERT_EQ("OK", devices::ExecuteBusCommand("refuse all dvmode"));
    int nMode = -1;
    EXPECT_EQ(S_OK, m_command.GetDeviceDVMode(nMode));
    EXPECT_EQ(5, nMode);
    EXPECT_EQ(2u, SentFrames().size());
}

TEST_F(DVCommandTest, TapeStatusTableRows) {
    const struct { const char* pszTape; const char* pszMedium; BOOL bAskEnd; int nStatus; size_t nFrames; } rows[] = {
        {"none", "31 30", TRUE, 1, 1},
        {"recording", "31 30", TRUE, 5, 1},
        {"pause", "31 30", TRUE, 4, 1},
        {"winding", "31 30", TRUE, 0, 1},
        {"stopped", "32 31", TRUE, 2, 2},   // no tape-end query
        {"stopped", "32 41", TRUE, 2, 2},
        {"end", "31 30", TRUE, 3, 3},
        {"end", "31 30", FALSE, 4, 2},      // without the tape-end test a stopped tape is 4
        {"stopped", "31 30", TRUE, 4, 3},
    };
    for (const auto& row : rows) {
        ASSERT_EQ("OK", devices::ExecuteBusCommand(std::string("tape ") + row.pszTape));
        ASSERT_EQ("OK", devices::ExecuteBusCommand(std::string("medium-info ") + row.pszMedium));
        {
            auto lock = devices::Bus::Get().Lock();
            Camcorder().ClearLog();
        }
        int nStatus = -1;
        EXPECT_EQ(S_OK, m_command.GetDeviceTapeStatus(nStatus, row.bAskEnd)) << row.pszTape;
        EXPECT_EQ(row.nStatus, nStatus) << row.pszTape << " " << row.pszMedium;
        EXPECT_EQ(row.nFrames, SentFrames().size()) << row.pszTape << " " << row.pszMedium;
    }
}

TEST_F(DVCommandTest, RefusedStatusQueryIsTriedTwiceWithDumpsThenFails) {
    m_ini.TraceToFile();
    ASSERT_EQ("OK", devices::ExecuteBusCommand("refuse all dvcontrol"));
    m_clock.m_vecSleeps.clear();
    int nState = -1;
    EXPECT_EQ(static_cast<HRESULT>(0x80070047), m_command.GetDeviceDVControler(nState));
    EXPECT_EQ(-1, nState);
    EXPECT_EQ(2u, SentFrames().size());
    const std::string strLog = m_ini.ReadLog();
    EXPECT_EQ(2u, CountOf(strLog, "GetTransportBasicParameters() failed : hr = 0x00000047(71)"));
    EXPECT_EQ(2u, CountOf(strLog, "Req=01 20 00 00 00 3d 00 01 30 ff ff "));
    EXPECT_EQ(2u, CountOf(strLog, "Res=0a 20 00 00 00 3d 00 01 30 ff ff "));
    EXPECT_EQ(1u, CountOf(strLog, "SendLowCommand() failed"));
    // One retry delay of 100 ms; the 20 ms spacing is already over by then.
    EXPECT_EQ(std::vector<DWORD>{100}, m_clock.m_vecSleeps);
}

TEST_F(DVCommandTest, RefusedControlCommandIsTriedThreeTimesWithDumps) {
    m_ini.TraceToFile();
    ASSERT_EQ("OK", devices::ExecuteBusCommand("refuse all control"));
    EXPECT_EQ(static_cast<HRESULT>(0x80070047), m_command.SendTransportCommand(0xC2, 0x75));
    const std::vector<std::string> expected(3, "00 20 C2 75");
    EXPECT_EQ(expected, SentFrames());
    const std::string strLog = m_ini.ReadLog();
    EXPECT_EQ(3u, CountOf(strLog, "Req=00 20 c2 75 "));
    EXPECT_EQ(3u, CountOf(strLog, "Res=0a 20 c2 75 "));
    ClearCamcorderLog();
}

TEST_F(DVCommandTest, FailedMediumInfoOrTapeEndQueryEndsTheTapeStatus) {
    const struct { const char* pszTape; const char* pszFault; size_t nFrames; } rows[] = {
        {"stopped", "refuse all medium", 3},   // TRANSPORT STATE, then MEDIUM INFO twice
        {"end", "refuse all tapeend", 4},      // TRANSPORT STATE, MEDIUM INFO, then the tape end twice
        {"end", "timeout all tapeend", 4},
    };
    for (const auto& row : rows) {
        ASSERT_EQ("OK", devices::ExecuteBusCommand(std::string("tape ") + row.pszTape));
        ASSERT_EQ("OK", devices::ExecuteBusCommand(row.pszFault));
        ClearCamcorderLog();
        int nStatus = -1;
        EXPECT_LT(m_command.GetDeviceTapeStatus(nStatus, TRUE), 0) << row.pszFault;
        EXPECT_EQ(-1, nStatus) << row.pszFault;
        EXPECT_EQ(row.nFrames, SentFrames().size()) << row.pszFault;
        ASSERT_EQ("OK", devices::ExecuteBusCommand("refuse off"));
    }
    ClearCamcorderLog();
}

TEST_F(DVCommandTest, TimeOutBecomesTheWin32TimeOutCode) {
    ASSERT_EQ("OK", devices::ExecuteBusCommand("timeout 1 transport"));
    int nStatus = -1;
    // The second try is answered.
    EXPECT_EQ(S_OK, m_command.GetDeviceTapeStatus(nStatus, FALSE));
    ASSERT_EQ("OK", devices::ExecuteBusCommand("timeout all transport"));
    EXPECT_EQ(static_cast<HRESULT>(0x800705B4), m_command.GetDeviceTapeStatus(nStatus, FALSE));
}

TEST_F(DVCommandTest, CommandsKeep20msApart) {
    int nMode = 0;
    m_clock.m_vecSleeps.clear();
    m_command.GetDeviceDVMode(nMode);
    m_command.GetDeviceDVMode(nMode);
    m_clock.Advance(5);
    m_command.GetDeviceDVMode(nMode);
    EXPECT_EQ((std::vector<DWORD>{20, 15}), m_clock.m_vecSleeps);
    auto lock = devices::Bus::Get().Lock();
    const auto& log = Camcorder().Log();
    ASSERT_EQ(3u, log.size());
    EXPECT_GE(log[1].dwTick - log[0].dwTick, 20u);
    EXPECT_GE(log[2].dwTick - log[1].dwTick, 20u);
}

TEST_F(DVCommandTest, PCInformationValues) {
    const struct { BOOL bDrops; int nNew; int nRemaining; int nBattery; const char* pszValues; } rows[] = {
        {TRUE, 200, 70000, -2, "FF FF FE FF FE"},
        {FALSE, 0, -1, -1, "00 FF FF FF FF"},
        {TRUE, 3, 0x1234, 0x10000, "83 12 34 FF FD"},
        {FALSE, 127, 90, 45, "7F 00 5A 00 2D"},
        {FALSE, -5, -7, -9, "00 00 00 00 00"},
    };
    for (const auto& row : rows) {
        {
            auto lock = devices::Bus::Get().Lock();
            Camcorder().ClearLog();
        }
        EXPECT_EQ(S_OK, m_command.SendDevicePCInfo(row.bDrops, row.nNew, row.nRemaining, row.nBattery));
        ASSERT_EQ(1u, SentFrames().size());
        EXPECT_EQ(std::string("00 20 00 00 00 3D 00 01 32 ") + row.pszValues + " FF FF FF FF FF FF FF FF FF FF", SentFrames()[0]);
        auto lock = devices::Bus::Get().Lock();
        EXPECT_EQ(row.pszValues, Hex(std::vector<uint8_t>(Camcorder().Report().abyPcInfo, Camcorder().Report().abyPcInfo + 5)));
    }
}

TEST_F(LinkTest, CommandWithoutAChosenCamcorderFailsWithoutBusTraffic) {
    DVCommand command(m_manager.GetDVDevice(), m_clock);
    int nMode = 0;
    EXPECT_EQ(E_FAIL, command.GetDeviceDVMode(nMode));
    EXPECT_TRUE(SentFrames().empty());
}

TEST_F(DVCommandTest, CommandsToAnUnpluggedCamcorderFailAtOnce) {
    ASSERT_EQ("OK", devices::ExecuteBusCommand("unplug"));
    int nMode = 0;
    const HRESULT hr = m_command.GetDeviceDVMode(nMode);
    EXPECT_LT(hr, 0);
    EXPECT_TRUE(SentFrames().empty());
}

} // namespace
