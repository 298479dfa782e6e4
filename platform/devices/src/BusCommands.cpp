// Run-time commands of the simulated bus, as typed into plover-dvbus or sent by tests.
#include "devices/BusControl.h"
#include "devices/BusSettings.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace devices {
namespace {

struct Words {
    std::vector<std::string> vec;
    const std::string& At(size_t i) const {
        static const std::string empty;
        return i < vec.size() ? vec[i] : empty;
    }
};

// Largest count a command takes (frames to drop).
constexpr int MaxCount = 1000000;
// An IEEE 1394 bus holds at most 63 nodes, the computer included.
constexpr int MaxBusNodes = 63;

// The most words each action takes, its own name included; 0 for no action.
size_t ActionMaxWords(const std::string& strVerb) {
    static const struct { const char* pszVerb; size_t nMaxWords; } Shapes[] = {
        {"record", 2}, {"stop", 2}, {"plug", 2}, {"unplug", 2}, {"drop", 3}, {"node", 2}, {"add-camcorder", 3},
        {"event", 3}, {"vcr-restart", 1}, {"state", 2}, {"status", 1}, {"reset", 1},
    };
    for (const auto& shape : Shapes) {
        if (strVerb == shape.pszVerb) return shape.nMaxWords;
    }
    return 0;
}

// Room on the bus for one more node (caller holds the lock).
bool BusHasRoom(Bus& bus) {
    return bus.NodeCount() < MaxBusNodes && bus.CamcorderCount() < static_cast<size_t>(MaxBusNodes - 1);
}

// The camcorder a command names (1-based, default 1), checked against the bus.
bool CamcorderIndex(Bus& bus, const std::string& strWord, size_t& nIndex) {
    int nNumber = 1;
    if (!strWord.empty() && !ParseCount(strWord, nNumber)) return false;
    if (nNumber < 1 || static_cast<size_t>(nNumber) > bus.CamcorderCount()) return false;
    nIndex = static_cast<size_t>(nNumber - 1);
    return true;
}

std::string Hex(const uint8_t* p, size_t n) {
    std::string str;
    char sz[4];
    for (size_t i = 0; i < n; ++i) {
        std::snprintf(sz, sizeof sz, i ? " %02X" : "%02X", p[i]);
        str += sz;
    }
    return str;
}

const char* TransportName(Transport t) {
    static const char* const Names[] = {"none", "stopped", "recording", "pause", "winding", "end"};
    return Names[static_cast<int>(t)];
}

std::string Describe(Bus& bus) {
    std::ostringstream out;
    out << "OK nodes=" << bus.NodeCount() << " resets=" << bus.BusResets()
        << " virtual-device=" << bus.Driver().IsVirtualDeviceAdded() << " subunit=" << bus.Driver().IsSubunitAdded()
        << " events=" << bus.Driver().IsEventEnabled() << " computer-tape-state=" << bus.Driver().LastTapeState() << "\n";
    // The bus-wide settings under their names, failures still to come as counts (-1: all).
    const VcrDriverSettings& d = bus.Driver().Settings();
    out << "settings: other-nodes=" << bus.OtherNodes() << " reported-nodes=" << (d.nReportedNodes < 0 ? std::string("auto") : std::to_string(d.nReportedNodes))
        << " host-controller=" << (d.bHostController ? "on" : "off") << " v61883-problem=" << d.nV61883Problem
        << " subunit-problem=" << d.nSubunitProblem << " subunit-problem-adds=" << d.nSubunitProblemAdds
        << " tarn-filter=" << (d.bTarnFilter ? "on" : "off") << " subunit-node-delay=" << d.nSubunitNodeDelay
        << " fail-enumerator=" << d.nEnumeratorFailures << " fail-avc-load=" << d.nAvcLoadFailures
        << " fail-event-enable=" << d.nEventEnableFailures << " fail-event-query=" << d.nEventQueryFailures
        << " fail-node-count=" << d.nNodeCountFailures << " stuck-events=" << (d.bEventsNeverRunDry ? "on" : "off") << "\n";
    for (size_t i = 0; i < bus.CamcorderCount(); ++i) {
        const CamcorderSettings& s = bus.GetCamcorder(i).Settings();
        std::string strVendor(s.strVendor.begin(), s.strVendor.end()), strModel(s.strModel.begin(), s.strModel.end());
        out << "camcorder " << i + 1 << ": " << (bus.IsPlugged(i) ? "plugged" : "unplugged") << " " << strVendor << " " << strModel
            << " mode=" << (s.mode == CamcorderMode::Camera ? "camera" : "vcr") << " medium=" << (s.medium == Medium::Tape ? "tape" : "card")
            << " tape=" << TransportName(s.transport) << " dvcontrol=" << (s.bDVControl ? "on" : "off")
            << " system=" << (s.system == VideoSystem::Lines625 ? 625 : 525) << " aspect=" << (s.bWide ? "16:9" : "4:3")
            << " framemode=" << s.nFrameMode << " audio=" << (s.audio == AudioMode::Pcm32k12 ? "32k" : "48k") << "\n";
    }
    return out.str();
}

// A setting of one camcorder, changed at run time: its value, and the camcorder's number last.
std::string ChangeCamcorder(Bus& bus, const SettingInfo& info, const Words& w) {
    std::vector<std::string> vecValue(w.vec.begin() + 1, w.vec.end());
    if (vecValue.size() > info.nMaxWords + 1) return "ERROR too many words for " + w.At(0);
    std::string strWhich;
    if (vecValue.size() > info.nMaxWords) {
        strWhich = vecValue.back();
        vecValue.pop_back();
    }
    std::string strError;
    size_t nIndex = 0;
    bool bWasPlugged = false, bPlugged = false;
    bus.Modify([&](Bus& b) {
        const auto apply = [&](const std::vector<std::string>& vecWords, const std::string& strNumber) -> std::string {
            size_t n = 0;
            if (!CamcorderIndex(b, strNumber, n)) return "no such camcorder";
            bool bPlug = b.IsPlugged(n);
            std::string str = ApplyCamcorderSetting(info, vecWords, CamcorderKnobs{b.GetCamcorder(n).Settings(), bPlug});
            if (str.empty()) nIndex = n, bWasPlugged = b.IsPlugged(n), bPlugged = bPlug;
            return str;
        };
        strError = apply(vecValue, strWhich);
        // A value of fewer words may be followed by the camcorder's number.
        int nNumber = 0;
        if (!strError.empty() && strWhich.empty() && vecValue.size() > info.nMinWords && ParseCount(vecValue.back(), nNumber)) {
            const std::vector<std::string> vecShorter(vecValue.begin(), vecValue.end() - 1);
            if (apply(vecShorter, vecValue.back()).empty()) strError.clear();
        }
    });
    if (!strError.empty()) return "ERROR " + strError;
    if (bPlugged != bWasPlugged) {
        if (bPlugged) {
            auto lock = bus.Lock();
            if (bus.NodeCount() >= MaxBusNodes) return "ERROR the bus is full";
        }
        if (!(bPlugged ? bus.Plug(nIndex) : bus.Unplug(nIndex))) return "ERROR not possible now";
    }
    return "OK";
}

// A setting of the bus or the virtual VCR driver, changed at run time.
std::string ChangeBus(Bus& bus, const SettingInfo& info, const Words& w) {
    const std::vector<std::string> vecValue(w.vec.begin() + 1, w.vec.end());
    if (vecValue.size() > info.nMaxWords) return "ERROR too many words for " + w.At(0);
    std::string strError;
    bus.Modify([&](Bus& b) {
        int nOtherNodes = b.OtherNodes();
        VcrDriverSettings driver = b.Driver().Settings();
        strError = ApplyBusSetting(info, vecValue, BusKnobs{nOtherNodes, driver});
        if (!strError.empty()) return;
        if (nOtherNodes != b.OtherNodes()) {
            if (b.NodeCount() - b.OtherNodes() + nOtherNodes > MaxBusNodes) {
                strError = "the bus is full";
                return;
            }
            b.OtherNodes() = nOtherNodes;
            b.BusReset();
        }
        if (driver.nVirtualDeviceCount != b.Driver().Settings().nVirtualDeviceCount) ApplyVirtualDeviceCount(driver.nVirtualDeviceCount);
        b.Driver().Settings() = driver;
    });
    return strError.empty() ? "OK" : "ERROR " + strError;
}

} // namespace

