// The effect plug-ins in JUCE's real VST3 host: found in a fresh plug-in folder by
// their exact names, double precision, no latency, the switch at parameter 0, and
// prepare / process / release cycles at the sample rates and block sizes a device
// or an offline render can ask for.
#include <gtest/gtest.h>

#include "ChildProgram.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <cmath>
#include <memory>

namespace
{
    const char* const pluginNames[] = { "Isolator", "Compressor", "Mixer", "limiter",
                                        "Analog_Delay", "Room", "Hall", "Plate" };

    // The number of parameters each plug-in declares, switch included.
    const std::map<juce::String, int> parameterCounts
    {
        { "Isolator", 2 }, { "Compressor", 5 }, { "Mixer", 5 }, { "limiter", 4 },
        { "Analog_Delay", 6 }, { "Room", 5 }, { "Hall", 5 }, { "Plate", 5 }
    };

    juce::File builtPluginsFolder()
    {
        return juce::File (VORNIQ_PLUGINS_DIR);
    }

    /** A plug-in folder of its own holding a copy of the built bundle. */
    struct FreshPluginFolder
    {
        FreshPluginFolder()
        {
            folder = juce::File (scratch.path()).getChildFile ("Plugins");
            folder.createDirectory();

            for (const auto& entry : juce::RangedDirectoryIterator (builtPluginsFolder(), false, "*.vst3",
                                                                    juce::File::findFilesAndDirectories))
            {
                auto bundle = entry.getFile();
                auto copy = folder.getChildFile (bundle.getFileName());
                EXPECT_TRUE (bundle.isDirectory() ? bundle.copyDirectoryTo (copy) : bundle.copyFileTo (copy));
            }
        }

        ScratchFolder scratch;
        juce::File folder;
    };

    juce::OwnedArray<juce::PluginDescription> scan (const juce::File& folder)
    {
        juce::VST3PluginFormat format;
        juce::OwnedArray<juce::PluginDescription> descriptions;

        for (const auto& file : format.searchPathsForPlugins (juce::FileSearchPath (folder.getFullPathName()), false, false))
            format.findAllTypesForFile (descriptions, file);

        return descriptions;
    }

    std::unique_ptr<juce::AudioPluginInstance> create (const juce::OwnedArray<juce::PluginDescription>& descriptions,
                                                       const juce::String& name)
    {
        for (auto* description : descriptions)
        {
            if (description->name == name)
            {
                juce::VST3PluginFormat format;
                juce::String error;
                return format.createInstanceFromDescription (*description, 44100.0, 512, error);
            }
        }

        return {};
    }

    class PluginsInHost : public ::testing::Test
    {
    protected:
        static void SetUpTestSuite()
        {
            fresh = std::make_unique<FreshPluginFolder>();
            descriptions = std::make_unique<juce::OwnedArray<juce::PluginDescription>> (scan (fresh->folder));
        }

        static void TearDownTestSuite()
        {
            descriptions.reset();
            fresh.reset();
        }

        static std::unique_ptr<FreshPluginFolder> fresh;
        static std::unique_ptr<juce::OwnedArray<juce::PluginDescription>> descriptions;
    };

    std::unique_ptr<FreshPluginFolder> PluginsInHost::fresh;
    std::unique_ptr<juce::OwnedArray<juce::PluginDescription>> PluginsInHost::descriptions;
}

TEST_F (PluginsInHost, AFreshFolderOffersTheEightPluginsByTheirExactNames)
{
    juce::StringArray names;

    for (auto* description : *descriptions)
        names.add (description->name);

    EXPECT_EQ (names.size(), 8) << names.joinIntoString (", ").toStdString();

    for (auto* name : pluginNames)
        EXPECT_TRUE (names.contains (name)) << name;

    // Names are exact and case-sensitive: "Limiter" is not "limiter".
    EXPECT_FALSE (names.contains ("Limiter"));
}

TEST_F (PluginsInHost, EveryPluginRunsInDoublePrecisionWithoutLatency)
{
    for (auto* name : pluginNames)
    {
        SCOPED_TRACE (name);
        auto instance = create (*descriptions, name);
        ASSERT_NE (instance, nullptr);

        EXPECT_TRUE (instance->supportsDoublePrecisionProcessing());
        instance->setProcessingPrecision (juce::AudioProcessor::doublePrecision);
        instance->prepareToPlay (48000.0, 512);
        EXPECT_TRUE (instance->isUsingDoublePrecision());
        EXPECT_EQ (instance->getLatencySamples(), 0);
        EXPECT_EQ (instance->getTotalNumInputChannels(), 2);
        EXPECT_EQ (instance->getTotalNumOutputChannels(), 2);
        EXPECT_EQ (instance->getParameters().size(), parameterCounts.at (name));
        instance->releaseResources();
    }
}

