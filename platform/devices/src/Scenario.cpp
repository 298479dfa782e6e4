// The scenario file of the simulated bus: [Bus] and [CamcorderN] sections whose keys are the
// settings of the bus's settings table.
#include "devices/BusControl.h"
#include "devices/BusSettings.h"

#include <cwchar>
#include <sstream>
#include <string>

namespace devices {
namespace {

constexpr DWORD SectionChars = 32768;
constexpr wchar_t CamcordersKey[] = L"camcorders";

// The "key=value" lines of one section, in file order.
std::vector<std::pair<std::wstring, std::wstring>> ReadSection(const std::wstring& strPath, const wchar_t* pszSection) {
    std::vector<wchar_t> vecBuffer(SectionChars, L'\0');
    const DWORD nChars = ::GetPrivateProfileSectionW(pszSection, vecBuffer.data(), SectionChars, strPath.c_str());
    std::vector<std::pair<std::wstring, std::wstring>> vecLines;
    for (const wchar_t* p = vecBuffer.data(); p < vecBuffer.data() + nChars && *p; p += wcslen(p) + 1) {
        const std::wstring strLine(p);
        const size_t nEquals = strLine.find(L'=');
        if (nEquals == std::wstring::npos) continue;
        vecLines.emplace_back(strLine.substr(0, nEquals), strLine.substr(nEquals + 1));
    }
    return vecLines;
}

// Plain ASCII text ("?" for anything else), without a trailing comment after ";".
std::string Ascii(const std::wstring& strText) {
    std::string str;
    for (const wchar_t ch : strText) {
        if (ch == L';') break;
        str += ch > 0 && ch < 0x80 ? static_cast<char>(ch) : '?';
    }
    return str;
}

std::vector<std::string> SplitWords(const std::string& strText) {
    std::vector<std::string> vec;
    std::istringstream in(strText);
    for (std::string strWord; in >> strWord;) vec.push_back(strWord);
    return vec;
}

void Note(std::vector<std::string>* pvecProblems, const std::wstring& strSection, const std::string& strKey, const std::string& strWhy) {
    if (pvecProblems == nullptr) return;
    pvecProblems->push_back("[" + Ascii(strSection) + "] " + strKey + ": " + strWhy);
}

template <typename Apply>
void ApplySection(const std::wstring& strPath, const std::wstring& strSection, SettingScope scope, std::vector<std::string>* pvecProblems, Apply apply) {
    for (const auto& [strKeyWide, strValueWide] : ReadSection(strPath, strSection.c_str())) {
        const std::vector<std::string> vecKey = SplitWords(Ascii(strKeyWide));
        const std::string strKey = vecKey.size() == 1 ? vecKey[0] : Ascii(strKeyWide);
        if (scope == SettingScope::Bus && NormalSettingName(strKey) == Ascii(CamcordersKey)) continue;
        const SettingInfo* pInfo = FindSetting(strKey);
        if (pInfo == nullptr || pInfo->scope != scope) {
            Note(pvecProblems, strSection, strKey, "unknown setting");
            continue;
        }
        const std::string strError = apply(*pInfo, SplitWords(Ascii(strValueWide)));
        if (!strError.empty()) Note(pvecProblems, strSection, strKey, strError);
    }
}

} // namespace

bool LoadBusScenario(const std::wstring& strPath, BusScenario& scenario, std::vector<std::string>* pvecProblems) {
    scenario = BusScenario{};
    if (::GetFileAttributesW(strPath.c_str()) == INVALID_FILE_ATTRIBUTES) return false;
    const int nCamcorders = static_cast<int>(::GetPrivateProfileIntW(L"Bus", CamcordersKey, 1, strPath.c_str()));
    ApplySection(strPath, L"Bus", SettingScope::Bus, pvecProblems, [&](const SettingInfo& info, const std::vector<std::string>& vecWords) {
        return ApplyBusSetting(info, vecWords, BusKnobs{scenario.nOtherNodes, scenario.driver});
    });
    scenario.vecCamcorders.clear();
    for (int i = 1; i <= nCamcorders && i < 63; ++i) {
        BusScenario::Unit unit;
        ApplySection(strPath, L"Camcorder" + std::to_wstring(i), SettingScope::Camcorder, pvecProblems,
                     [&](const SettingInfo& info, const std::vector<std::string>& vecWords) {
                         return ApplyCamcorderSetting(info, vecWords, CamcorderKnobs{unit.settings, unit.bPlugged});
                     });
        scenario.vecCamcorders.push_back(unit);
    }
    return true;
}

std::wstring ProgramScenarioPath() {
    wchar_t szPath[MAX_PATH];
    const DWORD nLength = ::GetModuleFileNameW(nullptr, szPath, MAX_PATH);
    std::wstring strPath(szPath, nLength);
    const size_t nSlash = strPath.find_last_of(L"\\/");
    return strPath.substr(0, nSlash == std::wstring::npos ? 0 : nSlash + 1) + ScenarioFileName;
}

} // namespace devices
