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
    const double samplesPerBeat = static_cast<double>(workingSampleRate) * (1.0 / hostTime.beatsPerSecond);
    // At least one sample per beat; an absurdly slow tempo is capped below int overflow.
    if (!(samplesPerBeat >= 1.0)) {
        hostTime.samplesPerBeat = 1;
    } else if (samplesPerBeat >= 2147483647.0) {
        hostTime.samplesPerBeat = 2147483647;
    } else {
        hostTime.samplesPerBeat = static_cast<std::int32_t>(samplesPerBeat);
    }
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
    if (seconds > 0.0f && gridValue >= 1.0f) {
        const float fs = workingSampleRate;
        const float spb = static_cast<float>(hostTime.samplesPerBeat);
        const float steps = std::ceil(seconds * fs * gridValue / spb);
        return steps * (spb / gridValue) / fs;
    }
    return seconds;
}