TEST_F (PluginsInHost, ParameterZeroIsASwitchThatReadsBackExactlyOneOrZero)
{
    for (auto* name : pluginNames)
    {
        SCOPED_TRACE (name);
        auto instance = create (*descriptions, name);
        ASSERT_NE (instance, nullptr);
        auto* enabled = instance->getParameters()[0];

        EXPECT_EQ (enabled->getName (64), "Enabled");
        EXPECT_EQ (enabled->getNumSteps(), 2);
        EXPECT_EQ (enabled->getValue(), 1.0f);

        enabled->setValue (0.0f);
        EXPECT_EQ (enabled->getValue(), 0.0f);
        enabled->setValue (1.0f);
        EXPECT_EQ (enabled->getValue(), 1.0f);
    }
}

namespace
{
    /** An impulse at sample 0 on both channels, then a steady tone. */
    template <typename Sample>
    void fillTestSignal (juce::AudioBuffer<Sample>& buffer, int blockIndex)
    {
        for (int c = 0; c < buffer.getNumChannels(); ++c)
            for (int i = 0; i < buffer.getNumSamples(); ++i)
                buffer.setSample (c, i, (Sample) (0.25 * std::sin (0.05 * (blockIndex * buffer.getNumSamples() + i) + c)));

        if (blockIndex == 0 && buffer.getNumSamples() > 0)
            for (int c = 0; c < buffer.getNumChannels(); ++c)
                buffer.setSample (c, 0, (Sample) 0.9);
    }

    template <typename Sample>
    bool allFinite (const juce::AudioBuffer<Sample>& buffer)
    {
        for (int c = 0; c < buffer.getNumChannels(); ++c)
            for (int i = 0; i < buffer.getNumSamples(); ++i)
                if (! std::isfinite ((double) buffer.getSample (c, i)))
                    return false;

        return true;
    }

    template <typename Sample>
    void runCycles (juce::AudioPluginInstance& instance, bool doublePrecision)
    {
        instance.setProcessingPrecision (doublePrecision ? juce::AudioProcessor::doublePrecision
                                                         : juce::AudioProcessor::singlePrecision);

        for (auto rate : { 44100.0, 48000.0, 96000.0 })
        {
            for (auto blockSize : { 1, 2, 17, 64, 441, 512, 1000, 4096 })
            {
                SCOPED_TRACE (juce::String (rate) + " Hz, " + juce::String (blockSize) + " samples");
                instance.prepareToPlay (rate, blockSize);
                juce::AudioBuffer<Sample> buffer (2, blockSize);
                juce::MidiBuffer midi;

                // Enough blocks for a few tenths of a second, at least three.
                auto blocks = juce::jmax (3, (int) (0.2 * rate) / blockSize);

                for (int b = 0; b < blocks; ++b)
                {
                    fillTestSignal (buffer, b);
                    instance.processBlock (buffer, midi);
                    ASSERT_TRUE (allFinite (buffer));
                }

                instance.releaseResources();
            }
        }
    }
}

TEST_F (PluginsInHost, EveryPluginSurvivesPrepareProcessReleaseCycles)
{
    for (auto* name : pluginNames)
    {
        SCOPED_TRACE (name);
        auto instance = create (*descriptions, name);
        ASSERT_NE (instance, nullptr);

        // Every parameter away from its default, so every path of the effect runs.
        for (auto* parameter : instance->getParameters())
            if (parameter != instance->getParameters()[0])
                parameter->setValue (0.7f);

        runCycles<double> (*instance, true);
        runCycles<float> (*instance, false);
    }
}

TEST_F (PluginsInHost, NoPluginDelaysTheSignal)
{
    // The chain does not compensate latency: the first sample of an impulse must come
    // out at once. Every plug-in keeps the dry impulse (or, for the splitter and the
    // mixer, the sum of its parts) at sample 0.
    for (auto* name : pluginNames)
    {
        SCOPED_TRACE (name);
        auto instance = create (*descriptions, name);
        ASSERT_NE (instance, nullptr);
        instance->setProcessingPrecision (juce::AudioProcessor::doublePrecision);
        instance->prepareToPlay (48000.0, 256);

        juce::AudioBuffer<double> buffer (2, 256);
        buffer.clear();
        buffer.setSample (0, 0, 0.5);

        if (juce::String (name) != "Isolator")
            buffer.setSample (1, 0, 0.5);

        juce::MidiBuffer midi;
        instance->processBlock (buffer, midi);

        auto atZero = juce::String (name) == "Isolator" ? buffer.getSample (0, 0) + buffer.getSample (1, 0)
                                                        : buffer.getSample (0, 0);
        EXPECT_GT (std::abs (atZero), 0.1);
        instance->releaseResources();
    }
}
