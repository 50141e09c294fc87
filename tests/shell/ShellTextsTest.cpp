// The shell's small rules: time text, path joining, manuals, fonts and version texts.
#include "shell/AppFonts.h"
#include "shell/ResourcePaths.h"
#include "shell/Settings.h"
#include "shell/TimeText.h"
#include "shell/UpdateCheckers.h"

#include "ChildProgram.h"

#include <gtest/gtest.h>

TEST (TimeText, FormatsHoursMinutesSeconds)
{
    struct Case { double seconds; const char* text; };
    const Case cases[] = {
        { 0.0, "00:00:00" },       { 65.9, "00:01:05" },       { 3725.0, "01:02:05" },
        { 360000.0, "100:00:00" }, { 59.999, "00:00:59" },     { 3599.0, "00:59:59" },
        { 3600.0, "01:00:00" },    { 86399.5, "23:59:59" },    { -1.0, "00:00:00" },
    };

    for (auto& c : cases)
        EXPECT_EQ (formatTime (c.seconds), c.text) << c.seconds;
}

TEST (ResourcePaths, JoinPathAddsOneSeparator)
{
    struct Case { const char* base; const char* expected; };
    const Case cases[] = {
        { "", "/Plugins" },
        { "/usr/share/vorniq", "/usr/share/vorniq/Plugins" },
        { "/usr/share/vorniq/", "/usr/share/vorniq/Plugins" },
        { "C:\\vorniq\\", "C:\\vorniq\\Plugins" },
        { "relative", "relative/Plugins" },
    };

    for (auto& c : cases)
        EXPECT_EQ (joinPath (c.base, "Plugins"), c.expected) << c.base;

    EXPECT_EQ (joinPath ("/r", "Localize", "strings.trans"), "/r/Localize/strings.trans");
    EXPECT_EQ (joinPath ("", "ffmpeg", "ffmpeg"), "/ffmpeg/ffmpeg");
}

TEST (ResourcePaths, ManualIsEnglishOnlyForEn)
{
    auto resources = getEnvironmentPath ("InstallPath");
    auto english = resources + "/documentation/en/Vorniq Operation Manual English.pdf";
    auto japanese = resources + "/documentation/jp/Vorniq Operation Manual Japanese.pdf";

    EXPECT_EQ (getManualPath ("en"), english);

    for (auto* language : { "ja", "", "EN", "fr", "<nonexist>" })
        EXPECT_EQ (getManualPath (language), japanese) << language;
}

TEST (ResourcePaths, ResourcesFolderAndItsEntries)
{
    EXPECT_EQ (getEnvironmentPath ("language"), "");
    EXPECT_EQ (getEnvironmentPath ("anything"), "");
    EXPECT_EQ (getDefaultLanguage(), "en");

    auto resources = getEnvironmentPath ("InstallPath");
    EXPECT_TRUE (resources.isNotEmpty());
    EXPECT_EQ (getTranslationFilePath(), resources + "/Localize/strings.trans");
    EXPECT_EQ (getPluginsPath(), resources + "/Plugins");
    EXPECT_EQ (getFFmpegPath(), resources + "/ffmpeg/ffmpeg");

    // The variable points the program at another resources folder.
    setenv ("VORNIQ_RESOURCES", "/opt/elsewhere", 1);
    EXPECT_EQ (getPluginsPath(), "/opt/elsewhere/Plugins");
    unsetenv ("VORNIQ_RESOURCES");
}

TEST (ResourcePaths, BuildTreeResourcesFolderIsLaidOut)
{
    // The test programs live beside Vorniq, so they find the same resources folder.
    EXPECT_TRUE (juce::File (getTranslationFilePath()).existsAsFile());
    EXPECT_TRUE (juce::File (getPluginsPath()).isDirectory());
    EXPECT_TRUE (juce::File (getFFmpegPath()).existsAsFile());
}

//==============================================================================
class SettingsSandbox : public ::testing::Test
{
protected:
    void SetUp() override
    {
        setenv ("HOME", home.path().c_str(), 1);
        getAppProperties()->setStorageParameters (getSettingsFileOptions());
    }

    void setLanguage (const char* language)
    {
        auto* settings = getAppProperties()->getUserSettings();

        if (language == nullptr)
            settings->removeValue (SettingsKeys::language);
        else
            settings->setValue (SettingsKeys::language, language);
    }

    ScratchFolder home;
};

TEST_F (SettingsSandbox, SettingsFileLivesInTheHomeFolder)
{
    auto file = getAppProperties()->getUserSettings()->getFile();
    EXPECT_EQ (file.getFullPathName().toStdString(), home.path() + "/.Vorniq/Vorniq.settings");
    EXPECT_EQ (getDefaultLibraryPath().toStdString(), home.path() + "/Documents/QUOREL Vorniq/Media/");
}

TEST_F (SettingsSandbox, AppFontHeightBySizeKind)
{
    struct Case { int sizeKind; float height; };
    const Case cases[] = { { 0, 12.0f }, { 1, 14.0f }, { 2, 16.0f }, { 3, 14.0f }, { -1, 14.0f }, { 99, 14.0f } };

    for (auto& c : cases)
    {
        auto font = getAppFont (c.sizeKind);
        EXPECT_FLOAT_EQ (font.getHeight(), c.height) << c.sizeKind;
        EXPECT_EQ (font.getStyleFlags(), juce::Font::plain);
    }
}

