// Scenario file and run-time commands of the simulated bus.
//
// The scenario file "DVBus.ini" beside the program sets the bus up when it is first used; without
// it the bus holds one usable camcorder of the maker. Commands are lines of text ("record",
// "unplug 2", "drop 5"); the control pipe takes them from other processes (plover-dvbus).
#pragma once

#include "devices/Bus.h"

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>

namespace devices {

inline constexpr wchar_t ScenarioFileName[] = L"DVBus.ini";
inline constexpr wchar_t DefaultPipeName[] = L"\\\\.\\pipe\\PloverDVBus";

// Reads a scenario file; FALSE (and the default scenario) when it cannot be read.
bool LoadBusScenario(const std::wstring& strPath, BusScenario& scenario);
// The scenario file's path beside the running program.
std::wstring ProgramScenarioPath();

// Runs one command line against the bus; the answer starts with "OK" or "ERROR".
std::string ExecuteBusCommand(const std::string& strLine);

// Serves commands on a named pipe, one command and one answer per connection.
class ControlPipe {
public:
    ControlPipe() = default;
    ControlPipe(const ControlPipe&) = delete;
    ControlPipe& operator=(const ControlPipe&) = delete;
    ~ControlPipe() { Stop(); }

    bool Start(const std::wstring& strName = DefaultPipeName);
    void Stop();
    bool IsRunning() const { return m_thread.joinable(); }

private:
    void Serve();
    // Waits for an overlapped operation on the pipe; false when a stop came first or it failed.
    bool Complete(HANDLE hPipe, OVERLAPPED& ov, BOOL bStarted, DWORD* pnBytes);
    void CloseEvents();

    std::wstring m_strName;
    std::atomic<bool> m_bListening{false};
    HANDLE m_hReady = nullptr;
    HANDLE m_hStop = nullptr;  // set by Stop: ends any wait of the server at once
    std::thread m_thread;
};

// Brings the bus up for the program: the scenario file beside it (read when the bus is first
// used) and the control pipe, named DefaultPipeName or by the environment variable
// PLOVER_DVBUS_PIPE. FALSE when the pipe cannot be served (the bus works without it).
bool StartProgramBus();
void StopProgramBus();

// Sends one command to a control pipe and returns the answer; FALSE when no bus listens.
bool SendBusCommand(const std::wstring& strPipe, const std::string& strCommand, std::string& strAnswer);

} // namespace devices
