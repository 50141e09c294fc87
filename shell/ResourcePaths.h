// Where the program finds what ships beside it: translations, effect plug-ins,
// the ffmpeg tool and the manuals, all below one resources folder.
#pragma once

#include <juce_core/juce_core.h>

/** For "InstallPath", the resources folder: $VORNIQ_RESOURCES when set, else
    <exe dir>/../share/vorniq when installed, else <exe dir>/Resources in the build
    tree (whichever exists, in that order). Every other key gives an empty string.
    Any thread. */
juce::String getEnvironmentPath (const juce::String& key);

/** Appends each part to base in turn, adding "/" before a part unless the text so
    far is non-empty and already ends with "/" or a backslash. */
juce::String joinPath (const juce::String& base, std::initializer_list<juce::String> parts);

template <typename... Parts>
juce::String joinPath (const juce::String& base, const Parts&... parts)
{
    return joinPath (base, std::initializer_list<juce::String> { juce::String (parts)... });
}

/** <resources>/Localize/strings.trans */
juce::String getTranslationFilePath();

/** <resources>/Plugins */
juce::String getPluginsPath();

/** <resources>/ffmpeg/ffmpeg */
juce::String getFFmpegPath();

/** The English manual for exactly "en", the Japanese one for any other value. */
juce::String getManualPath (const juce::String& language);

/** "en" unless the environment path "language" says otherwise (it never does). */
juce::String getDefaultLanguage();
