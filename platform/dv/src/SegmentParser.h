// Reads the coefficients of the 30 DCT blocks of one video segment (five DIF blocks), following
// the three rounds in which a block's codes may continue: in its own area, in the free space of
// its macroblock, then in the free space of the whole segment.
#pragma once

#include "Tables.h"

#include <cstdint>

namespace dv {

struct ParsedBlock {
    int16_t nDc = 0;         // 9-bit DC as coded
    uint8_t nMode = 0;       // 0: 8-8, 1: 2-4-8
    uint8_t nClass = 0;
    uint8_t nCount = 0;      // coefficients in index/level
    uint8_t index[64];       // coefficient index (row * 8 + column)
    uint8_t scan[64];        // scan position of the same coefficient (for its area)
    int16_t level[64];
};

struct ParsedMacroblock {
    uint8_t nQno = 0;
    ParsedBlock blocks[tables::kBlocksPerMacroblock];
};

class SegmentParser {
public:
    // `payloads[m]` points at the 77 payload bytes of DIF block m of the segment.
    void Parse(const uint8_t* const payloads[tables::kMacroblocksPerSegment],
               ParsedMacroblock out[tables::kMacroblocksPerSegment]);

private:
    static constexpr int kSlotBytes = 80;
    static constexpr int kHeadroomBits = 32;
    // Headroom, the free bits of a whole segment at most, and 8 bytes for the word reads and writes.
    static constexpr int kPoolBytes = 4 + tables::kMacroblocksPerSegment * kSlotBytes + 8;

    struct Pool {  // concatenated free bits; consumed bits may be overwritten by a block's partial code
        uint8_t buf[kPoolBytes] = {};
        int nPos, nEnd;
        void Reset() { nPos = nEnd = kHeadroomBits; }
        void Append(const uint8_t* src, int from, int to);
    };
    struct State {
        uint8_t nPos;            // next scan position to fill
        bool bDone;
        bool bDamaged;
        uint8_t nPartialBits;    // start of a code cut off at the end of the bits so far
        uint32_t nPartial;
        int nLeftFrom, nLeftTo;  // free bits after the end-of-block in the block's own area
    };

    void ReadCodes(ParsedBlock& block, State& state, const uint8_t* buf, int& pos, int end);
    void Continue(ParsedBlock& block, State& state, Pool& pool);

    const tables::VlcDecodeTables& m_vlc = tables::VlcDecodeTable();
    uint8_t m_segment[tables::kMacroblocksPerSegment * kSlotBytes + 8] = {};  // 8 bytes for the word reads
    State m_states[tables::kMacroblocksPerSegment][tables::kBlocksPerMacroblock];
    Pool m_mbPools[tables::kMacroblocksPerSegment];
    bool m_bSecondRound[tables::kMacroblocksPerSegment];
    Pool m_segmentPool;
};

}  // namespace dv
