// The control pipe of the simulated bus: one command line in, one answer out, per connection.
//
// Every instance of the pipe runs through the same cycle: listen for a client, read its request,
// write the answer, and wait for the client to close its end (a disconnection would throw away an
// answer the client has not read yet). Each step is an overlapped operation that the one server
// thread waits for together with the stop event, bounded by the client's deadline.
#include "devices/BusControl.h"

#include <string>
#include <vector>

namespace devices {
namespace {

constexpr DWORD ClientWaitMs = 5000;    // a client's wait for a free instance
constexpr DWORD AnswerWaitMs = 10000;   // a client's wait for its answer
constexpr DWORD RelistenDelayMs = 1000; // pause before an instance that failed to listen tries again
constexpr DWORD PipeBufferBytes = ControlPipe::MaxRequestBytes;

ControlPipe& ProgramPipe() {
    static ControlPipe pipe;
    return pipe;
}

// TRUE when the tick count dwThen has been reached.
bool Reached(DWORD dwNow, DWORD dwThen) {
    return static_cast<LONG>(dwNow - dwThen) >= 0;
}

// The pipe's security: every access for the user who runs the program, none for anybody else.
class OwnerOnlySecurity {
public:
    bool Build() {
        HANDLE hToken = nullptr;
        if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &hToken)) return false;
        DWORD nBytes = 0;
        ::GetTokenInformation(hToken, TokenUser, nullptr, 0, &nBytes);
        m_vecUser.resize(nBytes);
        const bool bUser = nBytes > 0 && ::GetTokenInformation(hToken, TokenUser, m_vecUser.data(), nBytes, &nBytes);
        ::CloseHandle(hToken);
        if (!bUser) return false;
        PSID pSid = reinterpret_cast<TOKEN_USER*>(m_vecUser.data())->User.Sid;
        // One access-allowed entry: the header, the entry without its first SID word, the SID.
        const DWORD nAclBytes = sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + ::GetLengthSid(pSid);
        m_vecAcl.resize(nAclBytes);
        auto* pAcl = reinterpret_cast<ACL*>(m_vecAcl.data());
        if (!::InitializeAcl(pAcl, nAclBytes, ACL_REVISION) || !::AddAccessAllowedAce(pAcl, ACL_REVISION, FILE_ALL_ACCESS, pSid) ||
            !::InitializeSecurityDescriptor(&m_sd, SECURITY_DESCRIPTOR_REVISION) || !::SetSecurityDescriptorDacl(&m_sd, TRUE, pAcl, FALSE)) {
            return false;
        }
        m_sa.nLength = sizeof m_sa;
        m_sa.lpSecurityDescriptor = &m_sd;
        m_sa.bInheritHandle = FALSE;
        return true;
    }
    SECURITY_ATTRIBUTES* Attributes() { return &m_sa; }

private:
    std::vector<BYTE> m_vecUser;
    std::vector<BYTE> m_vecAcl;
    SECURITY_DESCRIPTOR m_sd{};
    SECURITY_ATTRIBUTES m_sa{};
};

} // namespace

std::string AnswerBusRequest(const std::string& strRequest) {
    if (strRequest.size() > ControlPipe::MaxRequestBytes) return "ERROR request longer than " + std::to_string(ControlPipe::MaxRequestBytes) + " bytes";
    std::string strLine = strRequest;
    if (!strLine.empty() && strLine.back() == '\n') strLine.pop_back();
    if (!strLine.empty() && strLine.back() == '\r') strLine.pop_back();
    if (strLine.find_first_not_of(" \t") == std::string::npos) return "ERROR empty request";
    for (const unsigned char ch : strLine) {
        if (ch != '\t' && (ch < 0x20 || ch > 0x7E)) return "ERROR malformed request: one line of printable text expected";
    }
    return ExecuteBusCommand(strLine);
}

// One instance of the pipe and where its client is in the cycle.
struct ControlPipe::Connection {
    enum class Phase {
        Resting,    // listening failed; tries again at the deadline
        Listening,  // waiting for a client
        Reading,    // waiting for the client's request
        Answering,  // writing the answer
        Closing,    // waiting for the client to close its end
    };

