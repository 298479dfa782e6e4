// DV frames of a file, one after another: a raw .dv file of whole frames, or the DV stream of an
// AVI Type 1 or Type 2 file.
#pragma once

#include "dv/Format.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class FrameSource {
public:
    enum class Status { Ok, Dropped, Error };
    virtual ~FrameSource() = default;
    virtual uint64_t Count() const = 0;
    // Reads frame n into `frame`: Dropped for a frame the recording lost (AVI index entry 0),
    // Error at a read error or past the end.
    virtual Status Read(uint64_t n, std::vector<uint8_t>& frame) = 0;
    virtual std::string Kind() const = 0;
};

// Opens a raw DV file (its first frame's header decides the frame size) or an AVI file (by its
// "RIFF" head). Returns null with a message in `error` when the file cannot be read as either.
std::unique_ptr<FrameSource> OpenFrames(const std::string& path, std::string& error);
