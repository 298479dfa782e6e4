// The virtual VCR driver's face: device paths, I/O controls, device nodes and kernel streaming.
#include "SimulationFixture.h"

#include "devices/BusControl.h"
#include "devices/ComPtr.h"

#include <ks.h>

#include <cstring>

namespace {

std::wstring FirstPath(const GUID& interfaceClass) {
    HDEVINFO hSet = devices::SetupDiGetClassDevsW(&interfaceClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof data;
    std::wstring strPath;
    if (devices::SetupDiEnumDeviceInterfaces(hSet, nullptr, &interfaceClass, 0, &data)) {
        std::vector<BYTE> detail(1024, 0);
        auto* p = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(detail.data());
        p->cbSize = sizeof *p;
        if (devices::SetupDiGetDeviceInterfaceDetailW(hSet, &data, p, static_cast<DWORD>(detail.size()), nullptr, nullptr)) strPath = p->DevicePath;
    }
    devices::SetupDiDestroyDeviceInfoList(hSet);
    return strPath;
}

HANDLE Open(const std::wstring& strPath) {
    return devices::CreateFileW(strPath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

std::vector<BYTE> BusRequest(uint32_t nRequest) {
    std::vector<BYTE> request(42, 0);
    memcpy(request.data(), &nRequest, 4);
    memcpy(request.data() + 24, "A02D&10001", 10);
    return request;
}

DWORD Control(HANDLE h, DWORD dwCode, std::vector<BYTE> request) {
    DWORD dwReturned = 0;
    if (devices::DeviceIoControl(h, dwCode, request.data(), static_cast<DWORD>(request.size()), nullptr, 0, &dwReturned, nullptr)) return 0;
    return ::GetLastError();
}

const std::vector<BYTE> SubunitRequest = {2, 0, 0, 0, 0x20, 0, 0, 0};

// Loads the virtual device and its subunit as the program does; returns the kernel-streaming handle.
HANDLE LoadSubunit(HANDLE& hBus, HANDLE& hAvc) {
    hBus = Open(FirstPath(devices::Bus1394InterfaceClass));
    EXPECT_EQ(0u, Control(hBus, devices::IOCTL_IEEE1394_API_REQUEST, BusRequest(1)));
    hAvc = Open(FirstPath(devices::VirtualAvcInterfaceClass));
    EXPECT_EQ(0u, Control(hAvc, devices::IOCTL_AVC_BUS_ADD_SUBUNIT, SubunitRequest));
    auto lock = devices::Bus::Get().Lock();
    return devices::Bus::Get().Driver().KsHandle();
}

TEST_F(SimulationTest, BusRequestsAreCheckedFieldByField) {
    HANDLE hBus = Open(FirstPath(devices::Bus1394InterfaceClass));
    ASSERT_NE(INVALID_HANDLE_VALUE, hBus);
    EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), (Open(FirstPath(devices::Bus1394InterfaceClass)), ::GetLastError()));

    std::vector<BYTE> shortRequest = BusRequest(1);
    shortRequest.pop_back();
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), Control(hBus, devices::IOCTL_IEEE1394_API_REQUEST, shortRequest));
    std::vector<BYTE> otherId = BusRequest(1);
    otherId[33] = '2';
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), Control(hBus, devices::IOCTL_IEEE1394_API_REQUEST, otherId));
    std::vector<BYTE> flags = BusRequest(1);
    flags[4] = 1;
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), Control(hBus, devices::IOCTL_IEEE1394_API_REQUEST, flags));
    std::vector<BYTE> tail = BusRequest(1);
    tail[41] = 'x';
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), Control(hBus, devices::IOCTL_IEEE1394_API_REQUEST, tail));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_FUNCTION), Control(hBus, devices::IOCTL_AVC_BUS_ADD_SUBUNIT, SubunitRequest));
    EXPECT_EQ(4u, Driver().Malformed().size());
    EXPECT_FALSE(Driver().IsVirtualDeviceAdded());
    EXPECT_EQ(L"", FirstPath(devices::VirtualAvcInterfaceClass));

    EXPECT_EQ(static_cast<DWORD>(ERROR_GEN_FAILURE), Control(hBus, devices::IOCTL_IEEE1394_API_REQUEST, BusRequest(2)));
    EXPECT_EQ(0u, Control(hBus, devices::IOCTL_IEEE1394_API_REQUEST, BusRequest(1)));
    EXPECT_EQ(static_cast<DWORD>(ERROR_GEN_FAILURE), Control(hBus, devices::IOCTL_IEEE1394_API_REQUEST, BusRequest(1)));
    EXPECT_NE(L"", FirstPath(devices::VirtualAvcInterfaceClass));
    EXPECT_EQ(0u, Control(hBus, devices::IOCTL_IEEE1394_API_REQUEST, BusRequest(2)));
    EXPECT_TRUE(devices::CloseHandle(hBus));
    EXPECT_FALSE(devices::CloseHandle(hBus));
}

