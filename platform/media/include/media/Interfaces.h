// The interfaces of the media engine: filter graph, pins, control, events, seeking, video window,
// audio, capture graph builder and the filters' own interfaces. They carry the host's names,
// method names and argument types for the calls the program makes, and nothing more.
#pragma once

#include "media/MediaTypes.h"

namespace media {

struct IBaseFilter;
struct IPin;
struct IFilterGraph;

// ---- interface ids -----------------------------------------------------------------------------
inline constexpr GUID IID_IBaseFilter = {0x56A86895, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr GUID IID_IPin = {0x56A86891, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr GUID IID_IEnumPins = {0x56A86892, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr GUID IID_IEnumFilters = {0x56A86893, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr GUID IID_IFilterGraph = {0x56A8689F, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr GUID IID_IGraphBuilder = {0x56A868A9, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr GUID IID_IMediaControl = {0x56A868B1, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr GUID IID_IMediaEvent = {0x56A868B6, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr GUID IID_IMediaEventEx = {0x56A868C0, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr GUID IID_IMediaEventSink = {0x56A868A2, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr GUID IID_IMediaSeeking = {0x36B73880, 0xC2C8, 0x11CF, {0x8B, 0x46, 0x00, 0x80, 0x5F, 0x6C, 0xEF, 0x60}};
inline constexpr GUID IID_IVideoWindow = {0x56A868B4, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr GUID IID_IBasicAudio = {0x56A868B3, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr GUID IID_IReferenceClock = {0x56A86897, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr GUID IID_ICaptureGraphBuilder2 = {0x93E5A4E0, 0x2D50, 0x11D2, {0xAB, 0xFA, 0x00, 0xA0, 0xC9, 0xC6, 0xE3, 0x8D}};
inline constexpr GUID IID_ISampleGrabber = {0x6B652FFF, 0x11FE, 0x4FCE, {0x92, 0xAD, 0x02, 0x66, 0xB5, 0xD7, 0xC7, 0x8F}};
inline constexpr GUID IID_ISampleGrabberCB = {0x0579154A, 0x2B53, 0x4994, {0xB0, 0xD0, 0xE7, 0x73, 0x14, 0x8E, 0xFF, 0x85}};
inline constexpr GUID IID_IFileSinkFilter2 = {0x00855B90, 0xCE1B, 0x11D0, {0xBD, 0x4F, 0x00, 0xA0, 0xC9, 0x11, 0xCE, 0x86}};
inline constexpr GUID IID_IFileSourceFilter = {0x56A868A6, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr GUID IID_IAMDroppedFrames = {0xC6E13344, 0x30AC, 0x11D0, {0xA1, 0x8C, 0x00, 0xA0, 0xC9, 0x11, 0x89, 0x56}};
inline constexpr GUID IID_IMediaDet = {0x65BD0710, 0x24D2, 0x4FF7, {0x93, 0x24, 0xED, 0x2E, 0x5D, 0x3A, 0xBA, 0xFA}};
inline constexpr GUID IID_IIPDVDec = {0xB8E8BD60, 0x0BFE, 0x11D0, {0xAF, 0x91, 0x00, 0xAA, 0x00, 0xB6, 0x7A, 0x42}};
// The engine's own: frame counts of a video renderer (drawn and dropped).
inline constexpr GUID IID_IRendererStats = {0x3C1E5A20, 0x7B44, 0x4D1E, {0x9A, 0x51, 0x6E, 0x21, 0x0F, 0x4C, 0x8D, 0x01}};

// FindInterface's search direction.
inline constexpr GUID LOOK_DOWNSTREAM_ONLY = {0xAC798BE1, 0x98E3, 0x11D1, {0xB3, 0xF1, 0x00, 0xAA, 0x00, 0x37, 0x61, 0xC5}};
inline constexpr GUID LOOK_UPSTREAM_ONLY = {0xAC798BE0, 0x98E3, 0x11D1, {0xB3, 0xF1, 0x00, 0xAA, 0x00, 0x37, 0x61, 0xC5}};

// ---- graph and filters -------------------------------------------------------------------------
struct IEnumPins : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Next(ULONG cPins, IPin** ppPins, ULONG* pcFetched) = 0;
    virtual HRESULT STDMETHODCALLTYPE Reset() = 0;
};

struct IEnumFilters : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Next(ULONG cFilters, IBaseFilter** ppFilter, ULONG* pcFetched) = 0;
    virtual HRESULT STDMETHODCALLTYPE Reset() = 0;
};

struct IPin : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE QueryDirection(PIN_DIRECTION* pPinDir) = 0;
    // VFW_E_NOT_CONNECTED when the pin has no peer.
    virtual HRESULT STDMETHODCALLTYPE ConnectedTo(IPin** ppPin) = 0;
    virtual HRESULT STDMETHODCALLTYPE QueryFilter(IBaseFilter** ppFilter) = 0;
};

struct IBaseFilter : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetClassID(CLSID* pClassID) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumPins(IEnumPins** ppEnum) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetState(DWORD dwMilliSecsTimeout, FILTER_STATE* pState) = 0;
    // The name the filter was added with; empty while it is in no graph.
    virtual HRESULT STDMETHODCALLTYPE QueryFilterName(WCHAR* pszName, ULONG cchName) = 0;
};

struct IFilterGraph : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE AddFilter(IBaseFilter* pFilter, LPCWSTR pName) = 0;
    virtual HRESULT STDMETHODCALLTYPE RemoveFilter(IBaseFilter* pFilter) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumFilters(IEnumFilters** ppEnum) = 0;
    virtual HRESULT STDMETHODCALLTYPE FindFilterByName(LPCWSTR pName, IBaseFilter** ppFilter) = 0;
    // Connects an output pin to an input pin, without intermediate filters; pmt must be null.
    virtual HRESULT STDMETHODCALLTYPE ConnectDirect(IPin* ppinOut, IPin* ppinIn, const AM_MEDIA_TYPE* pmt) = 0;
    // Breaks one pin's side of a connection (both sides are broken by calling it for each).
    virtual HRESULT STDMETHODCALLTYPE Disconnect(IPin* ppin) = 0;
};

struct IGraphBuilder : IFilterGraph {};

struct IMediaControl : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Run() = 0;
    virtual HRESULT STDMETHODCALLTYPE Pause() = 0;
    virtual HRESULT STDMETHODCALLTYPE Stop() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetState(LONG msTimeout, OAFilterState* pfs) = 0;
};

struct IMediaEventEx : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetEvent(long* lEventCode, LONG_PTR* lParam1, LONG_PTR* lParam2, long msTimeout) = 0;
    virtual HRESULT STDMETHODCALLTYPE FreeEventParams(long lEventCode, LONG_PTR lParam1, LONG_PTR lParam2) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetNotifyWindow(OAHWND hwnd, long lMsg, LONG_PTR lInstanceData) = 0;
};

// Events raised into the graph's queue by anyone holding the graph, as its filters raise theirs.
struct IMediaEventSink : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Notify(long lEventCode, LONG_PTR lParam1, LONG_PTR lParam2) = 0;
};

struct IMediaSeeking : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetDuration(LONGLONG* pDuration) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCurrentPosition(LONGLONG* pCurrent) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetPositions(LONGLONG* pCurrent, DWORD dwCurrentFlags, LONGLONG* pStop, DWORD dwStopFlags) = 0;
};

struct IVideoWindow : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE put_Owner(OAHWND Owner) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_MessageDrain(OAHWND Drain) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Visible(LONG Visible) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Visible(LONG* pVisible) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_WindowStyle(LONG WindowStyle) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetWindowPosition(LONG Left, LONG Top, LONG Width, LONG Height) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetWindowForeground(LONG Focus) = 0;
    virtual HRESULT STDMETHODCALLTYPE NotifyOwnerMessage(OAHWND hwnd, long uMsg, LONG_PTR wParam, LONG_PTR lParam) = 0;
};

struct IBasicAudio : IUnknown {
    // Hundredths of a decibel: 0 full volume, -10000 silence.
    virtual HRESULT STDMETHODCALLTYPE put_Volume(long lVolume) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Volume(long* plVolume) = 0;
};

struct ICaptureGraphBuilder2 : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetFiltergraph(IGraphBuilder* pfg) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetFiltergraph(IGraphBuilder** ppfg) = 0;
    // Looks for an interface on the filter and then on the filters connected downstream of it
    // (LOOK_DOWNSTREAM_ONLY), or upstream (LOOK_UPSTREAM_ONLY). pType must be null.
    virtual HRESULT STDMETHODCALLTYPE FindInterface(const GUID* pCategory, const GUID* pType, IBaseFilter* pf, REFIID riid, void** ppint) = 0;
};

// ---- the filters' own interfaces --------------------------------------------------------------
struct IMediaSample;

struct ISampleGrabberCB : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SampleCB(double SampleTime, IMediaSample* pSample) = 0;
    virtual HRESULT STDMETHODCALLTYPE BufferCB(double SampleTime, BYTE* pBuffer, long BufferLen) = 0;
};

struct ISampleGrabber : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetOneShot(BOOL OneShot) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetBufferSamples(BOOL BufferThem) = 0;
    // WhichMethodToCallback: 1 = BufferCB (the only one this grabber calls).
    virtual HRESULT STDMETHODCALLTYPE SetCallback(ISampleGrabberCB* pCallback, long WhichMethodToCallback) = 0;
};

struct IIPDVDec : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE get_IPDisplay(int* displayPix) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_IPDisplay(int displayPix) = 0;
};

struct IFileSinkFilter2 : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetFileName(LPCOLESTR pszFileName, const AM_MEDIA_TYPE* pmt) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetMode(DWORD dwFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetMode(DWORD* pdwFlags) = 0;
};

struct IFileSourceFilter : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Load(LPCOLESTR pszFileName, const AM_MEDIA_TYPE* pmt) = 0;
};

