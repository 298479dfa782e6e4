// Constant tables of DV video: variable-length codes, scans, quantisation areas and steps,
// weights, and the place of every macroblock in the picture.
#pragma once

#include "dv/Format.h"

#include <array>
#include <cstdint>

namespace dv::tables {

// ---- variable-length codes of the AC coefficients -------------------------------------------
// A code (run, amp) stands for `run` zero coefficients followed by one coefficient of amplitude
// `amp` (amp 0 codes only stretch the run); a sign bit follows every code with amp > 0.
constexpr int kMaxCodeBits = 16;     // longest code with its sign bit
constexpr uint8_t kEobRun = 0xFF;    // run value marking the end-of-block code
constexpr uint32_t kEobCode = 0x6;   // "0110"
constexpr int kEobBits = 4;

struct VlcDecodeEntry {
    uint8_t nBits;   // bits used, sign included; 0: not a valid code
    uint8_t nRun;    // zeros before the coefficient, or kEobRun
    int16_t nLevel;  // signed amplitude
};
// Two-level lookup, small enough to stay in the first-level cache: the first 10 bits of the
// stream give the entry of every code of up to 10 bits (sign included); longer codes lead to a
// second table of the next 6 bits.
constexpr int kFirstLevelBits = 10;
constexpr int kSecondLevelBits = kMaxCodeBits - kFirstLevelBits;
constexpr uint8_t kSecondLevel = 0xFE;  // nBits of a first-level entry that leads on; nLevel: table
struct VlcDecodeTables {
    VlcDecodeEntry first[1 << kFirstLevelBits];
    std::array<VlcDecodeEntry, 1 << kSecondLevelBits>* second;
    int nSecondTables;
};
const VlcDecodeTables& VlcDecodeTable();

// The code at the start of `next16` (the next 16 bits of the stream, first bit in bit 15).
inline VlcDecodeEntry DecodeVlc(const VlcDecodeTables& t, uint32_t next16) {
    const VlcDecodeEntry e = t.first[next16 >> kSecondLevelBits];
    if (e.nBits != kSecondLevel) return e;
    return t.second[e.nLevel][next16 & ((1u << kSecondLevelBits) - 1)];
}

struct VlcEncodeEntry {
    uint32_t nCode;  // without the sign bit, right-aligned
    uint8_t nBits;   // without the sign bit
};
constexpr int kMaxRun = 63;
constexpr int kMaxLevel = 255;
// Cheapest code(s) for `run` zeros followed by an amplitude 1..255: indexed [run][amp].
const std::array<std::array<VlcEncodeEntry, kMaxLevel + 1>, kMaxRun + 1>& VlcEncodeTable();

// ---- coefficient order and quantisation ---------------------------------------------------------
// Coefficients are kept at index row * 8 + column. 8-8 DCT: row = vertical frequency. 2-4-8 DCT:
// row 2u holds the sum of the fields' vertical frequency u, row 2u + 1 their difference.
extern const uint8_t kScan88[64];
extern const uint8_t kScan248[64];
// Quantisation area (0..3) of scan position i.
extern const uint8_t kAreaOfScan[64];
// log2 of the quantisation step by (QNO + class offset) and area; class 3 adds one more.
extern const uint8_t kQuantShift[22][4];
extern const uint8_t kClassOffset[4];
inline int QuantShift(int nClass, int nQno, int nArea) {
    return kQuantShift[nQno + kClassOffset[nClass]][nArea] + (nClass == 3 ? 1 : 0);
}

// The same shifts for every scan position: [class][QNO][scan position].
using ShiftsByScan = uint8_t[4][16][64];
const ShiftsByScan& QuantShiftsByScan();

// Weights applied to the orthonormal DCT coefficients before quantisation, by coefficient index.
extern const float* Weight88();
extern const float* Weight248();
// AAN scale factor of frequency k: 1 for k = 0, sqrt(2) cos(k pi / 16) otherwise.
extern const float kAanScale[8];

// ---- layout of a macroblock in the DIF block -------------------------------------------------------
constexpr int kBlocksPerMacroblock = 6;      // Y0 Y1 Y2 Y3 Cr Cb
constexpr int kMacroblocksPerSegment = 5;
constexpr int kSegmentsPerSequence = 27;
constexpr int kLumaBlockBits = 14 * 8;       // 14 bytes per luma block
constexpr int kChromaBlockBits = 10 * 8;     // 10 bytes per chroma block
constexpr int kBlockHeaderBits = 12;         // DC (9, signed), DCT mode (1), class (2)
extern const uint16_t kBlockStartBit[6];     // from the first payload byte (the STA/QNO byte)
extern const uint16_t kBlockBits[6];

// Where a macroblock lies. Luma and chroma origins in samples; `bEdge411` marks the 16 x 16
// macroblocks at the right edge of a 4:1:1 picture, whose chroma blocks hold 4 x 16 samples (left
// half the upper 8 rows, right half the lower 8).
struct MacroblockPlace {
    uint16_t nLumaX, nLumaY;
    uint16_t nChromaX, nChromaY;
    bool bSquare;    // 16 x 16 luma (Y0 Y1 above Y2 Y3); otherwise 32 x 8 (Y0..Y3 side by side)
    bool bEdge411;
};
// Macroblock m (0..4) of segment k (0..26) of sequence s.
MacroblockPlace PlaceOfMacroblock(System system, int nSequence, int nSegment, int nMacroblock);

}  // namespace dv::tables
