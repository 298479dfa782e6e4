#include "SegmentParser.h"

#include "BitIo.h"

#include <cstring>

namespace dv {

using namespace tables;

void SegmentParser::Pool::Append(const uint8_t* src, int from, int to) {
    if (to <= from) return;
    bits::Append(src, from, to, buf, nEnd);
    nEnd += to - from;
}

inline void SegmentParser::ReadCodes(ParsedBlock& block, State& state, const uint8_t* buf, int& pos, int end) {
    // Locals, not the members: the byte stores below could alias them and force reloads.
    const VlcDecodeTables& table = m_vlc;
    const uint8_t* scan = block.nMode ? kScan248 : kScan88;
    int next = state.nPos;  // scan position of the next coefficient
    int count = block.nCount;
    int at = pos;
    // The bits from `at` on in a register, the first in bit 63: the next code is a shift away
    // instead of a load, which shortens the chain from one code to the next.
    uint64_t window = bits::Load64(buf + (at >> 3)) << (at & 7);
    int valid = 64 - (at & 7);
    while (true) {
        if (valid < kMaxCodeBits) {
            window = bits::Load64(buf + (at >> 3)) << (at & 7);
            valid = 64 - (at & 7);
        }
        const VlcDecodeEntry e = DecodeVlc(table, uint32_t(window >> 48));
        if (e.nBits > end - at) break;  // cut off: continues elsewhere
        at += e.nBits;
        window <<= e.nBits;
        valid -= e.nBits;
        if (e.nRun == kEobRun) {
            state.bDone = true;
            break;
        }
        const int place = next + e.nRun;
        if (e.nBits == 0 || place > 63) {  // runs past the block: the rest of this block is unreadable
            state.bDone = state.bDamaged = true;
            break;
        }
        // Written always, kept only for a nonzero amplitude (codes of amplitude 0 only stretch the run).
        block.index[count] = scan[place];
        block.scan[count] = uint8_t(place);
        block.level[count] = e.nLevel;
        count += e.nLevel != 0;
        next = place + 1;
    }
    state.nPos = uint8_t(next);
    block.nCount = uint8_t(count);
    pos = at;
}

void SegmentParser::Continue(ParsedBlock& block, State& state, Pool& pool) {
    // The cut-off start of the block's next code goes just before the unread pool bits; the bits
    // it overwrites have been read already (the headroom covers the first block).
    const int unread = pool.nPos;
    pool.nPos -= state.nPartialBits;
    bits::Write(pool.buf, pool.nPos, state.nPartial, state.nPartialBits);
    int pos = pool.nPos;
    ReadCodes(block, state, pool.buf, pos, pool.nEnd);
    if (state.bDone) {
        state.nPartialBits = 0;
        pool.nPos = pos > unread ? pos : unread;  // never back into the headroom
        return;
    }
    state.nPartialBits = uint8_t(pool.nEnd - pos);
    state.nPartial = bits::Read(pool.buf, pos, state.nPartialBits);
    pool.nPos = pool.nEnd;
}

void SegmentParser::Parse(const uint8_t* const payloads[kMacroblocksPerSegment],
                          ParsedMacroblock out[kMacroblocksPerSegment]) {
    for (int m = 0; m < kMacroblocksPerSegment; ++m) std::memcpy(m_segment + m * kSlotBytes, payloads[m], dif::kBlockPayload);
    std::memset(m_segment + kMacroblocksPerSegment * kSlotBytes, 0, 8);

    bool unfinished = false;
    for (int m = 0; m < kMacroblocksPerSegment; ++m) {
        ParsedMacroblock& mb = out[m];
        const uint8_t* slot = m_segment + m * kSlotBytes;
        mb.nQno = slot[0] & 0x0F;
        const int base = m * kSlotBytes * 8;
        // Round 1: every block in its own area.
        bool mbUnfinished = false;
        for (int b = 0; b < kBlocksPerMacroblock; ++b) {
            ParsedBlock& block = mb.blocks[b];
            State& state = m_states[m][b];
            int pos = base + kBlockStartBit[b];
            const int end = pos + kBlockBits[b];
            const uint32_t header = bits::Read(m_segment, pos, kBlockHeaderBits);
            const uint32_t dc = header >> 3;
            block.nDc = int16_t(dc >= 256 ? int(dc) - 512 : int(dc));
            block.nMode = uint8_t((header >> 2) & 1);
            block.nClass = uint8_t(header & 3);
            block.nCount = 0;
            state = State{1, false, false, 0, 0, 0, 0};
            pos += kBlockHeaderBits;
            ReadCodes(block, state, m_segment, pos, end);
            if (state.bDone) {
                if (!state.bDamaged) {
                    state.nLeftFrom = pos;
                    state.nLeftTo = end;
                }
            } else {
                state.nPartialBits = uint8_t(end - pos);
                state.nPartial = bits::Read(m_segment, pos, state.nPartialBits);
                mbUnfinished = true;
            }
        }
        // Round 2: unfinished blocks continue in the free space of finished ones, in block order.
        m_bSecondRound[m] = mbUnfinished;
        if (!mbUnfinished) continue;
        Pool& pool = m_mbPools[m];
        pool.Reset();
        for (int b = 0; b < kBlocksPerMacroblock; ++b) {
            const State& state = m_states[m][b];
            if (state.bDone) pool.Append(m_segment, state.nLeftFrom, state.nLeftTo);
        }
        for (int b = 0; b < kBlocksPerMacroblock; ++b)
            if (!m_states[m][b].bDone) Continue(mb.blocks[b], m_states[m][b], pool);
        for (int b = 0; b < kBlocksPerMacroblock; ++b) unfinished = unfinished || !m_states[m][b].bDone;
    }
    if (!unfinished) return;
    // Round 3: what is still unfinished continues in the free space left in the whole segment:
    // the unused free bits of every macroblock, in macroblock order.
    m_segmentPool.Reset();
    for (int m = 0; m < kMacroblocksPerSegment; ++m) {
        if (m_bSecondRound[m]) {
            m_segmentPool.Append(m_mbPools[m].buf, m_mbPools[m].nPos, m_mbPools[m].nEnd);
            continue;
        }
        for (int b = 0; b < kBlocksPerMacroblock; ++b)
            m_segmentPool.Append(m_segment, m_states[m][b].nLeftFrom, m_states[m][b].nLeftTo);
    }
    for (int m = 0; m < kMacroblocksPerSegment; ++m)
        for (int b = 0; b < kBlocksPerMacroblock; ++b)
            if (!m_states[m][b].bDone) Continue(out[m].blocks[b], m_states[m][b], m_segmentPool);
}

}  // namespace dv