TEST_F(SimulationTest, SubunitComesWithTheFilterAndItsNotifications) {
    NotificationWindow window;
    HANDLE hBus, hAvc;
    HANDLE hKs = LoadSubunit(hBus, hAvc);
    EXPECT_NE(nullptr, hKs);
    ASSERT_EQ(1u, window.m_vecSeen.size());
    EXPECT_EQ(L"+" + devices::VcrDriver::SubunitInterfaceName(), window.m_vecSeen[0]);
    EXPECT_NE(std::wstring::npos, window.m_vecSeen[0].find(L"TYP_4"));

    std::vector<BYTE> wrongAddress = SubunitRequest;
    wrongAddress[4] = 0x21;
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), Control(hAvc, devices::IOCTL_AVC_BUS_ADD_SUBUNIT, wrongAddress));
    std::vector<BYTE> noReset = SubunitRequest;
    noReset[0] = 0;
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), Control(hAvc, devices::IOCTL_AVC_BUS_REMOVE_SUBUNIT, noReset));

    EXPECT_EQ(0u, Control(hAvc, devices::IOCTL_AVC_BUS_REMOVE_SUBUNIT, SubunitRequest));
    ASSERT_EQ(2u, window.m_vecSeen.size());
    EXPECT_EQ(L"-" + devices::VcrDriver::SubunitInterfaceName(), window.m_vecSeen[1]);
    EXPECT_EQ(static_cast<DWORD>(ERROR_GEN_FAILURE), Control(hAvc, devices::IOCTL_AVC_BUS_REMOVE_SUBUNIT, SubunitRequest));
    // Removing the virtual device leaves the subunit handle dead.
    EXPECT_EQ(0u, Control(hBus, devices::IOCTL_IEEE1394_API_REQUEST, BusRequest(2)));
    EXPECT_EQ(static_cast<DWORD>(ERROR_DEV_NOT_EXIST), Control(hAvc, devices::IOCTL_AVC_BUS_ADD_SUBUNIT, SubunitRequest));
}

TEST_F(SimulationTest, DeviceNodesShowTheirProblemsAndTheReinstallMark) {
    devices::BusScenario scenario;
    scenario.driver.nSubunitProblem = devices::ProblemFailedInstall;
    devices::Bus::Get().Reset(scenario);
    HANDLE hBus, hAvc;
    EXPECT_EQ(nullptr, LoadSubunit(hBus, hAvc));  // no filter while the driver is missing

    HDEVINFO hSet = devices::SetupDiGetClassDevsW(&devices::ImageSetupClass, nullptr, nullptr, DIGCF_PRESENT);
    SP_DEVINFO_DATA node{};
    node.cbSize = sizeof node;
    std::vector<std::wstring> ids;
    DEVINST subunit = 0;
    for (DWORD i = 0; devices::SetupDiEnumDeviceInfo(hSet, i, &node); ++i) {
        wchar_t szIds[256] = {};
        ASSERT_TRUE(devices::SetupDiGetDeviceRegistryPropertyW(hSet, &node, SPDRP_COMPATIBLEIDS, nullptr, reinterpret_cast<PBYTE>(szIds), sizeof szIds, nullptr));
        ids.push_back(szIds);
        if (ids.back().find(L"VAVC") != std::wstring::npos) {
            subunit = node.DevInst;
            const DWORD dwFlags = devices::ConfigFlagReinstall;
            EXPECT_TRUE(devices::SetupDiSetDeviceRegistryPropertyW(hSet, &node, SPDRP_CONFIGFLAGS, reinterpret_cast<const BYTE*>(&dwFlags), 4));
        }
    }
    EXPECT_EQ(static_cast<DWORD>(ERROR_NO_MORE_ITEMS), ::GetLastError());
    devices::SetupDiDestroyDeviceInfoList(hSet);
    EXPECT_EQ((std::vector<std::wstring>{L"AVC\\tavin&selkie_ze&TYP_4", L"AVC\\VAVC&TYP_4&ID_0"}), ids);
    ULONG nStatus = 0, nProblem = 0;
    ASSERT_EQ(static_cast<CONFIGRET>(CR_SUCCESS), devices::CM_Get_DevNode_Status(&nStatus, &nProblem, subunit, 0));
    EXPECT_EQ(28u, nProblem);
    EXPECT_TRUE(nStatus & DN_HAS_PROBLEM);
    EXPECT_TRUE(Driver().IsReinstallMarked());

    // Removed and added again: the driver is installed now.
    EXPECT_EQ(0u, Control(hAvc, devices::IOCTL_AVC_BUS_REMOVE_SUBUNIT, SubunitRequest));
    EXPECT_EQ(static_cast<CONFIGRET>(CR_NO_SUCH_DEVNODE), devices::CM_Get_DevNode_Status(&nStatus, &nProblem, subunit, 0));
    EXPECT_EQ(0u, Control(hAvc, devices::IOCTL_AVC_BUS_ADD_SUBUNIT, SubunitRequest));
    ASSERT_EQ(static_cast<CONFIGRET>(CR_SUCCESS), devices::CM_Get_DevNode_Status(&nStatus, &nProblem, subunit, 0));
    EXPECT_EQ(0u, nProblem);
    auto lock = devices::Bus::Get().Lock();
    EXPECT_NE(nullptr, Driver().KsHandle());
}

