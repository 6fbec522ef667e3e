#pragma once

// One number that one thread writes and others read, always whole: a relaxed
// atomic. On x86 a relaxed load or store of a float, double or 32-bit integer
// is the plain instruction, so the audio thread pays nothing for it; what it
// buys is that the compiler may not tear, cache or invent accesses, and that
// the thread checkers see the access as intended.
//
// It orders nothing: a reader may see a newer value of one number beside an
// older value of another. Every value the engine reads this way is valid on
// its own (the parameter block, the host's rate, the beat length), which is
// all the effect relies on. Data that must travel together (a filter design)
// uses a protocol of its own.

#include <atomic>

template <typename T> class SharedNumber {
public:
    static_assert(std::atomic<T>::is_always_lock_free, "shared numbers must never take a lock");

    constexpr SharedNumber() noexcept = default;
    constexpr SharedNumber(T initial) noexcept : value(initial) {} // NOLINT: used like the plain number

    SharedNumber(const SharedNumber&) = delete;
    SharedNumber& operator=(const SharedNumber&) = delete;

    // [any thread]
    operator T() const noexcept { return value.load(std::memory_order_relaxed); } // NOLINT
    T load() const noexcept { return value.load(std::memory_order_relaxed); }
    // [any thread]
    SharedNumber& operator=(T next) noexcept {
        value.store(next, std::memory_order_relaxed);
        return *this;
    }

private:
    std::atomic<T> value{};
};

using SharedFloat = SharedNumber<float>;
static_assert(sizeof(SharedFloat) == sizeof(float), "the parameter block keeps the layout of float[]");
