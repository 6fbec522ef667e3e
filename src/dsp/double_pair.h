#pragma once

// Two doubles in one vector register, one per stereo channel. Arithmetic on a
// pair is lane-wise IEEE double arithmetic, each lane rounded exactly as a
// scalar operation would be; with contraction off nothing is fused, so a loop
// written on pairs gives each channel the very results of the same loop
// written on scalars.
//
// Two forms with one interface: VectorPair, a GCC/Clang vector extension (the
// default), and Sse2Pair, plain SSE2 intrinsics for a compiler without the
// extension. Defining VORNHALT_PAIR_SSE2 makes DoublePair the latter. Both
// offer +, - (also unary), *, / (either side may be a scalar), lane reads with
// [0] and [1], and the functions below.

#include <cstring>
#include <type_traits>

typedef double VectorPair __attribute__((vector_size(16)));

#if defined(__SSE2__)
#include <emmintrin.h>

// Each operator is the one SSE2 instruction that does it on both lanes.
struct Sse2Pair {
    __m128d v;

    Sse2Pair() : v(_mm_setzero_pd()) {}
    Sse2Pair(double first, double second) : v(_mm_set_pd(second, first)) {}
    explicit Sse2Pair(__m128d value) : v(value) {}
    static Sse2Pair loadUnaligned(const double* values) { return Sse2Pair(_mm_loadu_pd(values)); }

    double operator[](int lane) const { return _mm_cvtsd_f64(lane == 0 ? v : _mm_unpackhi_pd(v, v)); }

    friend Sse2Pair operator+(Sse2Pair a, Sse2Pair b) { return Sse2Pair(_mm_add_pd(a.v, b.v)); }
    friend Sse2Pair operator-(Sse2Pair a, Sse2Pair b) { return Sse2Pair(_mm_sub_pd(a.v, b.v)); }
    friend Sse2Pair operator*(Sse2Pair a, Sse2Pair b) { return Sse2Pair(_mm_mul_pd(a.v, b.v)); }
    friend Sse2Pair operator/(Sse2Pair a, Sse2Pair b) { return Sse2Pair(_mm_div_pd(a.v, b.v)); }
    // Flips the sign bits, as scalar negation does (0 - x would turn -0 into +0).
    friend Sse2Pair operator-(Sse2Pair a) { return Sse2Pair(_mm_xor_pd(a.v, _mm_set1_pd(-0.0))); }

    // A scalar operand stands for itself in both lanes.
    friend Sse2Pair operator+(Sse2Pair a, double b) { return a + Sse2Pair(_mm_set1_pd(b)); }
    friend Sse2Pair operator-(Sse2Pair a, double b) { return a - Sse2Pair(_mm_set1_pd(b)); }
    friend Sse2Pair operator*(Sse2Pair a, double b) { return a * Sse2Pair(_mm_set1_pd(b)); }
    friend Sse2Pair operator/(Sse2Pair a, double b) { return a / Sse2Pair(_mm_set1_pd(b)); }
    friend Sse2Pair operator+(double a, Sse2Pair b) { return Sse2Pair(_mm_set1_pd(a)) + b; }
    friend Sse2Pair operator-(double a, Sse2Pair b) { return Sse2Pair(_mm_set1_pd(a)) - b; }
    friend Sse2Pair operator*(double a, Sse2Pair b) { return Sse2Pair(_mm_set1_pd(a)) * b; }
    friend Sse2Pair operator/(double a, Sse2Pair b) { return Sse2Pair(_mm_set1_pd(a)) / b; }
};

// {first[1], second[0]}: one shuffle instruction.
inline Sse2Pair highLow(Sse2Pair first, Sse2Pair second) {
    return Sse2Pair(_mm_shuffle_pd(first.v, second.v, 1));
}
#endif

#if defined(VORNHALT_PAIR_SSE2)
#if !defined(__SSE2__)
#error "VORNHALT_PAIR_SSE2 needs a target with SSE2"
#endif
using DoublePair = Sse2Pair;
#else
using DoublePair = VectorPair;
#endif

template <class Pair = DoublePair> Pair pairOf(double first, double second) {
    return Pair{first, second};
}

template <class Pair = DoublePair> Pair loadPair(const double* first, const double* second, int index) {
    return Pair{first[index], second[index]};
}

template <class Pair> void storePair(double* first, double* second, int index, Pair value) {
    first[index] = value[0];
    second[index] = value[1];
}

// Two consecutive doubles from any address.
template <class Pair = DoublePair> Pair loadPairUnaligned(const double* values) {
    if constexpr (std::is_same_v<Pair, VectorPair>) {
        Pair pair;
        std::memcpy(&pair, values, sizeof(pair));
        return pair;
    } else {
        return Pair::loadUnaligned(values);
    }
}

// {first[1], second[0]}: one shuffle instruction.
inline VectorPair highLow(VectorPair first, VectorPair second) {
#if defined(__clang__) || (defined(__GNUC__) && __GNUC__ >= 12)
    return __builtin_shufflevector(first, second, 1, 2);
#else
    typedef long long IndexPair __attribute__((vector_size(16)));
    return __builtin_shuffle(first, second, IndexPair{1, 2});
#endif
}
