// Reads a text value from a device moniker's property bag ("FriendlyName", "DevicePath").
#pragma once

#include "devices/DeviceTypes.h"

#include <string>

// FALSE when the bag cannot be bound or the value is not a readable text.
bool ReadBagText(devices::IMoniker* pMoniker, const wchar_t* pszName, std::wstring& strValue);
