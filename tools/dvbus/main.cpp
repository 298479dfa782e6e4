// plover-dvbus: presses the camcorder's buttons, plugs and unplugs it, changes its mode and makes
// it misbehave, through the control pipe of the simulated bus in a running Plover.exe.
#include "devices/BusControl.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int ExitOk = 0;
constexpr int ExitRefused = 1;
constexpr int ExitNoBus = 2;
constexpr int ExitUsage = 3;

const char Usage[] =
    "usage: plover-dvbus [--pipe NAME] COMMAND [ARGUMENTS] [CAMCORDER]\n"
    "       plover-dvbus [--pipe NAME] script FILE\n"
    "\n"
    "CAMCORDER is the camcorder's number on the bus (1 when omitted).\n"
    "Actions:\n"
    "  record | stop                 press the camcorder's record or stop button\n"
    "  plug | unplug                 connect or disconnect the camcorder\n"
    "  add-camcorder [VENDOR MODEL]  connect a further camcorder (default tavin selkie_ze)\n"
    "  node add | node remove        add or remove a node that is not a camcorder\n"
    "  drop N                        lose the next N frames on the bus\n"
    "  event CODE [PARAM]            a raw command code from the camcorder to the virtual VCR\n"
    "  vcr-restart                   the virtual VCR driver restarts: its devices leave the bus, its handles die\n"
    "  state                         what the computer last told the camcorder\n"
    "  status                        the bus, the virtual VCR and every camcorder\n"
    "  reset                         start again from the scenario file DVBus.ini\n"
    "  script FILE                   run FILE's commands in order (\"wait N\" pauses N ms), each step's answer shown\n"
    "Settings (the same names as the keys of DVBus.ini; \"-\" and case do not matter):\n";

// The settings' lines of the usage text, from the bus's own table.
void PrintSettings(FILE* pOut) {
    for (const devices::SettingInfo& info : devices::AllSettings()) {
        std::fprintf(pOut, "  %-22s %-40s %s\n", info.pszName, info.pszValues, info.scope == devices::SettingScope::Bus ? "bus" : "camcorder");
    }
    std::fputs("  KIND: any dvcontrol dvmode tapeend transport medium pcinfo control\n", pOut);
}

bool ReadScript(const wchar_t* pszPath, std::string& strText) {
    FILE* pFile = _wfopen(pszPath, L"rb");
    if (pFile == nullptr) return false;
    char szBuffer[4096];
    for (size_t n; (n = std::fread(szBuffer, 1, sizeof szBuffer, pFile)) > 0;) strText.append(szBuffer, n);
    std::fclose(pFile);
    return true;
}

int RunScript(const std::wstring& strPipe, const wchar_t* pszPath) {
    std::string strText, strError;
    std::vector<devices::ScriptStep> vecSteps;
    if (!ReadScript(pszPath, strText)) {
        std::fprintf(stderr, "plover-dvbus: cannot read %ls\n", pszPath);
        return ExitUsage;
    }
    if (!devices::ParseBusScript(strText, vecSteps, strError)) {
        std::fprintf(stderr, "plover-dvbus: %ls: %s\n", pszPath, strError.c_str());
        return ExitUsage;
    }
    bool bNoBus = false;
    const bool bAllOk = devices::RunBusScript(
        vecSteps,
        [&](const std::string& strCommand, std::string& strAnswer) {
            bNoBus = !devices::SendBusCommand(strPipe, strCommand, strAnswer);
            return !bNoBus;
        },
        [](DWORD dwMs) { ::Sleep(dwMs); },
        [](const devices::ScriptStep& step, const std::string& strAnswer) {
            std::printf("%d: %s -> %s\n", step.nLine, step.strCommand.c_str(), strAnswer.c_str());
            std::fflush(stdout);
        });
    if (bNoBus) {
        std::fprintf(stderr, "plover-dvbus: no simulated bus answers on %ls (is Plover.exe running?)\n", strPipe.c_str());
        return ExitNoBus;
    }
    return bAllOk ? ExitOk : ExitRefused;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    std::wstring strPipe = devices::DefaultPipeName;
    int nFirst = 1;
    if (argc > 2 && wcscmp(argv[1], L"--pipe") == 0) {
        strPipe = argv[2];
        if (strPipe.find(L'\\') == std::wstring::npos) strPipe = L"\\\\.\\pipe\\" + strPipe;
        nFirst = 3;
    }
    if (nFirst >= argc || wcscmp(argv[nFirst], L"help") == 0 || wcscmp(argv[nFirst], L"--help") == 0) {
        FILE* pOut = nFirst >= argc ? stderr : stdout;
        std::fputs(Usage, pOut);
        PrintSettings(pOut);
        return nFirst >= argc ? ExitUsage : ExitOk;
    }
    if (wcscmp(argv[nFirst], L"script") == 0) {
        if (argc != nFirst + 2) {
            std::fputs("usage: plover-dvbus [--pipe NAME] script FILE\n", stderr);
            return ExitUsage;
        }
        return RunScript(strPipe, argv[nFirst + 1]);
    }
    std::string strCommand;
    for (int i = nFirst; i < argc; ++i) {
        if (!strCommand.empty()) strCommand += ' ';
        for (const wchar_t* p = argv[i]; *p; ++p) strCommand += *p < 0x80 ? static_cast<char>(*p) : '?';
    }
    std::string strAnswer;
    if (!devices::SendBusCommand(strPipe, strCommand, strAnswer)) {
        std::fprintf(stderr, "plover-dvbus: no simulated bus answers on %ls (is Plover.exe running?)\n", strPipe.c_str());
        return ExitNoBus;
    }
    std::fputs(strAnswer.c_str(), stdout);
    if (strAnswer.empty() || strAnswer.back() != '\n') std::fputc('\n', stdout);
    return strAnswer.compare(0, 2, "OK") == 0 ? ExitOk : ExitRefused;
}
