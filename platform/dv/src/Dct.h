// Forward and inverse DCTs of the 8-8 and 2-4-8 kinds, in single precision.
#pragma once

namespace dv::dct {

// Inverse 8-8 DCT of AAN-prescaled coefficients (orthonormal coefficient (v, h) multiplied by
// kAanScale[v] * kAanScale[h] / 8), in place; the results are sample values around 0.
void InverseAan88(float block[64]);

// Inverse 2-4-8 DCT of orthonormal coefficients (rows 2u: field sum, 2u + 1: field difference),
// computed straight from its definition (the check of the fast form below).
void Inverse248(const float coeffs[64], float samples[64]);

// Inverse 2-4-8 DCT in place, of coefficients whose columns are prescaled for the AAN row
// transform (orthonormal coefficient (r, h) multiplied by kAanScale[h] / sqrt(8)).
void Inverse248Aan(float block[64]);

// The n x n averages (n = 4 or 2) of the samples of a 2-4-8 block, from its orthonormal
// coefficients: only the field sums count, the differences cancel in every average.
void InverseReduced248(const float coeffs[64], int n, float* samples);

// Inverse of the low n x n frequencies (n = 4 or 2) of orthonormal 8-8 coefficients, packed row
// by row, giving the n x n averages of the block's samples (of smooth blocks; the higher
// frequencies are left out).
void InverseReducedPacked(const float* low, int n, float* samples);

// Forward 8-8 DCT, in place; results are orthonormal coefficients times kAanScale[v] *
// kAanScale[h] * 8.
void ForwardAan88(float block[64]);

// The same with the result transposed: coefficient (v, h) at index h * 8 + v.
void ForwardAan88Transposed(float block[64]);

// Forward 2-4-8 DCT giving orthonormal coefficients.
void Forward248(const float samples[64], float coeffs[64]);

// The orthonormal 8-8 transforms computed straight from their definition (for checks).
void ForwardReference88(const float samples[64], float coeffs[64]);
void InverseReference88(const float coeffs[64], float samples[64]);

}  // namespace dv::dct