TEST_F(SimulationTest, InterfaceDetailNeedsTheRightRecordSize) {
    HDEVINFO hSet = devices::SetupDiGetClassDevsW(&devices::Bus1394InterfaceClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof data;
    ASSERT_TRUE(devices::SetupDiEnumDeviceInterfaces(hSet, nullptr, &devices::Bus1394InterfaceClass, 0, &data));
    EXPECT_EQ(static_cast<DWORD>(SPINT_ACTIVE), data.Flags);
    EXPECT_FALSE(devices::SetupDiEnumDeviceInterfaces(hSet, nullptr, &devices::Bus1394InterfaceClass, 1, &data));
    DWORD dwSize = 0;
    EXPECT_FALSE(devices::SetupDiGetDeviceInterfaceDetailW(hSet, &data, nullptr, 0, &dwSize, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), ::GetLastError());
    std::vector<BYTE> detail(dwSize, 0);
    auto* p = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(detail.data());
    p->cbSize = 6;  // the size of the record on a 32-bit system
    EXPECT_FALSE(devices::SetupDiGetDeviceInterfaceDetailW(hSet, &data, p, dwSize, nullptr, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_USER_BUFFER), ::GetLastError());
    p->cbSize = sizeof *p;
    EXPECT_TRUE(devices::SetupDiGetDeviceInterfaceDetailW(hSet, &data, p, dwSize, nullptr, nullptr));
    EXPECT_NE(std::wstring::npos, std::wstring(p->DevicePath).find(L"6bdd1fc1"));
    devices::SetupDiDestroyDeviceInfoList(hSet);
    EXPECT_FALSE(devices::SetupDiDestroyDeviceInfoList(hSet));
}

class KsTest : public SimulationTest {
protected:
    void SetUp() override {
        SimulationTest::SetUp();
        m_hKs = LoadSubunit(m_hBus, m_hAvc);
        m_hEvent = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
        m_data.NotificationType = KSEVENTF_EVENT_HANDLE;
        m_data.EventHandle.Event = m_hEvent;
    }
    void TearDown() override { ::CloseHandle(m_hEvent); }

    HRESULT Enable(ULONG nFlags = KSEVENT_TYPE_ENABLEBUFFERED) {
        KSEVENT event{};
        event.Set = devices::TarnEventSet;
        event.Flags = nFlags;
        ULONG n = 0;
        return devices::KsSynchronousDeviceControl(m_hKs, devices::IOCTL_KS_ENABLE_EVENT_CODE, &event, sizeof event, &m_data, sizeof m_data, &n);
    }
    HRESULT Query(KSEVENTDATA* pData, BYTE* pItem) {
        KSQUERYBUFFER query{};
        query.Event.Set = devices::TarnEventSet;
        query.Event.Flags = KSEVENT_TYPE_QUERYBUFFER;
        query.EventData = pData;
        ULONG n = 0;
        return devices::KsSynchronousDeviceControl(m_hKs, devices::IOCTL_KS_ENABLE_EVENT_CODE, &query, sizeof query, pItem, 4, &n);
    }
    HRESULT Method(ULONG nId, void* pData, ULONG nBytes, ULONG nFlags = KSMETHOD_TYPE_MODIFY) {
        KSMETHOD method{};
        method.Set = devices::TarnMethodSet;
        method.Id = nId;
        method.Flags = nFlags;
        ULONG n = 0;
        return devices::KsSynchronousDeviceControl(m_hKs, devices::IOCTL_KS_METHOD_CODE, &method, sizeof method, pData, nBytes, &n);
    }

    HANDLE m_hBus = nullptr, m_hAvc = nullptr, m_hKs = nullptr, m_hEvent = nullptr;
    KSEVENTDATA m_data{};
};

TEST_F(KsTest, BufferedEventCarriesTheCamcordersButtons) {
    BYTE abyItem[4] = {};
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_NOT_FOUND), Query(&m_data, abyItem));  // not enabled yet
    EXPECT_LT(Enable(KSEVENT_TYPE_ENABLE), 0);
    ASSERT_EQ(S_OK, Enable());
    EXPECT_EQ(static_cast<HRESULT>(0x80070103), Query(&m_data, abyItem));
    ASSERT_TRUE(devices::Bus::Get().PressRecord(0));
    ASSERT_TRUE(devices::Bus::Get().PressStop(0));
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(m_hEvent, 0));
    KSEVENTDATA copy = m_data;
    EXPECT_LT(Query(&copy, abyItem), 0);  // the same record, not an equal one, names the event
    ASSERT_EQ(S_OK, Query(&m_data, abyItem));
    EXPECT_EQ(2, abyItem[0]);
    ASSERT_EQ(S_OK, Query(&m_data, abyItem));
    EXPECT_EQ(3, abyItem[0]);
    EXPECT_EQ(static_cast<HRESULT>(0x80070103), Query(&m_data, abyItem));

    ULONG n = 0;
    EXPECT_EQ(S_OK, devices::KsSynchronousDeviceControl(m_hKs, devices::IOCTL_KS_DISABLE_EVENT_CODE, &m_data, sizeof m_data, nullptr, 0, &n));
    EXPECT_FALSE(Driver().IsEventEnabled());
    // Nobody listens: the camcorder's record button records to its own tape.
    ASSERT_TRUE(devices::Bus::Get().PressRecord(0));
    EXPECT_EQ(devices::Transport::Stopped, devices::Bus::Get().GetCamcorder(0).Settings().transport);
}

