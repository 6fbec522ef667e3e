#pragma once

// What the editor asks of the effect it shows, and nothing more: the stored
// value of a parameter, the number its value box shows, and a change the user
// made. The editor bridge implements it over the effect.
//
// Threads: [ui thread] all three.

#include <cstdint>

class EditorEffect {
public:
    virtual ~EditorEffect() = default;

    virtual float getParameter(std::int32_t index) = 0;
    virtual float getDisplayValue(std::int32_t index) = 0;
    // Stores the value and reports it to the host as automation.
    virtual void setParameterAutomated(std::int32_t index, float value) = 0;
};
