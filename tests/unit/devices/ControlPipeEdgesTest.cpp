// The control pipe against clients that stall, send garbage or hold its name, and the range
// checks of the bus commands.
#include "SimulationFixture.h"

#include "devices/BusControl.h"

#include <aclapi.h>

#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <vector>

namespace {

std::wstring UniquePipeName(const wchar_t* pszTag) {
    static int nSerial = 0;
    return L"\\\\.\\pipe\\PloverDVBus" + std::wstring(pszTag) + std::to_wstring(::GetCurrentProcessId()) + L"_" + std::to_wstring(++nSerial);
}

// A client that does only what the test tells it: connect, send bytes, read one answer.
class RawClient {
public:
    explicit RawClient(const std::wstring& strPipe) {
        for (int nTry = 0; nTry < 3 && m_hPipe == INVALID_HANDLE_VALUE; ++nTry) {
            m_hPipe = ::CreateFileW(strPipe.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            if (m_hPipe == INVALID_HANDLE_VALUE && (::GetLastError() != ERROR_PIPE_BUSY || !::WaitNamedPipeW(strPipe.c_str(), 10000))) break;
        }
        if (m_hPipe == INVALID_HANDLE_VALUE) return;
        DWORD dwMode = PIPE_READMODE_MESSAGE;
        ::SetNamedPipeHandleState(m_hPipe, &dwMode, nullptr, nullptr);
    }
    ~RawClient() {
        if (m_hPipe != INVALID_HANDLE_VALUE) ::CloseHandle(m_hPipe);
    }
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    bool Connected() const { return m_hPipe != INVALID_HANDLE_VALUE; }
    HANDLE Handle() const { return m_hPipe; }
    bool Send(const std::string& strBytes) {
        DWORD nWritten = 0;
        return ::WriteFile(m_hPipe, strBytes.data(), static_cast<DWORD>(strBytes.size()), &nWritten, nullptr) && nWritten == strBytes.size();
    }
    // The server's answer; empty when it hung up without one.
    std::string Answer() {
        char achAnswer[8192];
        DWORD nRead = 0;
        if (!::ReadFile(m_hPipe, achAnswer, sizeof achAnswer, &nRead, nullptr)) return std::string();
        return std::string(achAnswer, nRead);
    }

private:
    HANDLE m_hPipe = INVALID_HANDLE_VALUE;
};

// Bytes of a request as a test message shows them.
std::string Printable(const std::string& str) {
    std::string strOut;
    for (const unsigned char ch : str.substr(0, 40)) {
        char sz[8];
        std::snprintf(sz, sizeof sz, ch >= 0x20 && ch < 0x7F ? "%c" : "\\x%02X", ch);
        strOut += sz;
    }
    return str.size() > 40 ? strOut + "... (" + std::to_string(str.size()) + " bytes)" : strOut;
}

class ControlPipeTest : public SimulationTest {
protected:
    void SetUp() override {
        SimulationTest::SetUp();
        m_strPipe = UniquePipeName(L"Edges");
        ASSERT_TRUE(m_pipe.Start(m_strPipe));
    }
    std::string Send(const std::string& strCommand) {
        std::string strAnswer;
        if (!devices::SendBusCommand(m_strPipe, strCommand, strAnswer)) return "(no answer)";
        return strAnswer;
    }