TEST_F (SettingsSandbox, AppFontFollowsTheLanguageAtEveryCall)
{
    setLanguage ("ja");
    EXPECT_EQ (getAppFont (1).getTypefaceName(), findInstalledTypeface ("Hiragino Sans GB", true));

    for (auto* language : { "en", "fr", (const char*) nullptr })
    {
        setLanguage (language);
        EXPECT_EQ (getAppFont (1).getTypefaceName(), findInstalledTypeface ("Arial", false));
    }
}

TEST (AppFonts, PreferredDefaultTypefaces)
{
    auto japanese = getPreferredTypefaceNames ("ja");
    for (auto& name : { japanese.sansSerif, japanese.serif, japanese.monospaced, japanese.fallback })
        EXPECT_EQ (name, "Hiragino Sans GB");

    for (auto* language : { "en", "", "<nonexist>", "JA" })
    {
        auto other = getPreferredTypefaceNames (language);
        EXPECT_EQ (other.sansSerif, "Lucida Grande");
        EXPECT_EQ (other.serif, "Times New Roman");
        EXPECT_EQ (other.monospaced, "Menlo");
        EXPECT_EQ (other.fallback, "Arial Unicode MS");
    }
}

TEST (AppFonts, MissingFacesFallBackToInstalledOnes)
{
    auto installed = juce::Font::findAllTypefaceNames();

    for (auto* name : { "Arial", "Lucida Grande", "Times New Roman", "Menlo", "Hiragino Sans GB" })
    {
        auto replacement = findInstalledTypeface (name, false);
        EXPECT_TRUE (installed.contains (replacement)) << name << " -> " << replacement;

        if (installed.contains (name))
        {
            EXPECT_EQ (replacement, name);
        }
    }

    if (! installed.contains ("Arial"))
    {
        EXPECT_EQ (findInstalledTypeface ("Arial", false), "Liberation Sans");
    }
}

TEST (AppFonts, JapaneseTextHasRealGlyphs)
{
    // A face without Japanese draws boxes: the characters have no outlines in it.
    auto outlinedCharacters = [] (const juce::String& face)
    {
        auto typeface = juce::Typeface::createSystemTypefaceFor (juce::Font (face, 14.0f, juce::Font::plain));
        juce::Array<int> glyphs;
        juce::Array<float> offsets;
        typeface->getGlyphPositions (juce::String (juce::CharPointer_UTF8 (
                                         "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e\xe3\x81\xae\xe8\xa8\xad\xe5\xae\x9a")),
                                     glyphs, offsets);
        int outlined = 0;

        for (auto glyph : glyphs)
        {
            juce::Path outline;

            if (typeface->getOutlineForGlyph (glyph, outline) && ! outline.isEmpty())
                ++outlined;
        }

        return outlined;
    };

    EXPECT_EQ (outlinedCharacters (findInstalledTypeface ("Hiragino Sans GB", true)), 6);
}

//==============================================================================
TEST (VersionTexts, ApplicationComparison)
{
    struct Case { const char* remote; bool newer; };
    const Case cases[] = {
        { "9.0.0.40", true },      // 90040 > 90039
        { "9.1", true },           // 91 padded to 91000
        { "8.9.9.99", false },     // 89999
        { "9.0.0.39", false },     // the running version
        { "9.0.0.40\n", false },   // the break counts: 900390 against "90040\n"
        { "10", false },           // padded to 10000
        { "<html>error</html>", false },
        { "", false },
        { "9.0.0.39.1", true },    // 900391 > 900390
    };

    for (auto& c : cases)
        EXPECT_EQ (VersionTexts::isNewerApplicationVersion ("9.0.0.39", c.remote), c.newer) << c.remote;
}

TEST (VersionTexts, FirmwareComparison)
{
    struct Case { const char* current; const char* remote; bool newer; };
    const Case cases[] = {
        { "0110", "1.20", true },   // 110 < 120
        { "0110", "1.10", false },
        { "0110", "1.0", false },   // no padding for firmware: 10
        { "01A0", "2", true },      // letters end the number: 1
        { "01A0", "1", false },
        { "ABCD", "0.1", true },    // no digits: 0
        { "0005", "garbage", false },
        { "0005", "", false },
    };

    for (auto& c : cases)
        EXPECT_EQ (VersionTexts::isNewerFirmwareVersion (c.current, c.remote), c.newer) << c.current << " " << c.remote;
}

TEST (VersionTexts, LeadingNumberReadsLikeAtoi)
{
    EXPECT_EQ (VersionTexts::leadingNumber ("90039"), 90039u);
    EXPECT_EQ (VersionTexts::leadingNumber ("12abc"), 12u);
    EXPECT_EQ (VersionTexts::leadingNumber ("abc12"), 0u);
    EXPECT_EQ (VersionTexts::leadingNumber (" 42"), 42u);
    EXPECT_EQ (VersionTexts::leadingNumber (std::string ("7\0" "99", 4)), 7u);
    EXPECT_EQ (VersionTexts::withoutDots ("1.2..3."), "123");
}
