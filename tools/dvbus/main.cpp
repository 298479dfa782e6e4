// plover-dvbus: presses the camcorder's buttons, plugs and unplugs it, changes its mode and makes
// it misbehave, through the control pipe of the simulated bus in a running Plover.exe.
#include "devices/BusControl.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr int ExitOk = 0;
constexpr int ExitRefused = 1;
constexpr int ExitNoBus = 2;
constexpr int ExitUsage = 3;

const char Usage[] =
    "usage: plover-dvbus [--pipe NAME] COMMAND [ARGUMENTS] [CAMCORDER]\n"
    "\n"
    "CAMCORDER is the camcorder's number on the bus (1 when omitted).\n"
    "  record | stop                 press the camcorder's record or stop button\n"
    "  plug | unplug                 connect or disconnect the camcorder\n"
    "  add-camcorder [VENDOR MODEL]  connect a further camcorder (default tavin selkie_ze)\n"
    "  node add | node remove        add or remove a node that is not a camcorder\n"
    "  mode camera|vcr               camera mode or VCR mode\n"
    "  medium tape|card              record to tape or to a memory card\n"
    "  modebytes XX YY ZZ            raw answer bytes 9..11 of the DV-mode query (hex)\n"
    "  tape none|stopped|recording|pause|winding|end\n"
    "  medium-info XX YY             raw MEDIUM INFO answer bytes 3 and 4 (hex)\n"
    "  dvcontrol on|off              the camcorder's DV control setting\n"
    "  dvcontrol-answer on|off       whether it answers the DV-control query at all\n"
    "  system 525|625                525/60 or 625/50\n"
    "  aspect 4:3|16:9               picture aspect, also mid-stream\n"
    "  framemode 60|30|24            frame mode\n"
    "  audio 48k|32k                 16-bit 48 kHz or 12-bit 32 kHz sound, also mid-stream\n"
    "  drop N                        lose the next N frames on the bus\n"
    "  sending on|off                stop or resume sending frames\n"
    "  refuse N|all|off [KIND]       refuse (REJECTED) the next N commands of a kind\n"
    "  timeout N|all|off [KIND]      let the next N commands of a kind time out\n"
    "                                KIND: any dvcontrol dvmode tapeend transport medium pcinfo control\n"
    "  event CODE [PARAM]            a raw command code from the camcorder to the virtual VCR\n"
    "  state                         what the computer last told the camcorder\n"
    "  status                        the bus, the virtual VCR and every camcorder\n"
    "  reset                         start again from the scenario file DVBus.ini\n";

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
        std::fputs(Usage, nFirst >= argc ? stderr : stdout);
        return nFirst >= argc ? ExitUsage : ExitOk;
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
