// What the AVI multiplexer needs of the filter downstream of it: a file to write at positions.
#pragma once

#include "avi/FileIo.h"

namespace media {

class FileSink {
public:
    // The open file while the graph is paused or running; null otherwise.
    virtual avi::FileIo* SinkFile() = 0;
protected:
    ~FileSink() = default;
};

}  // namespace media
