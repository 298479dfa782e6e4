// The maker's virtual VCR kernel driver as the program sees it: the virtual device on the bus,
// the virtual tape subunit, their device nodes, and the "TARN FILTER" kernel-streaming object.
// Not thread-safe by itself: the bus serialises every access.
#pragma once

#include <windows.h>
#include <ks.h>
#include <cfgmgr32.h>

#include <array>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace devices {

class Bus;

struct VcrDriverSettings {
    bool bHostController = true;   // FALSE: the computer has no IEEE 1394 host controller
    ULONG nV61883Problem = 0;      // problem number of the virtual device's AV/C node
    ULONG nSubunitProblem = 0;     // problem number of the virtual tape subunit's node (28, 10, ...)
    int nSubunitProblemAdds = -1;  // how many subunit adds show nSubunitProblem (-1: until reinstalled, for 28 forever otherwise)
    bool bTarnFilter = true;       // FALSE: the working subunit shows no kernel-streaming filter
    int nSubunitNodeDelay = 0;     // listings of the image class that miss a newly added subunit node (Plug and Play settling)
    int nReportedNodes = -1;       // node count the driver reports; -1: the nodes really on the bus
    // Calls that fail, counted down one per failing call (-1: every one until cleared).
    int nEnumeratorFailures = 0;   // creating the system device enumerator
    int nAvcLoadFailures = 0;      // the add-subunit request on the virtual AV/C device
    int nEventEnableFailures = 0;  // enabling the buffered event
    int nEventQueryFailures = 0;   // querying the event buffer
    int nNodeCountFailures = 0;    // the node-count query method
    bool bEventsNeverRunDry = false;  // the event buffer repeats its last item instead of running dry
    // The machine-wide count of virtual devices (HKLM SOFTWARE\VirtualDevices "Count"):
    // CountUntouched leaves the registry as it is, CountAbsent removes the value.
    int64_t nVirtualDeviceCount = CountUntouched;
    static constexpr int64_t CountUntouched = -2;
    static constexpr int64_t CountAbsent = -1;
    bool operator==(const VcrDriverSettings&) const = default;
};

// Counts one use of a counted failure; TRUE when this use fails.
bool TakeFailure(int& nFailures);
// Writes the virtual-device count to the registry as the settings say.
void ApplyVirtualDeviceCount(int64_t nCount);

// A device node as the configuration manager lists it.
struct DeviceNode {
    DEVINST devInst;
    GUID setupClass;
    std::wstring strCompatibleId;  // first entry of the compatible ids
    ULONG nProblem;
};

class VcrDriver {
public:
    explicit VcrDriver(Bus& bus) : m_bus(bus) {}

    void Reset(const VcrDriverSettings& settings);
    VcrDriverSettings& Settings() { return m_settings; }

    // Interface paths of the two device interface classes ("" when absent).
    std::wstring HostControllerPath() const;
    std::wstring VirtualAvcPath() const;
    // Interface name of the virtual tape subunit's capture interface (contains "TYP_4").
    static std::wstring SubunitInterfaceName();

    HANDLE Open(const wchar_t* pszPath, DWORD dwAccess, DWORD dwShare, DWORD dwDisposition, DWORD& dwError);
    bool Close(HANDLE h);
    bool OwnsHandle(HANDLE h) const;
    BOOL IoControl(HANDLE h, DWORD dwCode, const void* pIn, DWORD nIn, void* pOut, DWORD nOut, DWORD* pnReturned, DWORD& dwError);
    HRESULT KsControl(HANDLE h, ULONG nCode, void* pIn, ULONG nIn, void* pOut, ULONG nOut, ULONG* pnReturned);

    // The device nodes of a setup class, as one listing sees them.
    void AppendNodes(const GUID& setupClass, std::vector<DeviceNode>& nodes);
    bool SetConfigFlags(DEVINST devInst, DWORD dwFlags);
    bool NodeProblem(DEVINST devInst, ULONG& nProblem) const;

    // The kernel-streaming filter is listed while the subunit works.
    bool HasTarnFilter() const;
    HANDLE KsHandle() const { return m_hKs; }

    // A command from a camcorder to the virtual VCR: buffered when the event is enabled.
    void QueueCommand(uint8_t byCode, uint8_t byParam);
    // The driver starts again (reinstalled or restarted): the virtual device and its subunit
    // leave the bus and every handle on them dies.
    void Restart();
    // Items waiting in the event buffer.
    size_t PendingEvents() const { return m_queEvents.size(); }

    bool IsVirtualDeviceAdded() const { return m_bVirtualDevice; }
    bool IsSubunitAdded() const { return m_bSubunit; }
    bool IsEventEnabled() const { return m_bEventEnabled; }
    bool IsReinstallMarked() const { return m_bReinstallMarked; }
    int LastTapeState() const { return m_nTapeState; }
    int TapeStateSends() const { return m_nTapeStateSends; }
    int AddDeviceRequests() const { return m_nAddDeviceRequests; }
    // Requests refused because they were malformed, one text each.
    const std::vector<std::string>& Malformed() const { return m_vecMalformed; }

private:
    enum class HandleKind { Bus, Avc };
    struct OpenHandle { HANDLE h; HandleKind kind; };

    BOOL BusRequest(const void* pIn, DWORD nIn, DWORD nOut, DWORD& dwError);
    BOOL SubunitRequest(DWORD dwCode, const void* pIn, DWORD nIn, DWORD nOut, DWORD& dwError);
    HRESULT EnableEvent(const void* pIn, ULONG nIn, void* pOut, ULONG nOut, ULONG* pnReturned);
    HRESULT DisableEvent(const void* pIn, ULONG nIn, ULONG nOut);
    HRESULT Method(const void* pIn, ULONG nIn, void* pOut, ULONG nOut, ULONG* pnReturned);
    void AddSubunit();
    void RemoveSubunit();
    void RemoveVirtualDevice();
    ULONG SubunitProblem() const;
    BOOL Refuse(DWORD& dwError, const char* pszWhy);
    HRESULT RefuseHr(HRESULT hr, const char* pszWhy);

    Bus& m_bus;
    VcrDriverSettings m_settings;
    std::vector<OpenHandle> m_vecHandles;
    uintptr_t m_nNextHandle = 0;
    bool m_bVirtualDevice = false;
    bool m_bSubunit = false;
    bool m_bReinstallMarked = false;
    bool m_bReinstalled = false;
    int m_nSubunitAdds = 0;
    int m_nSubunitNodeHidden = 0;
    ULONG m_nShownSubunitProblem = 0;
    DWORD m_dwSubunitConfigFlags = 0;
    HANDLE m_hKs = nullptr;
    uintptr_t m_nKsSerial = 0;     // never reset, so a handle of an earlier load stays dead
    bool m_bEventEnabled = false;
    const KSEVENTDATA* m_pEventData = nullptr;
    HANDLE m_hEvent = nullptr;
    std::deque<std::array<uint8_t, 4>> m_queEvents;
    int m_nTapeState = -1;
    int m_nTapeStateSends = 0;
    int m_nAddDeviceRequests = 0;
    std::vector<std::string> m_vecMalformed;
};

} // namespace devices
