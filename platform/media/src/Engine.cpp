// Media types, pins and the filter base.
#include "Engine.h"

#include "dv/Audio.h"
#include "dv/Packs.h"

#include <chrono>
#include <cstring>
#include <optional>

namespace media {
namespace {

constexpr DWORD FourCCdvsd = MAKEFOURCC('d', 'v', 's', 'd');
constexpr int DVFrameWidth = 720;
constexpr int DVHeight525 = 480;
constexpr int DVHeight625 = 576;
constexpr DWORD DVBitRate = 28800000;  // about 3.6 MB/s of DV frames

// The DVINFO that may follow a DV type's video-info block: six pack DWORDs (AAUX source and
// control of both channel pairs, VAUX source and control) and two reserved. A pack DWORD holds
// the pack's four data bytes from its low byte up; FFFFFFFFh is "no information".
namespace dvinfo {
constexpr size_t Size = 32;
constexpr size_t AudioSourceOffset = 0;  // dwDVAAuxSrc
constexpr DWORD NoInfo = 0xFFFFFFFF;
}  // namespace dvinfo

std::optional<dv::SampleRate> SampleRateOf(DWORD nHz) {
    switch (nHz) {
    case 48000: return dv::SampleRate::Rate48k;
    case 44100: return dv::SampleRate::Rate44k1;
    case 32000: return dv::SampleRate::Rate32k;
    default: return std::nullopt;
    }
}

void PutDword(uint8_t* p, DWORD dw) {
    for (int n = 0; n < 4; ++n) p[n] = static_cast<uint8_t>(dw >> (8 * n));
}

DWORD GetDword(const uint8_t* p) {
    return static_cast<DWORD>(p[0]) | static_cast<DWORD>(p[1]) << 8 | static_cast<DWORD>(p[2]) << 16 | static_cast<DWORD>(p[3]) << 24;
}

// A DVINFO whose only pack is the AAUX source of 16-bit stereo at the rate.
void AppendDVInfo(MediaType& mt, bool b625Lines, dv::SampleRate rate) {
    dv::AudioSource source;
    source.system = b625Lines ? dv::System::System625_50 : dv::System::System525_60;
    source.rate = rate;
    source.nSamples = dv::LockedSamplesPerFrame(source.system, rate, 0);
    const dv::Pack pack = dv::MakeAudioSourcePack(source);
    const size_t nAt = mt.vecFormat.size();
    mt.vecFormat.resize(nAt + dvinfo::Size);
    for (size_t n = 0; n < dvinfo::Size; n += 4) PutDword(&mt.vecFormat[nAt + n], dvinfo::NoInfo);
    std::memcpy(&mt.vecFormat[nAt + dvinfo::AudioSourceOffset], &pack[1], 4);
}

}  // namespace

// ---- media types ------------------------------------------------------------------------------
bool MediaType::IsA(const GUID& majorType, const GUID& subType) const {
    return IsEqualGUID(major, majorType) && IsEqualGUID(sub, subType);
}

const VIDEOINFOHEADER* MediaType::VideoInfo() const {
    if (!IsEqualGUID(format, FORMAT_VideoInfo) || vecFormat.size() < sizeof(VIDEOINFOHEADER)) return nullptr;
    return reinterpret_cast<const VIDEOINFOHEADER*>(vecFormat.data());
}

const WAVEFORMATEX* MediaType::WaveFormat() const {
    if (!IsEqualGUID(format, FORMAT_WaveFormatEx) || vecFormat.size() < sizeof(WAVEFORMATEX)) return nullptr;
    return reinterpret_cast<const WAVEFORMATEX*>(vecFormat.data());
}

static MediaType MakeVideoInfoType(const GUID& major, const GUID& sub, int nWidth, int nHeight, WORD nBits, DWORD dwCompression,
                                   DWORD dwImageSize, REFERENCE_TIME rtFrame, DWORD dwBitRate) {
    MediaType mt;
    mt.major = major;
    mt.sub = sub;
    mt.format = FORMAT_VideoInfo;
    VIDEOINFOHEADER vih{};
    vih.rcSource = RECT{0, 0, nWidth, nHeight};
    vih.rcTarget = vih.rcSource;
    vih.dwBitRate = dwBitRate;
    vih.AvgTimePerFrame = rtFrame;
    vih.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    vih.bmiHeader.biWidth = nWidth;
    vih.bmiHeader.biHeight = nHeight;
    vih.bmiHeader.biPlanes = 1;
    vih.bmiHeader.biBitCount = nBits;
    vih.bmiHeader.biCompression = dwCompression;
    vih.bmiHeader.biSizeImage = dwImageSize;
    mt.vecFormat.resize(sizeof(vih));
    std::memcpy(mt.vecFormat.data(), &vih, sizeof(vih));
    return mt;
}

MediaType MakeDVType(const GUID& major, bool b625Lines, DWORD nAudioRate) {
    const int nHeight = b625Lines ? DVHeight625 : DVHeight525;
    const DWORD dwFrame = b625Lines ? 144000 : 120000;
    MediaType mt = MakeVideoInfoType(major, MEDIASUBTYPE_dvsd, DVFrameWidth, nHeight, 24, FourCCdvsd, dwFrame,
                                     b625Lines ? FramePeriod625 : FramePeriod525, DVBitRate);
    if (const auto rate = SampleRateOf(nAudioRate)) AppendDVInfo(mt, b625Lines, *rate);
    return mt;
}

DWORD DVTypeAudioRate(const MediaType& mt) {
    if (mt.VideoInfo() == nullptr || mt.vecFormat.size() < sizeof(VIDEOINFOHEADER) + dvinfo::Size) return 0;
    const uint8_t* pInfo = mt.vecFormat.data() + sizeof(VIDEOINFOHEADER);
    const DWORD dwSource = GetDword(pInfo + dvinfo::AudioSourceOffset);
    if (dwSource == dvinfo::NoInfo) return 0;
    dv::Pack pack{dv::pack::kAudioSource};
    std::memcpy(&pack[1], pInfo + dvinfo::AudioSourceOffset, 4);
    const auto source = dv::ParseAudioSourcePack(pack);
    return source ? static_cast<DWORD>(dv::SampleRateHz(source->rate)) : 0;
}

bool IsDVType(const MediaType& mt, const GUID& major) {
    return mt.IsA(major, MEDIASUBTYPE_dvsd) && mt.VideoInfo() != nullptr;
}

bool DVTypeIs625(const MediaType& mt) {
    const VIDEOINFOHEADER* pVih = mt.VideoInfo();
    return pVih != nullptr && pVih->bmiHeader.biHeight == DVHeight625;
}

MediaType MakePcmType(DWORD nSamplesPerSec, WORD nChannels) {
    MediaType mt;
    mt.major = MEDIATYPE_Audio;
    mt.sub = MEDIASUBTYPE_PCM;
    mt.format = FORMAT_WaveFormatEx;
    WAVEFORMATEX wfx{};
    wfx.wFormatTag = WAVE_FORMAT_PCM;
    wfx.nChannels = nChannels;
    wfx.nSamplesPerSec = nSamplesPerSec;
    wfx.wBitsPerSample = 16;
    wfx.nBlockAlign = static_cast<WORD>(nChannels * 2);
    wfx.nAvgBytesPerSec = nSamplesPerSec * wfx.nBlockAlign;
    mt.vecFormat.resize(sizeof(wfx));
    std::memcpy(mt.vecFormat.data(), &wfx, sizeof(wfx));
    return mt;
}

MediaType MakeRgb24Type(int nWidth, int nHeight, REFERENCE_TIME rtFrame) {
    const DWORD dwImage = static_cast<DWORD>(Rgb24Stride(nWidth) * nHeight);
    return MakeVideoInfoType(MEDIATYPE_Video, MEDIASUBTYPE_RGB24, nWidth, nHeight, 24, BI_RGB, dwImage, rtFrame, 0);
}

HRESULT CopyToAmMediaType(const MediaType& mt, AM_MEDIA_TYPE* pOut) {
    if (pOut == nullptr) return E_POINTER;
    *pOut = AM_MEDIA_TYPE{};
    pOut->majortype = mt.major;
    pOut->subtype = mt.sub;
    pOut->formattype = mt.format;
    pOut->bFixedSizeSamples = TRUE;
    if (!mt.vecFormat.empty()) {
        pOut->pbFormat = static_cast<BYTE*>(::CoTaskMemAlloc(mt.vecFormat.size()));
        if (pOut->pbFormat == nullptr) return E_OUTOFMEMORY;
        std::memcpy(pOut->pbFormat, mt.vecFormat.data(), mt.vecFormat.size());
        pOut->cbFormat = static_cast<ULONG>(mt.vecFormat.size());
    }
    return S_OK;
}

void FreeMediaType(AM_MEDIA_TYPE& mt) {
    if (mt.pbFormat) ::CoTaskMemFree(mt.pbFormat);
    mt.pbFormat = nullptr;
    mt.cbFormat = 0;
    if (mt.pUnk) mt.pUnk->Release();
    mt.pUnk = nullptr;
}

// ---- pins -------------------------------------------------------------------------------------
HRESULT Pin::QueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IPin)) return HandOut(static_cast<IPin*>(this), ppv);
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG Pin::AddRef() { return m_filter.AddRef(); }
ULONG Pin::Release() { return m_filter.Release(); }