    HANDLE hPipe = INVALID_HANDLE_VALUE;
    OVERLAPPED ov{};
    Phase phase = Phase::Resting;
    bool bPending = false;
    DWORD dwDeadline = 0;
    std::string strAnswer;
    char achBuffer[PipeBufferBytes];

    ~Connection() { Close(); }

    bool HasDeadline() const { return phase != Phase::Listening; }

    // Starts the operation of a phase. An operation that ends at once is finished at once, and so
    // on until one is left pending.
    void Begin(Phase next) {
        for (;;) {
            // A client that keeps sending after its request is cut off at its deadline.
            if (next == Phase::Closing && Reached(::GetTickCount(), dwDeadline)) next = Hangup();
            phase = next;
            ::ResetEvent(ov.hEvent);
            if (phase == Phase::Resting) {
                dwDeadline = ::GetTickCount() + RelistenDelayMs;
                return;
            }
            BOOL bDone = FALSE;
            switch (phase) {
            case Phase::Listening: bDone = ::ConnectNamedPipe(hPipe, &ov); break;
            case Phase::Reading:
            case Phase::Closing: bDone = ::ReadFile(hPipe, achBuffer, sizeof achBuffer, nullptr, &ov); break;
            case Phase::Answering: bDone = ::WriteFile(hPipe, strAnswer.data(), static_cast<DWORD>(strAnswer.size()), nullptr, &ov); break;
            case Phase::Resting: break;
            }
            const DWORD dwError = bDone ? ERROR_SUCCESS : ::GetLastError();
            if (dwError == ERROR_IO_PENDING) {
                bPending = true;
                return;
            }
            bPending = false;
            next = Finish(dwError);
        }
    }

    // Picks up the result of an operation that has ended (dwStarted: how it began) and says
    // which phase comes next.
    Phase Finish(DWORD dwStarted) {
        DWORD nBytes = 0;
        DWORD dwError = dwStarted;
        if (dwStarted == ERROR_SUCCESS || dwStarted == ERROR_MORE_DATA || dwStarted == ERROR_IO_PENDING) {
            dwError = ::GetOverlappedResult(hPipe, &ov, &nBytes, FALSE) ? ERROR_SUCCESS : ::GetLastError();
        }
        switch (phase) {
        case Phase::Listening:
            if (dwError == ERROR_SUCCESS || dwError == ERROR_PIPE_CONNECTED) return StartClient();
            ::DisconnectNamedPipe(hPipe);
            // A client that came and went already; anything else is a fault of the instance.
            return dwError == ERROR_NO_DATA ? Phase::Listening : Phase::Resting;
        case Phase::Reading:
            if (dwError == ERROR_MORE_DATA) return Answer("ERROR request longer than " + std::to_string(MaxRequestBytes) + " bytes");
            if (dwError == ERROR_SUCCESS) return Answer(AnswerBusRequest(std::string(achBuffer, nBytes)));
            return Hangup();
        case Phase::Answering:
            if (dwError != ERROR_SUCCESS) return Hangup();
            dwDeadline = ::GetTickCount() + ClientDeadlineMs;
            return Phase::Closing;
        case Phase::Closing:
            // Anything more the client sends is not read as a command.
            if (dwError == ERROR_SUCCESS || dwError == ERROR_MORE_DATA) return Phase::Closing;
            return Hangup();
        case Phase::Resting: break;
        }
        return Phase::Resting;
    }

    Phase StartClient() {
        dwDeadline = ::GetTickCount() + ClientDeadlineMs;
        return Phase::Reading;
    }

    Phase Answer(std::string strText) {
        strAnswer = std::move(strText);
        if (strAnswer.size() > PipeBufferBytes) strAnswer.resize(PipeBufferBytes);
        dwDeadline = ::GetTickCount() + ClientDeadlineMs;
        return Phase::Answering;
    }

    Phase Hangup() {
        ::DisconnectNamedPipe(hPipe);
        return Phase::Listening;
    }

    // Ends a pending operation; it is over when this returns, so ov may be reused.
    void Cancel() {
        if (!bPending) return;
        ::CancelIoEx(hPipe, &ov);
        DWORD nBytes = 0;
        ::GetOverlappedResult(hPipe, &ov, &nBytes, TRUE);
        bPending = false;
    }

