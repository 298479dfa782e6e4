// Multipliers that turn coded coefficient levels back into DCT coefficients: quantisation step
// of the coefficient's area, class and QNO, divided by the coefficient's weight.
#pragma once

namespace dv {

class Dequantizer {
public:
    static const Dequantizer& Instance();

    // Orthonormal coefficient = level * Orthonormal(mode, class, qno)[scan position].
    const float* Orthonormal(int nMode, int nClass, int nQno) const { return m_orth[nMode][nClass][nQno]; }
    // The same, already multiplied by the AAN prescale of the coefficient (8-8 blocks only).
    const float* Aan(int nClass, int nQno) const { return m_aan[nClass][nQno]; }
    // For 2-4-8 blocks: the orthonormal coefficient multiplied by the AAN prescale of its column
    // and 1 / sqrt(8) (see dct::Inverse248Aan).
    const float* Aan248(int nClass, int nQno) const { return m_aan248[nClass][nQno]; }

private:
    Dequantizer();
    // Indexed by scan position, since the area follows the scan.
    float m_orth[2][4][16][64];
    float m_aan[4][16][64];
    float m_aan248[4][16][64];
};

}  // namespace dv