HRESULT Pin::QueryDirection(PIN_DIRECTION* pPinDir) {
    if (pPinDir == nullptr) return E_POINTER;
    *pPinDir = m_dir;
    return S_OK;
}

HRESULT Pin::ConnectedTo(IPin** ppPin) {
    if (ppPin == nullptr) return E_POINTER;
    *ppPin = m_pPeer;
    if (m_pPeer == nullptr) return VFW_E_NOT_CONNECTED;
    m_pPeer->AddRef();
    return S_OK;
}

HRESULT Pin::QueryFilter(IBaseFilter** ppFilter) {
    if (ppFilter == nullptr) return E_POINTER;
    *ppFilter = &m_filter;
    m_filter.AddRef();
    return S_OK;
}

HRESULT Pin::Deliver(const Sample& sample) const {
    Pin* pPeer = m_pPeer;
    if (pPeer == nullptr || pPeer->m_pPeer != this) return VFW_E_NOT_CONNECTED;
    return pPeer->m_filter.Receive(pPeer->m_nIndex, sample);
}

void Pin::DeliverEndOfStream() const {
    if (Pin* pPeer = m_pPeer; pPeer != nullptr && pPeer->m_pPeer == this) pPeer->m_filter.EndOfStream(pPeer->m_nIndex);
}

