#include "library/StoredValues.h"

#include <cmath>
#include <cstring>

namespace
{
    juce::uint64 wrappedDecimal (const juce::String& text)
    {
        auto p = text.getCharPointer();

        while (p.isWhitespace())
            ++p;

        bool negative = false;

        if (*p == '-' || *p == '+')
        {
            negative = (*p == '-');
            ++p;
        }

        juce::uint64 magnitude = 0;

        for (; p.isDigit(); ++p)
            magnitude = magnitude * 10u + static_cast<juce::uint64> (*p - '0');

        return negative ? (juce::uint64) 0 - magnitude : magnitude;
    }

    juce::int64 truncatedDouble (double value, double lowest, double highest)
    {
        if (! std::isfinite (value) || value < lowest || value >= highest)
            return 0;

        return static_cast<juce::int64> (value);
    }
}

int StoredValues::toInt (const juce::var& value)
{
    if (value.isDouble())
        return static_cast<int> (truncatedDouble (static_cast<double> (value), -2147483648.0, 2147483648.0));

    if (value.isString())
        return static_cast<int> (static_cast<juce::uint32> (wrappedDecimal (value.toString())));

    return static_cast<int> (value);
}

juce::String StoredValues::toText (const juce::var& value)
{
    if (value.isDouble() && std::isnan (static_cast<double> (value)))
        return {};

    // JUCE keeps bytes that are not UTF-8 as they came but re-encodes them when it
    // writes them (a stray continuation byte becomes an ASCII character). Holding the
    // re-encoded text from the start makes what the program works with (a file path,
    // say) the same as what it will save.
    auto text = value.toString();
    const auto numBytes = text.getNumBytesAsUTF8() + 1;
    juce::HeapBlock<char> encoded (numBytes);
    text.copyToUTF8 (encoded.get(), numBytes);

    if (std::strcmp (encoded.get(), text.toRawUTF8()) == 0)
        return text;

    return juce::String (juce::CharPointer_UTF8 (encoded.get()));
}

juce::int64 StoredValues::toInt64 (const juce::var& value)
{
    if (value.isDouble())
        return truncatedDouble (static_cast<double> (value), -9223372036854775808.0, 9223372036854775808.0);

    if (value.isString())
        return static_cast<juce::int64> (wrappedDecimal (value.toString()));

    return static_cast<juce::int64> (value);
}
