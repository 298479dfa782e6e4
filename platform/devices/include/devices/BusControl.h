// Scenario file and run-time commands of the simulated bus.
//
// The scenario file "DVBus.ini" beside the program sets the bus up when it is first used; without
// it the bus holds one usable camcorder of the maker. Commands are lines of text ("record",
// "unplug 2", "drop 5"); the control pipe takes them from other processes (plover-dvbus).
#pragma once

#include "devices/Bus.h"
#include "devices/BusSettings.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace devices {

inline constexpr wchar_t ScenarioFileName[] = L"DVBus.ini";
inline constexpr wchar_t DefaultPipeName[] = L"\\\\.\\pipe\\PloverDVBus";

// Reads a scenario file; FALSE (and the default scenario) when it cannot be read. Keys that are
// no setting, and refused values, are left out and listed in the problems when asked for.
bool LoadBusScenario(const std::wstring& strPath, BusScenario& scenario, std::vector<std::string>* pvecProblems = nullptr);
// The scenario file's path beside the running program.
std::wstring ProgramScenarioPath();

// Runs one command line against the bus; the answer starts with "OK" or "ERROR".
std::string ExecuteBusCommand(const std::string& strLine);

// TRUE when the word names a command of the bus (an action or a setting).
bool IsBusCommand(const std::string& strVerb);

// Checks that a request is one line of printable text (one line end allowed) and runs it; an
// empty, over-long or malformed request gets an "ERROR" answer and changes nothing.
std::string AnswerBusRequest(const std::string& strRequest);

// Serves commands on a named pipe, one command and one answer per connection.
//
// The pipe belongs to this process alone: it is created as the first instance of its name, it
// refuses remote clients, and only the user who runs the program may open it. A few instances
// serve clients side by side, all with overlapped I/O on one thread; a client has a limited time
// for its request and again for taking the answer, so a stalled client holds one instance for a
// while and never the server, and Stop ends the server at once whatever clients do.
class ControlPipe {
public:
    // Clients served at the same time.
    static constexpr DWORD Instances = 4;
    // The time a client has for its request, and again for taking its answer.
    static constexpr DWORD ClientDeadlineMs = 1000;
    // The longest request taken, line end included.
    static constexpr DWORD MaxRequestBytes = 4096;

    enum class Failure { None, NameTaken, Other };

    ControlPipe();
    ControlPipe(const ControlPipe&) = delete;
    ControlPipe& operator=(const ControlPipe&) = delete;
    ~ControlPipe();

    // FALSE when the pipe cannot be served; LastFailure then says why.
    bool Start(const std::wstring& strName = DefaultPipeName);
    void Stop();
    bool IsRunning() const { return m_thread.joinable(); }
    Failure LastFailure() const { return m_failure; }

private:
    struct Connection;

    Failure CreateInstances();
    void Serve();
    void Release();

    std::wstring m_strName;
    Failure m_failure = Failure::None;
    std::vector<std::unique_ptr<Connection>> m_vecConnections;
    HANDLE m_hStop = nullptr;  // set by Stop: ends every wait of the server
    HANDLE m_hDone = nullptr;  // set by the server when it has closed every instance
    std::thread m_thread;
};

enum class ProgramBusPipe { Serving, NameTaken, Unavailable };

// Brings the bus up for the program: the scenario file beside it (read when the bus is first
// used) and the control pipe, named DefaultPipeName or by the environment variable
// PLOVER_DVBUS_PIPE. The bus works without the pipe when it cannot be served, in particular when
// another process holds its name.
ProgramBusPipe StartProgramBus();
void StopProgramBus();
// The pipe name StartProgramBus serves.
std::wstring ProgramPipeName();

// Sends one command to a control pipe and returns the answer; FALSE when no bus listens or none
// answers in time.
bool SendBusCommand(const std::wstring& strPipe, const std::string& strCommand, std::string& strAnswer);

// A scripted camcorder: one command per line, run in order against a running bus. Blank lines
// and lines starting with "#" are skipped; "wait N" pauses N milliseconds ("wait Ns": seconds).
struct ScriptStep {
    int nLine;                 // 1-based line of the script
    std::string strCommand;    // the line without surrounding blanks
    DWORD dwWaitMs;            // for a wait step, else 0
    bool bWait;
};
// Reads a whole script before anything runs; FALSE with the reason when a line is no step.
bool ParseBusScript(const std::string& strText, std::vector<ScriptStep>& vecSteps, std::string& strError);
// Runs the steps: waits through fnWait, commands through fnSend (FALSE: no bus answered), each
// step's answer to fnReport. Stops at the first answer that is not "OK"; TRUE when every step was.
bool RunBusScript(const std::vector<ScriptStep>& vecSteps, const std::function<bool(const std::string&, std::string&)>& fnSend,
                  const std::function<void(DWORD)>& fnWait, const std::function<void(const ScriptStep&, const std::string&)>& fnReport);

} // namespace devices
