// AV/C frames to the camcorder's tape subunit.
#include "device/DVCommand.h"
#include "device/DVDevice.h"

#include "device/DeviceTrace.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

// Frame header facts: response code REJECTED, and the frame positions the answers are read from.
constexpr BYTE ResponseRejected = 0x0A;
constexpr ULONG WorkingBufferBytes = 512;
constexpr DWORD CommandSpacingMs = 20;    // at least this long between two raw commands
constexpr DWORD RetryDelayMs = 100;
constexpr int StatusTries = 2;
constexpr int ControlTries = 3;
// A positive driver status turns into a failure of the Win32-error form (800705B4h for a time-out).
constexpr HRESULT Win32FailureBase = static_cast<HRESULT>(0x80070000);

// The maker's vendor-dependent status queries and the tape subunit's standard status queries.
constexpr BYTE FrameDVControl[] = {0x01, 0x20, 0x00, 0x00, 0x00, 0x3D, 0x00, 0x01, 0x30, 0xFF, 0xFF};
constexpr BYTE FrameDVMode[] = {0x01, 0x20, 0x00, 0x00, 0x00, 0x3D, 0x00, 0x10, 0x09, 0xFF, 0xFF, 0xFF, 0xFF};
constexpr BYTE FrameTapeEnd[] = {0x01, 0x20, 0x00, 0x00, 0x00, 0x3D, 0x00, 0x10, 0x12, 0xFF};
constexpr BYTE FrameTransportState[] = {0x01, 0x20, 0xD0, 0x7F};
constexpr BYTE FrameMediumInfo[] = {0x01, 0x20, 0xDA, 0x7F, 0x7F};
// PC information: header, five value bytes (9..13), ten bytes FFh.
constexpr BYTE FramePCInfoHeader[] = {0x00, 0x20, 0x00, 0x00, 0x00, 0x3D, 0x00, 0x01, 0x32};
constexpr ULONG PCInfoFrameBytes = 24;
constexpr ULONG PCInfoValues = 9;
constexpr BYTE ControlHeader[] = {0x00, 0x20};

// DV-control answer (byte 10) and DV-mode answer (bytes 9..11).
constexpr ULONG DVControlByte = 10;
constexpr ULONG ModeByteCamera = 9, ModeByteMedium = 10, ModeByteDetail = 11;
constexpr BYTE ModeCamera = 0x38, ModeNotCamera = 0x20;
constexpr BYTE MediumTape = 0x03, MediumCard = 0x01, MediumOther = 0x02;
constexpr ULONG TapeEndByte = 9;

// TRANSPORT STATE answer: transport mode (byte 2) and state (byte 3).
constexpr BYTE OpLoadMedium = 0xC1, OpRecord = 0xC2, OpWind = 0xC4, OpMediumInfo = 0xDA;
constexpr BYTE StateEject = 0x60, StateRecord = 0x75, StateStop = 0x60, StateWinding1 = 0x30, StateWinding2 = 0x31;
constexpr BYTE CassetteBlankCheck = 0x32, GradeA = 0x31, GradeB = 0x41;

std::string HexBytes(const BYTE* p, ULONG n) {
    std::string str;
    char sz[4];
    for (ULONG i = 0; i < n; ++i) {
        std::snprintf(sz, sizeof sz, "%02x ", p[i]);
        str += sz;
    }
    return str;
}

void TraceLine(int nLine, const char* format, const std::string& strValue) {
    char szText[2048];
    std::snprintf(szText, sizeof szText, format, strValue.c_str());
    TraceText(__FILE__, nLine, szText);
}

} // namespace