struct IAMDroppedFrames : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetNumDropped(long* plDropped) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetNumNotDropped(long* plNotDropped) = 0;
};

struct IRendererStats : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetFramesDrawn(long* plDrawn) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetFramesDropped(long* plDropped) = 0;
};

struct IMediaDet : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE put_Filename(BSTR newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_OutputStreams(long* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_CurrentStream(long newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_StreamType(GUID* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_StreamMediaType(AM_MEDIA_TYPE* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_StreamLength(double* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_FrameRate(double* pVal) = 0;
    // The picture at the stream time as a 40-byte BITMAPINFOHEADER followed by 24-bit rows; with no
    // buffer, *pBufferSize receives the size needed.
    virtual HRESULT STDMETHODCALLTYPE GetBitmapBits(double StreamTime, long* pBufferSize, char* pBuffer, long Width, long Height) = 0;
};

// Creates the engine's objects by the class ids of MediaTypes.h (REGDB_E_CLASSNOTREG for others).
HRESULT CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid, LPVOID* ppv);

// Wraps the camcorder's DV driver filter (the simulated bus's object, which offers the DV stream
// source) as a filter of this engine: output 0 DV video, output 1 interleaved DV, input 0
// interleaved DV towards the camcorder; IAMDroppedFrames, and the device's own interfaces
// (external device and transport) through QueryInterface.
HRESULT CreateDVDeviceFilter(IUnknown* pDeviceFilter, IBaseFilter** ppFilter);

}  // namespace media
