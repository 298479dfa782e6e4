#pragma once
// Rebuilds a cut-off or damaged DV AVI file from the chunks of its "movi" lists: every frame and
// audio chunk that is whole in the file is kept, dropped frames are taken from the standard
// indexes that were written before the cut, and a complete file with fresh headers and indexes
// is written through the AVI writer.

#include <cstdint>
#include <string>

#include "avi/AviResult.h"
#include "avi/AviWriter.h"
#include "avi/FileIo.h"

namespace avi {

struct RepairOptions {
    std::uint64_t nSegmentBytes = AviWriterOptions::kDefaultSegmentBytes;
    std::uint32_t nSuperIndexEntries = 1024;
};

struct RepairReport {
    int nAviType = 0;
    VideoSystem system = VideoSystem::System525_60;
    std::uint32_t nFramesIndexed = 0;   // frames the damaged file's own index listed
    std::uint32_t nDeclaredLength = 0;  // its stream length
    bool bWasConsistent = false;
    std::uint32_t nFramesWritten = 0;   // frames of the rebuilt file, dropped ones included
    std::uint32_t nDroppedWritten = 0;
    std::uint32_t nFramesFromTail = 0;  // frames found after the last index entry
    std::uint32_t nAudioChunks = 0;
    std::uint64_t nAudioBytes = 0;
    std::uint64_t nBytesDiscarded = 0;  // from the first unusable byte to the end of the file
};

// Reads the damaged file from source and writes the rebuilt one to target (an empty file).
AviResult RepairAvi(FileIo& source, FileIo& target, const RepairOptions& options, RepairReport* pReport);

} // namespace avi
