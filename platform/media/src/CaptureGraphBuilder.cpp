// The capture graph builder: holds a graph and finds interfaces on a filter or along the filters
// connected downstream (or upstream) of it.
#include "Engine.h"
#include "devices/ComPtr.h"

#include <deque>
#include <set>

namespace media {
namespace {

class CaptureGraphBuilder final : public ICaptureGraphBuilder2 {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr) return E_POINTER;
        if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_ICaptureGraphBuilder2)) return HandOut(static_cast<ICaptureGraphBuilder2*>(this), ppv);
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return m_ref.Add(); }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG n = m_ref.Drop();
        if (n == 0) delete this;
        return n;
    }

    HRESULT STDMETHODCALLTYPE SetFiltergraph(IGraphBuilder* pfg) override {
        if (pfg == nullptr) return E_POINTER;
        if (m_spGraph) return E_UNEXPECTED;  // a builder serves one graph
        m_spGraph = pfg;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetFiltergraph(IGraphBuilder** ppfg) override {
        if (ppfg == nullptr) return E_POINTER;
        *ppfg = m_spGraph.Get();
        if (*ppfg == nullptr) return E_UNEXPECTED;
        (*ppfg)->AddRef();
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE FindInterface(const GUID* pCategory, const GUID* pType, IBaseFilter* pf, REFIID riid, void** ppint) override {
        if (ppint == nullptr) return E_POINTER;
        *ppint = nullptr;
        if (pf == nullptr) return E_POINTER;
        if (pType != nullptr) return E_INVALIDARG;
        PIN_DIRECTION dirNext = PINDIR_OUTPUT;
        if (pCategory != nullptr && IsEqualGUID(*pCategory, LOOK_UPSTREAM_ONLY)) dirNext = PINDIR_INPUT;
        else if (pCategory != nullptr && !IsEqualGUID(*pCategory, LOOK_DOWNSTREAM_ONLY)) return E_INVALIDARG;

        // Breadth first from the filter itself, each filter once.
        std::deque<FilterBase*> queFilters;
        std::set<FilterBase*> setSeen;
        if (FilterBase* pStart = dynamic_cast<FilterBase*>(pf)) queFilters.push_back(pStart);
        else return pf->QueryInterface(riid, ppint);
        while (!queFilters.empty()) {
            FilterBase* pFilter = queFilters.front();
            queFilters.pop_front();
            if (!setSeen.insert(pFilter).second) continue;
            if (SUCCEEDED(pFilter->QueryInterface(riid, ppint))) return S_OK;
            for (Pin* pPin : pFilter->Pins())
                if (pPin->Direction() == dirNext && pPin->IsConnected()) queFilters.push_back(&pPin->Peer()->Filter());
        }
        return E_NOINTERFACE;
    }

private:
    RefCount m_ref;
    devices::ComPtr<IGraphBuilder> m_spGraph;
};

}  // namespace

IUnknown* NewCaptureGraphBuilder() {
    return new CaptureGraphBuilder();
}

HRESULT CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD, REFIID riid, LPVOID* ppv) {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (pUnkOuter != nullptr) return CLASS_E_NOAGGREGATION;
    IUnknown* pObject = nullptr;
    if (IsEqualGUID(rclsid, CLSID_FilterGraph)) pObject = NewFilterGraph();
    else if (IsEqualGUID(rclsid, CLSID_CaptureGraphBuilder2)) pObject = NewCaptureGraphBuilder();
    else if (IsEqualGUID(rclsid, CLSID_MediaDet)) pObject = NewMediaDet();
    else if (IsEqualGUID(rclsid, CLSID_SampleGrabber)) pObject = static_cast<IBaseFilter*>(NewSampleGrabber());
    else if (IsEqualGUID(rclsid, CLSID_SmartTee)) pObject = static_cast<IBaseFilter*>(NewSmartTee());
    else if (IsEqualGUID(rclsid, CLSID_InfTee)) pObject = static_cast<IBaseFilter*>(NewInfTee());
    else if (IsEqualGUID(rclsid, CLSID_VideoRendererDefault)) pObject = static_cast<IBaseFilter*>(NewVideoRenderer());
    else if (IsEqualGUID(rclsid, CLSID_FileWriter)) pObject = static_cast<IBaseFilter*>(NewFileWriter());
    else if (IsEqualGUID(rclsid, CLSID_DVSplitter)) pObject = static_cast<IBaseFilter*>(NewDVSplitter());
    else if (IsEqualGUID(rclsid, CLSID_DVMux)) pObject = static_cast<IBaseFilter*>(NewDVMuxer());
    else if (IsEqualGUID(rclsid, CLSID_DVVideoCodec)) pObject = static_cast<IBaseFilter*>(NewDVDecoder());
    else if (IsEqualGUID(rclsid, CLSID_AviDest)) pObject = static_cast<IBaseFilter*>(NewAviMux());
    else if (IsEqualGUID(rclsid, CLSID_AsyncReader)) pObject = static_cast<IBaseFilter*>(NewFileSource());
    else if (IsEqualGUID(rclsid, CLSID_AviSplitter)) pObject = static_cast<IBaseFilter*>(NewAviSplitter());
    else if (IsEqualGUID(rclsid, CLSID_DSoundRender)) {
        FilterBase* pSound = nullptr;
        const HRESULT hr = NewSoundRenderer(&pSound);
        if (FAILED(hr)) return hr;
        pObject = static_cast<IBaseFilter*>(pSound);
    } else {
        return REGDB_E_CLASSNOTREG;
    }
    const HRESULT hr = pObject->QueryInterface(riid, ppv);
    pObject->Release();
    return hr;
}

}  // namespace media
