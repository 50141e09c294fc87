#include "shell/AppFonts.h"
#include "shell/Settings.h"

namespace
{
    const juce::StringArray& installedFamilies()
    {
        // The list of installed faces does not change during a run.
        static const juce::StringArray families = juce::Font::findAllTypefaceNames();
        return families;
    }

    bool isInstalled (const juce::String& family)
    {
        return installedFamilies().contains (family, true);
    }

    juce::String firstInstalled (std::initializer_list<const char*> candidates)
    {
        for (auto* candidate : candidates)
            if (isInstalled (candidate))
                return candidate;

        return {};
    }

    juce::String languageSetting()
    {
        auto* settings = getAppProperties()->getUserSettings();
        return settings != nullptr ? settings->getValue (SettingsKeys::language, SettingsDefaults::languageUnset)
                                   : juce::String (SettingsDefaults::languageUnset);
    }
}

DefaultTypefaceNames getPreferredTypefaceNames (const juce::String& language)
{
    if (language == "ja")
        return { "Hiragino Sans GB", "Hiragino Sans GB", "Hiragino Sans GB", "Hiragino Sans GB" };

    return { "Lucida Grande", "Times New Roman", "Menlo", "Arial Unicode MS" };
}

juce::String findInstalledTypeface (const juce::String& preferredName, bool japanese)
{
    if (isInstalled (preferredName))
        return preferredName;

    juce::String replacement;

    if (japanese)
        replacement = firstInstalled ({ "Noto Sans CJK JP", "Noto Sans JP", "IPAexGothic", "IPAGothic",
                                        "TakaoGothic", "VL Gothic", "Droid Sans Fallback" });
    else if (preferredName == "Times New Roman")
        replacement = firstInstalled ({ "Liberation Serif", "DejaVu Serif", "FreeSerif" });
    else if (preferredName == "Menlo")
        replacement = firstInstalled ({ "Liberation Mono", "DejaVu Sans Mono", "FreeMono" });
    else
        replacement = firstInstalled ({ "Liberation Sans", "Arimo", "DejaVu Sans", "FreeSans" });

    return replacement.isNotEmpty() ? replacement : preferredName;
}

const DefaultTypefaceNames& getDefaultTypefaceNames()
{
    static const DefaultTypefaceNames names = []
    {
        auto language = languageSetting();
        auto japanese = language == "ja";
        auto preferred = getPreferredTypefaceNames (language);
        return DefaultTypefaceNames { findInstalledTypeface (preferred.sansSerif, japanese),
                                      findInstalledTypeface (preferred.serif, japanese),
                                      findInstalledTypeface (preferred.monospaced, japanese),
                                      findInstalledTypeface (preferred.fallback, japanese) };
    }();

    return names;
}

juce::String getAppFontName (const juce::String& language)
{
    return language == "ja" ? "Hiragino Sans GB" : "Arial";
}

juce::Font getAppFont (int sizeKind)
{
    auto language = languageSetting();
    auto height = sizeKind == 0 ? 12.0f : (sizeKind == 2 ? 16.0f : 14.0f);
    auto face = findInstalledTypeface (getAppFontName (language), language == "ja");
    return juce::Font (face, height, juce::Font::plain);
}
