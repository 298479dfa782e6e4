#include "Dequantizer.h"

#include "Tables.h"

namespace dv {

using namespace tables;

namespace {
constexpr float kInvSqrt8 = 0.353553391f;
}  // namespace

const Dequantizer& Dequantizer::Instance() {
    static const Dequantizer instance;
    return instance;
}

Dequantizer::Dequantizer() {
    for (int mode = 0; mode < 2; ++mode) {
        const uint8_t* scan = mode ? kScan248 : kScan88;
        const float* weight = mode ? Weight248() : Weight88();
        for (int cls = 0; cls < 4; ++cls)
            for (int qno = 0; qno < 16; ++qno)
                for (int i = 0; i < 64; ++i) {
                    const int index = scan[i];
                    const float step = float(1 << QuantShift(cls, qno, kAreaOfScan[i]));
                    m_orth[mode][cls][qno][i] = step / weight[index];
                    if (mode == 0)
                        m_aan[cls][qno][i] = m_orth[0][cls][qno][i] * kAanScale[index / 8] * kAanScale[index % 8] / 8.0f;
                    else
                        m_aan248[cls][qno][i] = m_orth[1][cls][qno][i] * kAanScale[index % 8] * kInvSqrt8;
                }
    }
}

}  // namespace dv
