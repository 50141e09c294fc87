// Reading values back from a database node without trusting what the file holds.
#pragma once

#include <juce_core/juce_core.h>

/**
    A stored id or time is normally an int or a 64-bit int, which these return as
    JUCE's own conversions do. A damaged or hand-made file may hold a double or a
    string there instead; JUCE's conversions of those overflow (undefined behaviour)
    for values out of range, so these do it safely: a double is truncated when it
    fits and gives 0 when it does not (or is not a number), a string is read as an
    optional sign and decimal digits, wrapping around like an int of that width.
    Any thread.
*/
namespace StoredValues
{
    /** The value as a signed 32-bit int; a missing value gives 0. */
    int toInt (const juce::var& value);

    /** The value as a signed 64-bit int; a missing value gives 0. */
    juce::int64 toInt64 (const juce::var& value);

    /** The value as text, as JUCE's toString gives it, except that a double that is
        not a number gives an empty text (JUCE's conversion of it is undefined
        behaviour), and bytes that are not UTF-8 come back as JUCE will write them
        when the library is saved; a missing value gives an empty text. */
    juce::String toText (const juce::var& value);
}
