#include "dsp/biquad.h"

#include <cmath>

namespace {

// The published coefficients are written with release and read with acquire:
// a copy that saw any value of a later design also sees the sequence that
// design's writer set before it, and is thrown away.
void publish(double& field, double value) {
    std::atomic_ref<double>(field).store(value, std::memory_order_release);
}
double peek(double& field) {
    return std::atomic_ref<double>(field).load(std::memory_order_acquire);
}

} // namespace

void Biquad::takeDesign(std::uint32_t sequence) {
    const std::uint32_t last = sequence >> 1; // the last whole design
    double* slot = published[last & 1u];
    const double copy[5] = {peek(slot[0]), peek(slot[1]), peek(slot[2]), peek(slot[3]), peek(slot[4])};
    // Design last + 2, written into the same slot, starts at sequence 2 last + 3.
    if (designSequence.load(std::memory_order_relaxed) - 2u * last >= 3u) {
        return; // overwritten while copied: keep the design in use one sample longer
    }
    for (int i = 0; i < 5; ++i) {
        running[i] = copy[i];
    }
    runningDesign = last;
}

double Biquad::process(double input) {
    const std::uint32_t sequence = designSequence.load(std::memory_order_acquire);
    if ((sequence >> 1) != runningDesign) {
        takeDesign(sequence);
    }
    const double* c = running;
    double y = c[0] * input + c[1] * x1 + c[2] * x2 - c[3] * y1 - c[4] * y2;
    x2 = x1;
    x1 = input;
    y2 = y1;
    y1 = y;
    lastOutput = y;
    return y;
}

void Biquad::reset() {
    SignalComponent::reset();
    x1 = 0.0;
    x2 = 0.0;
    y1 = 0.0;
    y2 = 0.0;
}

void Biquad::getCoefficients(double a[3], double b[3]) const {
    a[0] = a0;
    a[1] = a1;
    a[2] = a2;
    b[0] = b0;
    b[1] = b1;
    b[2] = b2;
}

Biquad::DesignOutcome Biquad::tryDesign(int32_t newType, const FilterDesign& record) {
    if (designing.test_and_set(std::memory_order_acquire)) {
        return DesignOutcome::busy;
    }
    const bool designed = designUnguarded(newType, record);
    designing.clear(std::memory_order_release);
    return designed ? DesignOutcome::designed : DesignOutcome::refused;
}

bool Biquad::retune(float frequency) {
    if (designing.test_and_set(std::memory_order_acquire)) {
        return false; // the other thread's design wins; the next control step tries again
    }
    bool designed = false;
    if (frequency != designRecord.frequency) {
        FilterDesign record = designRecord;
        record.frequency = frequency;
        designed = designUnguarded(type, record);
    }
    designing.clear(std::memory_order_release);
    return designed;
}

