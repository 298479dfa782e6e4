// The constant tables and transforms the codec stands on.
#include "Dct.h"
#include "Tables.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <set>

using namespace dv::tables;

namespace {

// Reads codes from a bit string the way the decoder does; returns (position, level) pairs.
struct Decoded {
    int nPosition;
    int nLevel;
};
std::vector<Decoded> DecodeAll(const std::vector<int>& bitString) {
    const auto& table = VlcDecodeTable();
    std::vector<Decoded> out;
    size_t at = 0;
    int pos = 1;
    while (at < bitString.size()) {
        uint32_t peek = 0;
        for (size_t i = 0; i < 16; ++i) peek = peek << 1 | uint32_t(at + i < bitString.size() ? bitString[at + i] : 0);
        const VlcDecodeEntry e = DecodeVlc(table, peek);
        EXPECT_GT(e.nBits, 0);
        if (e.nBits == 0) break;
        at += e.nBits;
        if (e.nRun == kEobRun) break;
        pos += e.nRun;
        if (e.nLevel != 0) out.push_back({pos, e.nLevel});
        ++pos;
    }
    return out;
}

void Append(std::vector<int>& bitString, uint32_t code, int bits) {
    for (int i = bits - 1; i >= 0; --i) bitString.push_back(int((code >> i) & 1));
}

}  // namespace

TEST(DvTables, EveryBitPatternStartsWithOneCode) {
    // The code set is complete and prefix-free: the lengths of all codes fill the code space exactly.
    const auto& table = VlcDecodeTable();
    double kraft = 0;
    std::set<std::pair<uint32_t, int>> seen;
    for (uint32_t v = 0; v < (1u << 16); ++v) {
        const VlcDecodeEntry e = DecodeVlc(table, v);
        ASSERT_GT(e.nBits, 0) << "no code starts " << v;
        ASSERT_LE(e.nBits, kMaxCodeBits);
        if (seen.insert({v >> (16 - e.nBits), e.nBits}).second) kraft += std::ldexp(1.0, -e.nBits);
    }
    EXPECT_DOUBLE_EQ(kraft, 1.0);
    EXPECT_LT(table.nSecondTables, 64);                 // the tables stay small
    EXPECT_EQ(DecodeVlc(table, 0x6000).nRun, kEobRun);  // "0110"
    EXPECT_EQ(DecodeVlc(table, 0x0000).nLevel, 1);      // "00" + sign 0
    EXPECT_EQ(DecodeVlc(table, 0x2000).nLevel, -1);     // "00" + sign 1
    EXPECT_EQ(DecodeVlc(table, 0xFE00 | 200 << 1 | 1).nLevel, -200);  // "1111111" + 8 bits + sign
}

TEST(DvTables, EncodedRunsAndLevelsDecodeBackForEveryPair) {
    const auto& enc = VlcEncodeTable();
    for (int run = 0; run <= 62; ++run)
        for (int level = 1; level <= kMaxLevel; ++level)
            for (int sign = 0; sign < 2; ++sign) {
                std::vector<int> bitString;
                const VlcEncodeEntry e = enc[run][level];
                ASSERT_GT(e.nBits, 0);
                Append(bitString, e.nCode << 1 | uint32_t(sign), e.nBits + 1);
                Append(bitString, kEobCode, kEobBits);
                const auto decoded = DecodeAll(bitString);
                ASSERT_EQ(decoded.size(), 1u) << run << "," << level;
                EXPECT_EQ(decoded[0].nPosition, 1 + run);
                EXPECT_EQ(decoded[0].nLevel, sign ? -level : level);
            }
    // Short codes are used where they exist.
    EXPECT_EQ(enc[0][1].nBits, 2);
    EXPECT_EQ(enc[1][1].nBits, 4);
    EXPECT_EQ(enc[0][255].nBits, 15);
}