HRESULT DVCommand::SendLowCommand(BYTE* pFrame, ULONG nLength, int nTries, DWORD dwRetryDelay) {
    devices::ComPtr<devices::IBaseFilter> spDV = m_owner.GetDVFilter();
    if (TRACE_NULL(spDV.Get(), "spDV")) return E_FAIL;
    devices::ComPtr<devices::IAMExtTransport> spTransport;
    HRESULT hr = spDV->QueryInterface(devices::IID_IAMExtTransport, spTransport.AsVoid());
    if (TRACE_FAILED_HR(hr, "QueryInterface")) return hr;

    nLength = std::min(nLength, WorkingBufferBytes);
    BYTE abyBuffer[WorkingBufferBytes] = {};
    std::memcpy(abyBuffer, pFrame, nLength);
    for (;;) {
        if (m_dwLastCommand != 0) {
            const DWORD dwSince = m_clock.GetTickCount() - m_dwLastCommand;
            if (dwSince < CommandSpacingMs) m_clock.Sleep(CommandSpacingMs - dwSince);
        }
        LONG nSize = static_cast<LONG>(nLength);
        hr = spTransport->GetTransportBasicParameters(devices::ED_RAW_EXT_DEV_CMD, &nSize, reinterpret_cast<LPOLESTR*>(abyBuffer));
        m_dwLastCommand = m_clock.GetTickCount();
        if (hr == S_OK) break;
        if (hr < 0) {
            TRACE_FAILED_HR(hr, "GetTransportBasicParameters");
            break;
        }
        // The camcorder did not complete the command: record the request and what came back.
        char szResult[128];
        std::snprintf(szResult, sizeof szResult, "GetTransportBasicParameters() failed : hr = 0x%08lx(%ld)\n",
                      static_cast<unsigned long>(hr), static_cast<long>(hr));
        TraceText(__FILE__, __LINE__, szResult);
        TraceLine(__LINE__, "Req=%s\n", HexBytes(pFrame, nLength));
        TraceLine(__LINE__, "Res=%s\n", HexBytes(abyBuffer, static_cast<ULONG>(std::clamp<LONG>(nSize, 0, WorkingBufferBytes))));
        if (--nTries <= 0) {
            hr = Win32FailureBase | (hr & 0xFFFF);
            break;
        }
        std::memset(abyBuffer, 0, sizeof abyBuffer);
        std::memcpy(abyBuffer, pFrame, nLength);
        m_clock.Sleep(dwRetryDelay);
    }
    std::memcpy(pFrame, abyBuffer, nLength);
    return hr;
}

HRESULT DVCommand::GetDeviceDVControler(int& nState) {
    BYTE abyFrame[sizeof FrameDVControl];
    std::memcpy(abyFrame, FrameDVControl, sizeof abyFrame);
    const HRESULT hr = SendLowCommand(abyFrame, sizeof abyFrame, StatusTries, RetryDelayMs);
    if (TRACE_FAILED_HR(hr, "SendLowCommand")) return hr;
    if (abyFrame[DVControlByte] == 0x00) {
        nState = 0;
    } else {
        if (abyFrame[DVControlByte] != 0x01) {
            TRACE_TEXT_W(L"GetDeviceDVControler()内で、不明なレスポンスコードを検知した\n");
        }
        nState = 1;
    }
    return hr;
}

HRESULT DVCommand::GetDeviceDVMode(int& nMode) {
    BYTE abyFrame[sizeof FrameDVMode];
    std::memcpy(abyFrame, FrameDVMode, sizeof abyFrame);
    const HRESULT hr = SendLowCommand(abyFrame, sizeof abyFrame, StatusTries, RetryDelayMs);
    if (hr < 0 && abyFrame[0] == ResponseRejected) {
        nMode = 5;  // the camcorder refuses the query in its other modes
        return S_OK;
    }
    if (TRACE_FAILED_HR(hr, "SendLowCommand")) return hr;
    const BYTE byCamera = abyFrame[ModeByteCamera], byMedium = abyFrame[ModeByteMedium], byDetail = abyFrame[ModeByteDetail];
    int nResult = 2;
    if (byCamera == ModeCamera) {
        if (byMedium == MediumTape && (byDetail == 0x00 || byDetail == 0xFF)) nResult = 2;
        else if (byMedium == MediumCard) nResult = byDetail == 0x01 ? 6 : 4;
    } else if (byCamera == ModeNotCamera) {
        if (byMedium == MediumTape && (byDetail == 0x00 || byDetail == 0xFF)) nResult = 3;
        else if (byMedium == MediumTape && byDetail == 0x01) nResult = 7;
        else if (byMedium == MediumOther) nResult = 5;
    } else {
        TRACE_TEXT_W(L"GetDeviceDVMode()内で、不明なレスポンスコードを検知した\n");
    }
    nMode = nResult;
    return hr;
}

