#include "SegmentWriter.h"

#include "BitIo.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>

namespace dv {

using namespace tables;

namespace {

// Rounds a little towards zero (a quarter of the step instead of a half): few visible losses
// for many bits. Rounding offset by shift.
constexpr int kRoundingOffset[8] = {0, 1, 1, 2, 4, 8, 16, 32};
inline int Quantize(int magnitude, int shift) { return (magnitude + kRoundingOffset[shift]) >> shift; }

// A run of free bits in the segment's payloads.
struct FreeRange {
    int nMacroblock;
    int nFrom, nTo;
};

// Writes bits into a list of free ranges, one after another.
class RangeWriter {
public:
    RangeWriter(FreeRange* ranges, int count, uint8_t* const* payloads)
        : m_pRanges(ranges), m_nCount(count), m_pPayloads(payloads) {}
    // Writes bits [from, to) of `src`; returns how many bits found room.
    int Put(const uint8_t* src, int from, int to) {
        int written = 0;
        while (from < to && m_nIndex < m_nCount) {
            FreeRange& r = m_pRanges[m_nIndex];
            const int n = std::min(to - from, r.nTo - r.nFrom);
            bits::Copy(src, from, from + n, m_pPayloads[r.nMacroblock], r.nFrom);
            r.nFrom += n;
            from += n;
            written += n;
            if (r.nFrom == r.nTo) ++m_nIndex;
        }
        return written;
    }
    int Index() const { return m_nIndex; }

private:
    FreeRange* m_pRanges;
    int m_nCount;
    uint8_t* const* m_pPayloads;
    int m_nIndex = 0;
};

}  // namespace

int SegmentWriter::BlockBits(const CodedBlock& block, int nClass, int qno) const {
    const auto& vlc = m_vlc;
    const uint8_t* shift = m_shifts[nClass][qno];
    int bitsUsed = kEobBits;
    int last = 0;  // scan position of the last coded coefficient
    for (int i = 0; i < block.nCount; ++i) {
        const int pos = block.scan[i];
        const int q = Quantize(block.magnitude[i], shift[pos]);
        if (q == 0) continue;
        const int level = q > kMaxLevel ? kMaxLevel : q;
        bitsUsed += vlc[pos - last - 1][level].nBits + 1;
        last = pos;
    }
    return bitsUsed;
}

namespace {
// Levels that quantise every class of block with the same steps cost the same bits: each level's
// first such level, so that one count serves them all.
struct SameStepLevels {
    int first[SegmentWriterLevels::kCount];
    SameStepLevels() {
        auto steps = [](int level, int a) {
            const int cls = SegmentWriterLevels::ClassOf(level), qno = SegmentWriterLevels::QnoOf(level);
            return std::array<int, 3>{QuantShift(cls, qno, a), QuantShift(cls < 2 ? cls + 1 : cls, qno, a), QuantShift(3, qno, a)};
        };
        for (int level = 0; level < SegmentWriterLevels::kCount; ++level) {
            first[level] = level;
            for (int other = 0; other < level; ++other) {
                bool same = true;
                for (int a = 0; a < 4; ++a) same = same && steps(level, a) == steps(other, a);
                if (same) {
                    first[level] = first[other];
                    break;
                }
            }
        }
    }
};
const SameStepLevels& SameSteps() {
    static const SameStepLevels levels;
    return levels;
}
}  // namespace

int SegmentWriter::MacroblockBits(int m, int level) {
    level = SameSteps().first[level];
    int& cached = m_cost[m][level];
    if (cached < 0) {
        cached = 0;
        const int cls = ClassOfLevel(level), qno = QnoOfLevel(level);
        for (int b = 0; b < kBlocksPerMacroblock; ++b) {
            const CodedBlock& block = m_pMbs[m].blocks[b];
            cached += BlockBits(block, ClassOfBlock(block, b, cls), qno);
        }
    }
    return cached;
}

void SegmentWriter::ChooseQuantisation(CodedMacroblock mbs[]) {
    m_pMbs = mbs;
    std::memset(m_cost, 0xFF, sizeof(m_cost));
    // Bits of the segment at one level; counting stops once they are too many.
    auto total = [&](int level) {
        int sum = 0;
        for (int m = 0; m < kMacroblocksPerSegment && sum <= kSegmentBits; ++m) sum += MacroblockBits(m, level);
        return sum;
    };
    // The finest level that fits for all five macroblocks together, looked for first next to the
    // level of the previous segment (whose macroblocks lie next to these)...
    auto fits = [&](int level) { return total(level) <= kSegmentBits; };
    int lo = 0, hi = kLevels - 1;
    const int guess = m_nLastLevel;
    if (fits(guess)) {
        lo = guess;
        if (guess < hi && !fits(guess + 1)) hi = guess;
        else lo = std::min(guess + 1, hi);
    } else {
        hi = guess - 1;
        if (hi > 0 && fits(hi - 1)) lo = hi - 1;
    }
    if (lo < hi && fits(hi)) lo = hi;
    while (lo < hi) {
        const int mid = (lo + hi + 1) / 2;
        if (fits(mid)) lo = mid;
        else hi = mid - 1;
    }
    m_nLastLevel = lo;
    for (int m = 0; m < kMacroblocksPerSegment; ++m) m_level[m] = lo;
    int used = total(lo);
    if (used <= kSegmentBits) {
        // ...then finer steps for single macroblocks while the segment still fits.
        for (bool changed = true; changed;) {
            changed = false;
            for (int m = 0; m < kMacroblocksPerSegment; ++m) {
                if (m_level[m] == kLevels - 1) continue;
                const int next = used - MacroblockBits(m, m_level[m]) + MacroblockBits(m, m_level[m] + 1);
                if (next <= kSegmentBits) {
                    used = next;
                    ++m_level[m];
                    changed = true;
                }
            }
        }
    }
    for (int m = 0; m < kMacroblocksPerSegment; ++m) {
        m_qno[m] = QnoOfLevel(m_level[m]);
        for (int b = 0; b < kBlocksPerMacroblock; ++b)
            mbs[m].blocks[b].nClass = uint8_t(ClassOfBlock(mbs[m].blocks[b], b, ClassOfLevel(m_level[m])));
    }
    if (used <= kSegmentBits) return;
    // Not even the coarsest steps fit: the coarsest class everywhere, then the highest
    // frequencies of the costliest blocks go.
    auto totalNow = [&]() {
        int sum = 0;
        for (int m = 0; m < kMacroblocksPerSegment; ++m)
            for (const CodedBlock& block : mbs[m].blocks) sum += BlockBits(block, block.nClass, m_qno[m]);
        return sum;
    };
    for (int m = 0; m < kMacroblocksPerSegment; ++m) {
        m_qno[m] = 0;
        for (CodedBlock& block : mbs[m].blocks) block.nClass = 3;
    }
    used = totalNow();
    while (used > kSegmentBits) {
        int bestM = 0, bestB = 0, bestBits = -1;
        for (int m = 0; m < kMacroblocksPerSegment; ++m)
            for (int b = 0; b < kBlocksPerMacroblock; ++b) {
                const CodedBlock& block = mbs[m].blocks[b];
                const int bitsUsed = block.nCount ? BlockBits(block, block.nClass, 0) : -1;
                if (bitsUsed > bestBits) bestBits = bitsUsed, bestM = m, bestB = b;
            }
        CodedBlock& block = mbs[bestM].blocks[bestB];
        const int drop = block.nCount > 8 ? block.nCount / 8 : 1;
        block.nCount = uint8_t(block.nCount - drop);
        used = totalNow();
    }
}

// Appends codes to a byte buffer, most significant bit first.
class SegmentWriter::BitAppender {
public:
    explicit BitAppender(uint8_t* buf) : m_pNext(buf) {}
    void Put(uint32_t code, int bits) {  // bits <= 32
        m_acc = (m_acc << bits) | code;
        m_nPending += bits;
        m_nPos += bits;
        while (m_nPending >= 8) {
            m_nPending -= 8;
            *m_pNext++ = uint8_t(m_acc >> m_nPending);
        }
    }
    void Flush() {
        if (m_nPending) *m_pNext = uint8_t(m_acc << (8 - m_nPending));
    }
    int Position() const { return m_nPos; }

private:
    uint8_t* m_pNext;
    uint64_t m_acc = 0;
    int m_nPending = 0;
    int m_nPos = 0;
};

void SegmentWriter::EmitBlock(const CodedBlock& block, int qno, BitAppender& out) {
    const auto& vlc = m_vlc;
    const uint8_t* shift = m_shifts[block.nClass][qno];
    int last = 0;
    for (int i = 0; i < block.nCount; ++i) {
        const int pos = block.scan[i];
        const int q = Quantize(block.magnitude[i], shift[pos]);
        if (q == 0) continue;
        const VlcEncodeEntry& e = vlc[pos - last - 1][q > kMaxLevel ? kMaxLevel : q];
        out.Put((e.nCode << 1) | (block.value[i] < 0 ? 1u : 0u), e.nBits + 1);
        last = pos;
    }
    out.Put(kEobCode, kEobBits);
}

void SegmentWriter::Write(CodedMacroblock mbs[kMacroblocksPerSegment], uint8_t* const out[kMacroblocksPerSegment]) {
    ChooseQuantisation(mbs);
    uint8_t* payloads[kMacroblocksPerSegment];
    for (int m = 0; m < kMacroblocksPerSegment; ++m) payloads[m] = m_payloads[m];

    // Every block's codes in one stream; where each block's part starts and ends.
    int from[kMacroblocksPerSegment][kBlocksPerMacroblock], to[kMacroblocksPerSegment][kBlocksPerMacroblock];
    BitAppender appender(m_stream);
    for (int m = 0; m < kMacroblocksPerSegment; ++m)
        for (int b = 0; b < kBlocksPerMacroblock; ++b) {
            from[m][b] = appender.Position();
            EmitBlock(mbs[m].blocks[b], m_qno[m], appender);
            to[m][b] = appender.Position();
        }
    appender.Flush();

    FreeRange segmentFree[kMacroblocksPerSegment * kBlocksPerMacroblock];
    int segmentFreeCount = 0;
    for (int m = 0; m < kMacroblocksPerSegment; ++m) {
        uint8_t* payload = payloads[m];
        std::memset(payload, 0, sizeof(m_payloads[m]));
        payload[0] = uint8_t(m_qno[m]);  // STA 0: no error
        FreeRange mbFree[kBlocksPerMacroblock];
        int mbFreeCount = 0;
        // Round 1: each block's own area.
        for (int b = 0; b < kBlocksPerMacroblock; ++b) {
            const CodedBlock& block = mbs[m].blocks[b];
            const int start = kBlockStartBit[b];
            const int end = start + kBlockBits[b];
            bits::Write(payload, start, (uint32_t(block.nDc) & 0x1FF) << 3 | uint32_t(block.nMode) << 2 | block.nClass,
                        kBlockHeaderBits);
            const int room = end - start - kBlockHeaderBits;
            const int n = std::min(room, to[m][b] - from[m][b]);
            bits::Copy(m_stream, from[m][b], from[m][b] + n, payload, start + kBlockHeaderBits);
            from[m][b] += n;
            if (from[m][b] == to[m][b] && n < room) mbFree[mbFreeCount++] = FreeRange{m, start + kBlockHeaderBits + n, end};
        }
        // Round 2: overflow into the free space of the macroblock's finished blocks.
        RangeWriter mbWriter(mbFree, mbFreeCount, payloads);
        for (int b = 0; b < kBlocksPerMacroblock; ++b)
            from[m][b] += mbWriter.Put(m_stream, from[m][b], to[m][b]);
        for (int i = mbWriter.Index(); i < mbFreeCount; ++i)
            if (mbFree[i].nFrom < mbFree[i].nTo) segmentFree[segmentFreeCount++] = mbFree[i];
    }
    // Round 3: what is left goes into the free space of the whole segment.
    RangeWriter segmentWriter(segmentFree, segmentFreeCount, payloads);
    for (int m = 0; m < kMacroblocksPerSegment; ++m)
        for (int b = 0; b < kBlocksPerMacroblock; ++b) segmentWriter.Put(m_stream, from[m][b], to[m][b]);
    for (int m = 0; m < kMacroblocksPerSegment; ++m) std::memcpy(out[m], payloads[m], dif::kBlockPayload);
}

}  // namespace dv
