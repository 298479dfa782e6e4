// plover-dvbus from another process, against a bus served in this one.
#include "SimulationFixture.h"

#include "devices/BusControl.h"

#include <string>
#include <vector>

namespace {

struct ToolRun {
    DWORD dwExitCode = 0xFFFFFFFF;
    std::string strOutput;
};

// Runs plover-dvbus.exe from this program's folder with the arguments; collects stdout and stderr.
ToolRun RunTool(const std::wstring& strArguments) {
    wchar_t szPath[MAX_PATH];
    const DWORD nLength = ::GetModuleFileNameW(nullptr, szPath, MAX_PATH);
    std::wstring strTool(szPath, nLength);
    strTool = strTool.substr(0, strTool.find_last_of(L"\\/") + 1) + L"plover-dvbus.exe";
    std::wstring strCommandLine = L"\"" + strTool + L"\" " + strArguments;

    ToolRun run;
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE hRead = nullptr, hWrite = nullptr;
    if (!::CreatePipe(&hRead, &hWrite, &sa, 0)) return run;
    ::SetHandleInformation(hRead, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = hWrite;
    si.hStdError = hWrite;
    si.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION pi{};
    // Under a loaded Wine a new process now and then dies before it starts and CreateProcess fails;
    // that is the host's, not the tool's, so the start is tried again a few times.
    BOOL bStarted = FALSE;
    for (int nTry = 0; nTry < 3 && !bStarted; ++nTry) {
        if (nTry > 0) ::Sleep(250);
        bStarted = ::CreateProcessW(strTool.c_str(), strCommandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
    }
    if (!bStarted) run.strOutput = "CreateProcess failed, error " + std::to_string(::GetLastError());
    ::CloseHandle(hWrite);
    if (bStarted) {
        char szBuffer[4096];
        DWORD nRead = 0;
        while (::ReadFile(hRead, szBuffer, sizeof szBuffer, &nRead, nullptr) && nRead > 0) run.strOutput.append(szBuffer, nRead);
        ::WaitForSingleObject(pi.hProcess, 20000);
        ::GetExitCodeProcess(pi.hProcess, &run.dwExitCode);
        ::CloseHandle(pi.hThread);
        ::CloseHandle(pi.hProcess);
    }
    ::CloseHandle(hRead);
    return run;
}

size_t CountLines(const std::string& strText, const std::string& strPart) {
    size_t nCount = 0;
    for (size_t nPos = strText.find(strPart); nPos != std::string::npos; nPos = strText.find(strPart, nPos + 1)) ++nCount;
    return nCount;
}

TEST_F(SimulationTest, ToolSendsCommandsToTheRunningBus) {
    const std::wstring strName = L"PloverDVBusTool" + std::to_wstring(::GetCurrentProcessId());
    devices::ControlPipe pipe;
    ASSERT_TRUE(pipe.Start(L"\\\\.\\pipe\\" + strName));

    ToolRun run = RunTool(L"--pipe " + strName + L" tape none");
    EXPECT_EQ(0u, run.dwExitCode);
    EXPECT_EQ("OK\r\n", run.strOutput);  // console text mode
    {
        auto lock = devices::Bus::Get().Lock();
        EXPECT_EQ(devices::Transport::NoCassette, devices::Bus::Get().GetCamcorder(0).Settings().transport);
    }
    run = RunTool(L"--pipe " + strName + L" aspect wide");
    EXPECT_EQ(1u, run.dwExitCode);
    EXPECT_EQ(0u, run.strOutput.find("ERROR bad value"));

    pipe.Stop();
    run = RunTool(L"--pipe " + strName + L" status");
    EXPECT_EQ(2u, run.dwExitCode);
    EXPECT_NE(std::string::npos, run.strOutput.find("no simulated bus"));
}

} // namespace

namespace {

TEST(BusScript, EveryLineIsCheckedBeforeAnythingRuns) {
    const struct { const char* pszScript; const char* pszError; } Rows[] = {
        {"record\nwait\n", "line 2: wait N (milliseconds) or wait Ns (seconds) expected"},
        {"wait 5x\n", "line 1: wait N (milliseconds) or wait Ns (seconds) expected"},
        {"wait 601s\n", "line 1: wait N (milliseconds) or wait Ns (seconds) expected"},
        {"wait 10 20\n", "line 1: wait N (milliseconds) or wait Ns (seconds) expected"},
        {"# a comment\n\n  fly away\n", "line 3: unknown command: fly"},
        {"record\r\nstop\x01\r\n", "line 2: printable text expected"},
        {"# nothing but a comment\n\n", "the script holds no step"},
    };
    for (const auto& row : Rows) {
        std::vector<devices::ScriptStep> vecSteps;
        std::string strError;
        EXPECT_FALSE(devices::ParseBusScript(row.pszScript, vecSteps, strError)) << row.pszScript;
        EXPECT_EQ(row.pszError, strError);
    }
    std::vector<devices::ScriptStep> vecSteps;
    std::string strError;
    ASSERT_TRUE(devices::ParseBusScript("\xEF\xBB\xBF# camcorder\r\n  wait 2s \r\nSubunit-Problem 10\nwait 250\n", vecSteps, strError)) << strError;
    ASSERT_EQ(3u, vecSteps.size());
    EXPECT_TRUE(vecSteps[0].bWait);
    EXPECT_EQ(2000u, vecSteps[0].dwWaitMs);
    EXPECT_EQ(3, vecSteps[1].nLine);
    EXPECT_EQ("Subunit-Problem 10", vecSteps[1].strCommand);
    EXPECT_EQ(250u, vecSteps[2].dwWaitMs);
}

TEST_F(SimulationTest, ToolReplaysAScriptedCamcorderAndReportsEachStep) {
    const std::wstring strName = L"PloverDVBusScript" + std::to_wstring(::GetCurrentProcessId());
    devices::ControlPipe pipe;
    ASSERT_TRUE(pipe.Start(L"\\\\.\\pipe\\" + strName));
    const char szScript[] =
        "# a camcorder that misbehaves\n"
        "tape recording\n"
        "wait 20\n"
        "drop 5\n"
        "aspect 16:9\n"
        "audio 32k\n"
        "refuse 2 control\n"
        "transport-bytes C4 31\n"
        "dvcontrol-byte 7F\n"
        "unplug\n"
        "wait 10\n"
        "plug\n"
        "fail-event-query 1\n";
    wchar_t szFolder[MAX_PATH], szPath[MAX_PATH];
    ::GetTempPathW(MAX_PATH, szFolder);
    ::GetTempFileNameW(szFolder, L"scr", 0, szPath);
    HANDLE hFile = ::CreateFileW(szPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD dwWritten = 0;
    ::WriteFile(hFile, szScript, sizeof szScript - 1, &dwWritten, nullptr);
    ::CloseHandle(hFile);

    const ToolRun run = RunTool(L"--pipe " + strName + L" script \"" + szPath + L"\"");
    EXPECT_EQ(0u, run.dwExitCode) << run.strOutput;
    EXPECT_EQ(12u, CountLines(run.strOutput, "-> OK"));
    EXPECT_NE(std::string::npos, run.strOutput.find("7: refuse 2 control -> OK"));
    {
        auto lock = devices::Bus::Get().Lock();
        const devices::Camcorder& camcorder = devices::Bus::Get().GetCamcorder(0);
        EXPECT_TRUE(camcorder.Settings().bWide);
        EXPECT_EQ(devices::AudioMode::Pcm32k12, camcorder.Settings().audio);
        EXPECT_EQ((devices::AvcFault{devices::AvcFaultType::Refuse, devices::AvcCommandKind::TransportControl, 2}), camcorder.Settings().fault);
        EXPECT_EQ(0x7F, camcorder.Settings().nDVControlByte);
        EXPECT_TRUE(devices::Bus::Get().IsPlugged(0));
        EXPECT_EQ(1, devices::Bus::Get().Driver().Settings().nEventQueryFailures);
    }

    // A refused step ends the run with exit code 1 and later steps are not sent.
    hFile = ::CreateFileW(szPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    const char szRefused[] = "aspect 4:3\naspect 21:9\naudio 48k\n";
    ::WriteFile(hFile, szRefused, sizeof szRefused - 1, &dwWritten, nullptr);
    ::CloseHandle(hFile);
    const ToolRun refused = RunTool(L"--pipe " + strName + L" script \"" + szPath + L"\"");
    EXPECT_EQ(1u, refused.dwExitCode);
    EXPECT_NE(std::string::npos, refused.strOutput.find("2: aspect 21:9 -> ERROR bad value"));
    {
        auto lock = devices::Bus::Get().Lock();
        EXPECT_EQ(devices::AudioMode::Pcm32k12, devices::Bus::Get().GetCamcorder(0).Settings().audio);
    }
    pipe.Stop();
    ::DeleteFileW(szPath);
}

} // namespace
