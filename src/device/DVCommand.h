// AV/C frames to the camcorder's tape subunit through the DV driver's raw-command path: the
// maker's vendor-dependent status queries, the tape status, transport commands and PC information.
#pragma once

#include "device/DeviceClock.h"

#include <windows.h>

class DVDevice;

class DVCommand {
public:
    DVCommand(DVDevice& owner, DeviceClock& clock) : m_owner(owner), m_clock(clock) {}

    // Sends one raw frame, at most nTries times, and leaves the response in pFrame.
    HRESULT SendLowCommand(BYTE* pFrame, ULONG nLength, int nTries, DWORD dwRetryDelay);

    HRESULT GetDeviceDVControler(int& nState);
    HRESULT GetDeviceDVMode(int& nMode);
    HRESULT GetDeviceTapeEnd(BOOL& bAtEnd);
    HRESULT GetDeviceTapeStatus(int& nStatus, BOOL bAskTapeEnd);
    HRESULT SendDevicePCInfo(BOOL bDropsOccurred, int nNewDrops, int nRemainingMinutes, int nBatteryMinutes);
    HRESULT SendTransportCommand(BYTE byOpcode, BYTE byOperand);

private:
    DVDevice& m_owner;
    DeviceClock& m_clock;
    DWORD m_dwLastCommand = 0;  // tick at the end of the last raw command, 0: none yet
};
