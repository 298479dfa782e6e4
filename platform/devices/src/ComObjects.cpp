// The system device enumerator over the capture category, its monikers and property bags, and the
// "TARN FILTER" object of the virtual VCR.
#include "ComObjects.h"
#include "devices/Bus.h"

#include <oleauto.h>

#include <string>
#include <vector>

namespace devices {
namespace {

constexpr wchar_t DVFriendlyName[] = L"Microsoft DV Camera and VCR";
constexpr wchar_t TarnFriendlyName[] = L"TARN FILTER";

struct MonikerEntry {
    std::wstring strFriendlyName;
    std::wstring strDevicePath;
    bool bTarn = false;
    size_t nIndex = 0;          // camcorder index
    unsigned nGeneration = 0;   // camcorder connection
};

// The settings of the camcorder an entry stands for, while that connection lasts (caller holds the
// bus lock); nullptr for the virtual VCR's entry or a camcorder gone since the list was made.
const CamcorderSettings* EntrySettings(Bus& bus, const MonikerEntry& entry) {
    if (entry.bTarn || entry.nIndex >= bus.CamcorderCount() || !bus.IsPlugged(entry.nIndex) || bus.Generation(entry.nIndex) != entry.nGeneration) {
        return nullptr;
    }
    return &bus.GetCamcorder(entry.nIndex).Settings();
}

BagFault EntryBagFault(const MonikerEntry& entry) {
    Bus& bus = Bus::Get();
    auto lock = bus.Lock();
    const CamcorderSettings* pSettings = EntrySettings(bus, entry);
    return pSettings ? pSettings->bag : BagFault::None;
}

class PropertyBag : public RefCounted<::IPropertyBag> {
public:
    explicit PropertyBag(const MonikerEntry& entry) : m_entry(entry) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr) return E_POINTER;
        if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, devices::IID_IPropertyBag)) return Hand(static_cast<::IPropertyBag*>(this), ppv);
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE Read(LPCOLESTR pszPropName, VARIANT* pVar, IErrorLog*) override {
        if (pszPropName == nullptr || pVar == nullptr) return E_POINTER;
        const std::wstring* pValue = nullptr;
        if (wcscmp(pszPropName, L"FriendlyName") == 0) pValue = &m_entry.strFriendlyName;
        if (wcscmp(pszPropName, L"DevicePath") == 0) pValue = &m_entry.strDevicePath;
        if (pValue == nullptr) return E_INVALIDARG;
        // The caller asks for its natural type (empty) or a string; what it passed in is its own.
        if (pVar->vt != VT_EMPTY && pVar->vt != VT_BSTR) return E_INVALIDARG;
        if (EntryBagFault(m_entry) == BagFault::Unreadable) return HRESULT_FROM_WIN32(ERROR_READ_FAULT);
        BSTR bstrValue = ::SysAllocString(pValue->c_str());
        if (bstrValue == nullptr) return E_OUTOFMEMORY;
        pVar->vt = VT_BSTR;
        pVar->bstrVal = bstrValue;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Write(LPCOLESTR, VARIANT*) override { return E_FAIL; }

private:
    MonikerEntry m_entry;
};

class TarnFilter : public RefCounted<IBaseFilter>, public IKsObject {
public:
    explicit TarnFilter(HANDLE hKs) : m_hKs(hKs) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr) return E_POINTER;
        if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IBaseFilter)) return Hand(static_cast<IBaseFilter*>(this), ppv);
        if (IsEqualGUID(riid, IID_IKsObject)) return Hand(static_cast<IKsObject*>(this), ppv);
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return RefCounted<IBaseFilter>::AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return RefCounted<IBaseFilter>::Release(); }
    HRESULT STDMETHODCALLTYPE QueryFriendlyName(WCHAR* pszName, ULONG cchName) override {
        return pszName && cchName > wcslen(TarnFriendlyName) ? (wcscpy(pszName, TarnFriendlyName), S_OK) : E_INVALIDARG;
    }
    HANDLE STDMETHODCALLTYPE KsGetObjectHandle() override { return m_hKs; }

private:
    HANDLE m_hKs;
};

