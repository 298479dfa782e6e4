#pragma once
// Damaged recordings made from files our writer makes, and what the readers and the repair
// make of them. Each kind of damage is one that disks and cut-off recordings produce; the
// outcome counts the frames that were whole in the damaged file against the frames the repair
// got back at their own numbers, and the results that are plainly wrong.

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "avi/AviParser.h"

namespace avidamage {

using avitest::Bytes;

enum class Damage {
    Truncate,         // cut at any byte after the headers
    ZeroTail,         // cut, then zeros up to a larger size (the file system's room, never written)
    ZeroRange,        // a run of zeros inside the "movi" data
    FlipBit,          // one bit anywhere in the "movi" data
    BadChunkSize,     // one bit of one frame chunk's size field
    TinyChunk,        // a frame chunk whose size says 2
    Idx1SizeZero,     // the legacy index's size field 0: its entries look like chunks
    CopyStdIndex,     // one standard index copied over another
    SwapSuperIndex,   // two entries of the video super index swapped
    SwapChunks,       // two neighbouring frame chunks swapped
    DuplicateChunk,   // a frame chunk copied over the next one
    FlipHeader,       // bytes of the headers changed
};

const std::vector<Damage>& AllDamage();
const char* DamageName(Damage damage);

// Whether every frame still whole in the file must come back at its own number. Copying a chunk
// over another loses which frame was where; headers can be changed into anything. Those kinds
// need only a sound result.
bool KeepsNumbers(Damage damage);

// A recording as written, with where its chunks and indexes lie.
struct Original {
    std::string name;
    Bytes bytes;
    bool bTimecodes = false; // its frames carry running time codes
    std::vector<avi::ChunkRef> frames; // by frame number, dropped ones included
    std::vector<std::uint64_t> videoStdIndexes; // "ix00" positions, in file order
    struct Segment {
        std::uint64_t nIxPos = 0;
        std::uint64_t nIxBytes = 0; // the whole chunk
        std::size_t nFirst = 0;     // its frames
        std::size_t nCount = 0;
        bool bHasDrops = false;
    };
    std::vector<Segment> segments;
    std::uint64_t nVideoIndxPos = 0;   // "indx" code of the video stream
    std::uint64_t nIdx1Pos = 0;
    std::uint64_t nMoviPos = 0;
};

// Type 1 525/60 and Type 2 625/50 recordings with drops, several segments and checkpoints.
std::vector<Original> MakeOriginals();

struct Sample {
    Damage kind = Damage::Truncate;
    Bytes bytes;
    std::string what; // the damage done, for messages
};

Sample MakeDamage(const Original& original, Damage kind, std::mt19937& random);

struct Outcome {
    bool bParsed = false;        // the parser took the damaged file
    bool bRepaired = false;      // repair wrote a file
    std::uint32_t nIntact = 0;   // recorded frames whose chunk is whole and unchanged
    // Whole frames of a segment that had drops and whose standard index was damaged, in a
    // recording without running time codes: where the drops were is lost with the index, so
    // their numbers cannot be known. Not counted as intact.
    std::uint32_t nUnplaceable = 0;
    std::uint32_t nRecovered = 0; // of them, the frames the repaired file holds at their numbers
    std::uint32_t nMisplaced = 0; // repaired frames that are another recorded frame
    std::vector<std::string> vecWrong; // plainly wrong results
    Bytes repaired;              // the rebuilt file
    std::uint32_t nFramesWritten = 0; // as repair reported them
    std::uint32_t nDroppedWritten = 0;
};

// Parses, checks and (forced) repairs the damaged file in memory and compares what comes back
// with the original.
Outcome Evaluate(const Original& original, const Sample& sample);

} // namespace avidamage
