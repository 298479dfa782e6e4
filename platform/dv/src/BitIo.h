// Bit access in big-endian bit order (first bit is the most significant bit of the first byte).
#pragma once

#include <cstdint>

namespace dv::bits {

// The 16 bits starting at bit `pos`; the buffer must hold 3 readable bytes from pos / 8.
inline uint32_t Peek16(const uint8_t* buf, int pos) {
    const uint8_t* p = buf + (pos >> 3);
    const uint32_t v = (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | uint32_t(p[2]);
    return (v >> (8 - (pos & 7))) & 0xFFFF;
}

// `n` bits (n <= 16) at bit `pos`, right-aligned.
inline uint32_t Read(const uint8_t* buf, int pos, int n) { return Peek16(buf, pos) >> (16 - n); }

// Overwrites `n` bits (n <= 24) at bit `pos` with the low bits of `value`; the buffer must hold
// 4 writable bytes from pos / 8.
inline void Write(uint8_t* buf, int pos, uint32_t value, int n) {
    if (n <= 0) return;
    uint8_t* p = buf + (pos >> 3);
    const int shift = 32 - (pos & 7) - n;
    const uint32_t mask = ((n == 32 ? 0u : (1u << n)) - 1u) << shift;
    uint32_t word = (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
    word = (word & ~mask) | ((value << shift) & mask);
    p[0] = uint8_t(word >> 24);
    p[1] = uint8_t(word >> 16);
    p[2] = uint8_t(word >> 8);
    p[3] = uint8_t(word);
}

// The 24 bits starting at bit `pos`; the buffer must hold 4 readable bytes from pos / 8.
inline uint32_t Peek24(const uint8_t* buf, int pos) {
    const uint8_t* p = buf + (pos >> 3);
    const uint32_t v = (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
    return (v >> (8 - (pos & 7))) & 0xFFFFFF;
}

// Copies bits [from, to) of `src` to bit `dst` of `out` (4 bytes readable and writable past both).
inline void Copy(const uint8_t* src, int from, int to, uint8_t* out, int dst) {
    while (from < to) {
        const int n = (to - from) < 24 ? (to - from) : 24;
        Write(out, dst, Peek24(src, from) >> (24 - n), n);
        from += n;
        dst += n;
    }
}

// Big-endian 64-bit words (compilers make them one load or store and a byte swap).
inline uint64_t Load64(const uint8_t* p) {
    return (uint64_t(p[0]) << 56) | (uint64_t(p[1]) << 48) | (uint64_t(p[2]) << 40) | (uint64_t(p[3]) << 32) |
           (uint64_t(p[4]) << 24) | (uint64_t(p[5]) << 16) | (uint64_t(p[6]) << 8) | uint64_t(p[7]);
}
inline void Store64(uint8_t* p, uint64_t v) {
    p[0] = uint8_t(v >> 56);
    p[1] = uint8_t(v >> 48);
    p[2] = uint8_t(v >> 40);
    p[3] = uint8_t(v >> 32);
    p[4] = uint8_t(v >> 24);
    p[5] = uint8_t(v >> 16);
    p[6] = uint8_t(v >> 8);
    p[7] = uint8_t(v);
}

// Appends bits [from, to) of `src` at bit `dst` of `out`, up to 48 bits per step; the bits of
// `out` after the copied ones are not kept (it is the end of what `out` holds). Both buffers
// must hold 8 bytes from every byte touched.
inline void Append(const uint8_t* src, int from, int to, uint8_t* out, int dst) {
    while (from < to) {
        const int n = (to - from) < 48 ? (to - from) : 48;
        const uint64_t bits = (Load64(src + (from >> 3)) << (from & 7)) & ~(~uint64_t(0) >> n);
        uint8_t* q = out + (dst >> 3);
        const int used = dst & 7;
        Store64(q, (Load64(q) & ~(~uint64_t(0) >> used)) | (bits >> used));
        from += n;
        dst += n;
    }
}

}  // namespace dv::bits
