// Run-time commands of the simulated bus, as typed into plover-dvbus or sent by tests.
#include "devices/BusControl.h"

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

// Largest count a command takes (frames to drop, commands to fault).
constexpr int MaxCount = 1000000;
// An IEEE 1394 bus holds at most 63 nodes, the computer included.
constexpr int MaxBusNodes = 63;
// Longest vendor or model piece of a device path.
constexpr size_t MaxNamePiece = 32;

// A decimal count 0..MaxCount: digits only, no sign or spaces.
bool ParseCount(const std::string& strWord, int& nValue) {
    if (strWord.empty() || strWord.size() > 7 || strWord.find_first_not_of("0123456789") != std::string::npos) return false;
    const long n = std::strtol(strWord.c_str(), nullptr, 10);
    if (n > MaxCount) return false;
    nValue = static_cast<int>(n);
    return true;
}

// One byte as one or two hexadecimal digits.
bool ParseHexByte(const std::string& strWord, uint8_t& byValue) {
    if (strWord.empty() || strWord.size() > 2 || strWord.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) return false;
    byValue = static_cast<uint8_t>(std::strtoul(strWord.c_str(), nullptr, 16));
    return true;
}

// A vendor or model piece of a device path: letters, digits, "_" and "-", so that the path's
// "#" and "&" separators and its folders stay where they are.
bool IsNamePiece(const std::string& strWord) {
    if (strWord.empty() || strWord.size() > MaxNamePiece) return false;
    for (const unsigned char ch : strWord) {
        if (!std::isalnum(ch) && ch != '_' && ch != '-') return false;
    }
    return true;
}

