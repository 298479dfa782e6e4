// The table of the simulated bus's settings, shared by the scenario file and the control pipe.
#include "devices/BusSettings.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

namespace devices {
namespace {

using Words = std::vector<std::string>;

constexpr int MaxCount = 1000000;
// An IEEE 1394 bus holds at most 63 nodes, the computer included.
constexpr int MaxBusNodes = 63;
// Longest vendor or model piece of a device path.
constexpr size_t MaxNamePiece = 32;
constexpr const char BadValue[] = "bad value";

// One byte as one or two hexadecimal digits.
bool ParseHexByte(const std::string& strWord, uint8_t& byValue) {
    if (strWord.empty() || strWord.size() > 2 || strWord.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) return false;
    byValue = static_cast<uint8_t>(std::strtoul(strWord.c_str(), nullptr, 16));
    return true;
}

bool ParseHexBytes(const Words& w, size_t nCount, std::vector<uint8_t>& vecBytes) {
    if (w.size() == 1 && w[0] == "auto") {
        vecBytes.clear();
        return true;
    }
    if (w.size() != nCount) return false;
    std::vector<uint8_t> vec(nCount);
    for (size_t i = 0; i < nCount; ++i) {
        if (!ParseHexByte(w[i], vec[i])) return false;
    }
    vecBytes = vec;
    return true;
}

bool ParseSwitch(const std::string& strWord, bool& bValue) {
    static const char* const On[] = {"on", "1", "yes", "true"};
    static const char* const Off[] = {"off", "0", "no", "false"};
    for (const char* p : On) {
        if (strWord == p) return bValue = true, true;
    }
    for (const char* p : Off) {
        if (strWord == p) return bValue = false, true;
    }
    return false;
}

// Failures still to come: a count, "all" (-1) or "off" (0).
bool ParseFailures(const std::string& strWord, int& nValue) {
    if (strWord == "all" || strWord == "-1") return nValue = -1, true;
    if (strWord == "off") return nValue = 0, true;
    return ParseCount(strWord, nValue);
}

// The machine-wide count: a 32-bit value in decimal or 0x-hexadecimal, or "none" for no value.
bool ParseRegistryCount(const std::string& strWord, int64_t& nValue) {
    if (strWord == "none") return nValue = VcrDriverSettings::CountAbsent, true;
    const bool bHex = strWord.size() > 2 && strWord[0] == '0' && (strWord[1] == 'x' || strWord[1] == 'X');
    const std::string strDigits = bHex ? strWord.substr(2) : strWord;
    if (strDigits.empty() || strDigits.size() > (bHex ? 8u : 10u) ||
        strDigits.find_first_not_of(bHex ? "0123456789abcdefABCDEF" : "0123456789") != std::string::npos) {
        return false;
    }
    const unsigned long long n = std::strtoull(strDigits.c_str(), nullptr, bHex ? 16 : 10);
    if (n > 0xFFFFFFFFull) return false;
    nValue = static_cast<int64_t>(n);
    return true;
}

// The word's position in a list of names, or -1.
int Choice(const std::string& strWord, std::initializer_list<const char*> names) {
    int i = 0;
    for (const char* p : names) {
        if (strWord == p) return i;
        ++i;
    }
    return -1;
}

bool ParseKind(const std::string& strWord, AvcCommandKind& kind) {
    static const struct { const char* pszName; AvcCommandKind kind; } Kinds[] = {
        {"any", AvcCommandKind::Any}, {"dvcontrol", AvcCommandKind::DVControl}, {"dvmode", AvcCommandKind::DVMode},
        {"tapeend", AvcCommandKind::TapeEnd}, {"transport", AvcCommandKind::TransportState},
        {"medium", AvcCommandKind::MediumInfo}, {"pcinfo", AvcCommandKind::PcInfo}, {"control", AvcCommandKind::TransportControl},
    };
    for (const auto& k : Kinds) {
        if (strWord == k.pszName) return kind = k.kind, true;
    }
    return false;
}

std::string Fault(AvcFaultType type, const Words& w, AvcFault& fault) {
    int nCount = 0;
    if (!ParseFailures(w[0], nCount) || w[0] == "-1") return "count, all or off expected";
    AvcCommandKind kind = AvcCommandKind::Any;
    if (w.size() > 1 && !ParseKind(w[1], kind)) return "unknown command kind";
    fault = AvcFault{nCount == 0 ? AvcFaultType::None : type, kind, nCount};
    return "";
}

std::string Result(bool bOk) {
    return bOk ? "" : BadValue;
}

using BusApply = std::string (*)(const Words&, BusKnobs&);
using CamcorderApply = std::string (*)(const Words&, CamcorderKnobs&);

struct Entry {
    SettingInfo info;
    BusApply fnBus;
    CamcorderApply fnCamcorder;
};

std::string Number(const std::string& strWord, int nMax, int& nTarget) {
    int n = 0;
    if (!ParseCount(strWord, n) || n > nMax) return BadValue;
    nTarget = n;
    return "";
}

std::string Failures(const std::string& strWord, int& nTarget) {
    return Result(ParseFailures(strWord, nTarget));
}

std::string Switch(const std::string& strWord, bool& bTarget) {
    return Result(ParseSwitch(strWord, bTarget));
}

const Entry Entries[] = {
    // ---- the bus, the computer's IEEE 1394 stack and the maker's virtual VCR driver ----
    {{"other-nodes", SettingScope::Bus, 1, 1, "N"},
     [](const Words& w, BusKnobs& k) { return Number(w[0], MaxBusNodes - 2, k.nOtherNodes); }, nullptr},
    {{"reported-nodes", SettingScope::Bus, 1, 1, "N|auto"},
     [](const Words& w, BusKnobs& k) {
         if (w[0] == "auto") return k.driver.nReportedNodes = -1, std::string();
         return Number(w[0], MaxBusNodes, k.driver.nReportedNodes);
     }, nullptr},
    {{"host-controller", SettingScope::Bus, 1, 1, "on|off"},
     [](const Words& w, BusKnobs& k) { return Switch(w[0], k.driver.bHostController); }, nullptr},
    {{"v61883-problem", SettingScope::Bus, 1, 1, "N"},
     [](const Words& w, BusKnobs& k) {
         int n = 0;
         const std::string str = Number(w[0], MaxCount, n);
         if (str.empty()) k.driver.nV61883Problem = static_cast<ULONG>(n);
         return str;
     }, nullptr},
    {{"subunit-problem", SettingScope::Bus, 1, 1, "N"},
     [](const Words& w, BusKnobs& k) {
         int n = 0;
         const std::string str = Number(w[0], MaxCount, n);
         if (str.empty()) k.driver.nSubunitProblem = static_cast<ULONG>(n);
         return str;
     }, nullptr},
    {{"subunit-problem-adds", SettingScope::Bus, 1, 1, "N|all"},
     [](const Words& w, BusKnobs& k) { return w[0] == "off" ? std::string(BadValue) : Failures(w[0], k.driver.nSubunitProblemAdds); }, nullptr},
    {{"tarn-filter", SettingScope::Bus, 1, 1, "on|off"},
     [](const Words& w, BusKnobs& k) { return Switch(w[0], k.driver.bTarnFilter); }, nullptr},
    {{"subunit-node-delay", SettingScope::Bus, 1, 1, "N"},
     [](const Words& w, BusKnobs& k) { return Number(w[0], MaxCount, k.driver.nSubunitNodeDelay); }, nullptr},
    {{"fail-enumerator", SettingScope::Bus, 1, 1, "N|all|off"},
     [](const Words& w, BusKnobs& k) { return Failures(w[0], k.driver.nEnumeratorFailures); }, nullptr},
    {{"fail-avc-load", SettingScope::Bus, 1, 1, "N|all|off"},
     [](const Words& w, BusKnobs& k) { return Failures(w[0], k.driver.nAvcLoadFailures); }, nullptr},
    {{"fail-event-enable", SettingScope::Bus, 1, 1, "N|all|off"},
     [](const Words& w, BusKnobs& k) { return Failures(w[0], k.driver.nEventEnableFailures); }, nullptr},
    {{"fail-event-query", SettingScope::Bus, 1, 1, "N|all|off"},
     [](const Words& w, BusKnobs& k) { return Failures(w[0], k.driver.nEventQueryFailures); }, nullptr},
    {{"fail-node-count", SettingScope::Bus, 1, 1, "N|all|off"},
     [](const Words& w, BusKnobs& k) { return Failures(w[0], k.driver.nNodeCountFailures); }, nullptr},
    {{"stuck-events", SettingScope::Bus, 1, 1, "on|off"},
     [](const Words& w, BusKnobs& k) { return Switch(w[0], k.driver.bEventsNeverRunDry); }, nullptr},
    {{"count", SettingScope::Bus, 1, 1, "N|none"},
     [](const Words& w, BusKnobs& k) { return Result(ParseRegistryCount(w[0], k.driver.nVirtualDeviceCount)); }, nullptr},

    // ---- one camcorder ----
    {{"vendor", SettingScope::Camcorder, 1, 1, "NAME"}, nullptr,
     [](const Words& w, CamcorderKnobs& k) {
         if (!IsNamePiece(w[0])) return std::string(BadValue);
         k.settings.strVendor.assign(w[0].begin(), w[0].end());
         return std::string();
     }},
    {{"model", SettingScope::Camcorder, 1, 1, "NAME"}, nullptr,
     [](const Words& w, CamcorderKnobs& k) {
         if (!IsNamePiece(w[0])) return std::string(BadValue);
         k.settings.strModel.assign(w[0].begin(), w[0].end());
         return std::string();
     }},
    {{"plugged", SettingScope::Camcorder, 1, 1, "on|off"}, nullptr,
     [](const Words& w, CamcorderKnobs& k) { return Switch(w[0], k.bPlugged); }},
    {{"mode", SettingScope::Camcorder, 1, 1, "camera|vcr"}, nullptr,
     [](const Words& w, CamcorderKnobs& k) {
         const int n = Choice(w[0], {"camera", "vcr"});
         if (n < 0) return std::string(BadValue);
         k.settings.mode = n == 0 ? CamcorderMode::Camera : CamcorderMode::Vcr;
         k.settings.vecModeBytes.clear();
         return std::string();
     }},
    {{"medium", SettingScope::Camcorder, 1, 1, "tape|card"}, nullptr,
     [](const Words& w, CamcorderKnobs& k) {
         const int n = Choice(w[0], {"tape", "card"});
         if (n < 0) return std::string(BadValue);
         k.settings.medium = n == 0 ? Medium::Tape : Medium::Card;
         k.settings.vecModeBytes.clear();
         return std::string();
     }},
    {{"mode-bytes", SettingScope::Camcorder, 1, 3, "XX YY ZZ|auto"}, nullptr,
     [](const Words& w, CamcorderKnobs& k) { return Result(ParseHexBytes(w, 3, k.settings.vecModeBytes)); }},
    {{"tape", SettingScope::Camcorder, 1, 1, "none|stopped|recording|pause|winding|end"}, nullptr,
     [](const Words& w, CamcorderKnobs& k) {
         const int n = Choice(w[0], {"none", "stopped", "recording", "pause", "winding", "end"});
         if (n < 0) return std::string(BadValue);
         k.settings.transport = static_cast<Transport>(n);
         k.settings.vecTransportBytes.clear();
         return std::string();
     }},
    {{"transport-bytes", SettingScope::Camcorder, 1, 2, "XX YY|auto"}, nullptr,
     [](const Words& w, CamcorderKnobs& k) { return Result(ParseHexBytes(w, 2, k.settings.vecTransportBytes)); }},
    {{"medium-info", SettingScope::Camcorder, 2, 2, "XX YY"}, nullptr,
     [](const Words& w, CamcorderKnobs& k) {
         uint8_t byType = 0, byGrade = 0;
         if (!ParseHexByte(w[0], byType) || !ParseHexByte(w[1], byGrade)) return std::string(BadValue);
         k.settings.byCassetteType = byType;
         k.settings.byTapeGrade = byGrade;
         return std::string();
     }},
    {{"dvcontrol", SettingScope::Camcorder, 1, 1, "on|off"}, nullptr,
     [](const Words& w, CamcorderKnobs& k) { return Switch(w[0], k.settings.bDVControl); }},
    {{"dvcontrol-answer", SettingScope::Camcorder, 1, 1, "on|off"}, nullptr,
     [](const Words& w, CamcorderKnobs& k) { return Switch(w[0], k.settings.bAnswersDVControl); }},
    {{"dvcontrol-byte", SettingScope::Camcorder, 1, 1, "XX|auto"}, nullptr,
     [](const Words& w, CamcorderKnobs& k) {
         uint8_t by = 0;
         if (w[0] == "auto") return k.settings.nDVControlByte = -1, std::string();
         if (!ParseHexByte(w[0], by)) return std::string(BadValue);
         k.settings.nDVControlByte = by;
         return std::string();
     }},
    {{"sending", SettingScope::Camcorder, 1, 1, "on|off"}, nullptr,
     [](const Words& w, CamcorderKnobs& k) { return Switch(w[0], k.settings.bSending); }},
    {{"system", SettingScope::Camcorder, 1, 1, "525|625"}, nullptr,
     [](const Words& w, CamcorderKnobs& k) {
         const int n = Choice(w[0], {"525", "625"});
         if (n < 0) return std::string(BadValue);
         k.settings.system = n == 0 ? VideoSystem::Lines525 : VideoSystem::Lines625;
         return std::string();
     }},
    {{"aspect", SettingScope::Camcorder, 1, 1, "4:3|16:9"}, nullptr,
     [](const Words& w, CamcorderKnobs& k) {
         const int n = Choice(w[0], {"4:3", "16:9"});
         if (n < 0) return std::string(BadValue);
         k.settings.bWide = n == 1;
         return std::string();
     }},
    {{"framemode", SettingScope::Camcorder, 1, 1, "60|30|24"}, nullptr,
     [](const Words& w, CamcorderKnobs& k) {
         const int n = Choice(w[0], {"60", "30", "24"});
         if (n < 0) return std::string(BadValue);
         k.settings.nFrameMode = std::atoi(w[0].c_str());
         return std::string();
     }},
    {{"audio", SettingScope::Camcorder, 1, 1, "48k|32k"}, nullptr,
     [](const Words& w, CamcorderKnobs& k) {
         const int n = Choice(w[0], {"48k", "32k"});
         if (n < 0) return std::string(BadValue);
         k.settings.audio = n == 0 ? AudioMode::Pcm48k16 : AudioMode::Pcm32k12;
         return std::string();
     }},
    {{"refuse", SettingScope::Camcorder, 1, 2, "N|all|off [KIND]"}, nullptr,
     [](const Words& w, CamcorderKnobs& k) { return Fault(AvcFaultType::Refuse, w, k.settings.fault); }},
    {{"timeout", SettingScope::Camcorder, 1, 2, "N|all|off [KIND]"}, nullptr,
     [](const Words& w, CamcorderKnobs& k) { return Fault(AvcFaultType::TimeOut, w, k.settings.fault); }},
    {{"property-bag", SettingScope::Camcorder, 1, 1, "ok|unbound|unreadable"}, nullptr,
     [](const Words& w, CamcorderKnobs& k) {
         const int n = Choice(w[0], {"ok", "unbound", "unreadable"});
         if (n < 0) return std::string(BadValue);
         k.settings.bag = static_cast<BagFault>(n);
         return std::string();
     }},
    {{"bind", SettingScope::Camcorder, 1, 1, "ok|fails|empty"}, nullptr,
     [](const Words& w, CamcorderKnobs& k) {
         const int n = Choice(w[0], {"ok", "fails", "empty"});
         if (n < 0) return std::string(BadValue);
         k.settings.bind = static_cast<BindFault>(n);
         return std::string();
     }},
};

const Entry* FindEntry(const SettingInfo& info) {
    for (const Entry& entry : Entries) {
        if (std::strcmp(entry.info.pszName, info.pszName) == 0) return &entry;
    }
    return nullptr;
}

bool WordCountFits(const SettingInfo& info, const Words& w) {
    return w.size() >= info.nMinWords && w.size() <= info.nMaxWords;
}

} // namespace

bool ParseCount(const std::string& strWord, int& nValue) {
    if (strWord.empty() || strWord.size() > 7 || strWord.find_first_not_of("0123456789") != std::string::npos) return false;
    const long n = std::strtol(strWord.c_str(), nullptr, 10);
    if (n > MaxCount) return false;
    nValue = static_cast<int>(n);
    return true;
}

bool IsNamePiece(const std::string& strWord) {
    if (strWord.empty() || strWord.size() > MaxNamePiece) return false;
    for (const unsigned char ch : strWord) {
        if (!std::isalnum(ch) && ch != '_' && ch != '-') return false;
    }
    return true;
}

std::string NormalSettingName(const std::string& strName) {
    std::string str;
    for (const unsigned char ch : strName) {
        if (ch != '-' && ch != '_') str += static_cast<char>(std::tolower(ch));
    }
    return str;
}

const SettingInfo* FindSetting(const std::string& strName) {
    const std::string strWanted = NormalSettingName(strName);
    for (const Entry& entry : Entries) {
        if (NormalSettingName(entry.info.pszName) == strWanted) return &entry.info;
    }
    return nullptr;
}

const std::vector<SettingInfo>& AllSettings() {
    static const std::vector<SettingInfo> vec = [] {
        std::vector<SettingInfo> v;
        for (const Entry& entry : Entries) v.push_back(entry.info);
        return v;
    }();
    return vec;
}

std::string ApplyBusSetting(const SettingInfo& info, const std::vector<std::string>& vecWords, BusKnobs knobs) {
    const Entry* pEntry = FindEntry(info);
    if (pEntry == nullptr || pEntry->fnBus == nullptr) return "not a setting of the bus";
    if (!WordCountFits(info, vecWords)) return BadValue;
    // Applied to copies first, so a refused value changes nothing.
    int nOtherNodes = knobs.nOtherNodes;
    VcrDriverSettings driver = knobs.driver;
    BusKnobs copy{nOtherNodes, driver};
    std::string strError = pEntry->fnBus(vecWords, copy);
    if (!strError.empty()) return strError;
    knobs.nOtherNodes = nOtherNodes;
    knobs.driver = driver;
    return "";
}

std::string ApplyCamcorderSetting(const SettingInfo& info, const std::vector<std::string>& vecWords, CamcorderKnobs knobs) {
    const Entry* pEntry = FindEntry(info);
    if (pEntry == nullptr || pEntry->fnCamcorder == nullptr) return "not a setting of a camcorder";
    if (!WordCountFits(info, vecWords)) return BadValue;
    CamcorderSettings settings = knobs.settings;
    bool bPlugged = knobs.bPlugged;
    CamcorderKnobs copy{settings, bPlugged};
    std::string strError = pEntry->fnCamcorder(vecWords, copy);
    if (!strError.empty()) return strError;
    knobs.settings = settings;
    knobs.bPlugged = bPlugged;
    return "";
}

} // namespace devices
