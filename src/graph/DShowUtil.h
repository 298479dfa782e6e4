// Free functions of the graphs and panels: creating and adding filters, finding pins, connecting
// and disconnecting them, emptying a graph, the video system of a file or of the camcorder, and
// (from the recorded-files module) frame numbers and time codes.
#pragma once

#include "files/Timecode.h"
#include "media/Interfaces.h"
#include "devices/ComPtr.h"

#include <string>

template <typename T>
using MediaPtr = devices::ComPtr<T>;

// CoCreateInstance of the class for IBaseFilter, then AddFilter under the name.
HRESULT CreateAndAddFilter(media::IGraphBuilder* pGraph, REFCLSID clsid, media::IBaseFilter** ppFilter, const wchar_t* pszName);

// The index-th pin (from 0) of the direction; E_FAIL when there are not that many.
HRESULT GetPin(media::IBaseFilter* pFilter, media::PIN_DIRECTION dir, int nIndex, media::IPin** ppPin);
MediaPtr<media::IPin> GetInPin(media::IBaseFilter* pFilter, int nIndex);
MediaPtr<media::IPin> GetOutPin(media::IBaseFilter* pFilter, int nIndex);

// Output pin nOut of pOFilter straight to input pin nIn of pIFilter, without a media type.
HRESULT ConnectFilter(media::IGraphBuilder* pGraph, media::IBaseFilter* pOFilter, int nOut, media::IBaseFilter* pIFilter, int nIn);
// The peer first (when connected), then the pin itself.
HRESULT DisconnectPin(media::IGraphBuilder* pGraph, media::IPin* pPin);
// Removes every filter; a failure is traced and the others are still removed.
HRESULT RemoveAllFilter(media::IGraphBuilder* pGraph);

// Video-format code (kVideoFormat525 or kVideoFormat625) of a file's first video stream;
// VFW_E_INVALIDMEDIATYPE when it has none.
HRESULT GetVideoFormatByFile(const std::wstring& strPath, int* pnFormat);
// The same of the camcorder, from its external-device capability.
HRESULT GetVideoFormatByDVFilter(media::IBaseFilter* pDVFilter, int* pnFormat);