    std::wstring m_strPipe;
    devices::ControlPipe m_pipe;
};

TEST_F(ControlPipeTest, StalledClientsDoNotKeepOthersOut) {
    RawClient silent(m_strPipe);
    ASSERT_TRUE(silent.Connected());
    EXPECT_EQ("OK", Send("tape none"));

    // With every instance held by a silent client, the next client is served once their time is up.
    std::vector<std::unique_ptr<RawClient>> vecSilent;
    for (DWORD i = 1; i < devices::ControlPipe::Instances; ++i) {
        vecSilent.push_back(std::make_unique<RawClient>(m_strPipe));
        ASSERT_TRUE(vecSilent.back()->Connected());
    }
    EXPECT_EQ("OK", Send("tape stopped"));
    // The silent ones were hung up without an answer.
    EXPECT_EQ("", silent.Answer());
    EXPECT_FALSE(silent.Send("tape none"));
    auto lock = devices::Bus::Get().Lock();
    EXPECT_EQ(devices::Transport::Stopped, devices::Bus::Get().GetCamcorder(0).Settings().transport);
}

TEST_F(ControlPipeTest, StopEndsTheServerWhateverClientsDo) {
    RawClient silent(m_strPipe), halfway(m_strPipe);
    ASSERT_TRUE(silent.Connected());
    ASSERT_TRUE(halfway.Connected());
    ASSERT_TRUE(halfway.Send("status"));  // sent, answer never read
    auto stopped = std::async(std::launch::async, [this] { m_pipe.Stop(); });
    ASSERT_EQ(std::future_status::ready, stopped.wait_for(std::chrono::seconds(10))) << "the server waits on its clients";
    EXPECT_FALSE(m_pipe.IsRunning());
    EXPECT_EQ("(no answer)", Send("status"));
    // The name is free again for the next start.
    EXPECT_TRUE(m_pipe.Start(m_strPipe));
    EXPECT_EQ("OK", Send("tape none"));
}

TEST_F(ControlPipeTest, BadRequestsGetAnErrorAndChangeNothing) {
    const std::string strBefore = devices::ExecuteBusCommand("status");
    const struct {
        std::string strRequest;
        std::string strAnswer;
    } Rows[] = {
        {"", "ERROR empty request"},
        {" \t\r\n", "ERROR empty request"},
        {std::string(5000, 'a'), "ERROR request longer than 4096 bytes"},
        {"dvcontrol off" + std::string(4090, ' '), "ERROR request longer than 4096 bytes"},
        {std::string("dvcontrol\0off", 13), "ERROR malformed request: one line of printable text expected"},
        {"dvcontrol off\nmode vcr", "ERROR malformed request: one line of printable text expected"},
        {"dvcontrol off\n\n", "ERROR malformed request: one line of printable text expected"},
        {"\xEF\xBB\xBFtape none", "ERROR malformed request: one line of printable text expected"},
        {"\x1B[2Jreset", "ERROR malformed request: one line of printable text expected"},
        {"dvcontrol o", "ERROR bad value"},          // cut off
        {"modebytes 0A 0B", "ERROR bad value"},      // cut off
        {"medium-info 31", "ERROR bad value"},       // cut off
        {"dvcon", "ERROR unknown command: dvcon"},  // cut off
        {"tape none 1 now", "ERROR too many words for tape"},
        {"record 1 2", "ERROR too many words for record"},
    };
    for (const auto& row : Rows) {
        RawClient client(m_strPipe);
        ASSERT_TRUE(client.Connected());
        ASSERT_TRUE(client.Send(row.strRequest)) << Printable(row.strRequest);
        EXPECT_EQ(row.strAnswer, client.Answer()) << Printable(row.strRequest);
    }
    // A request sent in two pieces is taken as the first piece alone.
    {
        RawClient client(m_strPipe);
        ASSERT_TRUE(client.Connected());
        ASSERT_TRUE(client.Send("tape"));
        ASSERT_TRUE(client.Send(" none"));
        EXPECT_EQ("ERROR bad value", client.Answer());
    }
    // A client that goes before finishing its request.
    {
        RawClient client(m_strPipe);
        ASSERT_TRUE(client.Connected());
    }
    EXPECT_EQ(strBefore, devices::ExecuteBusCommand("status"));
    EXPECT_EQ("OK", Send("tape none\r\n"));  // one line end is part of a good request
}

TEST_F(ControlPipeTest, OnlyTheUserWhoRunsTheProgramMayOpenIt) {
    RawClient client(m_strPipe);
    ASSERT_TRUE(client.Connected());
    PACL pDacl = nullptr;
    PSECURITY_DESCRIPTOR pSecurity = nullptr;
    ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS), ::GetSecurityInfo(client.Handle(), SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION,
                                                                    nullptr, nullptr, &pDacl, nullptr, &pSecurity));
    ASSERT_NE(nullptr, pDacl) << "no access list: everybody may open the pipe";
    EXPECT_EQ(1, pDacl->AceCount);

    HANDLE hToken = nullptr;
    ASSERT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &hToken));
    BYTE abyUser[256];
    DWORD nBytes = 0;
    ASSERT_TRUE(::GetTokenInformation(hToken, TokenUser, abyUser, sizeof abyUser, &nBytes));
    ::CloseHandle(hToken);
    const PSID pUser = reinterpret_cast<TOKEN_USER*>(abyUser)->User.Sid;

    for (WORD i = 0; i < pDacl->AceCount; ++i) {
        ACE_HEADER* pAce = nullptr;
        ASSERT_TRUE(::GetAce(pDacl, i, reinterpret_cast<void**>(&pAce)));
        ASSERT_EQ(ACCESS_ALLOWED_ACE_TYPE, pAce->AceType);
        EXPECT_TRUE(::EqualSid(&reinterpret_cast<ACCESS_ALLOWED_ACE*>(pAce)->SidStart, pUser)) << "access for somebody else";
    }
    ::LocalFree(pSecurity);
}

