#include "Tables.h"

#include <cmath>
#include <limits>
#include <vector>

namespace dv::tables {
namespace {

// Short codes of the AC table: runs of consecutive code values of one length, each with the
// (run, amplitude) pairs they stand for, in code order.
struct CodeRun {
    uint8_t nBits;
    uint16_t nFirstCode;
    uint8_t nCount;
    uint8_t pairs[20][2];
};
constexpr CodeRun kShortCodes[] = {
    {2, 0x000, 1, {{0, 1}}},
    {3, 0x002, 1, {{0, 2}}},
    {4, 0x007, 3, {{1, 1}, {0, 3}, {0, 4}}},
    {5, 0x014, 4, {{2, 1}, {1, 2}, {0, 5}, {0, 6}}},
    {6, 0x030, 4, {{3, 1}, {4, 1}, {0, 7}, {0, 8}}},
    {7, 0x068, 8, {{5, 1}, {6, 1}, {2, 2}, {1, 3}, {1, 4}, {0, 9}, {0, 10}, {0, 11}}},
    {8, 0x0E0, 16, {{7, 1}, {8, 1}, {9, 1}, {10, 1}, {3, 2}, {4, 2}, {2, 3}, {1, 5}, {1, 6}, {1, 7},
                    {0, 12}, {0, 13}, {0, 14}, {0, 15}, {0, 16}, {0, 17}}},
    {9, 0x1E0, 16, {{11, 1}, {12, 1}, {13, 1}, {14, 1}, {5, 2}, {6, 2}, {3, 3}, {4, 3}, {2, 4}, {2, 5},
                    {1, 8}, {0, 18}, {0, 19}, {0, 20}, {0, 21}, {0, 22}}},
    {10, 0x3E0, 7, {{5, 3}, {3, 4}, {3, 5}, {2, 6}, {1, 9}, {1, 10}, {1, 11}}},
    {11, 0x7CE, 8, {{0, 0}, {1, 0}, {6, 3}, {4, 4}, {3, 6}, {1, 12}, {1, 13}, {1, 14}}},
    {12, 0xFAC, 20, {{2, 0}, {3, 0}, {4, 0}, {5, 0}, {7, 2}, {8, 2}, {9, 2}, {10, 2}, {7, 3}, {8, 3},
                     {4, 5}, {3, 7}, {2, 7}, {2, 8}, {2, 9}, {2, 10}, {2, 11}, {1, 15}, {1, 16}, {1, 17}}},
};
// Long forms: "1111110" + 6-bit run for (run, 0); "1111111" + 8-bit amplitude for (0, amp).
constexpr int kRunEscapeBits = 13;
constexpr uint32_t kRunEscapePrefix = 0x1F80;
constexpr int kLevelEscapeBits = 15;
constexpr uint32_t kLevelEscapePrefix = 0x7F00;

struct Code {
    uint32_t nCode;
    int nBits;  // sign excluded
};

template <typename Fn>
void ForEachCode(Fn&& fn) {  // fn(code, bits, run, amp)
    for (const CodeRun& run : kShortCodes)
        for (int i = 0; i < run.nCount; ++i)
            fn(uint32_t(run.nFirstCode + i), int(run.nBits), int(run.pairs[i][0]), int(run.pairs[i][1]));
    for (int r = 0; r <= 63; ++r) fn(kRunEscapePrefix | uint32_t(r), kRunEscapeBits, r, 0);
    for (int a = 0; a <= 255; ++a) fn(kLevelEscapePrefix | uint32_t(a), kLevelEscapeBits, 0, a);
}

std::array<VlcDecodeEntry, 1 << 16> BuildFlatDecodeTable() {
    std::array<VlcDecodeEntry, 1 << 16> table{};
    auto fill = [&](uint32_t code, int bits, uint8_t run, int16_t level) {
        const int free = 16 - bits;
        const uint32_t first = code << free;
        for (uint32_t k = 0; k < (1u << free); ++k) table[first | k] = VlcDecodeEntry{uint8_t(bits), run, level};
    };
    ForEachCode([&](uint32_t code, int bits, int run, int amp) {
        if (amp == 0) {
            fill(code, bits, uint8_t(run), 0);
        } else {
            fill((code << 1), bits + 1, uint8_t(run), int16_t(amp));
            fill((code << 1) | 1, bits + 1, uint8_t(run), int16_t(-amp));
        }
    });
    fill(kEobCode, kEobBits, kEobRun, 0);
    return table;
}

// Splits the full 16-bit table into the two levels.
struct DecodeTableStore {
    VlcDecodeTables tables{};
    std::vector<std::array<VlcDecodeEntry, 1 << kSecondLevelBits>> second;
    DecodeTableStore() {
        const auto flat = BuildFlatDecodeTable();
        constexpr uint32_t kSecondSize = 1u << kSecondLevelBits;
        for (uint32_t prefix = 0; prefix < (1u << kFirstLevelBits); ++prefix) {
            const VlcDecodeEntry e = flat[prefix << kSecondLevelBits];
            if (e.nBits != 0 && e.nBits <= kFirstLevelBits) {
                tables.first[prefix] = e;
                continue;
            }
            tables.first[prefix] = VlcDecodeEntry{kSecondLevel, 0, int16_t(second.size())};
            second.emplace_back();
            for (uint32_t k = 0; k < kSecondSize; ++k) second.back()[k] = flat[(prefix << kSecondLevelBits) | k];
        }
        tables.second = second.data();
        tables.nSecondTables = int(second.size());
    }
};

using EncodeTable = std::array<std::array<VlcEncodeEntry, kMaxLevel + 1>, kMaxRun + 1>;

EncodeTable BuildEncodeTable() {
    constexpr int kNone = std::numeric_limits<int>::max() / 4;
    Code direct[kMaxRun + 1][kMaxLevel + 1];
    for (auto& row : direct)
        for (auto& c : row) c = Code{0, kNone};
    ForEachCode([&](uint32_t code, int bits, int run, int amp) {
        if (bits < direct[run][amp].nBits) direct[run][amp] = Code{code, bits};
    });
    // A run of n >= 1 zeros on its own: the code (n - 1, 0), which ends on a zero coefficient.
    auto zeros = [&](int n) { return direct[n - 1][0]; };
    EncodeTable table{};
    for (int run = 0; run <= kMaxRun; ++run) {
        for (int amp = 1; amp <= kMaxLevel; ++amp) {
            Code best = direct[run][amp];
            for (int k = 0; k < run; ++k) {
                const Code tail = direct[k][amp];
                if (tail.nBits >= kNone) continue;
                const Code head = zeros(run - k);
                if (head.nBits + tail.nBits < best.nBits)
                    best = Code{(head.nCode << tail.nBits) | tail.nCode, head.nBits + tail.nBits};
            }
            table[run][amp] = VlcEncodeEntry{best.nCode, uint8_t(best.nBits)};
        }
    }
    return table;
}

float WeightFactor(int k) {  // w(k) of the DV weighting
    const double pi = 3.14159265358979323846;
    auto cs = [&](int m) { return std::cos(m * pi / 16.0); };
    switch (k) {
    case 0: return 1.0f;
    case 1: return float(cs(4) / (4.0 * cs(7) * cs(2)));
    case 2: return float(cs(4) / (2.0 * cs(6)));
    case 3: return float(1.0 / (2.0 * cs(5)));
    case 4: return 7.0f / 8.0f;
    case 5: return float(cs(4) / cs(3));
    case 6: return float(cs(4) / cs(2));
    default: return float(cs(4) / cs(1));
    }
}

struct Weights {
    float w88[64];
    float w248[64];
    Weights() {
        for (int row = 0; row < 8; ++row)
            for (int col = 0; col < 8; ++col) {
                w88[row * 8 + col] = WeightFactor(row) * WeightFactor(col) / 2.0f;
                w248[row * 8 + col] = WeightFactor(2 * (row / 2)) * WeightFactor(col) / 2.0f;
            }
        w88[0] = 0.25f;
        w248[0] = 0.25f;
    }
};
const Weights& AllWeights() {
    static const Weights weights;
    return weights;
}

}  // namespace

const VlcDecodeTables& VlcDecodeTable() {
    static const DecodeTableStore store;
    return store.tables;
}

const EncodeTable& VlcEncodeTable() {
    static const EncodeTable table = BuildEncodeTable();
    return table;
}

// Zigzag over the 8 x 8 frequencies: diagonals of rising total frequency, alternating direction.
const uint8_t kScan88[64] = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
    41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
    30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63,
};
// 2-4-8: each (u, h) visited gives the sum coefficient (row 2u) then the difference (row 2u + 1).
const uint8_t kScan248[64] = {
    0,  8,  1,  9,  16, 24, 2,  10, 17, 25, 32, 40, 48, 56, 33, 41, 18, 26, 3,  11, 4,  12,
    19, 27, 34, 42, 49, 57, 50, 58, 35, 43, 20, 28, 5,  13, 6,  14, 21, 29, 36, 44, 51, 59,
    52, 60, 37, 45, 22, 30, 7,  15, 23, 31, 38, 46, 53, 61, 54, 62, 39, 47, 55, 63,
};
// Areas by scan position: 0..5, 6..20, 21..42, 43..63.
const uint8_t kAreaOfScan[64] = {
    0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2,
    2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3,
};
const uint8_t kQuantShift[22][4] = {
    {3, 3, 4, 4}, {3, 3, 4, 4}, {2, 3, 3, 4}, {2, 3, 3, 4}, {2, 2, 3, 3}, {2, 2, 3, 3},
    {1, 2, 2, 3}, {1, 2, 2, 3}, {1, 1, 2, 2}, {1, 1, 2, 2}, {0, 1, 1, 2}, {0, 1, 1, 2},
    {0, 0, 1, 1}, {0, 0, 1, 1}, {0, 0, 0, 1}, {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0},
    {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0},
};
const uint8_t kClassOffset[4] = {6, 3, 0, 1};

