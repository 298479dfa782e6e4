#include "CamcorderFilter.h"

#include <string>

namespace testsupport {

devices::ComPtr<devices::IBaseFilter> FindCamcorderFilter() {
  devices::ComPtr<devices::ICreateDevEnum> spDevEnum;
  devices::CoCreateInstance(devices::ClsidSystemDeviceEnum, nullptr, CLSCTX_ALL, devices::IID_ICreateDevEnum,
                            spDevEnum.AsVoid());
  devices::ComPtr<devices::IEnumMoniker> spEnum;
  devices::ComPtr<devices::IBaseFilter> spFilter;
  if (!spDevEnum || spDevEnum->CreateClassEnumerator(devices::KsCategoryCapture, &spEnum, 0) != S_OK) return spFilter;
  for (devices::ComPtr<devices::IMoniker> spMoniker; !spFilter && spEnum->Next(1, &spMoniker, nullptr) == S_OK;) {
    devices::ComPtr<devices::IBaseFilter> spCandidate;
    spMoniker->BindToObject(nullptr, nullptr, devices::IID_IBaseFilter, spCandidate.AsVoid());
    WCHAR szName[64] = {};
    if (spCandidate && SUCCEEDED(spCandidate->QueryFriendlyName(szName, 64)) &&
        std::wstring(szName) == L"Microsoft DV Camera and VCR") {
      spFilter = spCandidate;
    }
  }
  return spFilter;
}

}  // namespace testsupport
