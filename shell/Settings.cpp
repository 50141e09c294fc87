#include "shell/Settings.h"

namespace
{
    // Created during static initialisation and deleted by the application at
    // shutdown; after that the pointer is cleared by releaseAppProperties().
    juce::ApplicationProperties* appProperties = new juce::ApplicationProperties();
}

juce::ApplicationProperties* getAppProperties()
{
    jassert (appProperties != nullptr);
    return appProperties;
}

void releaseAppProperties()
{
    appProperties = nullptr;
}

juce::PropertiesFile::Options getSettingsFileOptions()
{
    juce::PropertiesFile::Options options;
    options.applicationName = "Vorniq";
    options.filenameSuffix = "settings";
    options.folderName = {};
    options.osxLibrarySubFolder = "Application Support";
    return options;
}

juce::String getDefaultLibraryPath()
{
    return juce::File::getSpecialLocation (juce::File::userDocumentsDirectory).getFullPathName()
           + "/QUOREL Vorniq/Media/";
}

bool isJapaneseLanguage()
{
    auto* properties = getAppProperties();
    auto* settings = properties != nullptr ? properties->getUserSettings() : nullptr;
    return settings != nullptr
           && settings->getValue (SettingsKeys::language, SettingsDefaults::languageUnset) == "ja";
}
