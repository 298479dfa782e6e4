// The control pipe of the simulated bus: one command line in, one answer out, per connection.
#include "devices/BusControl.h"

#include <string>

namespace devices {
namespace {

constexpr DWORD PipeBufferBytes = 4096;
constexpr DWORD ClientWaitMs = 2000;

ControlPipe& ProgramPipe() {
    static ControlPipe pipe;
    return pipe;
}

} // namespace

bool StartProgramBus() {
    Bus::Get();
    wchar_t szName[256];
    const DWORD nLength = ::GetEnvironmentVariableW(L"PLOVER_DVBUS_PIPE", szName, 256);
    std::wstring strName = nLength > 0 && nLength < 256 ? std::wstring(szName, nLength) : std::wstring(DefaultPipeName);
    if (strName.find(L'\\') == std::wstring::npos) strName = L"\\\\.\\pipe\\" + strName;
    return ProgramPipe().Start(strName);
}

void StopProgramBus() {
    ProgramPipe().Stop();
}

bool ControlPipe::Start(const std::wstring& strName) {
    if (IsRunning()) return false;
    m_strName = strName;
    m_bStop = false;
    m_hReady = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (m_hReady == nullptr) return false;
    m_thread = std::thread([this] { Serve(); });
    ::WaitForSingleObject(m_hReady, INFINITE);
    if (!m_bListening) {
        // Another program serves this name already.
        m_thread.join();
        ::CloseHandle(m_hReady);
        m_hReady = nullptr;
        return false;
    }
    return true;
}

void ControlPipe::Stop() {
    if (!IsRunning()) return;
    m_bStop = true;
    // Wakes the server out of its wait for a client.
    HANDLE hPipe = ::CreateFileW(m_strName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (hPipe != INVALID_HANDLE_VALUE) ::CloseHandle(hPipe);
    m_thread.join();
    ::CloseHandle(m_hReady);
    m_hReady = nullptr;
}

void ControlPipe::Serve() {
    HANDLE hPipe = ::CreateNamedPipeW(m_strName.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT,
                                      1, PipeBufferBytes, PipeBufferBytes, 0, nullptr);
    m_bListening = hPipe != INVALID_HANDLE_VALUE;
    ::SetEvent(m_hReady);
    if (!m_bListening) return;
    while (!m_bStop) {
        const BOOL bConnected = ::ConnectNamedPipe(hPipe, nullptr) || ::GetLastError() == ERROR_PIPE_CONNECTED;
        if (m_bStop) break;
        if (bConnected) {
            char szLine[PipeBufferBytes];
            DWORD nRead = 0;
            if (::ReadFile(hPipe, szLine, sizeof szLine - 1, &nRead, nullptr) && nRead > 0) {
                std::string strLine(szLine, nRead);
                while (!strLine.empty() && (strLine.back() == '\n' || strLine.back() == '\r')) strLine.pop_back();
                std::string strAnswer = ExecuteBusCommand(strLine);
                if (strAnswer.size() > PipeBufferBytes) strAnswer.resize(PipeBufferBytes);
                DWORD nWritten = 0;
                ::WriteFile(hPipe, strAnswer.data(), static_cast<DWORD>(strAnswer.size()), &nWritten, nullptr);
                ::FlushFileBuffers(hPipe);
            }
        }
        ::DisconnectNamedPipe(hPipe);
    }
    ::CloseHandle(hPipe);
}

bool SendBusCommand(const std::wstring& strPipe, const std::string& strCommand, std::string& strAnswer) {
    strAnswer.clear();
    HANDLE hPipe = INVALID_HANDLE_VALUE;
    for (int nTry = 0; nTry < 2 && hPipe == INVALID_HANDLE_VALUE; ++nTry) {
        hPipe = ::CreateFileW(strPipe.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (hPipe == INVALID_HANDLE_VALUE && (::GetLastError() != ERROR_PIPE_BUSY || !::WaitNamedPipeW(strPipe.c_str(), ClientWaitMs))) break;
    }
    if (hPipe == INVALID_HANDLE_VALUE) return false;
    DWORD dwMode = PIPE_READMODE_MESSAGE;
    ::SetNamedPipeHandleState(hPipe, &dwMode, nullptr, nullptr);
    DWORD nWritten = 0;
    bool bOk = ::WriteFile(hPipe, strCommand.data(), static_cast<DWORD>(strCommand.size()), &nWritten, nullptr) != FALSE;
    if (bOk) {
        char szAnswer[PipeBufferBytes];
        DWORD nRead = 0;
        bOk = ::ReadFile(hPipe, szAnswer, sizeof szAnswer, &nRead, nullptr) != FALSE;
        if (bOk) strAnswer.assign(szAnswer, nRead);
    }
    ::CloseHandle(hPipe);
    return bOk;
}

} // namespace devices
