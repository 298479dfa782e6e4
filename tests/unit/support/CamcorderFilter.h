// The filter object of the simulated bus's camcorder, found as the program's DV manager finds it.
#pragma once

#include "devices/ComPtr.h"
#include "devices/Faces.h"

namespace testsupport {

// The capture device named "Microsoft DV Camera and VCR", or an empty pointer when the bus has none.
devices::ComPtr<devices::IBaseFilter> FindCamcorderFilter();

}  // namespace testsupport
