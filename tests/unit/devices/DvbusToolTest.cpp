// plover-dvbus from another process, against a bus served in this one.
#include "SimulationFixture.h"

#include "devices/BusControl.h"

#include <string>

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
    const BOOL bStarted = ::CreateProcessW(strTool.c_str(), strCommandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
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