TEST(ControlPipeName, HeldByAnotherServerIsNotServed) {
    const std::wstring strPipe = UniquePipeName(L"Taken");
    // Another server that took the name first, with the same shape of pipe as ours.
    HANDLE hOther = ::CreateNamedPipeW(strPipe.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT,
                                       devices::ControlPipe::Instances, devices::ControlPipe::MaxRequestBytes,
                                       devices::ControlPipe::MaxRequestBytes, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, hOther);
    devices::ControlPipe pipe;
    EXPECT_FALSE(pipe.Start(strPipe));
    EXPECT_EQ(devices::ControlPipe::Failure::NameTaken, pipe.LastFailure());
    EXPECT_FALSE(pipe.IsRunning());
    ::CloseHandle(hOther);
    EXPECT_TRUE(pipe.Start(strPipe));
    EXPECT_EQ(devices::ControlPipe::Failure::None, pipe.LastFailure());
}

TEST_F(SimulationTest, CommandNumbersAndNamesAreRangeChecked) {
    const std::string strBefore = devices::ExecuteBusCommand("status");
    const struct {
        const char* pszCommand;
        const char* pszAnswer;
    } Rows[] = {
        {"drop 1000001", "ERROR frame count expected"},
        {"drop 99999999999999999999", "ERROR frame count expected"},
        {"drop +5", "ERROR frame count expected"},
        {"drop 5x", "ERROR frame count expected"},
        {"refuse -1", "ERROR count, all or off expected"},
        {"event 256", "ERROR event code (and parameter) 0..255 expected"},
        {"event 2 300", "ERROR event code (and parameter) 0..255 expected"},
        {"modebytes 100 00 00", "ERROR bad value"},
        {"modebytes 0x1 00 00", "ERROR bad value"},
        {"modebytes -1 00 00", "ERROR bad value"},
        {"medium-info +1 30", "ERROR bad value"},
        {"unplug 4294967297", "ERROR no such camcorder"},
        {"mode vcr 01x", "ERROR no such camcorder"},
        {"add-camcorder ven#x model", "ERROR vendor and model of letters, digits, _ and - expected"},
        {"add-camcorder acme ..\\cam", "ERROR vendor and model of letters, digits, _ and - expected"},
        {"add-camcorder acme a&b", "ERROR vendor and model of letters, digits, _ and - expected"},
        {"add-camcorder acme 0123456789012345678901234567890123", "ERROR vendor and model of letters, digits, _ and - expected"},
        {"status now", "ERROR too many words for status"},
    };
    for (const auto& row : Rows) EXPECT_EQ(row.pszAnswer, devices::ExecuteBusCommand(row.pszCommand)) << row.pszCommand;
    EXPECT_EQ(strBefore, devices::ExecuteBusCommand("status"));

    // Frames to lose add up to a bound instead of running over.
    EXPECT_EQ("OK", devices::ExecuteBusCommand("drop 1000000"));
    EXPECT_EQ("ERROR bad value", devices::ExecuteBusCommand("drop 1"));
    {
        auto lock = devices::Bus::Get().Lock();
        EXPECT_EQ(1000000, devices::Bus::Get().GetCamcorder(0).Stream().nDropPending);
    }
}

TEST_F(SimulationTest, BusTakesAtMostSixtyThreeNodes) {
    EXPECT_EQ("OK", devices::ExecuteBusCommand("unplug"));
    std::string strAnswer;
    int nAdded = 0;
    while ((strAnswer = devices::ExecuteBusCommand("node add")) == "OK" && nAdded < 100) ++nAdded;
    EXPECT_EQ("ERROR the bus is full", strAnswer);
    EXPECT_EQ(62, nAdded);  // the computer and 62 others
    EXPECT_EQ("ERROR the bus is full", devices::ExecuteBusCommand("add-camcorder"));
    EXPECT_EQ("ERROR the bus is full", devices::ExecuteBusCommand("plug"));
    auto lock = devices::Bus::Get().Lock();
    EXPECT_EQ(63, devices::Bus::Get().NodeCount());
    EXPECT_EQ(1u, devices::Bus::Get().CamcorderCount());
}

} // namespace