void Pin::DeliverBeginFlush() const {
    if (Pin* pPeer = m_pPeer; pPeer != nullptr && pPeer->m_pPeer == this) pPeer->m_filter.BeginFlush(pPeer->m_nIndex);
}

void Pin::DeliverEndFlush() const {
    if (Pin* pPeer = m_pPeer; pPeer != nullptr && pPeer->m_pPeer == this) pPeer->m_filter.EndFlush(pPeer->m_nIndex);
}

// ---- filter base ------------------------------------------------------------------------------
FilterBase::~FilterBase() {
    for (Pin* pPin : m_vecPins) delete pPin;
}

HRESULT FilterBase::QueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IBaseFilter)) return HandOut(static_cast<IBaseFilter*>(this), ppv);
    if (void* p = GetInterface(riid)) {
        AddRef();
        *ppv = p;
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG FilterBase::Release() {
    const ULONG n = m_ref.Drop();
    if (n == 0) delete this;
    return n;
}

HRESULT FilterBase::GetClassID(CLSID* pClassID) {
    if (pClassID == nullptr) return E_POINTER;
    *pClassID = m_clsid;
    return S_OK;
}

HRESULT FilterBase::EnumPins(IEnumPins** ppEnum) {
    if (ppEnum == nullptr) return E_POINTER;
    *ppEnum = new ComEnumerator<IEnumPins, IPin>(IID_IEnumPins, std::vector<IPin*>(m_vecPins.begin(), m_vecPins.end()));
    return S_OK;
}

HRESULT FilterBase::GetState(DWORD, FILTER_STATE* pState) {
    if (pState == nullptr) return E_POINTER;
    *pState = m_state.load();
    return S_OK;
}

HRESULT FilterBase::QueryFilterName(WCHAR* pszName, ULONG cchName) {
    if (pszName == nullptr || cchName <= m_strName.size()) return E_INVALIDARG;
    wcscpy(pszName, m_strName.c_str());
    return S_OK;
}

HRESULT FilterBase::GetOutputType(int, MediaType&) { return VFW_E_NOT_CONNECTED; }
HRESULT FilterBase::OnConnected(Pin&) { return S_OK; }
void FilterBase::OnDisconnected(Pin&) {}

void FilterBase::EndOfStream(int) {
    for (Pin* pPin : m_vecPins)
        if (pPin->Direction() == PINDIR_OUTPUT) pPin->DeliverEndOfStream();
}

void FilterBase::BeginFlush(int) {
    m_bFlushing = true;
    WakeWaiters();
    for (Pin* pPin : m_vecPins)
        if (pPin->Direction() == PINDIR_OUTPUT) pPin->DeliverBeginFlush();
}

void FilterBase::EndFlush(int) {
    for (Pin* pPin : m_vecPins)
        if (pPin->Direction() == PINDIR_OUTPUT) pPin->DeliverEndFlush();
    m_bFlushing = false;
}

HRESULT FilterBase::Pause() {
    const FILTER_STATE from = m_state.exchange(State_Paused);
    const HRESULT hr = OnPause(from);
    if (FAILED(hr)) m_state = from;
    WakeWaiters();
    return hr;
}

HRESULT FilterBase::Run(REFERENCE_TIME tStart) {
    m_tStart = tStart;
    const FILTER_STATE from = m_state.exchange(State_Running);
    const HRESULT hr = OnRun(tStart);
    if (FAILED(hr)) m_state = from;
    WakeWaiters();
    return hr;
}

void FilterBase::BeginStop() {
    m_state = State_Stopped;
    WakeWaiters();
    OnBeginStop();
}

void FilterBase::Stop() {
    OnStop();
    m_bFlushing = false;
}

HRESULT FilterBase::OnPause(FILTER_STATE) { return S_OK; }
HRESULT FilterBase::OnRun(REFERENCE_TIME) { return S_OK; }

void FilterBase::JoinGraph(GraphSite* pSite, const std::wstring& strName) {
    m_pSite = pSite;
    m_strName = strName;
}

Pin* FilterBase::FindPin(PIN_DIRECTION dir, int nIndex) const {
    for (Pin* pPin : m_vecPins)
        if (pPin->Direction() == dir && pPin->Index() == nIndex) return pPin;
    return nullptr;
}

int FilterBase::PinCount(PIN_DIRECTION dir) const {
    int n = 0;
    for (Pin* pPin : m_vecPins)
        if (pPin->Direction() == dir) ++n;
    return n;
}

bool FilterBase::AnyInputConnected() const {
    for (Pin* pPin : m_vecPins)
        if (pPin->Direction() == PINDIR_INPUT && pPin->IsConnected()) return true;
    return false;
}

Pin& FilterBase::AddPin(PIN_DIRECTION dir) {
    Pin* pPin = new Pin(*this, dir, PinCount(dir));
    m_vecPins.push_back(pPin);
    return *pPin;
}

REFERENCE_TIME FilterBase::StreamTimeNow() const {
    if (m_pSite == nullptr) return 0;
    return m_pSite->ClockNow() - m_tStart.load();
}

bool FilterBase::WaitForStreamTime(REFERENCE_TIME rtTime) {
    std::unique_lock lock(m_mtxWait);
    for (;;) {
        if (m_state.load() == State_Stopped || m_bFlushing.load()) return false;
        if (m_state.load() == State_Running) {
            const REFERENCE_TIME rtLeft = rtTime - StreamTimeNow();
            if (rtLeft <= 0) return true;
            m_cvWait.wait_for(lock, std::chrono::microseconds(rtLeft / 10));
        } else {
            m_cvWait.wait(lock);
        }
    }
}

void FilterBase::WakeWaiters() {
    std::lock_guard lock(m_mtxWait);
    m_cvWait.notify_all();
}

void FilterBase::DeliverToAll(const Sample& sample) {
    for (Pin* pPin : m_vecPins)
        if (pPin->Direction() == PINDIR_OUTPUT && pPin->IsConnected()) pPin->Deliver(sample);
}

}  // namespace media