    // Moves on when the pending operation has ended or the client's time is up.
    void Poll() {
        if (bPending && HasOverlappedIoCompleted(&ov)) {
            bPending = false;
            Begin(Finish(ERROR_IO_PENDING));
        } else if (HasDeadline() && Reached(::GetTickCount(), dwDeadline)) {
            Cancel();
            Begin(phase == Phase::Resting ? Phase::Listening : Hangup());
        }
    }

    void Close() {
        if (hPipe != INVALID_HANDLE_VALUE) {
            Cancel();
            ::DisconnectNamedPipe(hPipe);
            ::CloseHandle(hPipe);
            hPipe = INVALID_HANDLE_VALUE;
        }
        if (ov.hEvent != nullptr) ::CloseHandle(ov.hEvent);
        ov.hEvent = nullptr;
    }
};

std::wstring ProgramPipeName() {
    wchar_t szName[256];
    const DWORD nLength = ::GetEnvironmentVariableW(L"PLOVER_DVBUS_PIPE", szName, 256);
    std::wstring strName = nLength > 0 && nLength < 256 ? std::wstring(szName, nLength) : std::wstring(DefaultPipeName);
    if (strName.find(L'\\') == std::wstring::npos) strName = L"\\\\.\\pipe\\" + strName;
    return strName;
}

ProgramBusPipe StartProgramBus() {
    Bus::Get();
    ControlPipe& pipe = ProgramPipe();
    if (pipe.Start(ProgramPipeName())) return ProgramBusPipe::Serving;
    return pipe.LastFailure() == ControlPipe::Failure::NameTaken ? ProgramBusPipe::NameTaken : ProgramBusPipe::Unavailable;
}

void StopProgramBus() {
    ProgramPipe().Stop();
}

ControlPipe::ControlPipe() = default;

ControlPipe::~ControlPipe() {
    Stop();
}

bool ControlPipe::Start(const std::wstring& strName) {
    if (IsRunning()) return false;
    m_strName = strName;
    m_failure = CreateInstances();
    if (m_failure != Failure::None) {
        Release();
        return false;
    }
    m_thread = std::thread([this] { Serve(); });
    return true;
}

ControlPipe::Failure ControlPipe::CreateInstances() {
    OwnerOnlySecurity security;
    if (!security.Build()) return Failure::Other;
    m_hStop = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    m_hDone = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (m_hStop == nullptr || m_hDone == nullptr) return Failure::Other;
    for (DWORD i = 0; i < Instances; ++i) {
        const bool bFirst = i == 0;
        auto spConnection = std::make_unique<Connection>();
        // The first instance must be new: a name that another process holds already is not ours.
        const DWORD dwOpenMode = PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | (bFirst ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0);
        const DWORD dwPipeMode = PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS;
        spConnection->hPipe = ::CreateNamedPipeW(m_strName.c_str(), dwOpenMode, dwPipeMode, Instances, PipeBufferBytes,
                                                 PipeBufferBytes, 0, security.Attributes());
        if (spConnection->hPipe == INVALID_HANDLE_VALUE) {
            const DWORD dwError = ::GetLastError();
            // Later instances are a bonus; the first one alone serves.
            if (!bFirst) break;
            const bool bTaken = dwError == ERROR_ACCESS_DENIED || dwError == ERROR_PIPE_BUSY || dwError == ERROR_ALREADY_EXISTS;
            return bTaken ? Failure::NameTaken : Failure::Other;
        }
        // Systems that do not keep the first-instance rule still count the instances: the first
        // one must be alone.
        DWORD nCurrentInstances = 0;
        if (bFirst && ::GetNamedPipeHandleStateW(spConnection->hPipe, nullptr, &nCurrentInstances, nullptr, nullptr, nullptr, 0) &&
            nCurrentInstances != 1) {
            return Failure::NameTaken;
        }
        spConnection->ov.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        if (spConnection->ov.hEvent == nullptr) {
            if (!bFirst) break;
            return Failure::Other;
        }
        m_vecConnections.push_back(std::move(spConnection));
    }
    return Failure::None;
}

