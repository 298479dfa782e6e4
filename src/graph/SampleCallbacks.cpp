// Sample callbacks of the graphs.
#include "graph/SampleCallbacks.h"

#include "core/DebugTrace.h"
#include "device/DeviceEvents.h"
#include "devices/ComPtr.h"
#include "files/DvFrameFields.h"

#include <algorithm>
#include <array>

using namespace media;

namespace {

// Level reached by meter index i (16-bit sample values; about -50 dBFS up to full scale).
constexpr std::array<int, LevelMeterCB::MaxLevel + 1> LevelThresholds = {
    0,    104,  184,  328,  413,  518,  652,  822,  1036,  1304,  1640,  2064,  2600,
    3272, 4112, 5184, 6528, 8224, 10336, 13024, 16384, 20672, 25984, 29184, 32704};
constexpr double PeakHoldSeconds = 1.0;
constexpr int BytesPerStereoFrame = 4;

double TickSeconds() {
    return ::GetTickCount() / 1000.0;
}

}  // namespace

HRESULT UncountedSampleCallback::QueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    if (IsEqualGUID(riid, IID_ISampleGrabberCB) || IsEqualGUID(riid, IID_IUnknown)) {
        *ppv = static_cast<ISampleGrabberCB*>(this);
        return S_OK;
    }
    return E_NOTIMPL;
}

HRESULT UncountedSampleCallback::Attach(IBaseFilter* pGrabber) {
    if (TRACE_NULL(pGrabber, "pGrabber")) return E_POINTER;
    devices::ComPtr<ISampleGrabber> spGrabber;
    HRESULT hr = pGrabber->QueryInterface(IID_ISampleGrabber, spGrabber.AsVoid());
    if (TRACE_FAILED_HR(hr, "QueryInterface")) return hr;
    spGrabber->SetOneShot(FALSE);
    spGrabber->SetBufferSamples(FALSE);
    hr = spGrabber->SetCallback(this, 1);
    TRACE_FAILED_HR(hr, "SetCallback");
    return hr;
}

// ---- DVCapCB ----------------------------------------------------------------------------------
// The fixed places are those the file readers look at in a recording's first frame.
int DVCapCB::ReadWideFlag(const BYTE* pFrame, long nLength) {
    return ReadDvWideScreenFlag(pFrame, static_cast<size_t>(std::max(nLength, 0L)));
}

int DVCapCB::ReadFrameMode(const BYTE* pFrame, long nLength) {
    return ReadDvFrameMode(pFrame, static_cast<size_t>(std::max(nLength, 0L)));
}

int DVCapCB::ReadAudioMode(const BYTE* pFrame, long nLength) {
    return ReadDvAudioMode(pFrame, static_cast<size_t>(std::max(nLength, 0L)));
}

HRESULT DVCapCB::SetCallback(IBaseFilter* pGrabber, const DeviceEventChannel* pManager, int nAspectEvent, int nFormatEvent) {
    const HRESULT hr = Attach(pGrabber);
    if (FAILED(hr)) return hr;
    m_pManager = pManager;
    m_nAspectEvent = nAspectEvent;
    m_nFormatEvent = nFormatEvent;
    m_dLastSampleTime = 0.0;
    m_bFirstBuffer = true;
    return S_OK;
}

void DVCapCB::Post(int nCode, LPARAM lParam) const {
    if (m_pManager) m_pManager->NotifyEvent(nCode, lParam, TRUE);
}

HRESULT DVCapCB::BufferCB(double SampleTime, BYTE* pBuffer, long BufferLen) {
    const int nWide = ReadWideFlag(pBuffer, BufferLen);
    if (m_bFirstBuffer || nWide != m_nLastWide) {
        m_nLastWide = nWide;
        Post(m_nAspectEvent, nWide);
    }
    const int nFrameMode = ReadFrameMode(pBuffer, BufferLen);
    // Only a change into or out of 24 frames a second is a format change.
    if ((m_nLastFrameMode == 24) != (nFrameMode == 24)) Post(m_nFormatEvent, m_nLastFrameMode);
    m_nLastFrameMode = nFrameMode;
    const int nAudioMode = ReadAudioMode(pBuffer, BufferLen);
    if (m_bFirstBuffer || nAudioMode != m_nLastAudioMode) {
        m_nLastAudioMode = nAudioMode;
        if (!m_bFirstBuffer) Post(m_nFormatEvent, nAudioMode);
    }
    m_bFirstBuffer = false;
    m_dLastSampleTime = SampleTime;
    return S_OK;
}

// ---- LevelMeterCB -----------------------------------------------------------------------------
int LevelMeterCB::LevelToIndex(int nLevel) {
    for (int i = MaxLevel; i >= 1; --i)
        if (nLevel >= LevelThresholds[static_cast<size_t>(i)]) return i;
    return 0;
}

void LevelMeterCB::Reset() {
    for (Channel* pChannel : {&m_left, &m_right}) {
        pChannel->nLevel = 0;
        pChannel->nIndex = 0;
        pChannel->nPeakIndex = 0;
        pChannel->dPeakTime = 0.0;
    }
}

HRESULT LevelMeterCB::SetCallback(IBaseFilter* pGrabber) {
    Reset();
    return Attach(pGrabber);
}

LevelMeterCB::Levels LevelMeterCB::GetLevels() const {
    Levels levels;
    levels.nLeft = m_left.nIndex.load();
    levels.nRight = m_right.nIndex.load();
    levels.nLeftPeak = m_left.nPeakIndex.load();
    levels.nRightPeak = m_right.nPeakIndex.load();
    return levels;
}

void LevelMeterCB::Update(Channel& channel, int nPeak, double dNow) {
    // The meter falls by 0.64 a buffer, computed in integers.
    const int nLevel = std::max(nPeak, ((channel.nLevel.load() * 64) / 10) / 10);
    const int nIndex = LevelToIndex(nLevel);
    channel.nLevel = nLevel;
    channel.nIndex = nIndex;
    if (channel.dPeakTime == 0.0 || dNow - PeakHoldSeconds > channel.dPeakTime || channel.nPeakIndex.load() < nIndex) {
        channel.dPeakTime = dNow;
        channel.nPeakIndex = nIndex;
    }
}

HRESULT LevelMeterCB::BufferCB(double, BYTE* pBuffer, long BufferLen) {
    const long nFrames = pBuffer == nullptr ? 0 : BufferLen / BytesPerStereoFrame;
    int nPeakLeft = 0;
    int nPeakRight = 0;
    for (long n = 0; n < nFrames; ++n) {
        const BYTE* p = pBuffer + n * BytesPerStereoFrame;
        const int nLeft = static_cast<int16_t>(p[0] | (p[1] << 8));
        const int nRight = static_cast<int16_t>(p[2] | (p[3] << 8));
        nPeakLeft = std::max(nPeakLeft, nLeft);
        nPeakRight = std::max(nPeakRight, nRight);
    }
    const double dNow = m_fnNow ? m_fnNow() : TickSeconds();
    Update(m_left, nPeakLeft, dNow);
    Update(m_right, nPeakRight, dNow);
    return S_OK;
}
