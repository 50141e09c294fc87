// Strict JSON texts for the tool's output.
#pragma once

#include <juce_core/juce_core.h>

/** Writing JSON that any parser accepts. JUCE's own JSON writer escapes some control
    characters in ways JSON does not allow ("\a"), so the tool uses these. Any thread. */
namespace JsonText
{
    /** text as a JSON string literal, quotes included: '"', '\' and control
        characters are escaped, other characters are kept as UTF-8, and bytes that
        are not valid UTF-8 (a file name on Linux may hold any bytes) become U+FFFD. */
    juce::String quoted (const juce::String& text);
}