// The most words each command takes, its own name included.
size_t MaxWords(const std::string& strVerb) {
    static const struct { const char* pszVerb; size_t nMaxWords; } Shapes[] = {
        {"record", 2}, {"stop", 2}, {"plug", 2}, {"unplug", 2}, {"mode", 3}, {"medium", 3}, {"modebytes", 5},
        {"tape", 3}, {"medium-info", 4}, {"dvcontrol", 3}, {"dvcontrol-answer", 3}, {"sending", 3}, {"aspect", 3},
        {"audio", 3}, {"system", 3}, {"framemode", 3}, {"drop", 3}, {"refuse", 4}, {"timeout", 4}, {"node", 2},
        {"add-camcorder", 3}, {"event", 3}, {"state", 2}, {"status", 1}, {"reset", 1},
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

bool ParseKind(const std::string& strWord, AvcCommandKind& kind) {
    static const struct { const char* pszName; AvcCommandKind kind; } Kinds[] = {
        {"any", AvcCommandKind::Any}, {"dvcontrol", AvcCommandKind::DVControl}, {"dvmode", AvcCommandKind::DVMode},
        {"tapeend", AvcCommandKind::TapeEnd}, {"transport", AvcCommandKind::TransportState},
        {"medium", AvcCommandKind::MediumInfo}, {"pcinfo", AvcCommandKind::PcInfo}, {"control", AvcCommandKind::TransportControl},
    };
    for (const auto& k : Kinds) {
        if (strWord == k.pszName) {
            kind = k.kind;
            return true;
        }
    }
    return false;
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

// Runs fn on the named camcorder under the bus lock, then delivers what it queued.
std::string ForCamcorder(Bus& bus, const std::string& strWhich, const std::function<bool(Camcorder&)>& fn) {
    std::string strAnswer = "ERROR no such camcorder";
    bus.Modify([&](Bus& b) {
        size_t nIndex;
        if (!CamcorderIndex(b, strWhich, nIndex)) return;
        strAnswer = fn(b.GetCamcorder(nIndex)) ? "OK" : "ERROR bad value";
    });
    return strAnswer;
}

std::string Fault(Bus& bus, AvcFaultType type, const Words& w) {
    int nCount = 0;
    if (w.At(1) == "all") nCount = -1;
    else if (w.At(1) != "off" && !ParseCount(w.At(1), nCount)) return "ERROR count, all or off expected";
    AvcCommandKind kind = AvcCommandKind::Any;
    if (!w.At(2).empty() && !ParseKind(w.At(2), kind)) return "ERROR unknown command kind";
    return ForCamcorder(bus, w.At(3), [&](Camcorder& c) {
        c.SetFault(type, kind, nCount);
        return true;
    });
}

} // namespace

std::string ExecuteBusCommand(const std::string& strLine) {
    Words w;
    std::istringstream in(strLine);
    for (std::string strWord; in >> strWord;) w.vec.push_back(strWord);
    Bus& bus = Bus::Get();
    const std::string& verb = w.At(0);
    const std::string& value = w.At(1);
    const size_t nMaxWords = MaxWords(verb);
    if (nMaxWords == 0) return "ERROR unknown command: " + verb;
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
    if (verb == "mode") {
        return ForCamcorder(bus, w.At(2), [&](Camcorder& c) {
            if (value != "camera" && value != "vcr") return false;
            c.Settings().mode = value == "camera" ? CamcorderMode::Camera : CamcorderMode::Vcr;
            c.Settings().vecModeBytes.clear();
            return true;
        });
    }
    if (verb == "medium") {
        return ForCamcorder(bus, w.At(2), [&](Camcorder& c) {
            if (value != "tape" && value != "card") return false;
            c.Settings().medium = value == "tape" ? Medium::Tape : Medium::Card;
            c.Settings().vecModeBytes.clear();
            return true;
        });
    }
    if (verb == "modebytes") {
        return ForCamcorder(bus, w.At(4), [&](Camcorder& c) {
            std::vector<uint8_t> vec(3);
            for (size_t i = 0; i < 3; ++i) {
                if (!ParseHexByte(w.At(i + 1), vec[i])) return false;
            }
            c.Settings().vecModeBytes = vec;
            return true;
        });
    }
    if (verb == "tape") {
        return ForCamcorder(bus, w.At(2), [&](Camcorder& c) {
            static const char* const Names[] = {"none", "stopped", "recording", "pause", "winding", "end"};
            for (int i = 0; i < 6; ++i) {
                if (value == Names[i]) {
                    c.Settings().transport = static_cast<Transport>(i);
                    return true;
                }
            }
            return false;
        });
    }
    if (verb == "medium-info") {
        return ForCamcorder(bus, w.At(3), [&](Camcorder& c) {
            uint8_t byType = 0, byGrade = 0;
            if (!ParseHexByte(value, byType) || !ParseHexByte(w.At(2), byGrade)) return false;
            c.Settings().byCassetteType = byType;
            c.Settings().byTapeGrade = byGrade;
            return true;
        });
    }
    if (verb == "dvcontrol" || verb == "dvcontrol-answer" || verb == "sending") {
        return ForCamcorder(bus, w.At(2), [&](Camcorder& c) {
            if (value != "on" && value != "off") return false;
            bool& bFlag = verb == "dvcontrol" ? c.Settings().bDVControl
                        : verb == "sending"   ? c.Stream().bSending
                                              : c.Settings().bAnswersDVControl;
            bFlag = value == "on";
            return true;
        });
    }
    if (verb == "aspect") {
        return ForCamcorder(bus, w.At(2), [&](Camcorder& c) {
            if (value != "4:3" && value != "16:9") return false;
            c.Settings().bWide = value == "16:9";
            return true;
        });
    }
    if (verb == "audio") {
        return ForCamcorder(bus, w.At(2), [&](Camcorder& c) {
            if (value != "48k" && value != "32k") return false;
            c.Settings().audio = value == "32k" ? AudioMode::Pcm32k12 : AudioMode::Pcm48k16;
            return true;
        });
    }
    if (verb == "system") {
        return ForCamcorder(bus, w.At(2), [&](Camcorder& c) {
            if (value != "525" && value != "625") return false;
            c.Settings().system = value == "625" ? VideoSystem::Lines625 : VideoSystem::Lines525;
            return true;
        });
    }
    if (verb == "framemode") {
        return ForCamcorder(bus, w.At(2), [&](Camcorder& c) {
            if (value != "60" && value != "30" && value != "24") return false;
            c.Settings().nFrameMode = std::atoi(value.c_str());
            return true;
        });
    }
    if (verb == "drop") {
        int nCount = 0;
        if (!ParseCount(value, nCount)) return "ERROR frame count expected";
        return ForCamcorder(bus, w.At(2), [&](Camcorder& c) {
            // Frames still to be lost add up, to MaxCount at most.
            if (c.Stream().nDropPending > MaxCount - nCount) return false;
            c.Stream().nDropPending += nCount;
            return true;
        });
    }
    if (verb == "refuse") return Fault(bus, AvcFaultType::Refuse, w);
    if (verb == "timeout") return Fault(bus, AvcFaultType::TimeOut, w);
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
        LoadBusScenario(ProgramScenarioPath(), scenario);
        bus.Reset(scenario);
        return "OK";
    }
    return "ERROR unknown command: " + verb;
}

} // namespace devices
