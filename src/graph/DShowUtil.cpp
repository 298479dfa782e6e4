// Graph utilities.
#include "graph/DShowUtil.h"

#include "core/DebugTrace.h"
#include "devices/DeviceTypes.h"

#include <oleauto.h>

#include <vector>

using namespace media;

namespace {
constexpr int FrameRate625 = 25;
}

HRESULT CreateAndAddFilter(IGraphBuilder* pGraph, REFCLSID clsid, IBaseFilter** ppFilter, const wchar_t* pszName) {
    if (TRACE_NULL(pGraph, "pGraph") || TRACE_NULL(ppFilter, "ppFilter")) return E_POINTER;
    *ppFilter = nullptr;
    MediaPtr<IBaseFilter> spFilter;
    HRESULT hr = media::CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IBaseFilter, spFilter.AsVoid());
    if (TRACE_FAILED_HR(hr, "CoCreateInstance")) return hr;
    hr = pGraph->AddFilter(spFilter.Get(), pszName);
    if (TRACE_FAILED_HR(hr, "AddFilter")) return hr;
    *ppFilter = spFilter.Detach();
    return S_OK;
}

HRESULT GetPin(IBaseFilter* pFilter, PIN_DIRECTION dir, int nIndex, IPin** ppPin) {
    if (TRACE_NULL(pFilter, "pFilter") || TRACE_NULL(ppPin, "ppPin")) return E_POINTER;
    *ppPin = nullptr;
    MediaPtr<IEnumPins> spEnum;
    const HRESULT hr = pFilter->EnumPins(&spEnum);
    if (TRACE_FAILED_HR(hr, "EnumPins")) return hr;
    int nSkip = nIndex;
    for (MediaPtr<IPin> spPin; spEnum->Next(1, &spPin, nullptr) == S_OK;) {
        PIN_DIRECTION pinDir;
        if (FAILED(spPin->QueryDirection(&pinDir)) || pinDir != dir) continue;
        if (nSkip-- > 0) continue;
        *ppPin = spPin.Detach();
        return S_OK;
    }
    return E_FAIL;
}

MediaPtr<IPin> GetInPin(IBaseFilter* pFilter, int nIndex) {
    MediaPtr<IPin> spPin;
    GetPin(pFilter, PINDIR_INPUT, nIndex, &spPin);
    return spPin;
}

MediaPtr<IPin> GetOutPin(IBaseFilter* pFilter, int nIndex) {
    MediaPtr<IPin> spPin;
    GetPin(pFilter, PINDIR_OUTPUT, nIndex, &spPin);
    return spPin;
}

HRESULT ConnectFilter(IGraphBuilder* pGraph, IBaseFilter* pOFilter, int nOut, IBaseFilter* pIFilter, int nIn) {
    if (TRACE_NULL(pOFilter, "pOFilter")) return E_FAIL;
    if (TRACE_NULL(pIFilter, "pIFilter")) return E_FAIL;
    if (TRACE_NULL(pGraph, "pGraph")) return E_FAIL;
    MediaPtr<IPin> spOut;
    HRESULT hr = GetPin(pOFilter, PINDIR_OUTPUT, nOut, &spOut);
    if (TRACE_FAILED_HR(hr, "GetPin")) return hr;
    MediaPtr<IPin> spIn;
    hr = GetPin(pIFilter, PINDIR_INPUT, nIn, &spIn);
    if (TRACE_FAILED_HR(hr, "GetPin")) return hr;
    hr = pGraph->ConnectDirect(spOut.Get(), spIn.Get(), nullptr);
    if (TRACE_FAILED_HR(hr, "Connect")) return hr;
    return S_OK;
}

