#pragma once

// Two doubles in one vector register, one per stereo channel (a GCC/Clang
// vector extension; SSE2 on x86-64). Arithmetic on a pair is lane-wise IEEE
// double arithmetic, each lane rounded exactly as a scalar operation would be;
// with contraction off nothing is fused, so a loop written on pairs gives each
// channel the very results of the same loop written on scalars.
typedef double DoublePair __attribute__((vector_size(16)));

inline DoublePair pairOf(double first, double second) {
    return DoublePair{first, second};
}

inline DoublePair loadPair(const double* first, const double* second, int index) {
    return DoublePair{first[index], second[index]};
}

inline void storePair(double* first, double* second, int index, DoublePair value) {
    first[index] = value[0];
    second[index] = value[1];
}

// Two consecutive doubles from any address.
inline DoublePair loadPairUnaligned(const double* values) {
    DoublePair pair;
    __builtin_memcpy(&pair, values, sizeof(pair));
    return pair;
}

// {first[1], second[0]}: one shuffle instruction.
inline DoublePair highLow(DoublePair first, DoublePair second) {
#if defined(__clang__) || (defined(__GNUC__) && __GNUC__ >= 12)
    return __builtin_shufflevector(first, second, 1, 2);
#else
    typedef long long IndexPair __attribute__((vector_size(16)));
    return __builtin_shuffle(first, second, IndexPair{1, 2});
#endif
}
