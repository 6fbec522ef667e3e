#include "dsp/biquad.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <complex>
#include <cstdint>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kFs = 44100.0;

using Complex = std::complex<double>;

// |H(e^jw)| of the coefficients the filter reports.
double magnitude(const Biquad& filter, double w) {
    double a[3];
    double b[3];
    filter.getCoefficients(a, b);
    Complex z1 = std::polar(1.0, -w);
    Complex z2 = z1 * z1;
    return std::abs((b[0] + b[1] * z1 + b[2] * z2) / (a[0] + a[1] * z1 + a[2] * z2));
}

double denominatorMagnitude(const Biquad& filter, double w) {
    double a[3];
    double b[3];
    filter.getCoefficients(a, b);
    Complex z1 = std::polar(1.0, -w);
    return std::abs(a[0] + a[1] * z1 + a[2] * z1 * z1);
}

// The analog prototypes the cookbook designs are bilinear transforms of, with
// the corner prewarped so that w0 lands on s = j: evaluated at
// s = j tan(w/2) / tan(w0/2) they give the digital response exactly.
double prototypeMagnitude(int type, const FilterDesign& d, double w) {
    const double w0 = 2.0 * kPi * d.frequency / kFs;
    const Complex s(0.0, std::tan(w / 2.0) / std::tan(w0 / 2.0));
    const double q = d.q;
    const double a = d.gain;
    const double ra = std::sqrt(a);
    const Complex den = s * s + s / q + 1.0;
    switch (type) {
    case 0:
        return std::abs(1.0 / den);
    case 1:
        return std::abs(s * s / den);
    case 2:
        return std::abs((d.unitPeakBandpass ? s / q : s) / den);
    case 3:
        return std::abs((s * s + 1.0) / den);
    case 4:
        return std::abs((s * s - s / q + 1.0) / den);
    case 5:
        return std::abs(a * (s * s + ra / q * s + a) / (a * s * s + ra / q * s + 1.0));
    case 6:
        return std::abs(a * (a * s * s + ra / q * s + 1.0) / (s * s + ra / q * s + a));
    default:
        return std::abs((s * s + s * (a / q) + 1.0) / (s * s + s / (a * q) + 1.0));
    }
}

FilterDesign makeDesign(float frequency, float q, float gain) {
    FilterDesign d;
    d.frequency = frequency;
    d.q = q;
    d.gain = gain;
    return d;
}

// Amplitude of the steady-state response to a unit sine, by correlation over
// whole periods after the transient has died away.
double measuredGain(Biquad& filter, double frequency) {
    const double w = 2.0 * kPi * frequency / kFs;
    const int settle = 20000;
    const int periods = 50;
    const int length = static_cast<int>(std::lround(periods * kFs / frequency));
    double sc = 0.0;
    double cc = 0.0;
    for (int n = 0; n < settle + length; ++n) {
        double y = filter.process(std::sin(w * n));
        if (n >= settle) {
            sc += y * std::sin(w * n);
            cc += y * std::cos(w * n);
        }
    }
    return 2.0 * std::hypot(sc, cc) / length;
}

std::vector<double> coefficients(const Biquad& filter) {
    double a[3];
    double b[3];
    filter.getCoefficients(a, b);
    return {a[0], a[1], a[2], b[0], b[1], b[2], filter.nb0, filter.nb1, filter.nb2, filter.na1, filter.na2};
}

TEST(BiquadResponse, CookbookTypesMatchTheirAnalogPrototypes) {
    const FilterDesign designs[] = {makeDesign(1000.0f, 0.707f, 2.0f), makeDesign(250.0f, 4.0f, 0.5f),
                                    makeDesign(8000.0f, 1.5f, 3.0f), makeDesign(15000.0f, 0.3f, 1.7f)};
    for (int type = 0; type <= 7; ++type) {
        for (FilterDesign d : designs) {
            for (bool unitPeak : {true, false}) {
                d.unitPeakBandpass = unitPeak;
                Biquad filter;
                ASSERT_TRUE(filter.design(type, d));
                const double w0 = 2.0 * kPi * d.frequency / kFs;
                for (double w : {1e-6, 0.2 * w0, w0, 1.7 * w0, 0.99 * kPi}) {
                    if (w >= kPi) {
                        continue;
                    }
                    double expected = prototypeMagnitude(type, d, w);
                    double relative = 1e-9;
                    if (type == 7) {
                        // a1 is rounded to single precision: up to half an
                        // ulp of 2 moves the denominator, which matters
                        // where the denominator is small (near DC at low f0).
                        relative += 1.2e-7 / denominatorMagnitude(filter, w);
                    }
                    EXPECT_NEAR(magnitude(filter, w), expected, relative * expected + 1e-12)
                        << "type " << type << " f0 " << d.frequency << " w " << w;
                }
            }
        }
    }
}

