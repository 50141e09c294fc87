// The program's one time text: hours:minutes:seconds.
#pragma once

#include <juce_core/juce_core.h>

/** Whole seconds as "hh:mm:ss", each field at least two digits wide; fractions are
    dropped and more than 99 hours give more hour digits. Any thread. */
juce::String formatTime (double seconds);