bool IsBusCommand(const std::string& strVerb) {
    return ActionMaxWords(strVerb) != 0 || FindSetting(strVerb) != nullptr;
}

std::string ExecuteBusCommand(const std::string& strLine) {
    Words w;
    std::istringstream in(strLine);
    for (std::string strWord; in >> strWord;) w.vec.push_back(strWord);
    Bus& bus = Bus::Get();
    const std::string& verb = w.At(0);
    const std::string& value = w.At(1);
    const size_t nMaxWords = ActionMaxWords(verb);
    if (nMaxWords == 0) {
        const SettingInfo* pInfo = FindSetting(verb);
        if (pInfo == nullptr) return "ERROR unknown command: " + verb;
        return pInfo->scope == SettingScope::Camcorder ? ChangeCamcorder(bus, *pInfo, w) : ChangeBus(bus, *pInfo, w);
    }
    if (w.vec.size() > nMaxWords) return "ERROR too many words for " + verb;

    if (verb == "record" || verb == "stop" || verb == "plug" || verb == "unplug") {
        size_t nIndex;
        {
            auto lock = bus.Lock();
            if (!CamcorderIndex(bus, value, nIndex)) return "ERROR no such camcorder";
            if (verb == "plug" && !bus.IsPlugged(nIndex) && bus.NodeCount() >= MaxBusNodes) return "ERROR the bus is full";
        }
        bool bDone = verb == "record" ? bus.PressRecord(nIndex)
                   : verb == "stop"   ? bus.PressStop(nIndex)
                   : verb == "plug"   ? bus.Plug(nIndex)
                                      : bus.Unplug(nIndex);
        return bDone ? "OK" : "ERROR not possible now";
    }
    if (verb == "drop") {
        int nCount = 0;
        if (!ParseCount(value, nCount)) return "ERROR frame count expected";
        auto lock = bus.Lock();
        size_t nIndex;
        if (!CamcorderIndex(bus, w.At(2), nIndex)) return "ERROR no such camcorder";
        // Frames still to be lost add up, to MaxCount at most.
        StreamControl& stream = bus.GetCamcorder(nIndex).Stream();
        if (stream.nDropPending > MaxCount - nCount) return "ERROR bad value";
        stream.nDropPending += nCount;
        return "OK";
    }
    if (verb == "node") {
        if (value == "add") {
            {
                auto lock = bus.Lock();
                if (!BusHasRoom(bus)) return "ERROR the bus is full";
            }
            bus.AddOtherNode();
            return "OK";
        }
        if (value == "remove") return bus.RemoveOtherNode() ? "OK" : "ERROR no other node";
        return "ERROR add or remove expected";
    }
    if (verb == "add-camcorder") {
        if ((!value.empty() && !IsNamePiece(value)) || (!w.At(2).empty() && !IsNamePiece(w.At(2)))) return "ERROR vendor and model of letters, digits, _ and - expected";
        {
            auto lock = bus.Lock();
            if (!BusHasRoom(bus)) return "ERROR the bus is full";
        }
        CamcorderSettings settings;
        if (!value.empty()) settings.strVendor.assign(value.begin(), value.end());
        if (!w.At(2).empty()) settings.strModel.assign(w.At(2).begin(), w.At(2).end());
        return "OK camcorder " + std::to_string(bus.AddCamcorder(settings, true) + 1);
    }
    if (verb == "event") {
        int nCode = 0, nParam = 0;
        if (!ParseCount(value, nCode) || nCode > 0xFF || (!w.At(2).empty() && (!ParseCount(w.At(2), nParam) || nParam > 0xFF))) {
            return "ERROR event code (and parameter) 0..255 expected";
        }
        auto lock = bus.Lock();
        if (!bus.Driver().IsEventEnabled()) return "ERROR the virtual VCR is not listening";
        bus.Driver().QueueCommand(static_cast<uint8_t>(nCode), static_cast<uint8_t>(nParam));
        return "OK";
    }
    if (verb == "vcr-restart") {
        bus.Modify([](Bus& b) { b.Driver().Restart(); });
        return "OK";
    }
    if (verb == "state") {
        auto lock = bus.Lock();
        size_t nIndex;
        if (!CamcorderIndex(bus, value, nIndex)) return "ERROR no such camcorder";
        const PcReport& report = bus.GetCamcorder(nIndex).Report();
        std::string str = "OK tape-state=" + std::to_string(report.nTapeState) + " tape-state-sends=" + std::to_string(report.nTapeStateSends);
        str += " pc-info=" + (report.bPcInfoSeen ? Hex(report.abyPcInfo, 5) : std::string("none"));
        str += " pc-info-sends=" + std::to_string(report.nPcInfoSends);
        return str;
    }
    if (verb == "status") {
        auto lock = bus.Lock();
        return Describe(bus);
    }
    if (verb == "reset") {
        BusScenario scenario;
        std::vector<std::string> vecProblems;
        LoadBusScenario(ProgramScenarioPath(), scenario, &vecProblems);
        bus.Reset(scenario);
        std::string strAnswer = "OK";
        for (const std::string& strProblem : vecProblems) strAnswer += "\nDVBus.ini " + strProblem;
        return strAnswer;
    }
    return "ERROR unknown command: " + verb;
}

} // namespace devices