TEST(BiquadResponse, LandmarkGains) {
    const double w0 = 2.0 * kPi * 1000.0 / kFs;
    const double nearNyquist = 0.999 * kPi;
    Biquad filter;

    ASSERT_TRUE(filter.design(0, makeDesign(1000.0f, 3.0f, 1.0f)));
    EXPECT_NEAR(magnitude(filter, 0.0), 1.0, 1e-12);
    EXPECT_NEAR(magnitude(filter, w0), 3.0, 1e-9);
    EXPECT_LT(magnitude(filter, nearNyquist), 1e-5);

    ASSERT_TRUE(filter.design(1, makeDesign(1000.0f, 3.0f, 1.0f)));
    EXPECT_LT(magnitude(filter, 0.0), 1e-12);
    EXPECT_NEAR(magnitude(filter, w0), 3.0, 1e-9);
    EXPECT_NEAR(magnitude(filter, nearNyquist), 1.0, 1e-6);

    FilterDesign band = makeDesign(1000.0f, 3.0f, 1.0f);
    ASSERT_TRUE(filter.design(2, band));
    EXPECT_NEAR(magnitude(filter, w0), 1.0, 1e-9);
    EXPECT_LT(magnitude(filter, 0.0), 1e-12);
    band.unitPeakBandpass = false;
    ASSERT_TRUE(filter.design(2, band));
    EXPECT_NEAR(magnitude(filter, w0), 3.0, 1e-9);

    ASSERT_TRUE(filter.design(3, makeDesign(1000.0f, 3.0f, 1.0f)));
    EXPECT_LT(magnitude(filter, w0), 1e-9);
    EXPECT_NEAR(magnitude(filter, 0.0), 1.0, 1e-12);
    EXPECT_NEAR(magnitude(filter, nearNyquist), 1.0, 1e-6);

    ASSERT_TRUE(filter.design(4, makeDesign(1000.0f, 3.0f, 1.0f)));
    for (double w : {0.0, 0.3 * w0, w0, 4.0 * w0, nearNyquist}) {
        EXPECT_NEAR(magnitude(filter, w), 1.0, 1e-12);
    }

    // The shelves and the peak reach gain squared: the designs take `gain`
    // where the cookbook takes its A.
    ASSERT_TRUE(filter.design(5, makeDesign(1000.0f, 0.707f, 2.0f)));
    EXPECT_NEAR(magnitude(filter, 0.0), 4.0, 1e-9);
    EXPECT_NEAR(magnitude(filter, nearNyquist), 1.0, 1e-4);
    ASSERT_TRUE(filter.design(6, makeDesign(1000.0f, 0.707f, 2.0f)));
    EXPECT_NEAR(magnitude(filter, 0.0), 1.0, 1e-9);
    EXPECT_NEAR(magnitude(filter, kPi), 4.0, 1e-9);
    ASSERT_TRUE(filter.design(7, makeDesign(1000.0f, 2.0f, 0.5f)));
    EXPECT_NEAR(magnitude(filter, w0), 0.25, 1e-6);
    EXPECT_NEAR(magnitude(filter, 0.0), 1.0, 1e-5);

    // Gain 1 is flat; the peaking design only to within its single
    // precision a1.
    for (int type : {5, 6, 7}) {
        ASSERT_TRUE(filter.design(type, makeDesign(1000.0f, 0.9f, 1.0f)));
        for (double w : {0.0, 0.3 * w0, w0, 4.0 * w0, nearNyquist}) {
            EXPECT_NEAR(magnitude(filter, w), 1.0, type == 7 ? 1e-5 : 1e-12) << "type " << type;
        }
    }
}

TEST(BiquadResponse, BandwidthModeSpansTheRequestedOctaves) {
    struct Case {
        float frequency;
        float octaves;
    };
    for (Case c : {Case{1000.0f, 1.0f}, Case{1000.0f, 2.0f}, Case{10000.0f, 0.5f}}) {
        FilterDesign d = makeDesign(c.frequency, c.octaves, 1.0f);
        d.bandwidthMode = true;
        Biquad filter;
        ASSERT_TRUE(filter.design(2, d));
        const double w0 = 2.0 * kPi * c.frequency / kFs;
        const double half = std::sqrt(0.5);
        auto edge = [&](double lo, double hi) {
            bool loAbove = magnitude(filter, lo) > half;
            for (int i = 0; i < 100; ++i) {
                double mid = 0.5 * (lo + hi);
                ((magnitude(filter, mid) > half) == loAbove ? lo : hi) = mid;
            }
            return lo;
        };
        double lower = edge(1e-6, w0);
        double upper = edge(w0, kPi - 1e-6);
        EXPECT_NEAR(std::log2(upper / lower), c.octaves, 0.01 * c.octaves) << c.frequency;
    }
}

