#pragma once

// The base of every signal component. A component is a plain member of the
// effect object; nothing is allocated while processing (the few rings whose
// length is a time are sized when the rate is set), and every computation is
// carried in double precision.
//
// Thread contract: components are owned by the effect. `process` runs on the
// audio thread; setters may be called from the UI thread between samples, and
// each field they write is a single number written whole.
class SignalComponent {
public:
    SignalComponent() = default;
    virtual ~SignalComponent() = default;

    virtual void setSampleRate(double rate) { sampleRate = rate; }
    virtual double process(double input) = 0;
    virtual void reset() { lastOutput = 0.0; }

    // Fields are public: the engine reads and configures components directly
    // (the collector's buffer, the limiter's ratio), as plain data members.
    double pi = 3.14159265358979323846;
    double lastOutput = 0.0;
    double sampleRate = 44100.0;
};
