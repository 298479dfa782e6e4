// The host calls through which the program reaches the simulated bus. Each has the host's name,
// argument types and failure conventions; the real ones cannot open the simulated devices.
#pragma once

#include "devices/DeviceTypes.h"

#include <windows.h>
#include <setupapi.h>
#include <cfgmgr32.h>

namespace devices {

// The system device enumerator (ClsidSystemDeviceEnum, IID_ICreateDevEnum) and nothing else.
HRESULT CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid, LPVOID* ppv);

// Device-change notifications of the capture category, sent as WM_DEVICECHANGE.
HDEVNOTIFY RegisterDeviceNotificationW(HANDLE hRecipient, LPVOID pNotificationFilter, DWORD dwFlags);
BOOL UnregisterDeviceNotification(HDEVNOTIFY hHandle);

// Device information sets of the two interface classes and the two setup classes.
HDEVINFO SetupDiGetClassDevsW(const GUID* pClassGuid, PCWSTR pszEnumerator, HWND hwndParent, DWORD dwFlags);
BOOL SetupDiDestroyDeviceInfoList(HDEVINFO hDevInfo);
BOOL SetupDiEnumDeviceInterfaces(HDEVINFO hDevInfo, PSP_DEVINFO_DATA pDevInfoData, const GUID* pInterfaceClassGuid,
                                 DWORD dwMemberIndex, PSP_DEVICE_INTERFACE_DATA pInterfaceData);
BOOL SetupDiGetDeviceInterfaceDetailW(HDEVINFO hDevInfo, PSP_DEVICE_INTERFACE_DATA pInterfaceData,
                                      PSP_DEVICE_INTERFACE_DETAIL_DATA_W pDetail, DWORD dwDetailSize, PDWORD pdwRequiredSize,
                                      PSP_DEVINFO_DATA pDevInfoData);
BOOL SetupDiEnumDeviceInfo(HDEVINFO hDevInfo, DWORD dwMemberIndex, PSP_DEVINFO_DATA pDevInfoData);
BOOL SetupDiGetDeviceRegistryPropertyW(HDEVINFO hDevInfo, PSP_DEVINFO_DATA pDevInfoData, DWORD dwProperty,
                                       PDWORD pdwRegDataType, PBYTE pBuffer, DWORD dwBufferSize, PDWORD pdwRequiredSize);
BOOL SetupDiSetDeviceRegistryPropertyW(HDEVINFO hDevInfo, PSP_DEVINFO_DATA pDevInfoData, DWORD dwProperty,
                                       const BYTE* pBuffer, DWORD dwBufferSize);
CONFIGRET CM_Get_DevNode_Status(PULONG pulStatus, PULONG pulProblemNumber, DEVINST dnDevInst, ULONG ulFlags);

// The driver's device paths, opened and controlled like files.
HANDLE CreateFileW(LPCWSTR pszFileName, DWORD dwDesiredAccess, DWORD dwShareMode, LPSECURITY_ATTRIBUTES pSecurity,
                   DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes, HANDLE hTemplateFile);
BOOL CloseHandle(HANDLE hObject);
BOOL DeviceIoControl(HANDLE hDevice, DWORD dwIoControlCode, LPVOID pInBuffer, DWORD nInBufferSize, LPVOID pOutBuffer,
                     DWORD nOutBufferSize, LPDWORD pBytesReturned, LPOVERLAPPED pOverlapped);

// Kernel-streaming requests on an object handle of the "TARN FILTER".
HRESULT KsSynchronousDeviceControl(HANDLE hHandle, ULONG nIoControl, PVOID pInBuffer, ULONG nInLength, PVOID pOutBuffer,
                                   ULONG nOutLength, PULONG pBytesReturned);

} // namespace devices