TEST_F(KsTest, MethodsAnswerNodeCountAndDVControlAndTakeTheTapeState) {
    uint32_t aQuery[2] = {1, 0};
    ASSERT_EQ(S_OK, Method(2, aQuery, sizeof aQuery));
    EXPECT_EQ(2u, aQuery[1]);
    devices::ExecuteBusCommand("node add");
    ASSERT_EQ(S_OK, Method(2, aQuery, sizeof aQuery));
    EXPECT_EQ(3u, aQuery[1]);
    aQuery[0] = 2;
    ASSERT_EQ(S_OK, Method(2, aQuery, sizeof aQuery));
    EXPECT_EQ(1u, aQuery[1]);
    devices::ExecuteBusCommand("dvcontrol off");
    ASSERT_EQ(S_OK, Method(2, aQuery, sizeof aQuery));
    EXPECT_EQ(0u, aQuery[1]);
    aQuery[0] = 3;
    EXPECT_LT(Method(2, aQuery, sizeof aQuery), 0);

    BYTE byState = 3;
    ASSERT_EQ(S_OK, Method(0, &byState, 1));
    EXPECT_EQ(3, devices::Bus::Get().GetCamcorder(0).Report().nTapeState);
    EXPECT_EQ("OK tape-state=3 tape-state-sends=1 pc-info=none pc-info-sends=0", devices::ExecuteBusCommand("state"));
    EXPECT_LT(Method(0, &byState, 1, KSMETHOD_TYPE_READ), 0);
    EXPECT_LT(Method(0, aQuery, 4), 0);
    EXPECT_LT(Method(7, &byState, 1), 0);
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_INVALID_HANDLE),
              devices::KsSynchronousDeviceControl(nullptr, devices::IOCTL_KS_METHOD_CODE, nullptr, 0, nullptr, 0, nullptr));
}

} // namespace
