#pragma once
// Rebuilds a cut-off or damaged DV AVI file from the chunks of its "movi" lists: every frame and
// audio chunk that is whole in the file is kept, dropped frames are taken from the standard
// indexes (or the legacy "idx1") that survive, and a complete file with fresh headers and indexes
// is written through the AVI writer.
//
// Damage does not end the walk: after a chunk header it cannot trust the scanner searches for
// the next valid one and goes on, skipping zero-filled runs in large blocks. A frame whose chunk
// is damaged becomes a dropped frame, so the frames after it keep their numbers; where a whole
// standard index is lost, the frames' time codes tell where its dropped frames were. Only chunks of
// a DV frame's size go into the video stream; anything else is left out and counted.

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

enum class RepairIndex { None, OpenDml, Idx1 };

struct RepairReport {
    int nAviType = 0;
    VideoSystem system = VideoSystem::System525_60;
    std::uint32_t nFramesIndexed = 0;   // frames the damaged file's own index listed
    std::uint32_t nDeclaredLength = 0;  // its stream length
    bool bWasConsistent = false;
    RepairIndex indexUsed = RepairIndex::None; // the surviving index that numbered the frames
    std::uint32_t nFramesWritten = 0;   // frames of the rebuilt file, dropped ones included
    std::uint32_t nDroppedWritten = 0;
    std::uint32_t nFramesDamaged = 0;   // of the dropped ones, frames whose chunk was unusable
    std::uint32_t nFramesFromTail = 0;  // frames found after the last index entry
    std::uint32_t nAudioChunks = 0;
    std::uint64_t nAudioBytes = 0;
    std::uint32_t nChunksLeftOut = 0;   // stream chunks of a size their stream cannot hold
    std::uint32_t nDamagedRegions = 0;  // runs of bytes that held no valid chunk
    std::uint64_t nBytesDiscarded = 0;  // the bytes of those runs
};

// Reads the damaged file from source and writes the rebuilt one to target (an empty file).
AviResult RepairAvi(FileIo& source, FileIo& target, const RepairOptions& options, RepairReport* pReport);

} // namespace avi
