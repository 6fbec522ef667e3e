// The feedback filters are designed on the UI thread (a parameter change) and
// retuned on the audio thread (the control step) while the audio thread
// filters with them. A design is five coefficients: the audio thread must
// never filter with some from one design and some from another, and two
// designs at once must not leave coefficients that belong to no design.

#include <atomic>
#include <cmath>
#include <thread>

#include <gtest/gtest.h>

#include "dsp/biquad.h"

namespace {

struct Coefficients {
    double c[5];
    explicit Coefficients(const Biquad& designed)
        : c{designed.nb0, designed.nb1, designed.nb2, designed.na1, designed.na2} {}
    // One step of the difference equation, in the filter's own order of operations.
    double step(double x, double x1, double x2, double y1, double y2) const {
        return c[0] * x + c[1] * x1 + c[2] * x2 - c[3] * y1 - c[4] * y2;
    }
};

Coefficients designed(std::int32_t type, const FilterDesign& record) {
    Biquad filter;
    filter.design(type, record);
    return Coefficients(filter);
}

TEST(BiquadThreads, FiltersOnlyWithWholeDesigns) {
    const FilterDesign low{800.0f, 0.7f, 1.0f, 1.0f, false, true};
    const FilterDesign peak{6000.0f, 1.0f, 1.9f, 1.0f, false, true};
    const Coefficients a = designed(0, low);
    const Coefficients b = designed(7, peak);

    Biquad filter;
    filter.design(0, low);
    // As in the effect, the first design is in use before the other thread designs again.
    filter.process(0.0);
    std::atomic<bool> stop{false};
    std::atomic<long> steps{0}, mixed{0};
    std::thread audio([&] {
        std::uint32_t noise = 12345;
        while (!stop.load(std::memory_order_acquire)) {
            noise = noise * 1664525u + 1013904223u;
            const double x = static_cast<double>(noise >> 8) * 0x1.0p-23 - 1.0;
            const double x1 = filter.x1, x2 = filter.x2, y1 = filter.y1, y2 = filter.y2;
            const double y = filter.process(x);
            if (y != a.step(x, x1, x2, y1, y2) && y != b.step(x, x1, x2, y1, y2)) {
                mixed.fetch_add(1, std::memory_order_relaxed);
            }
            // Switching between two stable designs can still grow: start over long before overflow.
            if (!(std::fabs(y) < 1e6)) {
                filter.reset();
            }
            steps.fetch_add(1, std::memory_order_relaxed);
        }
    });
    for (int i = 0; i < 200000 || steps.load() < 100000; ++i) {
        if (i % 2 == 0) {
            filter.design(7, peak);
        } else {
            filter.design(0, low);
        }
    }
    stop.store(true, std::memory_order_release);
    audio.join();
    EXPECT_EQ(mixed.load(), 0) << "of " << steps.load() << " samples";
}

TEST(BiquadThreads, ConcurrentDesignAndRetuneLeaveAWholeDesign) {
    std::uint32_t state = 777;
    auto draw = [&state] {
        state = state * 1664525u + 1013904223u;
        return static_cast<double>(state >> 8) * 0x1.0p-24;
    };
    for (int round = 0; round < 300; ++round) {
        Biquad filter;
        filter.design(0, FilterDesign{1000.0f, 1.0f, 1.0f, 1.0f, false, true});
        std::atomic<bool> go{false};
        std::thread audio([&filter, &go, round] {
            while (!go.load(std::memory_order_acquire)) {
            }
            for (int i = 0; i < 400; ++i) {
                filter.retune(static_cast<float>(100.0 + 40.0 * ((i * 7 + round) % 500)));
                filter.process(0.25);
            }
        });
        go.store(true, std::memory_order_release);
        for (int i = 0; i < 400; ++i) {
            const std::int32_t type = static_cast<std::int32_t>(draw() * 8.0);
            const auto frequency = static_cast<float>(50.0 + 15000.0 * draw());
            const auto q = static_cast<float>(0.3 + 9.0 * draw());
            const auto gain = static_cast<float>(0.1 + 1.9 * draw());
            filter.design(type, FilterDesign{frequency, q, gain, 1.0f, false, true});
        }
        audio.join();
        // The coefficients in force are the design of the record in force.
        const Coefficients whole = designed(filter.type, filter.designRecord);
        const Coefficients inForce(filter);
        for (int i = 0; i < 5; ++i) {
            ASSERT_EQ(whole.c[i], inForce.c[i]) << "round " << round << " coefficient " << i;
        }
        // And the audio thread filters with them.
        filter.reset();
        EXPECT_EQ(filter.process(1.0), inForce.c[0]) << "round " << round;
    }
}

} // namespace