TEST(DvTables, ScansVisitEveryCoefficientOnceAndAreasRise) {
    for (const uint8_t* scan : {kScan88, kScan248}) {
        std::set<int> seen(scan, scan + 64);
        EXPECT_EQ(seen.size(), 64u);
        EXPECT_EQ(scan[0], 0);
    }
    // 2-4-8: the sum and difference coefficient of one frequency pair follow each other.
    for (int i = 0; i < 64; i += 2) EXPECT_EQ(kScan248[i] + 8, kScan248[i + 1]);
    for (int i = 1; i < 64; ++i) EXPECT_GE(kAreaOfScan[i], kAreaOfScan[i - 1]);
    // Finer QNO never means a coarser step, and class 3 is one step coarser than class 2.
    for (int cls = 0; cls < 4; ++cls)
        for (int q = 1; q < 16; ++q)
            for (int a = 0; a < 4; ++a) EXPECT_LE(QuantShift(cls, q, a), QuantShift(cls, q - 1, a));
    EXPECT_EQ(QuantShift(3, 15, 0), 1);
    EXPECT_EQ(QuantShift(0, 15, 3), 0);
    EXPECT_EQ(QuantShift(2, 0, 3), 4);
}

TEST(DvTables, ScansAreasAndStepsAreThoseOfTheStandard) {
  // 8-8 zig-zag as the standard draws it: the scan position of each coefficient, rows of
  // vertical frequency 0..7, columns of horizontal frequency 0..7.
  const int kOrder88[8][8] = {
      {0, 1, 5, 6, 14, 15, 27, 28},     {2, 4, 7, 13, 16, 26, 29, 42},
      {3, 8, 12, 17, 25, 30, 41, 43},   {9, 11, 18, 24, 31, 40, 44, 53},
      {10, 19, 23, 32, 39, 45, 52, 54}, {20, 22, 33, 38, 46, 51, 55, 60},
      {21, 34, 37, 47, 50, 56, 59, 61}, {35, 36, 48, 49, 57, 58, 62, 63},
  };
  // 2-4-8 zig-zag: the scan position of each sum coefficient (vertical frequency 0..3 of the two
  // fields added, horizontal 0..7); its difference coefficient comes right after it.
  const int kOrder248Sum[4][8] = {
      {0, 2, 6, 18, 20, 34, 36, 50},
      {4, 8, 16, 22, 32, 38, 48, 52},
      {10, 14, 24, 30, 40, 46, 54, 60},
      {12, 26, 28, 42, 44, 56, 58, 62},
  };
  for (int v = 0; v < 8; ++v)
    for (int h = 0; h < 8; ++h) EXPECT_EQ(kScan88[kOrder88[v][h]], v * 8 + h) << "8-8 (" << v << ", " << h << ")";
  for (int v = 0; v < 4; ++v)
    for (int h = 0; h < 8; ++h) {
      EXPECT_EQ(kScan248[kOrder248Sum[v][h]], 2 * v * 8 + h) << "2-4-8 sum (" << v << ", " << h << ")";
      EXPECT_EQ(kScan248[kOrder248Sum[v][h] + 1], (2 * v + 1) * 8 + h) << "2-4-8 difference (" << v << ", " << h << ")";
    }

  // Areas start at scan positions 0, 6, 21 and 43, in both scans.
  const int kAreaStart[4] = {0, 6, 21, 43};
  for (int i = 0; i < 64; ++i) {
    int area = 0;
    while (area < 3 && i >= kAreaStart[area + 1]) ++area;
    EXPECT_EQ(kAreaOfScan[i], area) << "scan position " << i;
  }

  // Quantisation steps of areas 0..3, one row for each set of steps, with the QNO of each class
  // that uses it (-1: none). Class 3 also halves its AC coefficients first, which doubles every
  // step it uses.
  struct StepRow {
    int nQno[4];  // classes 0..3
    int nStep[4];
  };
  const StepRow kSteps[] = {
      {{-1, -1, 0, -1}, {8, 8, 16, 16}},  {{-1, -1, 1, 0}, {8, 8, 16, 16}},  {{-1, -1, 2, 1}, {4, 8, 8, 16}},
      {{-1, 0, 3, 2}, {4, 8, 8, 16}},  {{-1, 1, 4, 3}, {4, 4, 8, 8}},  {{-1, 2, 5, 4}, {4, 4, 8, 8}},
      {{0, 3, 6, 5}, {2, 4, 4, 8}},  {{1, 4, 7, 6}, {2, 4, 4, 8}},  {{2, 5, 8, 7}, {2, 2, 4, 4}},
      {{3, 6, 9, 8}, {2, 2, 4, 4}},  {{4, 7, 10, 9}, {1, 2, 2, 4}},  {{5, 8, 11, 10}, {1, 2, 2, 4}},
      {{6, 9, 12, 11}, {1, 1, 2, 2}},  {{7, 10, 13, 12}, {1, 1, 2, 2}},  {{8, 11, 14, 13}, {1, 1, 1, 2}},
      {{9, 12, 15, 14}, {1, 1, 1, 1}},  {{10, 13, -1, 15}, {1, 1, 1, 1}},  {{11, 14, -1, -1}, {1, 1, 1, 1}},
      {{12, 15, -1, -1}, {1, 1, 1, 1}},  {{13, -1, -1, -1}, {1, 1, 1, 1}},  {{14, -1, -1, -1}, {1, 1, 1, 1}},
      {{15, -1, -1, -1}, {1, 1, 1, 1}},
  };
  int checked = 0;
  for (const StepRow& row : kSteps)
    for (int cls = 0; cls < 4; ++cls) {
      const int qno = row.nQno[cls];
      if (qno < 0) continue;
      for (int area = 0; area < 4; ++area) {
        const int step = row.nStep[area] * (cls == 3 ? 2 : 1);
        EXPECT_EQ(1 << QuantShift(cls, qno, area), step) << "class " << cls << ", QNO " << qno << ", area " << area;
        for (int i = 1; i < 64; ++i) {
          if (kAreaOfScan[i] == area) {
            ASSERT_EQ(1 << QuantShiftsByScan()[cls][qno][i], step) << "class " << cls << ", QNO " << qno << ", position " << i;
          }
        }
      }
      ++checked;
    }
  EXPECT_EQ(checked, 4 * 16);  // every QNO of every class
}

