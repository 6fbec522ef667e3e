#pragma once

// The floating-point state the engine needs, set for the length of one
// processing call and the caller's restored on return. Hosts run their audio
// threads in whatever state they like; the results must not depend on it.
//
// - SSE (float and double arithmetic): subnormal results and operands are
//   flushed to zero. Decaying recursions (the inverse lattices' all-passes,
//   the DC blockers, the decimators' droop, the limiter's gain reduction)
//   settle after long silence on the smallest subnormals, where 0.998 x rounds
//   back to x, and arithmetic on them is many times slower. Results change
//   only below 2.2e-308 (double) or 1.2e-38 (float), which no signal reaches.
// - x87 (the analysis's extended-precision sums in long double): a 64-bit
//   mantissa. Threads that a host creates may run the unit at 53 bits
//   (Windows' default for a new thread, reachable on Linux too), and then the
//   sums, and with them the whole output, come out different.
// - Both: rounding to nearest, and every exception masked, so that a host
//   that unmasks one for its own debugging never gets a trap from inside the
//   effect (a design that overflows is refused after the fact, not trapped).

#include <cstdint>

#if defined(__SSE2__)
#include <xmmintrin.h>
#endif

class ProcessingFpState {
public:
    ProcessingFpState() {
#if defined(__SSE2__)
        savedMxcsr = _mm_getcsr();
        _mm_setcsr((savedMxcsr & ~kMxcsrRounding) | kMxcsrExceptionMasks | kFlushToZero | kDenormalsAreZero);
#endif
#if defined(__x86_64__) || defined(__i386__)
        __asm__ volatile("fnstcw %0" : "=m"(savedX87));
        const std::uint16_t wanted =
            static_cast<std::uint16_t>((savedX87 & ~kX87Rounding) | kX87Precision64 | kX87ExceptionMasks);
        __asm__ volatile("fldcw %0" : : "m"(wanted));
#endif
    }
    ~ProcessingFpState() {
#if defined(__x86_64__) || defined(__i386__)
        __asm__ volatile("fldcw %0" : : "m"(savedX87));
#endif
#if defined(__SSE2__)
        _mm_setcsr(savedMxcsr);
#endif
    }
    ProcessingFpState(const ProcessingFpState&) = delete;
    ProcessingFpState& operator=(const ProcessingFpState&) = delete;

private:
#if defined(__SSE2__)
    static constexpr unsigned kFlushToZero = 0x8000;         // FTZ: subnormal results become 0
    static constexpr unsigned kDenormalsAreZero = 0x0040;    // DAZ: subnormal operands read as 0
    static constexpr unsigned kMxcsrRounding = 0x6000;       // RC: 00 is to nearest
    static constexpr unsigned kMxcsrExceptionMasks = 0x1F80; // IM DM ZM OM UM PM
    unsigned savedMxcsr = 0;
#endif
#if defined(__x86_64__) || defined(__i386__)
    static constexpr std::uint16_t kX87Precision64 = 0x0300; // PC: 11 is a 64-bit mantissa
    static constexpr std::uint16_t kX87Rounding = 0x0C00;    // RC: 00 is to nearest
    static constexpr std::uint16_t kX87ExceptionMasks = 0x003F;
    std::uint16_t savedX87 = 0;
#endif
};
