// The scenario file of the simulated bus.
#include "devices/BusControl.h"

#include <cwchar>
#include <string>

namespace devices {
namespace {

std::wstring ReadText(const std::wstring& strPath, const wchar_t* pszSection, const wchar_t* pszKey, const wchar_t* pszDefault) {
    wchar_t szValue[256];
    ::GetPrivateProfileStringW(pszSection, pszKey, pszDefault, szValue, 256, strPath.c_str());
    return szValue;
}

int ReadInt(const std::wstring& strPath, const wchar_t* pszSection, const wchar_t* pszKey, int nDefault) {
    const std::wstring strValue = ReadText(strPath, pszSection, pszKey, L"");
    return strValue.empty() ? nDefault : _wtoi(strValue.c_str());
}

bool Is(const std::wstring& strValue, const wchar_t* pszWord) {
    return _wcsicmp(strValue.c_str(), pszWord) == 0;
}

CamcorderSettings ReadCamcorder(const std::wstring& strPath, const wchar_t* pszSection) {
    CamcorderSettings s;
    s.strVendor = ReadText(strPath, pszSection, L"Vendor", s.strVendor.c_str());
    s.strModel = ReadText(strPath, pszSection, L"Model", s.strModel.c_str());
    s.mode = Is(ReadText(strPath, pszSection, L"Mode", L"camera"), L"vcr") ? CamcorderMode::Vcr : CamcorderMode::Camera;
    s.medium = Is(ReadText(strPath, pszSection, L"Medium", L"tape"), L"card") ? Medium::Card : Medium::Tape;
    const std::wstring strTape = ReadText(strPath, pszSection, L"Tape", L"stopped");
    if (Is(strTape, L"none")) s.transport = Transport::NoCassette;
    else if (Is(strTape, L"recording")) s.transport = Transport::Recording;
    else if (Is(strTape, L"pause")) s.transport = Transport::RecordPause;
    else if (Is(strTape, L"winding")) s.transport = Transport::Winding;
    else if (Is(strTape, L"end")) s.transport = Transport::EndOfTape;
    s.bDVControl = ReadInt(strPath, pszSection, L"DVControl", 1) != 0;
    s.bAnswersDVControl = ReadInt(strPath, pszSection, L"AnswersDVControl", 1) != 0;
    s.system = ReadInt(strPath, pszSection, L"System", 525) == 625 ? VideoSystem::Lines625 : VideoSystem::Lines525;
    s.bWide = Is(ReadText(strPath, pszSection, L"Aspect", L"4:3"), L"16:9");
    s.nFrameMode = ReadInt(strPath, pszSection, L"FrameMode", 60);
    s.audio = Is(ReadText(strPath, pszSection, L"Audio", L"48k"), L"32k") ? AudioMode::Pcm32k12 : AudioMode::Pcm48k16;
    return s;
}

} // namespace

bool LoadBusScenario(const std::wstring& strPath, BusScenario& scenario) {
    scenario = BusScenario{};
    if (::GetFileAttributesW(strPath.c_str()) == INVALID_FILE_ATTRIBUTES) return false;
    const int nCamcorders = ReadInt(strPath, L"Bus", L"Camcorders", 1);
    scenario.nOtherNodes = ReadInt(strPath, L"Bus", L"OtherNodes", 0);
    scenario.driver.bHostController = ReadInt(strPath, L"Bus", L"HostController", 1) != 0;
    scenario.driver.nV61883Problem = static_cast<ULONG>(ReadInt(strPath, L"Bus", L"V61883Problem", 0));
    scenario.driver.nSubunitProblem = static_cast<ULONG>(ReadInt(strPath, L"Bus", L"SubunitProblem", 0));
    scenario.driver.nSubunitProblemAdds = ReadInt(strPath, L"Bus", L"SubunitProblemAdds", -1);
    scenario.driver.bTarnFilter = ReadInt(strPath, L"Bus", L"TarnFilter", 1) != 0;
    scenario.driver.nSubunitNodeDelay = ReadInt(strPath, L"Bus", L"SubunitNodeDelay", 0);
    scenario.vecCamcorders.clear();
    for (int i = 1; i <= nCamcorders; ++i) {
        wchar_t szSection[32];
        std::swprintf(szSection, 32, L"Camcorder%d", i);
        BusScenario::Unit unit;
        unit.settings = ReadCamcorder(strPath, szSection);
        unit.bPlugged = ReadInt(strPath, szSection, L"Plugged", 1) != 0;
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
