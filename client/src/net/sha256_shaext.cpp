// The SHA-256 block function on the x86 SHA extensions. This file alone is
// compiled with -msha -msse4.1; nothing here runs unless cpuid reported the
// extensions (see sha256BestBlockFunction).

#include "net/sha256.h"

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

namespace vobu {
namespace {

// Byte order of each 32-bit word swapped: blocks are big-endian words.
[[gnu::always_inline]] inline __m128i byteSwapMask() {
    return _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
}

[[gnu::always_inline]] inline __m128i roundConstants(int group) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(kSha256RoundConstants + 4 * group));
}

// Four rounds with the message words w (already in schedule order).
[[gnu::always_inline]] inline void fourRounds(__m128i& abef, __m128i& cdgh, __m128i w, int group) {
    __m128i wk = _mm_add_epi32(w, roundConstants(group));
    cdgh = _mm_sha256rnds2_epu32(cdgh, abef, wk);
    wk = _mm_shuffle_epi32(wk, 0x0E);
    abef = _mm_sha256rnds2_epu32(abef, cdgh, wk);
}

// W[t..t+3] from the four previous groups of words.
[[gnu::always_inline]] inline __m128i nextWords(__m128i w16, __m128i w12, __m128i w8, __m128i w4) {
    __m128i x = _mm_sha256msg1_epu32(w16, w12);
    x = _mm_add_epi32(x, _mm_alignr_epi8(w4, w8, 4));
    return _mm_sha256msg2_epu32(x, w4);
}

// The state words as the instructions want them: ABEF and CDGH.
[[gnu::always_inline]] inline void loadState(const uint32_t state[8], __m128i& abef, __m128i& cdgh) {
    __m128i dcba = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state));
    __m128i hgfe = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4));
    __m128i cdab = _mm_shuffle_epi32(dcba, 0xB1);
    __m128i efgh = _mm_shuffle_epi32(hgfe, 0x1B);
    abef = _mm_alignr_epi8(cdab, efgh, 8);
    cdgh = _mm_blend_epi16(efgh, cdab, 0xF0);
}

[[gnu::always_inline]] inline void storeState(uint32_t state[8], __m128i abef, __m128i cdgh) {
    __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
    __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
    __m128i dcba = _mm_blend_epi16(feba, dchg, 0xF0);
    __m128i hgfe = _mm_alignr_epi8(dchg, feba, 8);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state), dcba);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), hgfe);
}

[[gnu::always_inline]] inline __m128i loadWords(const uint8_t* block, int group) {
    __m128i raw = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 16 * group));
    return _mm_shuffle_epi8(raw, byteSwapMask());
}

// Compresses one block in each of N independent lanes. The steps of the
// lanes alternate, so that with two lanes the second chain of rounds fills
// the latency of the first.
template <int N>
[[gnu::always_inline]] inline void compressLanes(__m128i (&abef)[N], __m128i (&cdgh)[N],
                                                 const uint8_t* const (&block)[N]) {
    __m128i abefStart[N], cdghStart[N], w0[N], w1[N], w2[N], w3[N];
#pragma GCC unroll 2
    for (int lane = 0; lane < N; ++lane) {
        abefStart[lane] = abef[lane];
        cdghStart[lane] = cdgh[lane];
        w0[lane] = loadWords(block[lane], 0);
        w1[lane] = loadWords(block[lane], 1);
        w2[lane] = loadWords(block[lane], 2);
        w3[lane] = loadWords(block[lane], 3);
    }
#pragma GCC unroll 2
    for (int lane = 0; lane < N; ++lane) fourRounds(abef[lane], cdgh[lane], w0[lane], 0);
#pragma GCC unroll 2
    for (int lane = 0; lane < N; ++lane) fourRounds(abef[lane], cdgh[lane], w1[lane], 1);
#pragma GCC unroll 2
    for (int lane = 0; lane < N; ++lane) fourRounds(abef[lane], cdgh[lane], w2[lane], 2);
#pragma GCC unroll 2
    for (int lane = 0; lane < N; ++lane) fourRounds(abef[lane], cdgh[lane], w3[lane], 3);
#pragma GCC unroll 3
    for (int group = 4; group < 16; group += 4) {
#pragma GCC unroll 2
        for (int lane = 0; lane < N; ++lane) {
            w0[lane] = nextWords(w0[lane], w1[lane], w2[lane], w3[lane]);
            fourRounds(abef[lane], cdgh[lane], w0[lane], group);
        }
#pragma GCC unroll 2
        for (int lane = 0; lane < N; ++lane) {
            w1[lane] = nextWords(w1[lane], w2[lane], w3[lane], w0[lane]);
            fourRounds(abef[lane], cdgh[lane], w1[lane], group + 1);
        }
#pragma GCC unroll 2
        for (int lane = 0; lane < N; ++lane) {
            w2[lane] = nextWords(w2[lane], w3[lane], w0[lane], w1[lane]);
            fourRounds(abef[lane], cdgh[lane], w2[lane], group + 2);
        }
#pragma GCC unroll 2
        for (int lane = 0; lane < N; ++lane) {
            w3[lane] = nextWords(w3[lane], w0[lane], w1[lane], w2[lane]);
            fourRounds(abef[lane], cdgh[lane], w3[lane], group + 3);
        }
    }
#pragma GCC unroll 2
    for (int lane = 0; lane < N; ++lane) {
        abef[lane] = _mm_add_epi32(abef[lane], abefStart[lane]);
        cdgh[lane] = _mm_add_epi32(cdgh[lane], cdghStart[lane]);
    }
}

}  // namespace

void sha256BlocksShaExt(uint32_t state[8], const uint8_t* blocks, size_t count) {
    __m128i abef[1], cdgh[1];
    loadState(state, abef[0], cdgh[0]);
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* const block[1] = {blocks + i * kSha256BlockBytes};
        compressLanes<1>(abef, cdgh, block);
    }
    storeState(state, abef[0], cdgh[0]);
}

void sha256BlockPairShaExt(uint32_t stateA[8], const uint8_t* blockA, uint32_t stateB[8], const uint8_t* blockB) {
    __m128i abef[2], cdgh[2];
    loadState(stateA, abef[0], cdgh[0]);
    loadState(stateB, abef[1], cdgh[1]);
    const uint8_t* const block[2] = {blockA, blockB};
    compressLanes<2>(abef, cdgh, block);
    storeState(stateA, abef[0], cdgh[0]);
    storeState(stateB, abef[1], cdgh[1]);
}

}  // namespace vobu

#else

namespace vobu {

// Without x86 there are no SHA extensions; sha256ShaExtensionsAvailable()
// is false and these are never chosen, but stay callable.
void sha256BlocksShaExt(uint32_t state[8], const uint8_t* blocks, size_t count) {
    sha256BlocksPortable(state, blocks, count);
}

void sha256BlockPairShaExt(uint32_t stateA[8], const uint8_t* blockA, uint32_t stateB[8], const uint8_t* blockB) {
    sha256BlocksPortable(stateA, blockA, 1);
    sha256BlocksPortable(stateB, blockB, 1);
}

}  // namespace vobu

#endif
