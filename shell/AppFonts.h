// Typefaces: the application font, the four default typeface names, and the
// fallback to installed faces where a named one is missing.
#pragma once

#include <juce_graphics/juce_graphics.h>

/** The names the framework uses for its placeholder typefaces. */
struct DefaultTypefaceNames
{
    juce::String sansSerif, serif, monospaced, fallback;
};

/** The preferred default typefaces for a language value: all "Hiragino Sans GB" for
    "ja", else "Lucida Grande", "Times New Roman", "Menlo", "Arial Unicode MS". */
DefaultTypefaceNames getPreferredTypefaceNames (const juce::String& language);

/** The default typefaces of this run, decided once from the "language" setting on
    first use, each mapped to an installed face. Message thread. */
const DefaultTypefaceNames& getDefaultTypefaceNames();

/** The face to draw with for a preferred typeface name: the name itself when it is
    installed; otherwise, for Japanese, an installed face that covers Japanese
    (Noto Sans CJK JP first), and for other languages an installed Latin face of
    similar metrics (Liberation Sans for Arial and the sans faces, Liberation Serif
    for serif faces, Liberation Mono for monospaced ones). Any thread. */
juce::String findInstalledTypeface (const juce::String& preferredName, bool japanese);

/** The preferred application typeface: "Arial", or "Hiragino Sans GB" for "ja". */
juce::String getAppFontName (const juce::String& language);

/** The application's plain font for a size kind: 0 gives height 12, 2 gives 16,
    anything else 14. The language is read at every call. Message thread. */
juce::Font getAppFont (int sizeKind);
