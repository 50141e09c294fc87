// The program's persistent settings: the eight keys, their defaults, and the one
// settings store of the process.
#pragma once

#include <juce_data_structures/juce_data_structures.h>

namespace SettingsKeys
{
    inline constexpr const char* autoLaunch          = "autoLaunch";
    inline constexpr const char* notifyNewApp        = "notifyNewApp";
    inline constexpr const char* notifyNewFirmware   = "notifyNewFirmware";
    inline constexpr const char* libraryPath         = "libraryPath";
    inline constexpr const char* language            = "language";
    inline constexpr const char* showWarningOnImport = "showWarningOnImport";
    inline constexpr const char* assetZoom           = "assetZoom";
    inline constexpr const char* assetLibMode        = "assetLibMode";
}

namespace SettingsDefaults
{
    inline constexpr bool autoLaunch          = true;
    inline constexpr bool notifyNewApp        = true;
    inline constexpr bool notifyNewFirmware   = true;
    inline constexpr bool showWarningOnImport = true;
    inline constexpr double assetZoom         = 120.0;
    inline constexpr int assetLibMode         = 1;

    /** Read "language" with this default where only "is it Japanese?" matters. */
    inline constexpr const char* languageUnset = "<nonexist>";
}

/** The process's single settings store. It exists from static initialisation until
    the application object deletes it at shutdown; the application adopts it in
    initialise. Message thread, except for reads that other Parts document. */
juce::ApplicationProperties* getAppProperties();

/** The options under which the settings file is kept: "~/.Vorniq/Vorniq.settings". */
juce::PropertiesFile::Options getSettingsFileOptions();

/** Forgets the adopted store once the application has deleted it, so that a stray
    read after shutdown is caught instead of touching freed memory. */
void releaseAppProperties();

/** The default library folder for a first start: the documents folder followed by
    "/QUOREL Vorniq/Media/". */
juce::String getDefaultLibraryPath();

/** True when "language" is "ja". Reads the setting at every call. */
bool isJapaneseLanguage();
