// The settings of the simulated bus by name: one table serves the scenario file "DVBus.ini" (as
// keys of its [Bus] and [CamcorderN] sections) and the control pipe (as commands), so every
// situation the bus can play is reachable from both under the same name.
//
// Names compare without regard to case, "-" or "_": the file's "SubunitProblem" is the pipe's
// "subunit-problem".
#pragma once

#include "devices/Camcorder.h"
#include "devices/VcrDriver.h"

#include <string>
#include <vector>

namespace devices {

enum class SettingScope { Bus, Camcorder };

// What a bus-wide setting changes.
struct BusKnobs {
    int& nOtherNodes;
    VcrDriverSettings& driver;
};

// What a setting of one camcorder changes.
struct CamcorderKnobs {
    CamcorderSettings& settings;
    bool& bPlugged;
};

struct SettingInfo {
    const char* pszName;     // the name as the pipe and the documentation write it
    SettingScope scope;
    size_t nMinWords;        // words of the value
    size_t nMaxWords;
    const char* pszValues;   // the values it takes, for the usage text
};

// The setting of that name, or nullptr.
const SettingInfo* FindSetting(const std::string& strName);
const std::vector<SettingInfo>& AllSettings();

// Applies a value (its words); "" when done, else the reason it was refused (nothing changed then).
std::string ApplyBusSetting(const SettingInfo& info, const std::vector<std::string>& vecWords, BusKnobs knobs);
std::string ApplyCamcorderSetting(const SettingInfo& info, const std::vector<std::string>& vecWords, CamcorderKnobs knobs);

// A decimal count 0..1,000,000: digits only, no sign or spaces.
bool ParseCount(const std::string& strWord, int& nValue);
// A vendor or model piece of a device path: letters, digits, "_" and "-", so that the path's
// "#" and "&" separators and its folders stay where they are.
bool IsNamePiece(const std::string& strWord);

// Lower case without "-" and "_".
std::string NormalSettingName(const std::string& strName);

} // namespace devices