class Moniker : public RefCounted<IMoniker> {
public:
    explicit Moniker(const MonikerEntry& entry) : m_entry(entry) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr) return E_POINTER;
        if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IMoniker)) return Hand(static_cast<IMoniker*>(this), ppv);
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE BindToStorage(void*, void*, REFIID riid, void** ppvObj) override {
        if (ppvObj == nullptr) return E_POINTER;
        *ppvObj = nullptr;
        if (!IsEqualGUID(riid, devices::IID_IPropertyBag)) return E_NOINTERFACE;
        if (EntryBagFault(m_entry) == BagFault::Unbound) return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
        *ppvObj = static_cast<::IPropertyBag*>(new PropertyBag(m_entry));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE BindToObject(void*, void*, REFIID riid, void** ppvResult) override {
        if (ppvResult == nullptr) return E_POINTER;
        *ppvResult = nullptr;
        ComPtr<IBaseFilter> spFilter;
        {
            Bus& bus = Bus::Get();
            auto lock = bus.Lock();
            if (m_entry.bTarn) {
                if (!bus.Driver().HasTarnFilter()) return HRESULT_FROM_WIN32(ERROR_DEV_NOT_EXIST);
                spFilter.Attach(new TarnFilter(bus.Driver().KsHandle()));
            } else {
                const CamcorderSettings* pSettings = EntrySettings(bus, m_entry);
                if (pSettings == nullptr) return HRESULT_FROM_WIN32(ERROR_DEV_NOT_EXIST);
                if (pSettings->bind == BindFault::Fails) return HRESULT_FROM_WIN32(ERROR_GEN_FAILURE);
                if (pSettings->bind == BindFault::Empty) return S_FALSE;  // success, and no object
                spFilter.Attach(CreateDVFilter(m_entry.nIndex, m_entry.nGeneration));
            }
        }
        return spFilter->QueryInterface(riid, ppvResult);
    }

private:
    MonikerEntry m_entry;
};

class EnumMoniker : public RefCounted<IEnumMoniker> {
public:
    explicit EnumMoniker(std::vector<MonikerEntry> vecEntries) : m_vecEntries(std::move(vecEntries)) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr) return E_POINTER;
        if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IEnumMoniker)) return Hand(static_cast<IEnumMoniker*>(this), ppv);
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE Next(ULONG celt, IMoniker** rgelt, ULONG* pceltFetched) override {
        if (rgelt == nullptr || (celt != 1 && pceltFetched == nullptr)) return E_POINTER;
        ULONG nFetched = 0;
        while (nFetched < celt && m_nNext < m_vecEntries.size()) rgelt[nFetched++] = new Moniker(m_vecEntries[m_nNext++]);
        if (pceltFetched) *pceltFetched = nFetched;
        return nFetched == celt ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Reset() override {
        m_nNext = 0;
        return S_OK;
    }

private:
    std::vector<MonikerEntry> m_vecEntries;
    size_t m_nNext = 0;
};

class SystemDeviceEnum : public RefCounted<ICreateDevEnum> {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr) return E_POINTER;
        if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_ICreateDevEnum)) return Hand(static_cast<ICreateDevEnum*>(this), ppv);
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE CreateClassEnumerator(REFCLSID clsidDeviceClass, IEnumMoniker** ppEnumMoniker, DWORD dwFlags) override {
        if (ppEnumMoniker == nullptr) return E_POINTER;
        *ppEnumMoniker = nullptr;
        if (dwFlags != 0) return E_INVALIDARG;
        std::vector<MonikerEntry> vecEntries;
        if (IsEqualGUID(clsidDeviceClass, KsCategoryCapture)) {
            Bus& bus = Bus::Get();
            auto lock = bus.Lock();
            for (size_t i = 0; i < bus.CamcorderCount(); ++i) {
                if (bus.IsPlugged(i)) vecEntries.push_back(MonikerEntry{DVFriendlyName, bus.DevicePath(i), false, i, bus.Generation(i)});
            }
            if (bus.Driver().HasTarnFilter()) vecEntries.push_back(MonikerEntry{TarnFriendlyName, VcrDriver::SubunitInterfaceName(), true, 0, 0});
        }
        if (vecEntries.empty()) return S_FALSE;  // an empty category has no enumerator
        *ppEnumMoniker = new EnumMoniker(std::move(vecEntries));
        return S_OK;
    }
};

} // namespace

ICreateDevEnum* CreateSystemDeviceEnum() {
    return new SystemDeviceEnum();
}

} // namespace devices
