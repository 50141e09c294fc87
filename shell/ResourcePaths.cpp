#include "shell/ResourcePaths.h"

namespace
{
    juce::String findResourcesFolder()
    {
        auto overridden = juce::SystemStats::getEnvironmentVariable ("VORNIQ_RESOURCES", {});

        if (overridden.isNotEmpty())
            return overridden;

        auto exeDir = juce::File::getSpecialLocation (juce::File::currentExecutableFile).getParentDirectory();
        auto installed = exeDir.getSiblingFile ("share").getChildFile ("vorniq");

        if (installed.isDirectory())
            return installed.getFullPathName();

        return exeDir.getChildFile ("Resources").getFullPathName();
    }
}

juce::String getEnvironmentPath (const juce::String& key)
{
    if (key == "InstallPath")
        return findResourcesFolder();

    return {};
}

juce::String joinPath (const juce::String& base, std::initializer_list<juce::String> parts)
{
    auto path = base;

    for (auto& part : parts)
    {
        if (path.isEmpty() || ! (path.endsWithChar ('/') || path.endsWithChar ('\\')))
            path << "/";

        path << part;
    }

    return path;
}

juce::String getTranslationFilePath()
{
    return joinPath (getEnvironmentPath ("InstallPath"), "Localize", "strings.trans");
}

juce::String getPluginsPath()
{
    return joinPath (getEnvironmentPath ("InstallPath"), "Plugins");
}

juce::String getFFmpegPath()
{
    return joinPath (getEnvironmentPath ("InstallPath"), "ffmpeg", "ffmpeg");
}

juce::String getManualPath (const juce::String& language)
{
    auto resources = getEnvironmentPath ("InstallPath");

    if (language == "en")
        return joinPath (resources, "documentation", "en", "Vorniq Operation Manual English.pdf");

    return joinPath (resources, "documentation", "jp", "Vorniq Operation Manual Japanese.pdf");
}

juce::String getDefaultLanguage()
{
    auto language = getEnvironmentPath ("language");
    return language.isNotEmpty() ? language : juce::String ("en");
}
