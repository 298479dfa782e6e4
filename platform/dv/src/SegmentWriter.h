// Codes the 30 transformed blocks of one video segment into its five DIF block payloads: picks a
// QNO per macroblock so that the segment's codes fit, then spreads the codes that overflow a
// block's area over the free space of its macroblock and then of the segment, in the order a
// decoder reads them back.
#pragma once

#include "Tables.h"

#include <array>
#include <cstdint>

namespace dv {

// A macroblock's quantisation level 0..21 (coarse to fine) sets one step size for all its luma
// blocks: class 0, 1 or 2 with the QNO that reaches that level; chroma goes one class coarser
// where it can, and class 3 blocks keep the QNO.
struct SegmentWriterLevels {
    static constexpr int kCount = 22;
    static int ClassOf(int level) { return level >= 6 ? 0 : level >= 3 ? 1 : 2; }
    static int QnoOf(int level) { return level - tables::kClassOffset[ClassOf(level)]; }
};

struct CodedBlock {
    int16_t nDc = 0;        // 9-bit DC
    uint8_t nMode = 0;      // 0: 8-8, 1: 2-4-8
    uint8_t nClass = 0;     // set by the writer; 3 is needed for values above 255
    bool bNeedsClass3 = false;
    uint8_t nCount = 0;     // non-zero weighted coefficients kept, in scan order
    uint8_t scan[63];       // their scan positions (1..63)
    int16_t value[63];      // their weighted values (signed)
    uint16_t magnitude[63]; // and their magnitudes
};

struct CodedMacroblock {
    CodedBlock blocks[tables::kBlocksPerMacroblock];
};

class SegmentWriter {
public:
    // `payloads[m]` receives the 77 payload bytes of macroblock m. The blocks' coefficient lists
    // may be shortened when even the coarsest quantisation does not fit.
    void Write(CodedMacroblock mbs[tables::kMacroblocksPerSegment], uint8_t* const payloads[tables::kMacroblocksPerSegment]);

private:
    static constexpr int kSegmentBits = tables::kMacroblocksPerSegment *
        (4 * (tables::kLumaBlockBits - tables::kBlockHeaderBits) + 2 * (tables::kChromaBlockBits - tables::kBlockHeaderBits));

    static constexpr int kLevels = SegmentWriterLevels::kCount;
    static int ClassOfLevel(int level) { return SegmentWriterLevels::ClassOf(level); }
    static int QnoOfLevel(int level) { return SegmentWriterLevels::QnoOf(level); }
    // Chroma one class coarser than luma where it can be: the bits serve the picture more in luma.
    // (Keep in step with SameStepLevels in the source.)
    static int ClassOfBlock(const CodedBlock& block, int b, int lumaClass) {
        return block.bNeedsClass3 ? 3 : (b >= 4 && lumaClass < 2) ? lumaClass + 1 : lumaClass;
    }
    int BlockBits(const CodedBlock& block, int nClass, int qno) const;
    int MacroblockBits(int m, int level);
    void ChooseQuantisation(CodedMacroblock mbs[]);
    class BitAppender;
    void EmitBlock(const CodedBlock& block, int qno, BitAppender& out);

    const std::array<std::array<tables::VlcEncodeEntry, tables::kMaxLevel + 1>, tables::kMaxRun + 1>& m_vlc =
        tables::VlcEncodeTable();
    const tables::ShiftsByScan& m_shifts = tables::QuantShiftsByScan();
    CodedMacroblock* m_pMbs = nullptr;
    int m_cost[tables::kMacroblocksPerSegment][kLevels];
    int m_level[tables::kMacroblocksPerSegment];
    int m_nLastLevel = kLevels - 1;
    int m_qno[tables::kMacroblocksPerSegment];
    uint8_t m_stream[kSegmentBits / 8 + 64];
    // Payloads are built here, with room for whole-word bit writes past their ends.
    static constexpr int kSlotBytes = 80;
    uint8_t m_payloads[tables::kMacroblocksPerSegment][kSlotBytes + 8];
};

}  // namespace dv
