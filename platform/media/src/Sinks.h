// What the AVI multiplexer needs of the filter downstream of it: a file to write at positions.
#pragma once

#include "avi/FileIo.h"

namespace media {

class FileSink {
public:
    // The open file while the graph is paused or running; null otherwise.
    virtual avi::FileIo* SinkFile() = 0;
    // Why the last write to that file failed, as an HRESULT of the system's error; E_FAIL when
    // the system gave none.
    virtual HRESULT LastWriteError() = 0;
protected:
    ~FileSink() = default;
};

}  // namespace media