const ShiftsByScan& QuantShiftsByScan() {
    struct ShiftTable {
        ShiftsByScan shifts;
        ShiftTable() {
            for (int cls = 0; cls < 4; ++cls)
                for (int qno = 0; qno < 16; ++qno)
                    for (int i = 0; i < 64; ++i) shifts[cls][qno][i] = uint8_t(QuantShift(cls, qno, kAreaOfScan[i]));
        }
    };
    static const ShiftTable table;
    return table.shifts;
}

const float* Weight88() { return AllWeights().w88; }
const float* Weight248() { return AllWeights().w248; }

const float kAanScale[8] = {1.0f,         1.387039845f, 1.306562965f, 1.175875602f,
                            1.0f,         0.785694958f, 0.541196100f, 0.275899379f};

const uint16_t kBlockStartBit[6] = {8, 8 + 112, 8 + 224, 8 + 336, 8 + 448, 8 + 528};
const uint16_t kBlockBits[6] = {112, 112, 112, 112, 80, 80};

namespace {
// The five macroblocks of a segment come from five super blocks: super-block column by
// macroblock, and the super-block row offset from the sequence number.
constexpr int kSuperColumn[5] = {2, 1, 3, 0, 4};
constexpr int kSuperRowOffset[5] = {2, 6, 8, 0, 4};
// 525/60: first macroblock column (32 samples wide) of each super-block column; columns 1 and 3
// start half a column late, taking the lower halves of the shared columns 4 and 13.
constexpr int kColumnStart411[5] = {0, 4, 9, 13, 18};
}  // namespace