HRESULT DisconnectPin(IGraphBuilder* pGraph, IPin* pPin) {
    if (TRACE_NULL(pGraph, "pGraph") || TRACE_NULL(pPin, "pPin")) return E_POINTER;
    MediaPtr<IPin> spPeer;
    if (SUCCEEDED(pPin->ConnectedTo(&spPeer))) {
        const HRESULT hr = pGraph->Disconnect(spPeer.Get());
        if (TRACE_FAILED_HR(hr, "Disconnect")) return hr;
    }
    const HRESULT hr = pGraph->Disconnect(pPin);
    if (TRACE_FAILED_HR(hr, "Disconnect")) return hr;
    return hr;
}

HRESULT RemoveAllFilter(IGraphBuilder* pGraph) {
    if (TRACE_NULL(pGraph, "pGraph")) return E_POINTER;
    MediaPtr<IEnumFilters> spEnum;
    const HRESULT hr = pGraph->EnumFilters(&spEnum);
    if (TRACE_FAILED_HR(hr, "EnumFilters")) return hr;
    std::vector<MediaPtr<IBaseFilter>> vecFilters;
    for (MediaPtr<IBaseFilter> spFilter; spEnum->Next(1, &spFilter, nullptr) == S_OK;) vecFilters.push_back(spFilter);
    for (auto& spFilter : vecFilters) TRACE_FAILED_HR(pGraph->RemoveFilter(spFilter.Get()), "RemoveFilter");
    return S_OK;
}

HRESULT GetVideoFormatByFile(const std::wstring& strPath, int* pnFormat) {
    if (TRACE_NULL(pnFormat, "pnFormat")) return E_POINTER;
    MediaPtr<IMediaDet> spDet;
    HRESULT hr = media::CoCreateInstance(CLSID_MediaDet, nullptr, CLSCTX_INPROC_SERVER, IID_IMediaDet, spDet.AsVoid());
    if (TRACE_FAILED_HR(hr, "CoCreateInstance")) return hr;
    BSTR bstrPath = ::SysAllocString(strPath.c_str());
    hr = spDet->put_Filename(bstrPath);
    ::SysFreeString(bstrPath);
    if (TRACE_FAILED_HR(hr, "put_Filename")) return hr;
    long nStreams = 0;
    hr = spDet->get_OutputStreams(&nStreams);
    if (TRACE_FAILED_HR(hr, "get_OutputStreams")) return hr;
    bool bFound = false;
    for (long n = 0; n < nStreams && !bFound; ++n) {
        hr = spDet->put_CurrentStream(n);
        if (TRACE_FAILED_HR(hr, "put_CurrentStream")) return hr;
        GUID type = GUID_NULL;
        hr = spDet->get_StreamType(&type);
        if (TRACE_FAILED_HR(hr, "get_StreamType")) return hr;
        bFound = IsEqualGUID(type, MEDIATYPE_Video) != FALSE;
    }
    if (!bFound) return VFW_E_INVALIDMEDIATYPE;
    double dRate = 0;
    hr = spDet->get_FrameRate(&dRate);
    if (TRACE_FAILED_HR(hr, "get_FrameRate")) return hr;
    *pnFormat = static_cast<int>(dRate) == FrameRate625 ? kVideoFormat625 : kVideoFormat525;
    return S_OK;
}

HRESULT GetVideoFormatByDVFilter(IBaseFilter* pDVFilter, int* pnFormat) {
    if (TRACE_NULL(pDVFilter, "pDVFilter") || TRACE_NULL(pnFormat, "pnFormat")) return E_POINTER;
    MediaPtr<devices::IAMExtDevice> spDevice;
    HRESULT hr = pDVFilter->QueryInterface(devices::IID_IAMExtDevice, spDevice.AsVoid());
    if (TRACE_FAILED_HR(hr, "QueryInterface")) return hr;
    LONG lRate = 0;
    double dValue = 0;
    hr = spDevice->GetCapability(devices::ED_DEVCAP_NORMAL_RATE, &lRate, &dValue);
    if (TRACE_FAILED_HR(hr, "GetCapability")) return hr;
    *pnFormat = lRate == devices::ED_RATE_25 ? kVideoFormat625 : kVideoFormat525;
    return S_OK;
}