TEST(DvTables, MacroblocksTileThePictureExactlyOnce) {
    for (const dv::System system : {dv::System::System525_60, dv::System::System625_50}) {
        const int height = dv::FrameHeight(system);
        std::vector<int> luma(size_t(720 / 8) * (height / 8), 0);
        for (int seq = 0; seq < int(dv::SequenceCount(system)); ++seq)
            for (int seg = 0; seg < kSegmentsPerSequence; ++seg)
                for (int m = 0; m < kMacroblocksPerSegment; ++m) {
                    const MacroblockPlace p = PlaceOfMacroblock(system, seq, seg, m);
                    for (int b = 0; b < 4; ++b) {
                        const int x = p.nLumaX + (p.bSquare ? (b & 1) * 8 : b * 8);
                        const int y = p.nLumaY + (p.bSquare ? (b >> 1) * 8 : 0);
                        ASSERT_LT(x, 720);
                        ASSERT_LT(y, height);
                        ++luma[size_t(y / 8) * 90 + x / 8];
                    }
                    if (system == dv::System::System625_50) {
                        EXPECT_EQ(p.nChromaX * 2, p.nLumaX);
                        EXPECT_EQ(p.nChromaY * 2, p.nLumaY);
                    } else {
                        EXPECT_EQ(p.nChromaX * 4, p.nLumaX);
                        EXPECT_EQ(p.bEdge411, p.nLumaX == 704);
                    }
                }
        for (size_t i = 0; i < luma.size(); ++i) ASSERT_EQ(luma[i], 1) << "luma block " << i;
    }
}