TEST(BiquadProcess, SineThroughTheFilterHasTheDesignedGain) {
    struct Case {
        int type;
        FilterDesign design;
        double frequency;
        double expected;
    };
    const Case cases[] = {
        {0, makeDesign(1000.0f, 3.0f, 1.0f), 1000.0, 3.0},   // lowpass at f0: Q
        {0, makeDesign(1000.0f, 3.0f, 1.0f), 100.0, -1.0},   // pass band
        {1, makeDesign(2000.0f, 0.707f, 1.0f), 200.0, -1.0}, // stop band
        {7, makeDesign(3000.0f, 1.0f, 2.0f), 3000.0, 4.0},   // peaking at f0: gain squared
        {5, makeDesign(3000.0f, 0.707f, 0.5f), 50.0, -1.0},  // low shelf plateau
        {3, makeDesign(4410.0f, 2.0f, 1.0f), 4410.0, 0.0},   // band-stop notch
    };
    for (const Case& c : cases) {
        Biquad filter;
        ASSERT_TRUE(filter.design(c.type, c.design));
        double expected = c.expected;
        if (expected < 0.0) {
            expected = prototypeMagnitude(c.type, c.design, 2.0 * kPi * c.frequency / kFs);
        }
        EXPECT_NEAR(measuredGain(filter, c.frequency), expected, 1e-3 * expected + 1e-4)
            << "type " << c.type << " at " << c.frequency << " Hz";
    }
}

TEST(Biquad, UnitDelayParameterAllpassIsANegatedUnitDelay) {
    Biquad filter;
    FilterDesign d;
    d.delayParameter = 1.0f;
    ASSERT_TRUE(filter.design(8, d));
    const double expected[] = {0.0, -1.0, 0.0, 0.0, 0.0, 0.0};
    for (int n = 0; n < 6; ++n) {
        EXPECT_EQ(filter.process(n == 0 ? 1.0 : 0.0), expected[n]) << "sample " << n;
    }
}

// The type 8 all-pass is a second-order Thiran all-pass mirrored in
// frequency: flat magnitude, and a group delay of v samples at Nyquist.
TEST(Biquad, DelayParameterAllpassIsFlatWithDelayVAtNyquist) {
    for (float v : {1.5f, 2.0f, 2.7f, 4.0f}) {
        Biquad filter;
        FilterDesign d;
        d.delayParameter = v;
        ASSERT_TRUE(filter.design(8, d));
        for (double w : {0.0, 0.5, 1.5, 3.0}) {
            EXPECT_NEAR(magnitude(filter, w), 1.0, 1e-12) << "v " << v;
        }
        double a[3];
        double b[3];
        filter.getCoefficients(a, b);
        auto phase = [&](double w) {
            Complex z1 = std::polar(1.0, -w);
            return std::arg((b[0] + b[1] * z1 + b[2] * z1 * z1) / (a[0] + a[1] * z1 + a[2] * z1 * z1));
        };
        const double h = 1e-5;
        double delay = -std::remainder(phase(kPi - h) - phase(kPi - 2.0 * h), 2.0 * kPi) / h;
        EXPECT_NEAR(delay, v, 1e-3) << "v " << v;
    }
}

TEST(Biquad, TypesWithoutADesignKeepTheCoefficients) {
    for (int32_t type : {9, 10, -1, INT_MIN, INT_MAX}) {
        Biquad filter;
        Biquad reference;
        ASSERT_TRUE(filter.design(0, makeDesign(1200.0f, 2.0f, 1.0f)));
        ASSERT_TRUE(reference.design(0, makeDesign(1200.0f, 2.0f, 1.0f)));
        const std::vector<double> before = coefficients(filter);
        FilterDesign other = makeDesign(5000.0f, 0.5f, 3.0f);
        EXPECT_FALSE(filter.design(type, other));
        EXPECT_EQ(coefficients(filter), before) << "type " << type;
        EXPECT_EQ(filter.type, type);
        EXPECT_EQ(filter.designRecord.frequency, 5000.0f);
        EXPECT_EQ(filter.designRecord.gain, 3.0f);
        for (int n = 0; n < 64; ++n) {
            double x = std::sin(0.3 * n);
            ASSERT_EQ(filter.process(x), reference.process(x));
        }
    }
}

