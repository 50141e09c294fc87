#include "ui/VQLookAndFeel.h"
#include "shell/AppFonts.h"
#include "shell/Settings.h"

VQLookAndFeel::VQLookAndFeel() = default;

juce::Typeface::Ptr VQLookAndFeel::getTypefaceForFont (const juce::Font& font)
{
    auto& defaults = getDefaultTypefaceNames();
    auto name = font.getTypefaceName();
    juce::String face;

    if (name == juce::Font::getDefaultSansSerifFontName())
        face = defaults.sansSerif;
    else if (name == juce::Font::getDefaultSerifFontName())
        face = defaults.serif;
    else if (name == juce::Font::getDefaultMonospacedFontName())
        face = defaults.monospaced;
    else
        face = findInstalledTypeface (name, isJapaneseLanguage());

    juce::Font mapped (font);
    mapped.setTypefaceName (face);
    return juce::Typeface::createSystemTypefaceFor (mapped);
}
