// Text values of a device moniker's property bag.
#include "device/PropertyBagText.h"

#include "devices/ComPtr.h"

#include <oleauto.h>

bool ReadBagText(devices::IMoniker* pMoniker, const wchar_t* pszName, std::wstring& strValue) {
    devices::ComPtr<IPropertyBag> spBag;
    if (FAILED(pMoniker->BindToStorage(nullptr, nullptr, devices::IID_IPropertyBag, spBag.AsVoid())) || !spBag) return false;
    // An empty variant asks for the value's own type; the bag fills it in and the caller clears it.
    VARIANT var;
    ::VariantInit(&var);
    const bool bOk = SUCCEEDED(spBag->Read(pszName, &var, nullptr)) && var.vt == VT_BSTR && var.bstrVal != nullptr;
    if (bOk) strValue = var.bstrVal;
    ::VariantClear(&var);
    return bOk;
}
