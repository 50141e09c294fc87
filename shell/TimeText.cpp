#include "shell/TimeText.h"

#include <cmath>
#include <iomanip>
#include <sstream>

juce::String formatTime (double seconds)
{
    if (! std::isfinite (seconds) || seconds < 0.0)
        seconds = 0.0;

    auto hours   = (long long) std::floor (seconds / 3600.0);
    auto minutes = (long long) std::floor (seconds / 60.0) - 60 * hours;
    auto secs    = (long long) std::floor (seconds) - 60 * minutes - 3600 * hours;

    std::ostringstream text;
    text << std::setfill ('0') << std::setw (2) << hours << ":"
         << std::setw (2) << minutes << ":"
         << std::setw (2) << secs;
    return text.str();
}
