// DV frames of a file, one after another: a raw .dv file of whole frames.
#pragma once

#include "dv/Format.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

class FrameSource {
public:
    virtual ~FrameSource() = default;
    virtual uint64_t Count() const = 0;
    // Reads frame n into `frame`; false at a read error or past the end.
    virtual bool Read(uint64_t n, std::vector<uint8_t>& frame) = 0;
};

// Opens a raw DV file; its first frame's header decides the system and so the frame size.
// Returns null with a message in `error` when the file cannot be read as DV.
std::unique_ptr<FrameSource> OpenRawDv(const std::string& path, std::string& error);
