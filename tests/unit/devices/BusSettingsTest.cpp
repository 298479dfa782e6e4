// Every setting of the simulated bus under one name in the scenario file and on the pipe, and the
// property bag as the program meets it.
#include "SimulationFixture.h"

#include "devices/BusControl.h"
#include "devices/BusSettings.h"
#include "devices/ComPtr.h"

#include <oleauto.h>

#include <set>
#include <string>

namespace {

// What the settings can change on the bus, in one comparable value.
struct BusState {
    int nOtherNodes;
    devices::VcrDriverSettings driver;
    devices::CamcorderSettings camcorder;
    bool bPlugged;
    bool operator==(const BusState&) const = default;
};

BusState Capture() {
    devices::Bus& bus = devices::Bus::Get();
    auto lock = bus.Lock();
    return BusState{bus.OtherNodes(), bus.Driver().Settings(), bus.GetCamcorder(0).Settings(), bus.IsPlugged(0)};
}

std::wstring WriteScenario(const std::string& strText) {
    wchar_t szFolder[MAX_PATH], szPath[MAX_PATH];
    ::GetTempPathW(MAX_PATH, szFolder);
    ::GetTempFileNameW(szFolder, L"bus", 0, szPath);
    HANDLE hFile = ::CreateFileW(szPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD dwWritten = 0;
    ::WriteFile(hFile, strText.data(), static_cast<DWORD>(strText.size()), &dwWritten, nullptr);
    ::CloseHandle(hFile);
    return szPath;
}

// Loads a scenario file holding the text and brings the bus up from it; the problems it reported.
std::vector<std::string> ResetFromFile(const std::string& strText) {
    const std::wstring strPath = WriteScenario(strText);
    devices::BusScenario scenario;
    std::vector<std::string> vecProblems;
    EXPECT_TRUE(devices::LoadBusScenario(strPath, scenario, &vecProblems));
    ::DeleteFileW(strPath.c_str());
    devices::Bus::Get().Reset(scenario);
    return vecProblems;
}

DWORD RegistryCount(bool& bPresent) {
    DWORD dwCount = 0, dwSize = sizeof dwCount;
    bPresent = ::RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\VirtualDevices", L"Count", RRF_RT_REG_DWORD, nullptr, &dwCount, &dwSize) == ERROR_SUCCESS;
    return dwCount;
}

class BusSettingsTest : public SimulationTest {
protected:
    void TearDown() override { devices::ApplyVirtualDeviceCount(devices::VcrDriverSettings::CountAbsent); }
};

TEST_F(BusSettingsTest, EverySettingMeansTheSameInTheFileAndOnThePipe) {
    const struct { const char* pszSection; const char* pszLine; const char* pszCommand; } Rows[] = {
        {"Bus", "OtherNodes=2", "other-nodes 2"},
        {"Bus", "ReportedNodes=1", "reported-nodes 1"},
        {"Bus", "HostController=0", "host-controller off"},
        {"Bus", "V61883Problem=1", "v61883-problem 1"},
        {"Bus", "SubunitProblem=28", "subunit-problem 28"},
        {"Bus", "SubunitProblemAdds=2", "subunit-problem-adds 2"},
        {"Bus", "TarnFilter=off", "tarn-filter 0"},
        {"Bus", "SubunitNodeDelay=3", "subunit-node-delay 3"},
        {"Bus", "FailEnumerator=all", "fail-enumerator all"},
        {"Bus", "FailAvcLoad=1", "fail-avc-load 1"},
        {"Bus", "FailEventEnable=2", "fail-event-enable 2"},
        {"Bus", "FailEventQuery=3", "fail-event-query 3"},
        {"Bus", "FailNodeCount=all", "fail-node-count all"},
        {"Bus", "StuckEvents=1", "stuck-events on"},
        {"Bus", "Count=0x10001 ; another user's device", "count 65537"},
        {"Camcorder1", "Vendor=acme", "vendor acme"},
        {"Camcorder1", "Model=cam_2", "model cam_2"},
        {"Camcorder1", "Plugged=0", "plugged off"},
        {"Camcorder1", "Mode=vcr", "mode vcr"},
        {"Camcorder1", "Medium=card", "medium card"},
        {"Camcorder1", "ModeBytes=20 02 01", "modebytes 20 02 01"},
        {"Camcorder1", "Tape=winding", "tape winding"},
        {"Camcorder1", "TransportBytes=C4 31", "transport-bytes c4 31"},
        {"Camcorder1", "MediumInfo=32 41", "medium-info 32 41"},
        {"Camcorder1", "DVControl=0", "dvcontrol off"},
        {"Camcorder1", "DVControlAnswer=off", "dvcontrol-answer off"},
        {"Camcorder1", "DVControlByte=02", "dvcontrol-byte 2"},
        {"Camcorder1", "Sending=off", "sending off"},
        {"Camcorder1", "System=625", "system 625"},
        {"Camcorder1", "Aspect=16:9", "aspect 16:9"},
        {"Camcorder1", "FrameMode=24", "framemode 24"},
        {"Camcorder1", "Audio=32k", "audio 32k"},
        {"Camcorder1", "Refuse=2 dvmode", "refuse 2 dvmode"},
        {"Camcorder1", "Timeout=all transport", "timeout all transport 1"},
        {"Camcorder1", "PropertyBag=unreadable", "property-bag unreadable"},
        {"Camcorder1", "Bind=empty", "bind empty"},
    };
    const BusState defaults = Capture();
    std::set<std::string> setCovered;
    for (const auto& row : Rows) {
        const std::string strFile = std::string("[Bus]\r\n") + (std::string(row.pszSection) == "Bus" ? "" : "[Camcorder1]\r\n") + row.pszLine + "\r\n";
        EXPECT_EQ(std::vector<std::string>{}, ResetFromFile(strFile)) << row.pszLine;
        const BusState fromFile = Capture();

        devices::Bus::Get().Reset(devices::BusScenario{});
        EXPECT_EQ("OK", devices::ExecuteBusCommand(row.pszCommand)) << row.pszCommand;
        EXPECT_TRUE(fromFile == Capture()) << row.pszLine << " / " << row.pszCommand;
        EXPECT_FALSE(defaults == fromFile) << row.pszLine << " changed nothing";
        setCovered.insert(devices::NormalSettingName(std::string(row.pszLine).substr(0, std::string(row.pszLine).find('='))));
    }
    // A setting added to the table without a row here fails this test.
    for (const devices::SettingInfo& info : devices::AllSettings()) {
        EXPECT_EQ(1u, setCovered.count(devices::NormalSettingName(info.pszName))) << info.pszName;
    }
    // The count reached the registry, where the program reads it.
    bool bPresent = false;
    EXPECT_EQ(0x10001u, RegistryCount(bPresent));
    EXPECT_TRUE(bPresent);
    EXPECT_EQ("OK", devices::ExecuteBusCommand("count none"));
    RegistryCount(bPresent);
    EXPECT_FALSE(bPresent);
}

TEST_F(BusSettingsTest, RefusedValuesChangeNothingAndTheFileNamesItsProblems) {
    const BusState defaults = Capture();
    const struct { bool bBus; const char* pszLine; const char* pszCommand; const char* pszAnswer; } Rows[] = {
        {false, "Mode=fly", "mode fly", "ERROR bad value"},
        {true, "ReportedNodes=64", "reported-nodes 64", "ERROR bad value"},
        {true, "SubunitProblemAdds=off", "subunit-problem-adds off", "ERROR bad value"},
        {false, "TransportBytes=C4", "transport-bytes c4 31 32 1", "ERROR too many words for transport-bytes"},
        {false, "Refuse=2 sometimes", "refuse 2 sometimes", "ERROR unknown command kind"},
        {true, "Count=0x100000000", "count -1", "ERROR bad value"},
        {true, "FailAvcLoad=maybe", "fail-avc-load maybe", "ERROR bad value"},
        {false, "Vendor=a&b", "vendor a&b", "ERROR bad value"},
    };
    for (const auto& row : Rows) {
        const bool bBus = row.bBus;
        const std::vector<std::string> vecProblems =
            ResetFromFile(std::string("[Bus]\r\n") + (bBus ? "" : "[Camcorder1]\r\n") + row.pszLine + "\r\n");
        ASSERT_EQ(1u, vecProblems.size()) << row.pszLine;
        EXPECT_NE(std::string::npos, vecProblems[0].find(bBus ? "[Bus]" : "[Camcorder1]")) << vecProblems[0];
        EXPECT_TRUE(defaults == Capture()) << row.pszLine;
        devices::Bus::Get().Reset(devices::BusScenario{});
        EXPECT_EQ(row.pszAnswer, devices::ExecuteBusCommand(row.pszCommand));
        EXPECT_TRUE(defaults == Capture()) << row.pszCommand;
    }
    const std::vector<std::string> vecUnknown = ResetFromFile("[Bus]\r\nWarp=9\r\n[Camcorder1]\r\nOtherNodes=1\r\n");
    EXPECT_EQ((std::vector<std::string>{"[Bus] Warp: unknown setting", "[Camcorder1] OtherNodes: unknown setting"}), vecUnknown);
    EXPECT_EQ("ERROR unknown command: warp", devices::ExecuteBusCommand("warp 9"));
}

// The capture category as the program lists it: each entry's bag, its name and its filter.
class DeviceListTest : public SimulationTest {
protected:
    devices::ComPtr<devices::IMoniker> FirstMoniker() {
        devices::ComPtr<devices::ICreateDevEnum> spDevEnum;
        if (FAILED(devices::CoCreateInstance(devices::ClsidSystemDeviceEnum, nullptr, CLSCTX_ALL, devices::IID_ICreateDevEnum, spDevEnum.AsVoid()))) return {};
        devices::ComPtr<devices::IEnumMoniker> spEnum;
        spDevEnum->CreateClassEnumerator(devices::KsCategoryCapture, &spEnum, 0);
        devices::ComPtr<devices::IMoniker> spMoniker;
        if (spEnum) spEnum->Next(1, &spMoniker, nullptr);
        return spMoniker;
    }
};

TEST_F(DeviceListTest, PropertyBagLeavesTheCallersVariantAloneUnlessItAnswers) {
    devices::ComPtr<devices::IMoniker> spMoniker = FirstMoniker();
    ASSERT_TRUE(spMoniker);
    devices::ComPtr<IPropertyBag> spBag;
    ASSERT_EQ(S_OK, spMoniker->BindToStorage(nullptr, nullptr, devices::IID_IPropertyBag, spBag.AsVoid()));

    // The caller's own string stays its own when the read fails (it frees it afterwards itself).
    BSTR bstrMine = ::SysAllocString(L"mine");
    VARIANT var;
    ::VariantInit(&var);
    var.vt = VT_BSTR;
    var.bstrVal = bstrMine;
    EXPECT_EQ(E_INVALIDARG, spBag->Read(L"Unknown", &var, nullptr));
    EXPECT_EQ(VT_BSTR, var.vt);
    EXPECT_EQ(bstrMine, var.bstrVal);
    ASSERT_EQ("OK", devices::ExecuteBusCommand("property-bag unreadable"));
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_READ_FAULT), spBag->Read(L"FriendlyName", &var, nullptr));
    EXPECT_EQ(bstrMine, var.bstrVal);
    EXPECT_STREQ(L"mine", var.bstrVal);
    ::SysFreeString(bstrMine);

    // An empty variant gets the value's own type.
    ASSERT_EQ("OK", devices::ExecuteBusCommand("property-bag ok"));
    ::VariantInit(&var);
    ASSERT_EQ(S_OK, spBag->Read(L"FriendlyName", &var, nullptr));
    EXPECT_EQ(VT_BSTR, var.vt);
    EXPECT_STREQ(L"Microsoft DV Camera and VCR", var.bstrVal);
    ::VariantClear(&var);
    var.vt = VT_I4;
    EXPECT_EQ(E_INVALIDARG, spBag->Read(L"FriendlyName", &var, nullptr));

    ASSERT_EQ("OK", devices::ExecuteBusCommand("property-bag unbound"));
    EXPECT_TRUE(FAILED(spMoniker->BindToStorage(nullptr, nullptr, devices::IID_IPropertyBag, spBag.AsVoid())));
    EXPECT_FALSE(spBag);
}

} // namespace
