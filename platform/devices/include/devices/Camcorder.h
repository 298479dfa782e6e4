// A camcorder of the simulated bus: its settings, its tape transport and its AV/C tape subunit.
// Not thread-safe by itself: the bus serialises every access.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace devices {

enum class CamcorderMode { Camera, Vcr };
enum class Medium { Tape, Card };
enum class Transport { NoCassette, Stopped, Recording, RecordPause, Winding, EndOfTape };
enum class VideoSystem { Lines525, Lines625 };
enum class AudioMode { Pcm48k16, Pcm32k12 };

// Which command a fault applies to.
enum class AvcCommandKind { Any, DVControl, DVMode, TapeEnd, TransportState, MediumInfo, PcInfo, TransportControl, Other };
enum class AvcFaultType { None, Refuse, TimeOut };

// Commands of one kind that fail: nCount of them (-1: every one until cleared).
struct AvcFault {
    AvcFaultType type = AvcFaultType::None;
    AvcCommandKind kind = AvcCommandKind::Any;
    int nCount = 0;
    bool operator==(const AvcFault&) const = default;
};

// How the camcorder's entry in the device list answers: its property bag and its filter.
enum class BagFault { None, Unbound, Unreadable };   // the bag cannot be had, or its values cannot be read
enum class BindFault { None, Fails, Empty };         // binding the filter fails, or succeeds with no object

struct CamcorderSettings {
    std::wstring strVendor = L"tavin";        // first "&" piece of the device path
    std::wstring strModel = L"selkie_ze";     // second "&" piece
    CamcorderMode mode = CamcorderMode::Camera;
    Medium medium = Medium::Tape;
    Transport transport = Transport::Stopped;
    bool bDVControl = true;
    bool bAnswersDVControl = true;            // FALSE: the vendor DV-control query is not implemented
    int nDVControlByte = -1;                  // raw answer byte 10 of the DV-control query; -1: from bDVControl
    VideoSystem system = VideoSystem::Lines525;
    bool bWide = false;                       // 16:9
    int nFrameMode = 60;                      // 60, 30 or 24 (frames per second of the picture)
    AudioMode audio = AudioMode::Pcm48k16;
    // Raw answer bytes 9..11 of the DV-mode query; empty: derived from mode and medium.
    std::vector<uint8_t> vecModeBytes;
    // MEDIUM INFO answer bytes 3 and 4 (cassette type, tape grade and write protection).
    uint8_t byCassetteType = 0x31;
    uint8_t byTapeGrade = 0x30;
    // Raw TRANSPORT STATE answer bytes 2 and 3 (transport mode and state); empty: from transport.
    std::vector<uint8_t> vecTransportBytes;
    bool bSending = true;                     // FALSE: the camcorder sends no frames
    AvcFault fault;                           // commands the camcorder refuses or lets time out
    BagFault bag = BagFault::None;
    BindFault bind = BindFault::None;
    bool operator==(const CamcorderSettings&) const = default;
};

// What the computer last told this camcorder.
struct PcReport {
    int nTapeState = -1;          // last state sent through the virtual VCR, -1 when none
    int nTapeStateSends = 0;
    bool bPcInfoSeen = false;
    uint8_t abyPcInfo[5] = {};    // bytes 9..13 of the last PC-information frame
    int nPcInfoSends = 0;
};

// Frames the bus is to lose next.
struct StreamControl {
    int nDropPending = 0;
};

struct AvcLogEntry {
    DWORD dwTick;
    std::vector<uint8_t> vecRequest;
    std::vector<uint8_t> vecResponse;
    HRESULT hrDriver;
};

class Camcorder {
public:
    explicit Camcorder(const CamcorderSettings& settings) : m_settings(settings) {}

    CamcorderSettings& Settings() { return m_settings; }
    const CamcorderSettings& Settings() const { return m_settings; }
    PcReport& Report() { return m_report; }
    StreamControl& Stream() { return m_stream; }
    // Fault injection: nCount commands of the kind fail (-1: every one until cleared, 0: none).
    void SetFault(AvcFaultType type, AvcCommandKind kind, int nCount) { m_settings.fault = AvcFault{nCount == 0 ? AvcFaultType::None : type, kind, nCount}; }

    // Handles one raw frame of nLength bytes in pBuffer (capacity MaxAvcFrame); the response is
    // written over it and its length stored in nResponseLength. Returns 0, a positive driver
    // status (time-out, refused, not implemented) or a negative failure for a malformed request.
    HRESULT HandleAvcFrame(uint8_t* pBuffer, ULONG nLength, ULONG& nResponseLength, DWORD dwTick);


    // Every frame seen, and the ones the tape subunit does not recognise.
    const std::vector<AvcLogEntry>& Log() const { return m_vecLog; }
    const std::vector<std::vector<uint8_t>>& UnknownRequests() const { return m_vecUnknown; }
    void ClearLog() { m_vecLog.clear(); m_vecUnknown.clear(); }

    static AvcCommandKind Classify(const uint8_t* pFrame, ULONG nLength);

private:
    HRESULT Answer(uint8_t* pFrame, ULONG nLength);
    HRESULT AnswerVendorStatus(uint8_t* pFrame, ULONG nLength);
    HRESULT AnswerControl(uint8_t* pFrame, ULONG nLength);
    void ModeBytes(uint8_t* pOut) const;
    HRESULT NotImplemented(uint8_t* pFrame, ULONG nLength);

    CamcorderSettings m_settings;
    PcReport m_report;
    StreamControl m_stream;
    std::vector<AvcLogEntry> m_vecLog;
    std::vector<std::vector<uint8_t>> m_vecUnknown;
};

} // namespace devices
