// The camcorder's AV/C tape subunit: checks each request byte for byte and answers it.
#include "devices/Camcorder.h"
#include "devices/DeviceTypes.h"

#include <algorithm>
#include <cstring>

namespace devices {
namespace {

// Frame header: command type / response code, subunit address, opcode.
constexpr uint8_t CtypeControl = 0x00;
constexpr uint8_t CtypeStatus = 0x01;
constexpr uint8_t RespNotImplemented = 0x08;
constexpr uint8_t RespAccepted = 0x09;
constexpr uint8_t RespRejected = 0x0A;
constexpr uint8_t RespStable = 0x0C;          // IMPLEMENTED/STABLE for status commands
constexpr uint8_t TapeSubunitAddress = 0x20;  // subunit type 4 (tape recorder/player), id 0

constexpr uint8_t OpVendorDependent = 0x00;
constexpr uint8_t OpLoadMedium = 0xC1;
constexpr uint8_t OpRecord = 0xC2;
constexpr uint8_t OpWind = 0xC4;
constexpr uint8_t OpTransportState = 0xD0;
constexpr uint8_t OpMediumInfo = 0xDA;

constexpr uint8_t OperandEject = 0x60;
constexpr uint8_t OperandStop = 0x60;
constexpr uint8_t OperandRecord = 0x75;
constexpr uint8_t OperandRecordPause = 0x7D;
constexpr uint8_t OperandWinding = 0x30;
constexpr uint8_t OperandInquiry = 0x7F;

// The maker's company_id follows the vendor-dependent opcode.
constexpr uint8_t CompanyId[3] = {0x00, 0x00, 0x3D};

// Vendor data of the maker's commands (after the company_id), with their exact frame lengths.
constexpr uint8_t VendorDVControl[] = {0x00, 0x01, 0x30, 0xFF, 0xFF};
constexpr uint8_t VendorDVMode[] = {0x00, 0x10, 0x09, 0xFF, 0xFF, 0xFF, 0xFF};
constexpr uint8_t VendorTapeEnd[] = {0x00, 0x10, 0x12, 0xFF};
constexpr uint8_t VendorPcInfo[] = {0x00, 0x01, 0x32};
constexpr ULONG VendorDataOffset = 6;
constexpr ULONG PcInfoValuesOffset = 9;
constexpr ULONG PcInfoValueCount = 5;
constexpr ULONG PcInfoFrameLength = 24;

// Driver statuses for commands the camcorder did not complete (positive, Win32 error numbers).
constexpr HRESULT DriverTimeOut = ERROR_TIMEOUT;
constexpr HRESULT DriverRejected = ERROR_REQ_NOT_ACCEP;
constexpr HRESULT DriverNotImplemented = ERROR_NOT_SUPPORTED;

bool IsVendorFrame(const uint8_t* pFrame, ULONG nLength) {
    return nLength >= VendorDataOffset && pFrame[2] == OpVendorDependent && std::memcmp(pFrame + 3, CompanyId, 3) == 0;
}

bool VendorDataIs(const uint8_t* pFrame, ULONG nLength, const uint8_t* pData, ULONG nData) {
    return nLength == VendorDataOffset + nData && std::memcmp(pFrame + VendorDataOffset, pData, nData) == 0;
}

bool VendorPrefixIs(const uint8_t* pFrame, ULONG nLength, const uint8_t* pData, ULONG nData) {
    return nLength >= VendorDataOffset + nData && std::memcmp(pFrame + VendorDataOffset, pData, nData) == 0;
}

} // namespace

AvcCommandKind Camcorder::Classify(const uint8_t* pFrame, ULONG nLength) {
    if (nLength < 3) return AvcCommandKind::Other;
    if (IsVendorFrame(pFrame, nLength)) {
        if (VendorPrefixIs(pFrame, nLength, VendorDVControl, 3)) return AvcCommandKind::DVControl;
        if (VendorPrefixIs(pFrame, nLength, VendorDVMode, 3)) return AvcCommandKind::DVMode;
        if (VendorPrefixIs(pFrame, nLength, VendorTapeEnd, 3)) return AvcCommandKind::TapeEnd;
        if (VendorPrefixIs(pFrame, nLength, VendorPcInfo, 3)) return AvcCommandKind::PcInfo;
        return AvcCommandKind::Other;
    }
    if (pFrame[2] == OpTransportState) return AvcCommandKind::TransportState;
    if (pFrame[2] == OpMediumInfo) return AvcCommandKind::MediumInfo;
    if (pFrame[0] == CtypeControl && (pFrame[2] == OpRecord || pFrame[2] == OpWind)) return AvcCommandKind::TransportControl;
    return AvcCommandKind::Other;
}

HRESULT Camcorder::HandleAvcFrame(uint8_t* pBuffer, ULONG nLength, ULONG& nResponseLength, DWORD dwTick) {
    nResponseLength = 0;
    // The driver refuses what cannot be an AV/C frame before the camcorder sees it.
    if (pBuffer == nullptr || nLength < 3 || nLength > MaxAvcFrame) return E_INVALIDARG;

    AvcLogEntry entry{dwTick, std::vector<uint8_t>(pBuffer, pBuffer + nLength), {}, S_OK};
    AvcFaultType fault = AvcFaultType::None;
    AvcFault& pending = m_settings.fault;
    if (pending.type != AvcFaultType::None && pending.nCount != 0 &&
        (pending.kind == AvcCommandKind::Any || pending.kind == Classify(pBuffer, nLength))) {
        fault = pending.type;
        if (pending.nCount > 0 && --pending.nCount == 0) pending.type = AvcFaultType::None;
    }

    HRESULT hr;
    if (fault == AvcFaultType::TimeOut) {
        hr = DriverTimeOut;  // no response arrived: the buffer keeps the request
    } else if (fault == AvcFaultType::Refuse) {
        pBuffer[0] = RespRejected;
        nResponseLength = nLength;
        hr = DriverRejected;
    } else {
        hr = Answer(pBuffer, nLength);
        nResponseLength = nLength;
    }
    entry.hrDriver = hr;
    entry.vecResponse.assign(pBuffer, pBuffer + nResponseLength);
    m_vecLog.push_back(std::move(entry));
    return hr;
}

HRESULT Camcorder::NotImplemented(uint8_t* pFrame, ULONG nLength) {
    m_vecUnknown.emplace_back(pFrame, pFrame + nLength);
    pFrame[0] = RespNotImplemented;
    return DriverNotImplemented;
}

void Camcorder::ModeBytes(uint8_t* pOut) const {
    if (m_settings.vecModeBytes.size() == 3) {
        std::copy(m_settings.vecModeBytes.begin(), m_settings.vecModeBytes.end(), pOut);
        return;
    }
    const bool bCamera = m_settings.mode == CamcorderMode::Camera;
    pOut[0] = bCamera ? 0x38 : 0x20;  // camera mode / not camera mode
    if (m_settings.medium == Medium::Tape) {
        pOut[1] = 0x03;
        pOut[2] = 0x00;
    } else {
        pOut[1] = bCamera ? 0x01 : 0x02;  // card
        pOut[2] = 0x00;
    }
}

HRESULT Camcorder::Answer(uint8_t* pFrame, ULONG nLength) {
    if (pFrame[1] != TapeSubunitAddress) return NotImplemented(pFrame, nLength);
    if (pFrame[0] == CtypeStatus) {
        if (IsVendorFrame(pFrame, nLength)) return AnswerVendorStatus(pFrame, nLength);
        if (pFrame[2] == OpTransportState && nLength == 4 && pFrame[3] == OperandInquiry) {
            static constexpr uint8_t States[][2] = {
                {OpLoadMedium, OperandEject},      // NoCassette
                {OpWind, OperandStop},             // Stopped
                {OpRecord, OperandRecord},         // Recording
                {OpRecord, OperandRecordPause},    // RecordPause
                {OpWind, OperandWinding},          // Winding
                {OpWind, OperandStop},             // EndOfTape
            };
            const auto& state = States[static_cast<int>(m_settings.transport)];
            const bool bRaw = m_settings.vecTransportBytes.size() == 2;
            pFrame[0] = RespStable;
            pFrame[2] = bRaw ? m_settings.vecTransportBytes[0] : state[0];
            pFrame[3] = bRaw ? m_settings.vecTransportBytes[1] : state[1];
            return S_OK;
        }
        if (pFrame[2] == OpMediumInfo && nLength == 5 && pFrame[3] == OperandInquiry && pFrame[4] == OperandInquiry) {
            pFrame[0] = RespStable;
            pFrame[3] = m_settings.byCassetteType;
            pFrame[4] = m_settings.byTapeGrade;
            return S_OK;
        }
        return NotImplemented(pFrame, nLength);
    }
    if (pFrame[0] == CtypeControl) return AnswerControl(pFrame, nLength);
    return NotImplemented(pFrame, nLength);
}

HRESULT Camcorder::AnswerVendorStatus(uint8_t* pFrame, ULONG nLength) {
    if (VendorDataIs(pFrame, nLength, VendorDVControl, sizeof VendorDVControl)) {
        if (!m_settings.bAnswersDVControl) return NotImplemented(pFrame, nLength);
        pFrame[0] = RespStable;
        pFrame[10] = m_settings.nDVControlByte >= 0 ? static_cast<uint8_t>(m_settings.nDVControlByte) : m_settings.bDVControl ? 0x01 : 0x00;
        return S_OK;
    }
    if (VendorDataIs(pFrame, nLength, VendorDVMode, sizeof VendorDVMode)) {
        pFrame[0] = RespStable;
        ModeBytes(pFrame + 9);
        return S_OK;
    }
    if (VendorDataIs(pFrame, nLength, VendorTapeEnd, sizeof VendorTapeEnd)) {
        pFrame[0] = RespStable;
        pFrame[9] = m_settings.transport == Transport::EndOfTape ? 0x00 : 0x01;
        return S_OK;
    }
    return NotImplemented(pFrame, nLength);
}

HRESULT Camcorder::AnswerControl(uint8_t* pFrame, ULONG nLength) {
    if (IsVendorFrame(pFrame, nLength)) {
        // PC information: the five values, then ten bytes FFh, exactly.
        if (nLength != PcInfoFrameLength || !VendorPrefixIs(pFrame, nLength, VendorPcInfo, sizeof VendorPcInfo)) {
            return NotImplemented(pFrame, nLength);
        }
        for (ULONG i = PcInfoValuesOffset + PcInfoValueCount; i < nLength; ++i) {
            if (pFrame[i] != 0xFF) return NotImplemented(pFrame, nLength);
        }
        std::memcpy(m_report.abyPcInfo, pFrame + PcInfoValuesOffset, PcInfoValueCount);
        m_report.bPcInfoSeen = true;
        ++m_report.nPcInfoSends;
        pFrame[0] = RespAccepted;
        return S_OK;
    }
    if (nLength != 4) return NotImplemented(pFrame, nLength);
    Transport& transport = m_settings.transport;
    const bool bTape = transport != Transport::NoCassette && m_settings.medium == Medium::Tape;
    if (pFrame[2] == OpRecord && (pFrame[3] == OperandRecord || pFrame[3] == OperandRecordPause)) {
        if (!bTape || transport == Transport::EndOfTape || m_settings.mode != CamcorderMode::Camera) {
            pFrame[0] = RespRejected;
            return DriverRejected;
        }
        transport = pFrame[3] == OperandRecord ? Transport::Recording : Transport::RecordPause;
        pFrame[0] = RespAccepted;
        return S_OK;
    }
    if (pFrame[2] == OpWind && pFrame[3] == OperandStop) {
        if (!bTape) {
            pFrame[0] = RespRejected;
            return DriverRejected;
        }
        if (transport != Transport::EndOfTape) transport = Transport::Stopped;
        pFrame[0] = RespAccepted;
        return S_OK;
    }
    return NotImplemented(pFrame, nLength);
}

} // namespace devices