HRESULT DVCommand::GetDeviceTapeEnd(BOOL& bAtEnd) {
    BYTE abyFrame[sizeof FrameTapeEnd];
    std::memcpy(abyFrame, FrameTapeEnd, sizeof abyFrame);
    const HRESULT hr = SendLowCommand(abyFrame, sizeof abyFrame, StatusTries, RetryDelayMs);
    if (TRACE_FAILED_HR(hr, "SendLowCommand")) return hr;
    bAtEnd = abyFrame[TapeEndByte] == 0x00;
    return hr;
}

HRESULT DVCommand::GetDeviceTapeStatus(int& nStatus, BOOL bAskTapeEnd) {
    BYTE abyState[sizeof FrameTransportState];
    std::memcpy(abyState, FrameTransportState, sizeof abyState);
    HRESULT hr = SendLowCommand(abyState, sizeof abyState, StatusTries, RetryDelayMs);
    if (TRACE_FAILED_HR(hr, "SendLowCommand")) return hr;
    const BYTE byMode = abyState[2], byState = abyState[3];
    int nResult = 4;
    if (byMode == OpLoadMedium && byState == StateEject) {
        nResult = 1;
    } else if (byMode == OpRecord && byState == StateRecord) {
        nResult = 5;
    } else if (byMode == OpWind && (byState == StateWinding1 || byState == StateWinding2)) {
        nResult = 0;
    } else if (byMode == OpWind && byState == StateStop) {
        BYTE abyMedium[sizeof FrameMediumInfo];
        std::memcpy(abyMedium, FrameMediumInfo, sizeof abyMedium);
        hr = SendLowCommand(abyMedium, sizeof abyMedium, StatusTries, RetryDelayMs);
        if (TRACE_FAILED_HR(hr, "SendLowCommand")) return hr;
        if (abyMedium[2] == OpMediumInfo && abyMedium[3] == CassetteBlankCheck && (abyMedium[4] == GradeA || abyMedium[4] == GradeB)) {
            nResult = 2;
        } else if (bAskTapeEnd) {
            BOOL bAtEnd = FALSE;
            hr = GetDeviceTapeEnd(bAtEnd);
            if (TRACE_FAILED_HR(hr, "GetDeviceTapeEnd")) return hr;
            if (bAtEnd) nResult = 3;
        }
    }
    nStatus = nResult;
    return hr;
}

HRESULT DVCommand::SendDevicePCInfo(BOOL bDropsOccurred, int nNewDrops, int nRemainingMinutes, int nBatteryMinutes) {
    constexpr int MaxNewDrops = 127;
    constexpr int MaxRemaining = 0xFFFE, MaxBattery = 0xFFFD;
    constexpr int Unknown = 0xFFFF, OnMains = 0xFFFE;
    BYTE abyFrame[PCInfoFrameBytes];
    std::memset(abyFrame, 0xFF, sizeof abyFrame);
    std::memcpy(abyFrame, FramePCInfoHeader, sizeof FramePCInfoHeader);
    abyFrame[PCInfoValues] = static_cast<BYTE>((bDropsOccurred ? 0x80 : 0x00) | std::clamp(nNewDrops, 0, MaxNewDrops));
    const int nRemaining = nRemainingMinutes == -1 ? Unknown : std::clamp(nRemainingMinutes, 0, MaxRemaining);
    const int nBattery = nBatteryMinutes == -1 ? Unknown : nBatteryMinutes == -2 ? OnMains : std::clamp(nBatteryMinutes, 0, MaxBattery);
    abyFrame[PCInfoValues + 1] = static_cast<BYTE>(nRemaining >> 8);
    abyFrame[PCInfoValues + 2] = static_cast<BYTE>(nRemaining & 0xFF);
    abyFrame[PCInfoValues + 3] = static_cast<BYTE>(nBattery >> 8);
    abyFrame[PCInfoValues + 4] = static_cast<BYTE>(nBattery & 0xFF);
    const HRESULT hr = SendLowCommand(abyFrame, sizeof abyFrame, ControlTries, RetryDelayMs);
    TRACE_FAILED_HR(hr, "SendLowCommand");
    return hr;
}

HRESULT DVCommand::SendTransportCommand(BYTE byOpcode, BYTE byOperand) {
    BYTE abyFrame[] = {ControlHeader[0], ControlHeader[1], byOpcode, byOperand};
    const HRESULT hr = SendLowCommand(abyFrame, sizeof abyFrame, ControlTries, RetryDelayMs);
    TRACE_FAILED_HR(hr, "SendLowCommand");
    return hr;
}
