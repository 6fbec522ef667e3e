#include <cmath>

#include "engine/engine.h"

void Engine::updateHostTime() {
    double tempo = 120.0;
    double songPosition = 0.0;
    HostTimeReport report;
    if (timeSource != nullptr && timeSource->queryHostTime(report)) {
        if (report.tempoValid) {
            tempo = report.tempo;
        }
        if (report.positionValid && std::isfinite(report.ppqPosition)) {
            songPosition = report.ppqPosition;
        }
    }
    // A host tempo that is not a finite positive number is taken as 120 BPM.
    if (!(tempo > 0.0) || !std::isfinite(tempo)) {
        tempo = 120.0;
    }
    hostTime.tempo = tempo;
    hostTime.songPosition = songPosition;
    hostTime.beatsPerSecond = tempo * (1.0 / 60.0);
    hostTime.samplesPerBeat = param::samplesPerBeatAt(static_cast<double>(workingSampleRate), tempo);
}

void Engine::updateDelayTime() {
    const float fs = workingSampleRate;
    // "Delay" is read as seconds, 0 to 1.
    float delaySamples = normalized(param::kDelay) * fs;
    const float grid = param::syncGridValue(stored(param::kDelaySync));
    if (delaySamples > 0.0f && grid >= 1.0f) {
        const double spb = static_cast<double>(hostTime.samplesPerBeat);
        const double steps = std::ceil(static_cast<double>(delaySamples) * grid / spb);
        delaySamples = static_cast<float>(steps * (spb / grid));
    }
    const float seconds = delaySamples / fs;
    feedbackDelays[0].setDelaySeconds(seconds);
    feedbackDelays[1].setDelaySeconds(seconds);
}

float Engine::syncRound(float seconds, float gridValue) const {
    return param::syncRound(seconds, gridValue, workingSampleRate, hostTime.samplesPerBeat);
}
