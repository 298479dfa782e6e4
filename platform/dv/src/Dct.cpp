#include "Dct.h"

#include <cmath>
#include <utility>

#if defined(__SSE2__)
#include <xmmintrin.h>
#endif

namespace dv::dct {
namespace {

constexpr float kSqrt2 = 1.414213562f;
constexpr float kInvSqrt2 = 0.707106781f;

// Orthonormal n-point DCT basis: basis[k][i] = c(k) cos((2i + 1) k pi / 2n), and the averages
// of its 8-point and 4-point functions over the samples that one reduced sample covers.
struct Basis {
    float c8[8][8];
    float c4[4][4];
    float c2[2][2];
    float fields[4][4];   // c4[u][z] / sqrt(2): field sum u of row pair z
    float across4[8][4];  // c8[h][.] averaged over pairs of columns
    float across2[8][2];  // ... over quads of columns
    float down4[4][4];    // fields[u][z] for one row pair per reduced row
    float down2[4][2];    // ... averaged over two row pairs
    Basis() {
        const double pi = 3.14159265358979323846;
        auto fill = [&](int n, auto& table) {
            for (int k = 0; k < n; ++k)
                for (int i = 0; i < n; ++i)
                    table[k][i] = float((k == 0 ? std::sqrt(1.0 / n) : std::sqrt(2.0 / n)) *
                                        std::cos((2 * i + 1) * k * pi / (2.0 * n)));
        };
        fill(8, c8);
        fill(4, c4);
        fill(2, c2);
        for (int u = 0; u < 4; ++u)
            for (int z = 0; z < 4; ++z) fields[u][z] = c4[u][z] * kInvSqrt2;
        for (int h = 0; h < 8; ++h)
            for (int k = 0; k < 4; ++k) {
                across4[h][k] = (c8[h][2 * k] + c8[h][2 * k + 1]) / 2.0f;
                if (k < 2) across2[h][k] = (c8[h][4 * k] + c8[h][4 * k + 1] + c8[h][4 * k + 2] + c8[h][4 * k + 3]) / 4.0f;
            }
        for (int u = 0; u < 4; ++u)
            for (int z = 0; z < 4; ++z) {
                down4[u][z] = fields[u][z];
                if (z < 2) down2[u][z] = (fields[u][2 * z] + fields[u][2 * z + 1]) / 2.0f;
            }
    }
};
const Basis& TheBasis() {
    static const Basis basis;
    return basis;
}

inline void InverseAan1D(float* d, int stride) {
    float tmp0 = d[0], tmp1 = d[2 * stride], tmp2 = d[4 * stride], tmp3 = d[6 * stride];
    float tmp10 = tmp0 + tmp2, tmp11 = tmp0 - tmp2;
    float tmp13 = tmp1 + tmp3, tmp12 = (tmp1 - tmp3) * kSqrt2 - tmp13;
    tmp0 = tmp10 + tmp13;
    tmp3 = tmp10 - tmp13;
    tmp1 = tmp11 + tmp12;
    tmp2 = tmp11 - tmp12;

    const float tmp4 = d[stride], tmp5 = d[3 * stride], tmp6 = d[5 * stride], tmp7 = d[7 * stride];
    const float z13 = tmp6 + tmp5, z10 = tmp6 - tmp5, z11 = tmp4 + tmp7, z12 = tmp4 - tmp7;
    const float o7 = z11 + z13;
    const float o11 = (z11 - z13) * kSqrt2;
    const float z5 = (z10 + z12) * 1.847759065f;
    const float o10 = z5 - z12 * 1.082392200f;
    const float o12 = z5 - z10 * 2.613125930f;
    const float o6 = o12 - o7;
    const float o5 = o11 - o6;
    const float o4 = o10 - o5;

    d[0] = tmp0 + o7;
    d[7 * stride] = tmp0 - o7;
    d[stride] = tmp1 + o6;
    d[6 * stride] = tmp1 - o6;
    d[2 * stride] = tmp2 + o5;
    d[5 * stride] = tmp2 - o5;
    d[3 * stride] = tmp3 + o4;
    d[4 * stride] = tmp3 - o4;
}

inline void ForwardAan1D(float* d, int stride) {
    const float tmp0 = d[0] + d[7 * stride], tmp7 = d[0] - d[7 * stride];
    const float tmp1 = d[stride] + d[6 * stride], tmp6 = d[stride] - d[6 * stride];
    const float tmp2 = d[2 * stride] + d[5 * stride], tmp5 = d[2 * stride] - d[5 * stride];
    const float tmp3 = d[3 * stride] + d[4 * stride], tmp4 = d[3 * stride] - d[4 * stride];

    float tmp10 = tmp0 + tmp3, tmp13 = tmp0 - tmp3, tmp11 = tmp1 + tmp2, tmp12 = tmp1 - tmp2;
    d[0] = tmp10 + tmp11;
    d[4 * stride] = tmp10 - tmp11;
    const float z1 = (tmp12 + tmp13) * kInvSqrt2;
    d[2 * stride] = tmp13 + z1;
    d[6 * stride] = tmp13 - z1;

    tmp10 = tmp4 + tmp5;
    tmp11 = tmp5 + tmp6;
    tmp12 = tmp6 + tmp7;
    const float z5 = (tmp10 - tmp12) * 0.382683433f;
    const float z2 = 0.541196100f * tmp10 + z5;
    const float z4 = 1.306562965f * tmp12 + z5;
    const float z3 = tmp11 * kInvSqrt2;
    const float z11 = tmp7 + z3, z13 = tmp7 - z3;
    d[5 * stride] = z13 + z2;
    d[3 * stride] = z13 - z2;
    d[stride] = z11 + z4;
    d[7 * stride] = z11 - z4;
}

}  // namespace

void InverseAan88(float block[64]) {
    for (int col = 0; col < 8; ++col) {
        float* c = block + col;
        // Columns holding only their DC spread it unchanged.
        if (c[8] == 0 && c[16] == 0 && c[24] == 0 && c[32] == 0 && c[40] == 0 && c[48] == 0 && c[56] == 0) {
            c[8] = c[16] = c[24] = c[32] = c[40] = c[48] = c[56] = c[0];
            continue;
        }
        InverseAan1D(c, 8);
    }
    for (int row = 0; row < 8; ++row) InverseAan1D(block + row * 8, 1);
}

void Inverse248Aan(float block[64]) {
    for (int r = 0; r < 8; ++r) {
        float* row = block + r * 8;
        // Rows holding only their DC spread it unchanged (most difference rows are empty).
        if (row[1] == 0 && row[2] == 0 && row[3] == 0 && row[4] == 0 && row[5] == 0 && row[6] == 0 && row[7] == 0) {
            row[1] = row[2] = row[3] = row[4] = row[5] = row[6] = row[7] = row[0];
            continue;
        }
        InverseAan1D(row, 1);
    }
    // Down the columns, eight side by side: the 4-point inverse of the field sums and of the
    // differences, then the two fields interleaved.
    const Basis& b = TheBasis();
    float sums[4][8], diffs[4][8];
    for (int z = 0; z < 4; ++z) {
        for (int x = 0; x < 8; ++x) {
            sums[z][x] = b.fields[0][z] * block[x] + b.fields[1][z] * block[16 + x] + b.fields[2][z] * block[32 + x] +
                         b.fields[3][z] * block[48 + x];
            diffs[z][x] = b.fields[0][z] * block[8 + x] + b.fields[1][z] * block[24 + x] + b.fields[2][z] * block[40 + x] +
                          b.fields[3][z] * block[56 + x];
        }
    }
    for (int z = 0; z < 4; ++z)
        for (int x = 0; x < 8; ++x) {
            block[(2 * z) * 8 + x] = sums[z][x] + diffs[z][x];
            block[(2 * z + 1) * 8 + x] = sums[z][x] - diffs[z][x];
        }
}

void ForwardAan88(float block[64]) {
    for (int row = 0; row < 8; ++row) ForwardAan1D(block + row * 8, 1);
    for (int col = 0; col < 8; ++col) ForwardAan1D(block + col, 8);
}

void ForwardAan88Transposed(float block[64]) {
    // Both passes run down the columns, eight of them side by side, with a transposition between.
    for (int col = 0; col < 8; ++col) ForwardAan1D(block + col, 8);
#if defined(__SSE2__)
    // Four 4 x 4 transpositions, the off-diagonal quarters exchanged.
    for (int qr = 0; qr < 8; qr += 4)
        for (int qc = qr; qc < 8; qc += 4) {
            __m128 a0 = _mm_loadu_ps(block + (qr + 0) * 8 + qc), a1 = _mm_loadu_ps(block + (qr + 1) * 8 + qc);
            __m128 a2 = _mm_loadu_ps(block + (qr + 2) * 8 + qc), a3 = _mm_loadu_ps(block + (qr + 3) * 8 + qc);
            _MM_TRANSPOSE4_PS(a0, a1, a2, a3);
            if (qr == qc) {
                _mm_storeu_ps(block + (qr + 0) * 8 + qc, a0);
                _mm_storeu_ps(block + (qr + 1) * 8 + qc, a1);
                _mm_storeu_ps(block + (qr + 2) * 8 + qc, a2);
                _mm_storeu_ps(block + (qr + 3) * 8 + qc, a3);
                continue;
            }
            __m128 b0 = _mm_loadu_ps(block + (qc + 0) * 8 + qr), b1 = _mm_loadu_ps(block + (qc + 1) * 8 + qr);
            __m128 b2 = _mm_loadu_ps(block + (qc + 2) * 8 + qr), b3 = _mm_loadu_ps(block + (qc + 3) * 8 + qr);
            _MM_TRANSPOSE4_PS(b0, b1, b2, b3);
            _mm_storeu_ps(block + (qc + 0) * 8 + qr, a0);
            _mm_storeu_ps(block + (qc + 1) * 8 + qr, a1);
            _mm_storeu_ps(block + (qc + 2) * 8 + qr, a2);
            _mm_storeu_ps(block + (qc + 3) * 8 + qr, a3);
            _mm_storeu_ps(block + (qr + 0) * 8 + qc, b0);
            _mm_storeu_ps(block + (qr + 1) * 8 + qc, b1);
            _mm_storeu_ps(block + (qr + 2) * 8 + qc, b2);
            _mm_storeu_ps(block + (qr + 3) * 8 + qc, b3);
        }
#else
    for (int r = 0; r < 8; ++r)
        for (int c = r + 1; c < 8; ++c) std::swap(block[r * 8 + c], block[c * 8 + r]);
#endif
    for (int col = 0; col < 8; ++col) ForwardAan1D(block + col, 8);
}

void Inverse248(const float coeffs[64], float samples[64]) {
    const Basis& b = TheBasis();
    float rows[8][8];  // rows after the horizontal inverse: 2u sum, 2u + 1 difference
    for (int r = 0; r < 8; ++r)
        for (int x = 0; x < 8; ++x) {
            float acc = 0;
            for (int h = 0; h < 8; ++h) acc += b.c8[h][x] * coeffs[r * 8 + h];
            rows[r][x] = acc;
        }
    for (int x = 0; x < 8; ++x)
        for (int z = 0; z < 4; ++z) {
            float s = 0, d = 0;
            for (int u = 0; u < 4; ++u) {
                s += b.c4[u][z] * rows[2 * u][x];
                d += b.c4[u][z] * rows[2 * u + 1][x];
            }
            samples[(2 * z) * 8 + x] = (s + d) * kInvSqrt2;
            samples[(2 * z + 1) * 8 + x] = (s - d) * kInvSqrt2;
        }
}

void Forward248(const float samples[64], float coeffs[64]) {
    const Basis& b = TheBasis();
    float rows[8][8];
    for (int x = 0; x < 8; ++x)
        for (int u = 0; u < 4; ++u) {
            float s = 0, d = 0;
            for (int z = 0; z < 4; ++z) {
                const float even = samples[(2 * z) * 8 + x], odd = samples[(2 * z + 1) * 8 + x];
                s += b.c4[u][z] * (even + odd);
                d += b.c4[u][z] * (even - odd);
            }
            rows[2 * u][x] = s * kInvSqrt2;
            rows[2 * u + 1][x] = d * kInvSqrt2;
        }
    for (int r = 0; r < 8; ++r)
        for (int h = 0; h < 8; ++h) {
            float acc = 0;
            for (int x = 0; x < 8; ++x) acc += b.c8[h][x] * rows[r][x];
            coeffs[r * 8 + h] = acc;
        }
}

namespace {

template <int n>
void Reduced(const float* coeffs, const float (&basis)[n][n], float* samples) {
    constexpr float kScale = float(n) / 8.0f;
    // Rows of n side by side, so that each step is one vector operation.
    float tmp[n][n];
    for (int v = 0; v < n; ++v) {
        float row[n] = {};
        for (int h = 0; h < n; ++h) {
            const float c = coeffs[v * n + h];
            for (int x = 0; x < n; ++x) row[x] += c * basis[h][x];
        }
        for (int x = 0; x < n; ++x) tmp[v][x] = row[x] * kScale;
    }
    for (int y = 0; y < n; ++y) {
        float row[n] = {};
        for (int v = 0; v < n; ++v) {
            const float b = basis[v][y];
            for (int x = 0; x < n; ++x) row[x] += b * tmp[v][x];
        }
        for (int x = 0; x < n; ++x) samples[y * n + x] = row[x];
    }
}

template <int n>
void Reduced248(const float coeffs[64], const float (&across)[8][n], const float (&down)[4][n], float* samples) {
    float tmp[4][n];  // field sum rows, averaged across
    for (int u = 0; u < 4; ++u)
        for (int k = 0; k < n; ++k) {
            float acc = 0;
            for (int h = 0; h < 8; ++h) acc += across[h][k] * coeffs[2 * u * 8 + h];
            tmp[u][k] = acc;
        }
    for (int z = 0; z < n; ++z)
        for (int k = 0; k < n; ++k) {
            float acc = 0;
            for (int u = 0; u < 4; ++u) acc += down[u][z] * tmp[u][k];
            samples[z * n + k] = acc;
        }
}

}  // namespace

void InverseReducedPacked(const float* low, int n, float* samples) {
    const Basis& b = TheBasis();
    if (n == 4) Reduced<4>(low, b.c4, samples);
    else Reduced<2>(low, b.c2, samples);
}

void InverseReduced248(const float coeffs[64], int n, float* samples) {
    const Basis& b = TheBasis();
    if (n == 4) Reduced248<4>(coeffs, b.across4, b.down4, samples);
    else Reduced248<2>(coeffs, b.across2, b.down2, samples);
}

void ForwardReference88(const float samples[64], float coeffs[64]) {
    const Basis& b = TheBasis();
    for (int v = 0; v < 8; ++v)
        for (int h = 0; h < 8; ++h) {
            double acc = 0;
            for (int y = 0; y < 8; ++y)
                for (int x = 0; x < 8; ++x) acc += double(b.c8[v][y]) * b.c8[h][x] * samples[y * 8 + x];
            coeffs[v * 8 + h] = float(acc);
        }
}

void InverseReference88(const float coeffs[64], float samples[64]) {
    const Basis& b = TheBasis();
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            double acc = 0;
            for (int v = 0; v < 8; ++v)
                for (int h = 0; h < 8; ++h) acc += double(b.c8[v][y]) * b.c8[h][x] * coeffs[v * 8 + h];
            samples[y * 8 + x] = float(acc);
        }
}

}  // namespace dv::dct