TEST(DvTables, FastTransformsMatchTheirDefinition) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> sample(-128.0f, 127.0f);
    for (int trial = 0; trial < 20; ++trial) {
        float pixels[64], reference[64], fast[64];
        for (float& p : pixels) p = sample(rng);
        dv::dct::ForwardReference88(pixels, reference);
        std::copy(pixels, pixels + 64, fast);
        dv::dct::ForwardAan88(fast);
        for (int i = 0; i < 64; ++i)
            ASSERT_NEAR(fast[i] / (kAanScale[i / 8] * kAanScale[i % 8] * 8.0f), reference[i], 0.01f) << i;
        // Inverse of prescaled coefficients gives the samples back.
        for (int i = 0; i < 64; ++i) fast[i] = reference[i] * kAanScale[i / 8] * kAanScale[i % 8] / 8.0f;
        dv::dct::InverseAan88(fast);
        for (int i = 0; i < 64; ++i) ASSERT_NEAR(fast[i], pixels[i], 0.01f);
        // 2-4-8 round trip, and its DC is the 8-8 DC.
        float coeffs248[64], back[64];
        dv::dct::Forward248(pixels, coeffs248);
        EXPECT_NEAR(coeffs248[0], reference[0], 0.01f);
        dv::dct::Inverse248(coeffs248, back);
        for (int i = 0; i < 64; ++i) ASSERT_NEAR(back[i], pixels[i], 0.01f);
        // The fast 2-4-8 inverse takes its columns prescaled for the AAN row transform.
        for (int i = 0; i < 64; ++i) fast[i] = coeffs248[i] * kAanScale[i % 8] / std::sqrt(8.0f);
        dv::dct::Inverse248Aan(fast);
        for (int i = 0; i < 64; ++i) ASSERT_NEAR(fast[i], pixels[i], 0.01f);
        // Reduced 2-4-8 inverses are exactly the averages of 2 x 2 and 4 x 4 samples.
        for (const int n : {4, 2}) {
            const int box = 8 / n;
            float reduced[16];
            dv::dct::InverseReduced248(coeffs248, n, reduced);
            for (int y = 0; y < n; ++y)
                for (int x = 0; x < n; ++x) {
                    float sum = 0;
                    for (int dy = 0; dy < box; ++dy)
                        for (int dx = 0; dx < box; ++dx) sum += pixels[(y * box + dy) * 8 + x * box + dx];
                    ASSERT_NEAR(reduced[y * n + x], sum / float(box * box), 0.01f) << n;
                }
        }
    }
}

TEST(DvTables, ReducedInverseGivesBlockAveragesOfSmoothBlocks) {
    float pixels[64], coeffs[64];
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) pixels[y * 8 + x] = float(3 * x - 2 * y);
    dv::dct::ForwardReference88(pixels, coeffs);
    // The lowest 4 x 4 and 2 x 2 frequencies, packed row by row.
    float low4[16], low2[4], half[16], quarter[4];
    for (int v = 0; v < 4; ++v)
        for (int h = 0; h < 4; ++h) low4[v * 4 + h] = coeffs[v * 8 + h];
    for (int v = 0; v < 2; ++v)
        for (int h = 0; h < 2; ++h) low2[v * 2 + h] = coeffs[v * 8 + h];
    dv::dct::InverseReducedPacked(low4, 4, half);
    dv::dct::InverseReducedPacked(low2, 2, quarter);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            const float average = (pixels[(2 * y) * 8 + 2 * x] + pixels[(2 * y) * 8 + 2 * x + 1] +
                                   pixels[(2 * y + 1) * 8 + 2 * x] + pixels[(2 * y + 1) * 8 + 2 * x + 1]) / 4.0f;
            EXPECT_NEAR(half[y * 4 + x], average, 0.6f);
        }
    EXPECT_NEAR(quarter[0] + quarter[3], quarter[1] + quarter[2], 0.01f);  // a plane stays a plane
    EXPECT_LT(quarter[0], quarter[1]);                                      // rising to the right
    EXPECT_GT(quarter[0], quarter[2]);                                      // falling downwards
}
