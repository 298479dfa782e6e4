// The control pipe of the simulated bus: one command line in, one answer out, per connection.
#include "devices/BusControl.h"

#include <string>

namespace devices {
namespace {

constexpr DWORD PipeBufferBytes = 4096;
constexpr DWORD ClientWaitMs = 2000;
// A busy pipe has a server that is answering another client; a client waits its turn this many
// times before it gives up on a server that no longer answers.
constexpr int ClientWaits = 15;

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
    m_hReady = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    m_hStop = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (m_hReady == nullptr || m_hStop == nullptr) {
        CloseEvents();
        return false;
    }
    m_thread = std::thread([this] { Serve(); });
    ::WaitForSingleObject(m_hReady, INFINITE);
    if (!m_bListening) {
        // Another program serves this name already.
        m_thread.join();
        CloseEvents();
        return false;
    }
    return true;
}

void ControlPipe::Stop() {
    if (!IsRunning()) return;
    // The server waits on this event beside every pipe operation, whatever state the pipe is in.
    ::SetEvent(m_hStop);
    m_thread.join();
    CloseEvents();
}

void ControlPipe::CloseEvents() {
    if (m_hReady != nullptr) ::CloseHandle(m_hReady);
    if (m_hStop != nullptr) ::CloseHandle(m_hStop);
    m_hReady = nullptr;
    m_hStop = nullptr;
}

bool ControlPipe::Complete(HANDLE hPipe, OVERLAPPED& ov, BOOL bStarted, DWORD* pnBytes) {
    *pnBytes = 0;
    if (!bStarted) {
        const DWORD dwError = ::GetLastError();
        if (dwError == ERROR_PIPE_CONNECTED) return true;  // a client came before the wait
        if (dwError != ERROR_IO_PENDING) return false;
    }
    const HANDLE ahWait[2] = {ov.hEvent, m_hStop};
    if (::WaitForMultipleObjects(2, ahWait, FALSE, INFINITE) != WAIT_OBJECT_0) {
        ::CancelIo(hPipe);
        ::GetOverlappedResult(hPipe, &ov, pnBytes, TRUE);  // the operation must end before ov goes
        return false;
    }
    return ::GetOverlappedResult(hPipe, &ov, pnBytes, FALSE) != FALSE;
}

void ControlPipe::Serve() {
    HANDLE hPipe = ::CreateNamedPipeW(m_strName.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                                      PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1, PipeBufferBytes,
                                      PipeBufferBytes, 0, nullptr);
    HANDLE hIo = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    m_bListening = hPipe != INVALID_HANDLE_VALUE && hIo != nullptr;
    ::SetEvent(m_hReady);
    if (!m_bListening) {
        if (hPipe != INVALID_HANDLE_VALUE) ::CloseHandle(hPipe);
        if (hIo != nullptr) ::CloseHandle(hIo);
        return;
    }
    for (;;) {
        OVERLAPPED ov{};
        ov.hEvent = hIo;
        DWORD nBytes = 0;
        ::ResetEvent(hIo);
        if (!Complete(hPipe, ov, ::ConnectNamedPipe(hPipe, &ov), &nBytes)) {
            if (::WaitForSingleObject(m_hStop, 0) == WAIT_OBJECT_0) break;
            ::DisconnectNamedPipe(hPipe);
            continue;
        }
        char szLine[PipeBufferBytes];
        ::ResetEvent(hIo);
        if (Complete(hPipe, ov, ::ReadFile(hPipe, szLine, sizeof szLine - 1, nullptr, &ov), &nBytes) && nBytes > 0) {
            std::string strLine(szLine, nBytes);
            while (!strLine.empty() && (strLine.back() == '\n' || strLine.back() == '\r')) strLine.pop_back();
            std::string strAnswer = ExecuteBusCommand(strLine);
            if (strAnswer.size() > PipeBufferBytes) strAnswer.resize(PipeBufferBytes);
            ::ResetEvent(hIo);
            if (Complete(hPipe, ov, ::WriteFile(hPipe, strAnswer.data(), static_cast<DWORD>(strAnswer.size()), nullptr, &ov), &nBytes)) {
                // A disconnection throws away what the client has not read yet: the client's
                // closing of its end, which ends this read, says it has the answer.
                ::ResetEvent(hIo);
                Complete(hPipe, ov, ::ReadFile(hPipe, szLine, sizeof szLine - 1, nullptr, &ov), &nBytes);
            }
        }
        ::DisconnectNamedPipe(hPipe);
        if (::WaitForSingleObject(m_hStop, 0) == WAIT_OBJECT_0) break;
    }
    ::CloseHandle(hIo);
    ::CloseHandle(hPipe);
}

bool SendBusCommand(const std::wstring& strPipe, const std::string& strCommand, std::string& strAnswer) {
    strAnswer.clear();
    HANDLE hPipe = INVALID_HANDLE_VALUE;
    for (int nTry = 0; nTry <= ClientWaits && hPipe == INVALID_HANDLE_VALUE; ++nTry) {
        hPipe = ::CreateFileW(strPipe.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (hPipe != INVALID_HANDLE_VALUE) break;
        if (::GetLastError() != ERROR_PIPE_BUSY) return false;  // no server at all
        ::WaitNamedPipeW(strPipe.c_str(), ClientWaitMs);
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