TEST(Biquad, DesignsThatDivideByZeroKeepTheCoefficients) {
    FilterDesign peakingAtZeroGain = makeDesign(1000.0f, 1.0f, 0.0f);
    FilterDesign bandwidthAtZeroHz = makeDesign(0.0f, 1.0f, 1.0f);
    bandwidthAtZeroHz.bandwidthMode = true;
    FilterDesign zeroQ = makeDesign(1000.0f, 0.0f, 1.0f);
    FilterDesign poleAtMinusOne;
    poleAtMinusOne.delayParameter = -1.0f;
    struct Case {
        int type;
        FilterDesign design;
    };
    for (const Case& c : {Case{7, peakingAtZeroGain}, Case{0, bandwidthAtZeroHz}, Case{2, bandwidthAtZeroHz},
                          Case{0, zeroQ}, Case{6, zeroQ}, Case{8, poleAtMinusOne}}) {
        Biquad filter;
        ASSERT_TRUE(filter.design(0, makeDesign(1200.0f, 2.0f, 1.0f)));
        for (int n = 0; n < 32; ++n) {
            filter.process(std::sin(0.3 * n));
        }
        const std::vector<double> before = coefficients(filter);
        EXPECT_FALSE(filter.design(c.type, c.design)) << "type " << c.type;
        EXPECT_EQ(coefficients(filter), before) << "type " << c.type;
        EXPECT_EQ(filter.type, c.type);
        for (int n = 0; n < 256; ++n) {
            ASSERT_TRUE(std::isfinite(filter.process(std::sin(0.3 * n))));
        }
    }
    // A fresh filter whose first design fails stays silent.
    Biquad fresh;
    EXPECT_FALSE(fresh.design(7, peakingAtZeroGain));
    EXPECT_EQ(fresh.process(1.0), 0.0);
}

TEST(Biquad, EdgeDesignsStayUsable) {
    Biquad filter;
    // Not yet designed: silence.
    EXPECT_EQ(filter.process(1.0), 0.0);
    EXPECT_EQ(filter.process(-0.5), 0.0);

    // Lowpass at 0 Hz has an all-zero numerator.
    ASSERT_TRUE(filter.design(0, makeDesign(0.0f, 1.0f, 1.0f)));
    for (int n = 0; n < 16; ++n) {
        EXPECT_EQ(filter.process(1.0), 0.0);
    }

    // The smallest Q the effect sends keeps every design finite.
    for (int type = 0; type <= 4; ++type) {
        EXPECT_TRUE(filter.design(type, makeDesign(1000.0f, 1e-10f, 1.0f))) << "type " << type;
        for (double c : coefficients(filter)) {
            EXPECT_TRUE(std::isfinite(c));
        }
    }
}

TEST(Biquad, PeakingDenominatorMiddleTermIsSinglePrecision) {
    Biquad filter;
    ASSERT_TRUE(filter.design(7, makeDesign(1234.5f, 0.8f, 1.5f)));
    double a[3];
    double b[3];
    filter.getCoefficients(a, b);
    const double exact = -2.0 * std::cos(2.0 * kPi * 1234.5 / kFs);
    EXPECT_EQ(a[1], static_cast<double>(static_cast<float>(exact)));
    EXPECT_NE(a[1], exact);
    EXPECT_EQ(b[1], exact);
}

TEST(Biquad, DesignUsesTheStoredPi) {
    Biquad filter;
    filter.pi = 3.0;
    ASSERT_TRUE(filter.design(0, makeDesign(1000.0f, 5.0f, 1.0f)));
    EXPECT_NEAR(magnitude(filter, 2.0 * 3.0 * 1000.0 / kFs), 5.0, 1e-9);
}

TEST(Biquad, ResetClearsHistoryOnly) {
    Biquad filter;
    Biquad fresh;
    const FilterDesign d = makeDesign(700.0f, 4.0f, 1.0f);
    ASSERT_TRUE(filter.design(1, d));
    ASSERT_TRUE(fresh.design(1, d));
    for (int n = 0; n < 100; ++n) {
        filter.process(std::sin(0.05 * n));
    }
    filter.reset();
    EXPECT_EQ(filter.lastOutput, 0.0);
    EXPECT_EQ(coefficients(filter), coefficients(fresh));
    for (int n = 0; n < 100; ++n) {
        double x = n == 0 ? 1.0 : 0.0;
        ASSERT_EQ(filter.process(x), fresh.process(x));
    }
}

TEST(Biquad, RedesignActsOnTheRunningSignal) {
    Biquad filter;
    ASSERT_TRUE(filter.design(0, makeDesign(2000.0f, 0.707f, 1.0f)));
    for (int n = 0; n < 5000; ++n) {
        filter.process(1.0);
    }
    ASSERT_NEAR(filter.lastOutput, 1.0, 1e-9);
    // Same DC gain at another corner: a running filter stays at 1, a
    // restarted one would begin again from 0.
    ASSERT_TRUE(filter.design(0, makeDesign(3000.0f, 0.707f, 1.0f)));
    EXPECT_NEAR(filter.process(1.0), 1.0, 1e-9);
}

} // namespace
