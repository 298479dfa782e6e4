// Identifiers, codes and COM-style interfaces of the simulated IEEE 1394 devices.
// The interfaces carry the host's method names and argument types for the calls the program makes;
// they are this simulation's own (own interface ids), so they never meet the host's objects.
#pragma once

#include <windows.h>
#include <unknwn.h>
#include <ocidl.h>

#include <cstdint>

namespace devices {

// ---- class and category identifiers ----------------------------------------------------------
// Capture-device category in which the DV camcorders and the virtual VCR's filter appear.
inline constexpr GUID KsCategoryCapture = {0x65E8773D, 0x8F56, 0x11D0, {0xA3, 0xB9, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};
// The system device enumerator's class id.
inline constexpr GUID ClsidSystemDeviceEnum = {0x62BE5D10, 0x60EB, 0x11D0, {0xBD, 0x3B, 0x00, 0xA0, 0xC9, 0x11, 0xCE, 0x86}};
// Device interface class of the IEEE 1394 bus host controller.
inline constexpr GUID Bus1394InterfaceClass = {0x6BDD1FC1, 0x810F, 0x11D0, {0xBE, 0xC7, 0x08, 0x00, 0x2B, 0xE2, 0x09, 0x2F}};
// Device interface class of the maker's virtual AV/C device.
inline constexpr GUID VirtualAvcInterfaceClass = {0x616EF4D0, 0x23CE, 0x446D, {0xA5, 0x68, 0xC3, 0x1E, 0xB0, 0x19, 0x13, 0xD0}};
// Setup class of AV/C devices (holds the "V61883" node).
inline constexpr GUID AvcSetupClass = {0xC06FF265, 0xAE09, 0x48F0, {0x81, 0x2C, 0x16, 0x75, 0x3D, 0x7C, 0xBA, 0x83}};
// Setup class of image devices (holds the virtual tape subunit node, "VAVC" and "TYP_4").
inline constexpr GUID ImageSetupClass = {0x6BDD1FC6, 0x810F, 0x11D0, {0xBE, 0xC7, 0x08, 0x00, 0x2B, 0xE2, 0x09, 0x2F}};
// Event set and method set of the virtual VCR's kernel-streaming filter.
inline constexpr GUID TarnEventSet = {0xD375B648, 0x1302, 0x4121, {0x84, 0x2A, 0x3E, 0xAD, 0x4C, 0x69, 0xEB, 0x43}};
inline constexpr GUID TarnMethodSet = {0x61782C40, 0x2ADC, 0x486F, {0xB5, 0xDE, 0x08, 0x94, 0xF7, 0x35, 0x6C, 0x10}};

// ---- interface ids of the simulation's objects ------------------------------------------------
inline constexpr GUID IID_ICreateDevEnum = {0x8A2F3B01, 0x5C11, 0x4E0A, {0x9B, 0x61, 0x01, 0x39, 0x4D, 0x56, 0x00, 0x01}};
inline constexpr GUID IID_IEnumMoniker = {0x8A2F3B01, 0x5C11, 0x4E0A, {0x9B, 0x61, 0x01, 0x39, 0x4D, 0x56, 0x00, 0x02}};
inline constexpr GUID IID_IMoniker = {0x8A2F3B01, 0x5C11, 0x4E0A, {0x9B, 0x61, 0x01, 0x39, 0x4D, 0x56, 0x00, 0x03}};
inline constexpr GUID IID_IBaseFilter = {0x8A2F3B01, 0x5C11, 0x4E0A, {0x9B, 0x61, 0x01, 0x39, 0x4D, 0x56, 0x00, 0x04}};
inline constexpr GUID IID_IAMExtTransport = {0x8A2F3B01, 0x5C11, 0x4E0A, {0x9B, 0x61, 0x01, 0x39, 0x4D, 0x56, 0x00, 0x05}};
inline constexpr GUID IID_IAMExtDevice = {0x8A2F3B01, 0x5C11, 0x4E0A, {0x9B, 0x61, 0x01, 0x39, 0x4D, 0x56, 0x00, 0x06}};
inline constexpr GUID IID_IKsObject = {0x8A2F3B01, 0x5C11, 0x4E0A, {0x9B, 0x61, 0x01, 0x39, 0x4D, 0x56, 0x00, 0x07}};
inline constexpr GUID IID_IDVStreamSource = {0x8A2F3B01, 0x5C11, 0x4E0A, {0x9B, 0x61, 0x01, 0x39, 0x4D, 0x56, 0x00, 0x08}};
// The property bag is the host's own interface (Read with a VARIANT).
inline constexpr GUID IID_IPropertyBag = {0x55272A00, 0x42CB, 0x11CE, {0x81, 0x35, 0x00, 0xAA, 0x00, 0x4B, 0xB8, 0x51}};

// ---- codes -------------------------------------------------------------------------------------
// External-transport parameter that carries a raw AV/C frame in the text argument.
inline constexpr LONG ED_RAW_EXT_DEV_CMD = 5016;
// External-device capability: the device's normal frame rate.
inline constexpr LONG ED_DEVCAP_NORMAL_RATE = 0x1023;
inline constexpr LONG ED_RATE_25 = 0x1025;
inline constexpr LONG ED_RATE_2997 = 0x1026;
// Largest raw AV/C frame the DV driver takes.
inline constexpr ULONG MaxAvcFrame = 512;

// I/O control codes.
inline constexpr DWORD IOCTL_IEEE1394_API_REQUEST = 0x00220400;
inline constexpr DWORD IOCTL_AVC_BUS_ADD_SUBUNIT = 0x002A0000;
inline constexpr DWORD IOCTL_AVC_BUS_REMOVE_SUBUNIT = 0x002A0004;
inline constexpr DWORD IOCTL_KS_ENABLE_EVENT_CODE = 0x002F0007;
inline constexpr DWORD IOCTL_KS_DISABLE_EVENT_CODE = 0x002F000B;
inline constexpr DWORD IOCTL_KS_METHOD_CODE = 0x002F000F;

// Device-node problem numbers the program reacts to.
inline constexpr ULONG ProblemFailedStart = 10;      // the driver failed to start
inline constexpr ULONG ProblemFailedInstall = 28;    // the driver is not installed
inline constexpr DWORD ConfigFlagReinstall = 0x20;

// ---- interfaces --------------------------------------------------------------------------------
struct IEnumMoniker;
struct IMoniker;

struct ICreateDevEnum : IUnknown {
    // S_FALSE and no enumerator when the category is empty.
    virtual HRESULT STDMETHODCALLTYPE CreateClassEnumerator(REFCLSID clsidDeviceClass, IEnumMoniker** ppEnumMoniker, DWORD dwFlags) = 0;
};

struct IEnumMoniker : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Next(ULONG celt, IMoniker** rgelt, ULONG* pceltFetched) = 0;
    virtual HRESULT STDMETHODCALLTYPE Reset() = 0;
};

struct IMoniker : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE BindToStorage(void* pbc, void* pmkToLeft, REFIID riid, void** ppvObj) = 0;
    virtual HRESULT STDMETHODCALLTYPE BindToObject(void* pbc, void* pmkToLeft, REFIID riid, void** ppvResult) = 0;
};

// A filter object; the media engine wraps the camcorder's through IDVStreamSource.
struct IBaseFilter : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE QueryFriendlyName(WCHAR* pszName, ULONG cchName) = 0;
};

struct IAMExtTransport : IUnknown {
    // With ED_RAW_EXT_DEV_CMD: *pValue is the frame length in and the response length out,
    // ppszData points at the frame buffer, and the response is written over it.
    // 0: completed; a positive value: the driver's status for an incomplete command; negative: failure.
    virtual HRESULT STDMETHODCALLTYPE GetTransportBasicParameters(LONG Param, LONG* pValue, LPOLESTR* ppszData) = 0;
};

struct IAMExtDevice : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetCapability(LONG Capability, LONG* pValue, double* pdblValue) = 0;
};

struct IKsObject : IUnknown {
    virtual HANDLE STDMETHODCALLTYPE KsGetObjectHandle() = 0;
};

} // namespace devices
