// The COM-style objects of the simulated DV driver and virtual VCR driver.
#pragma once

#include "devices/ComPtr.h"
#include "devices/DeviceTypes.h"

namespace devices {

// A new system device enumerator with one reference.
ICreateDevEnum* CreateSystemDeviceEnum();

// A DV camcorder's filter object for the camcorder at nIndex in its current connection.
IBaseFilter* CreateDVFilter(size_t nIndex, unsigned nGeneration);

// Reference counting shared by the objects.
template <typename Base>
class RefCounted : public Base {
public:
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&m_nRef)); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG nRef = InterlockedDecrement(&m_nRef);
        if (nRef == 0) delete this;
        return static_cast<ULONG>(nRef);
    }
    virtual ~RefCounted() = default;

protected:
    HRESULT Hand(void* pInterface, void** ppv) {
        *ppv = pInterface;
        AddRef();
        return S_OK;
    }

private:
    LONG m_nRef = 1;
};

} // namespace devices