void ControlPipe::Stop() {
    if (!IsRunning()) return;
    ::SetEvent(m_hStop);
    // A command the server runs may send a message to a window of this thread; such messages are
    // taken while waiting, so the server always gets to its end.
    while (::MsgWaitForMultipleObjects(1, &m_hDone, FALSE, INFINITE, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) {
        MSG msg;
        ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    m_thread.join();
    Release();
}

void ControlPipe::Release() {
    m_vecConnections.clear();
    if (m_hStop != nullptr) ::CloseHandle(m_hStop);
    if (m_hDone != nullptr) ::CloseHandle(m_hDone);
    m_hStop = nullptr;
    m_hDone = nullptr;
}

void ControlPipe::Serve() {
    std::vector<HANDLE> vecWait{m_hStop};
    for (auto& spConnection : m_vecConnections) {
        vecWait.push_back(spConnection->ov.hEvent);
        spConnection->Begin(Connection::Phase::Listening);
    }
    for (;;) {
        const DWORD dwNow = ::GetTickCount();
        DWORD dwWait = INFINITE;
        for (const auto& spConnection : m_vecConnections) {
            if (!spConnection->HasDeadline()) continue;
            const DWORD dwLeft = Reached(dwNow, spConnection->dwDeadline) ? 0 : spConnection->dwDeadline - dwNow;
            if (dwLeft < dwWait) dwWait = dwLeft;
        }
        const DWORD dwResult = ::WaitForMultipleObjects(static_cast<DWORD>(vecWait.size()), vecWait.data(), FALSE, dwWait);
        if (dwResult == WAIT_OBJECT_0 || dwResult == WAIT_FAILED) break;
        for (auto& spConnection : m_vecConnections) spConnection->Poll();
    }
    for (auto& spConnection : m_vecConnections) spConnection->Close();
    ::SetEvent(m_hDone);
}

bool SendBusCommand(const std::wstring& strPipe, const std::string& strCommand, std::string& strAnswer) {
    strAnswer.clear();
    // Identification only: the server may learn who asks, never act as this user.
    const DWORD dwFlags = FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION;
    HANDLE hPipe = INVALID_HANDLE_VALUE;
    const DWORD dwGiveUp = ::GetTickCount() + ClientWaitMs;
    for (;;) {
        hPipe = ::CreateFileW(strPipe.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, dwFlags, nullptr);
        if (hPipe != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_PIPE_BUSY) break;
        const DWORD dwNow = ::GetTickCount();
        if (Reached(dwNow, dwGiveUp) || !::WaitNamedPipeW(strPipe.c_str(), dwGiveUp - dwNow)) break;
    }
    if (hPipe == INVALID_HANDLE_VALUE) return false;
    DWORD dwMode = PIPE_READMODE_MESSAGE;
    ::SetNamedPipeHandleState(hPipe, &dwMode, nullptr, nullptr);

    OVERLAPPED ov{};
    ov.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (ov.hEvent == nullptr) {
        ::CloseHandle(hPipe);
        return false;
    }
    // Waits for the operation just started, at most until the answer's time is up.
    const DWORD dwAnswerBy = ::GetTickCount() + AnswerWaitMs;
    auto complete = [&](BOOL bDone, DWORD& nBytes) {
        if (!bDone && ::GetLastError() != ERROR_IO_PENDING) return false;
        const DWORD dwNow = ::GetTickCount();
        if (::WaitForSingleObject(ov.hEvent, Reached(dwNow, dwAnswerBy) ? 0 : dwAnswerBy - dwNow) != WAIT_OBJECT_0) {
            ::CancelIo(hPipe);
            ::GetOverlappedResult(hPipe, &ov, &nBytes, TRUE);
            return false;
        }
        return ::GetOverlappedResult(hPipe, &ov, &nBytes, FALSE) != FALSE;
    };
    DWORD nBytes = 0;
    bool bOk = complete(::WriteFile(hPipe, strCommand.data(), static_cast<DWORD>(strCommand.size()), nullptr, &ov), nBytes);
    if (bOk) {
        char achAnswer[PipeBufferBytes];
        ::ResetEvent(ov.hEvent);
        bOk = complete(::ReadFile(hPipe, achAnswer, sizeof achAnswer, nullptr, &ov), nBytes);
        if (bOk) strAnswer.assign(achAnswer, nBytes);
    }
    ::CloseHandle(ov.hEvent);
    ::CloseHandle(hPipe);
    return bOk;
}

} // namespace devices