MacroblockPlace PlaceOfMacroblock(System system, int nSequence, int nSegment, int nMacroblock) {
    const int superColumn = kSuperColumn[nMacroblock];
    MacroblockPlace place{};
    if (system == System::System625_50) {
        // Super block: 9 x 3 macroblocks of 16 x 16, visited down, up, down... column by column.
        const int superRow = (nSequence + kSuperRowOffset[nMacroblock]) % int(dif::kSequences625);
        const int column = nSegment / 3;
        const int row = (column % 2 == 0) ? nSegment % 3 : 2 - nSegment % 3;
        const int mbX = superColumn * 9 + column, mbY = superRow * 3 + row;
        place.nLumaX = uint16_t(mbX * 16);
        place.nLumaY = uint16_t(mbY * 16);
        place.nChromaX = uint16_t(mbX * 8);
        place.nChromaY = uint16_t(mbY * 8);
        place.bSquare = true;
        return place;
    }
    // 525/60: super block of 4.5 columns x 6 rows of 32 x 8 macroblocks, visited the same way.
    const int superRow = (nSequence + kSuperRowOffset[nMacroblock]) % int(dif::kSequences525);
    const int k = nSegment + ((superColumn == 1 || superColumn == 3) ? 3 : 0);
    const int column = kColumnStart411[superColumn] + k / 6;
    const int row = ((k / 6) % 2 == 0) ? k % 6 : 5 - k % 6;
    if (column < 22) {
        place.nLumaX = uint16_t(column * 32);
        place.nLumaY = uint16_t((superRow * 6 + row) * 8);
        place.nChromaX = uint16_t(column * 8);
        place.nChromaY = place.nLumaY;
        return place;
    }
    // The last half column: 16 x 16 macroblocks, three to a super block.
    place.nLumaX = 704;
    place.nLumaY = uint16_t((superRow * 6 + row * 2) * 8);
    place.nChromaX = 176;
    place.nChromaY = place.nLumaY;
    place.bSquare = true;
    place.bEdge411 = true;
    return place;
}

}  // namespace dv::tables