namespace {

// The quantities of the audio-EQ cookbook a design is made of.
struct CookbookTerms {
    double cs;    // cos w0
    double alpha; // sin w0 / 2Q, or from a bandwidth in octaves
    double shelf; // sqrt(A) / Q sin w0
    double amp;   // A, the linear gain
    double q;
};

CookbookTerms cookbookTerms(const FilterDesign& record, double sampleRate, double pi) {
    const auto f0 = static_cast<double>(record.frequency);
    const auto q = static_cast<double>(record.q);
    const auto gain = static_cast<double>(record.gain);
    const double w0 = 2.0 * pi * f0 / sampleRate;
    const double sn = std::sin(w0);
    const double alpha =
        record.bandwidthMode ? sn * std::sinh(std::log(2.0) / 2.0 * q * w0 / sn) : sn / (2.0 * q);
    return {std::cos(w0), alpha, std::sqrt(gain) / q * sn, gain, q};
}

// Types 0..4: low-pass, high-pass, band-pass, band-stop, all-pass, over one
// denominator. c = {b0, b1, b2, a0, a1, a2}.
void passCoefficients(int32_t type, const CookbookTerms& t, bool unitPeakBandpass, double c[6]) {
    const double cs = t.cs;
    switch (type) {
    case 0:
        c[0] = (1.0 - cs) / 2.0;
        c[1] = 1.0 - cs;
        c[2] = (1.0 - cs) / 2.0;
        break;
    case 1:
        c[0] = (1.0 + cs) / 2.0;
        c[1] = -(1.0 + cs);
        c[2] = (1.0 + cs) / 2.0;
        break;
    case 2:
        c[0] = unitPeakBandpass ? t.alpha : t.q * t.alpha;
        c[1] = 0.0;
        c[2] = -c[0];
        break;
    case 3:
        c[0] = 1.0;
        c[1] = -2.0 * cs;
        c[2] = 1.0;
        break;
    default:
        c[0] = 1.0 - t.alpha;
        c[1] = -2.0 * cs;
        c[2] = 1.0 + t.alpha;
        break;
    }
    c[3] = 1.0 + t.alpha;
    c[4] = -2.0 * cs;
    c[5] = 1.0 - t.alpha;
}

// Types 5..7: low shelf, high shelf, peaking.
void gainCoefficients(int32_t type, const CookbookTerms& t, double c[6]) {
    const double cs = t.cs;
    const double amp = t.amp;
    const double shelf = t.shelf;
    switch (type) {
    case 5:
        c[0] = amp * ((amp + 1.0) - (amp - 1.0) * cs + shelf);
        c[1] = 2.0 * amp * ((amp - 1.0) - (amp + 1.0) * cs);
        c[2] = amp * ((amp + 1.0) - (amp - 1.0) * cs - shelf);
        c[3] = (amp + 1.0) + (amp - 1.0) * cs + shelf;
        c[4] = -2.0 * ((amp - 1.0) + (amp + 1.0) * cs);
        c[5] = (amp + 1.0) + (amp - 1.0) * cs - shelf;
        break;
    case 6:
        c[0] = amp * ((amp + 1.0) + (amp - 1.0) * cs + shelf);
        c[1] = -2.0 * amp * ((amp - 1.0) + (amp + 1.0) * cs);
        c[2] = amp * ((amp + 1.0) + (amp - 1.0) * cs - shelf);
        c[3] = (amp + 1.0) - (amp - 1.0) * cs + shelf;
        c[4] = 2.0 * ((amp - 1.0) - (amp + 1.0) * cs);
        c[5] = (amp + 1.0) - (amp - 1.0) * cs - shelf;
        break;
    default:
        c[0] = 1.0 + t.alpha * amp;
        c[1] = -2.0 * cs;
        c[2] = 1.0 - t.alpha * amp;
        c[3] = 1.0 + t.alpha / amp;
        c[4] = static_cast<double>(static_cast<float>(-2.0 * cs));
        c[5] = 1.0 - t.alpha / amp;
        break;
    }
}

// Type 8: a second-order all-pass set by the delay parameter v (a Thiran
// all-pass mirrored in frequency).
void delayAllpassCoefficients(double v, double c[6]) {
    const double k1 = 2.0 * (v - 2.0) / (v + 1.0);
    const double k2 = (v - 1.0) * (v - 2.0) / ((v + 1.0) * (v + 2.0));
    c[0] = k2;
    c[1] = k1;
    c[2] = 1.0;
    c[3] = 1.0;
    c[4] = k1;
    c[5] = k2;
}

// The coefficients c = {b0, b1, b2, a0, a1, a2} of a design, into locals first:
// a design that divides by zero must not replace the coefficients in force.
void cookbook(int32_t type, const FilterDesign& record, double sampleRate, double pi, double c[6]) {
    const CookbookTerms terms = cookbookTerms(record, sampleRate, pi);
    if (type < 5) {
        passCoefficients(type, terms, record.unitPeakBandpass, c);
    } else if (type < 8) {
        gainCoefficients(type, terms, c);
    } else {
        delayAllpassCoefficients(static_cast<double>(record.delayParameter), c);
    }
}

} // namespace

bool designBiquad(int32_t type, const FilterDesign& record, double sampleRate, BiquadCoefficients& out,
                  double pi) {
    if (type < 0 || type >= Biquad::kTypeCount) {
        return false;
    }
    double c[6] = {}; // b0, b1, b2, a0, a1, a2
    cookbook(type, record, sampleRate, pi, c);
    const double n[5] = {c[0] / c[3], c[1] / c[3], c[2] / c[3], c[4] / c[3], c[5] / c[3]};
    for (double value : n) {
        if (!std::isfinite(value)) {
            return false;
        }
    }
    for (double value : c) {
        if (!std::isfinite(value)) {
            return false;
        }
    }
    out = BiquadCoefficients{{c[0], c[1], c[2]}, {c[3], c[4], c[5]}, {n[0], n[1], n[2], n[3], n[4]}};
    return true;
}

bool Biquad::designUnguarded(int32_t newType, const FilterDesign& record) {
    type = newType;
    designRecord = record;
    BiquadCoefficients c;
    if (!designBiquad(newType, record, sampleRate, c, pi)) {
        return false;
    }
    b0 = c.b[0];
    b1 = c.b[1];
    b2 = c.b[2];
    a0 = c.a[0];
    a1 = c.a[1];
    a2 = c.a[2];
    const double* n = c.normalized;
    nb0 = n[0];
    nb1 = n[1];
    nb2 = n[2];
    na1 = n[3];
    na2 = n[4];
    const std::uint32_t sequence = designSequence.load(std::memory_order_relaxed);
    designSequence.store(sequence + 1, std::memory_order_relaxed);
    double* slot = published[((sequence >> 1) + 1u) & 1u];
    for (int i = 0; i < 5; ++i) {
        publish(slot[i], n[i]);
    }
    designSequence.store(sequence + 2, std::memory_order_release);
    return true;
}
