// The effects chain with the real plug-ins: what each preset sends, the shared
// limiter, when the chain counts as active, the stereo stage, a chain without its
// plug-ins, and what the presets do to the sound.
#include <gtest/gtest.h>

#include "ChildProgram.h"
#include "editing/EffectsChain.h"
#include "plugins/analysis/ResponseAnalysis.h"

#include <cmath>
#include <functional>
#include <ostream>
#include <vector>

namespace
{
    using Slot = EffectsChain::Slot;

    juce::File pluginFolder()
    {
        return juce::File (VORNIQ_PLUGINS_DIR);
    }

    /** A loaded chain, prepared like a device would prepare it. */
    struct PreparedChain
    {
        explicit PreparedChain (int blockSize = 512, double sampleRate = 48000.0)
        {
            chain.prepare (blockSize, sampleRate);
        }

        ~PreparedChain()
        {
            chain.release();
        }

        float parameter (Slot slot, int index) const
        {
            return chain.getInstance (slot)->getParameters()[index]->getValue();
        }

        EffectsChain chain { pluginFolder() };
    };

    juce::AudioBuffer<float> makeBlock (int channels, int samples, float value = 0.0f)
    {
        juce::AudioBuffer<float> block (channels, samples);

        for (int c = 0; c < channels; ++c)
            juce::FloatVectorOperations::fill (block.getWritePointer (c), value, samples);

        return block;
    }
}

//==============================================================================
TEST (EffectsChain, LoadsAllSixteenInstancesOnItsFirstPrepare)
{
    EffectsChain chain { pluginFolder() };
    EXPECT_EQ (chain.getDescriptions().size(), 8);
    EXPECT_FALSE (chain.isInitialised());
    EXPECT_EQ (chain.getInstance (EffectsChain::isolator1Slot), nullptr);

    chain.prepare (512, 48000.0);
    ASSERT_TRUE (chain.isInitialised());

    const char* expectedNames[] = { "Isolator", "Isolator", "Isolator", "Isolator", "Compressor", "Compressor",
                                    "Compressor", "Mixer", "Mixer", "Mixer", "Mixer", "limiter", "Analog_Delay",
                                    "Room", "Hall", "Plate" };

    for (int slot = 0; slot < EffectsChain::numSlots; ++slot)
    {
        auto* instance = chain.getInstance ((Slot) slot);
        ASSERT_NE (instance, nullptr) << slot;
        EXPECT_EQ (instance->getName(), expectedNames[slot]);
        EXPECT_TRUE (instance->isUsingDoublePrecision());
    }

    // Loaded with every category off.
    EXPECT_FALSE (chain.isActive());
    chain.release();
}

TEST (EffectsChain, FindsThePluginsInTheProgramsResourcesFolder)
{
    // The test programs live beside the build tree's resources folder, as Vorniq does.
    EffectsChain chain;
    EXPECT_EQ (chain.getDescriptions().size(), 8);
}

TEST (EffectsChain, WithoutItsPluginsPassesAudioUnchangedAndIgnoresPresets)
{
    ScratchFolder empty;
    EffectsChain chain { juce::File (empty.path()) };
    chain.prepare (512, 48000.0);
    EXPECT_FALSE (chain.isInitialised());

    chain.setPreset (10);
    chain.setCategoryEnabled (EffectCategory::stereo, true);
    EXPECT_FALSE (chain.isActive());

    // Not even the stereo stage runs (it starts enabled, with gain 1 and amount 1,
    // which would fold L and R together).
    auto block = makeBlock (2, 64);
    block.setSample (0, 0, 1.0f);
    juce::MidiBuffer midi;
    chain.process (block, midi);
    EXPECT_EQ (block.getSample (0, 0), 1.0f);
    EXPECT_EQ (block.getSample (1, 0), 0.0f);

    chain.release();
}

//==============================================================================
struct SentValue
{
    int preset;
    Slot slot;
    int index;
    float expected;
};

class PresetValues : public ::testing::TestWithParam<SentValue> {};

TEST_P (PresetValues, AreSentToThePlugins)
{
    const auto& sent = GetParam();
    PreparedChain prepared;
    prepared.chain.setPreset (sent.preset);
    EXPECT_EQ (prepared.parameter (sent.slot, sent.index), sent.expected);
}

// The preset tables, through setPreset()'s formulas in single precision.
INSTANTIATE_TEST_SUITE_P (Reverb, PresetValues, ::testing::Values (
    // "Concert Hall"
    SentValue { 3, EffectsChain::roomSlot, 0, 0.0f },
    SentValue { 3, EffectsChain::roomSlot, 1, (0.0f - 0.2f) / 9.8f },
    SentValue { 3, EffectsChain::hallSlot, 2, (47.3f - 10.5f) / 80.0f },
    SentValue { 3, EffectsChain::plateSlot, 2, (41.56f - 10.5f) / 89.5f },
    SentValue { 3, EffectsChain::analogDelaySlot, 2, 3.87f / 10.0f },
    SentValue { 3, EffectsChain::hallSlot, 0, 1.0f },
    SentValue { 3, EffectsChain::plateSlot, 3, 1.48f / 10.0f },
    // "Room"
    SentValue { 1, EffectsChain::analogDelaySlot, 0, 1.0f },
    SentValue { 1, EffectsChain::analogDelaySlot, 1, 0.068f },
    SentValue { 1, EffectsChain::analogDelaySlot, 4, 6.2f / 10.0f },
    SentValue { 1, EffectsChain::roomSlot, 0, 1.0f },
    SentValue { 1, EffectsChain::roomSlot, 2, 2.0f / 50.0f },
    SentValue { 1, EffectsChain::roomSlot, 4, 1.61f / 10.0f },
    SentValue { 1, EffectsChain::hallSlot, 0, 0.0f },
    SentValue { 1, EffectsChain::hallSlot, 2, (0.0f - 10.5f) / 80.0f },
    SentValue { 1, EffectsChain::plateSlot, 0, 0.0f },
    // "Jazz Club"
    SentValue { 2, EffectsChain::roomSlot, 1, (3.27f - 0.2f) / 9.8f },
    SentValue { 2, EffectsChain::roomSlot, 2, 27.89f / 50.0f },
    SentValue { 2, EffectsChain::plateSlot, 2, (21.33f - 10.5f) / 89.5f },
    SentValue { 2, EffectsChain::plateSlot, 4, 3.0f / 10.0f },
    // "Arena"
    SentValue { 4, EffectsChain::analogDelaySlot, 2, 0.0f },
    SentValue { 4, EffectsChain::analogDelaySlot, 5, 0.0f },
    SentValue { 4, EffectsChain::hallSlot, 2, (90.5f - 10.5f) / 80.0f },
    SentValue { 4, EffectsChain::plateSlot, 2, (75.46f - 10.5f) / 89.5f },
    // "Stadium"
    SentValue { 5, EffectsChain::analogDelaySlot, 1, 0.146f },
    SentValue { 5, EffectsChain::analogDelaySlot, 2, 6.0f / 10.0f },
    SentValue { 5, EffectsChain::analogDelaySlot, 3, 3.07f / 10.0f },
    SentValue { 5, EffectsChain::hallSlot, 3, 8.0f / 10.0f },
    SentValue { 5, EffectsChain::plateSlot, 2, (100.0f - 10.5f) / 89.5f },
    SentValue { 5, EffectsChain::plateSlot, 3, 8.32f / 10.0f }));

INSTANTIATE_TEST_SUITE_P (Mastering, PresetValues, ::testing::Values (
    // "Maximize"
    SentValue { 6, EffectsChain::isolator3Slot, 1, 0.03f },
    SentValue { 6, EffectsChain::isolator4Slot, 1, 0.03f },
    SentValue { 6, EffectsChain::isolator1Slot, 1, 0.373f },
    SentValue { 6, EffectsChain::isolator2Slot, 1, 0.373f },
    SentValue { 6, EffectsChain::compressor1Slot, 0, 1.0f },
    SentValue { 6, EffectsChain::compressor2Slot, 1, 1.0f },
    SentValue { 6, EffectsChain::compressor3Slot, 2, 0.325f },
    SentValue { 6, EffectsChain::compressor1Slot, 3, 0.0f },
    SentValue { 6, EffectsChain::compressor2Slot, 4, 0.5f },
    SentValue { 6, EffectsChain::mixer1Slot, 2, 0.5f },
    SentValue { 6, EffectsChain::mixer3Slot, 2, 0.25f },
    SentValue { 6, EffectsChain::mixer4Slot, 1, 0.5f },
    SentValue { 6, EffectsChain::limiterSlot, 0, 1.0f },
    SentValue { 6, EffectsChain::limiterSlot, 1, 0.015f },
    SentValue { 6, EffectsChain::limiterSlot, 2, 0.9f },
    SentValue { 6, EffectsChain::limiterSlot, 3, 0.63f },
    // "Ultra Maximize"
    SentValue { 7, EffectsChain::compressor1Slot, 2, 0.65f },
    SentValue { 7, EffectsChain::mixer3Slot, 1, 0.88f },
    SentValue { 7, EffectsChain::mixer4Slot, 2, 0.5f },
    SentValue { 7, EffectsChain::mixer2Slot, 1, 0.5f },
    // "Clear & Power"
    SentValue { 8, EffectsChain::isolator3Slot, 1, 0.06f },
    SentValue { 8, EffectsChain::isolator2Slot, 1, 0.45f },
    SentValue { 8, EffectsChain::mixer1Slot, 1, 0.33f },
    SentValue { 8, EffectsChain::mixer2Slot, 1, 0.33f },
    SentValue { 8, EffectsChain::mixer3Slot, 2, 0.18f },
    SentValue { 8, EffectsChain::mixer4Slot, 3, 0.5f },
    SentValue { 8, EffectsChain::compressor3Slot, 2, 0.325f }));

INSTANTIATE_TEST_SUITE_P (Stereo, PresetValues, ::testing::Values (
    SentValue { 9, EffectsChain::limiterSlot, 0, 1.0f },
    SentValue { 9, EffectsChain::limiterSlot, 2, 0.9f },
    SentValue { 10, EffectsChain::limiterSlot, 3, 0.63f }));

TEST (EffectsChain, StereoPresetsSetTheStereoStage)
{
    struct Case { int preset; float enabled, wide, gain, amount; };

    for (const auto& c : { Case { 9, 1.0f, 1.0f, 0.5012f, 0.6f }, Case { 10, 1.0f, 0.0f, 0.5012f, 1.0f } })
    {
        PreparedChain prepared;
        prepared.chain.setPreset (c.preset);
        const auto& stage = prepared.chain.getStereoStage();
        EXPECT_EQ (stage.getParameter (0), c.enabled);
        EXPECT_EQ (stage.getParameter (1), c.wide);
        EXPECT_EQ (stage.getParameter (2), c.gain);
        EXPECT_EQ (stage.getParameter (3), c.amount);
    }
}

TEST (EffectsChain, PresetsOutsideOneToTenChangeNothing)
{
    PreparedChain prepared;

    for (auto preset : { 0, 11, 1000, -3 })
    {
        prepared.chain.setPreset (preset);
        EXPECT_FALSE (prepared.chain.isActive()) << preset;
    }

    prepared.chain.setCategoryEnabled (7, true);
    EXPECT_FALSE (prepared.chain.isActive());
}

//==============================================================================
TEST (EffectsChain, TheLimiterGoesOffOnlyWhenMasteringAndStereoAreBothOff)
{
    struct Step { const char* what; int preset; int offCategory; float limiterAfter; };

    const Step steps[] =
    {
        { "Wide",                9,  -1,                         1.0f },
        { "Maximize",            6,  -1,                         1.0f },
        { "Off for MASTERING",   0,  EffectCategory::mastering,  1.0f },   // "Wide" still on
        { "Off for STEREO",      0,  EffectCategory::stereo,     0.0f },
        { "Ultra Maximize",      7,  -1,                         1.0f },
        { "Mono",                10, -1,                         1.0f },
        { "Off for STEREO",      0,  EffectCategory::stereo,     1.0f },   // MASTERING still on
        { "Off for MASTERING",   0,  EffectCategory::mastering,  0.0f },
        { "Off for REVERB",      0,  EffectCategory::reverb,     0.0f },
    };

    PreparedChain prepared;

    for (const auto& step : steps)
    {
        if (step.offCategory >= 0)
            prepared.chain.setCategoryEnabled (step.offCategory, false);
        else
            prepared.chain.setPreset (step.preset);

        EXPECT_EQ (prepared.parameter (EffectsChain::limiterSlot, 0), step.limiterAfter) << step.what;
    }
}

TEST (EffectsChain, IsActiveWhenAnyEffectWouldChangeTheSound)
{
    struct Case { const char* what; std::vector<int> presets; std::vector<int> offCategories; bool active; };

    const Case cases[] =
    {
        { "nothing chosen",            {},      {},                                                   false },
        { "a reverb",                  { 3 },   {},                                                   true },
        { "a reverb, then Off",        { 3 },   { EffectCategory::reverb },                           false },
        { "mastering",                 { 8 },   {},                                                   true },
        { "stereo",                    { 10 },  {},                                                   true },
        { "stereo, then Off",          { 10 },  { EffectCategory::stereo },                           false },
        { "all, then all Off",         { 5, 7, 9 }, { EffectCategory::reverb, EffectCategory::mastering,
                                                      EffectCategory::stereo },                       false },
    };

    for (const auto& c : cases)
    {
        PreparedChain prepared;

        for (auto preset : c.presets)
            prepared.chain.setPreset (preset);

        for (auto category : c.offCategories)
            prepared.chain.setCategoryEnabled (category, false);

        EXPECT_EQ (prepared.chain.isActive(), c.active) << c.what;
    }
}

TEST (EffectsChain, WithOnlyAReverbTheMasteringGraphDoesNotRun)
{
    PreparedChain prepared;
    prepared.chain.setPreset (1);
    EXPECT_TRUE (prepared.chain.isActive());
    EXPECT_EQ (prepared.parameter (EffectsChain::compressor1Slot, 0), 0.0f);
    EXPECT_EQ (prepared.parameter (EffectsChain::analogDelaySlot, 0), 1.0f);

    // The dry sound at the first sample comes through as it is: the band graph (with
    // its compressors' make-up gain) would have changed it, and no reflection of the
    // reverb arrives that early.
    auto block = makeBlock (2, 512);
    block.setSample (0, 0, 0.25f);
    block.setSample (1, 0, -0.125f);
    juce::MidiBuffer midi;
    prepared.chain.process (block, midi);
    EXPECT_EQ (block.getSample (0, 0), 0.25f);
    EXPECT_EQ (block.getSample (1, 0), -0.125f);
    EXPECT_NE (block.getMagnitude (0, 1, 511), 0.0f);    // but the reverb did run
}

struct SwitchedBackOn
{
    const char* what;
    std::function<void (EffectsChain&)> switchOff, switchOn;
};

void PrintTo (const SwitchedBackOn& c, std::ostream* os)
{
    *os << c.what;
}

class ReverbSwitchedBackOn : public ::testing::TestWithParam<SwitchedBackOn> {};

TEST_P (ReverbSwitchedBackOn, StartsFromSilenceWithoutTheOldTail)
{
    const auto& c = GetParam();
    PreparedChain prepared;
    auto& chain = prepared.chain;
    juce::MidiBuffer midi;
    juce::Random random (7);
    auto block = makeBlock (2, 512);

    // One second of noise into "Concert Hall", whose tail lasts well beyond the half
    // second that follows, while the device keeps playing silence with REVERB off.
    chain.setPreset (3);

    for (int b = 0; b < 94; ++b)
    {
        for (int ch = 0; ch < 2; ++ch)
            for (int i = 0; i < block.getNumSamples(); ++i)
                block.setSample (ch, i, 0.5f * (random.nextFloat() * 2.0f - 1.0f));

        chain.process (block, midi);
    }

    ASSERT_GT (block.getMagnitude (0, block.getNumSamples()), 0.01f);
    c.switchOff (chain);

    for (int b = 0; b < 47; ++b)
    {
        block.clear();
        chain.process (block, midi);
    }

    c.switchOn (chain);
    EXPECT_TRUE (chain.isActive());
    auto loudest = 0.0f;

    for (int b = 0; b < 94; ++b)
    {
        block.clear();
        chain.process (block, midi);
        loudest = juce::jmax (loudest, block.getMagnitude (0, block.getNumSamples()));
    }

    EXPECT_LT (loudest, 1.0e-6f) << c.what;
}

INSTANTIATE_TEST_SUITE_P (EffectsChain, ReverbSwitchedBackOn, ::testing::Values (
    SwitchedBackOn { "Concert Hall, Off, Arena",
                     [] (EffectsChain& chain) { chain.setCategoryEnabled (EffectCategory::reverb, false); },
                     [] (EffectsChain& chain) { chain.setCategoryEnabled (EffectCategory::reverb, true);
                                                chain.setPreset (4); } },
    SwitchedBackOn { "Concert Hall, Off, Concert Hall",
                     [] (EffectsChain& chain) { chain.setCategoryEnabled (EffectCategory::reverb, false); },
                     [] (EffectsChain& chain) { chain.setCategoryEnabled (EffectCategory::reverb, true);
                                                chain.setPreset (3); } },
    SwitchedBackOn { "Concert Hall, Room (no hall, no plate), Concert Hall",
                     [] (EffectsChain& chain) { chain.setPreset (1); },
                     [] (EffectsChain& chain) { chain.setPreset (3); } }));

//==============================================================================
TEST (StereoStage, AddressesItsFourValuesByTheCrossedIndexOrder)
{
    EffectsChain::StereoStage stage;
    EXPECT_EQ (stage.getParameter (0), 1.0f);    // enabled from the start
    EXPECT_EQ (stage.getParameter (1), 0.0f);
    EXPECT_EQ (stage.getParameter (2), 1.0f);
    EXPECT_EQ (stage.getParameter (3), 1.0f);

    stage.setParameter (0, 0.49f);
    stage.setParameter (1, 0.5f);
    stage.setParameter (2, 0.5012f);    // gain
    stage.setParameter (3, 0.6f);       // amount
    stage.setParameter (4, 0.9f);       // ignored
    stage.setParameter (-1, 0.9f);

    EXPECT_EQ (stage.getParameter (0), 0.0f);
    EXPECT_EQ (stage.getParameter (1), 1.0f);
    EXPECT_EQ (stage.getParameter (2), 0.5012f);
    EXPECT_EQ (stage.getParameter (3), 0.6f);
    EXPECT_EQ (stage.getParameter (4), 0.0f);
}

TEST (StereoStage, MonoAndWideOnTwoChannelBlocksOnly)
{
    struct Case { const char* what; int preset; int channels; float left, right, expectedLeft, expectedRight; };

    // "Wide": 0.5012 gain, then the side (L - R) / 2 times 1 + 2 * 0.6 = 2.2.
    auto a = 1.0f * 0.5012f, b = 0.0f * 0.5012f;

    const Case cases[] =
    {
        { "Mono on L = 1, R = 0",     10, 2, 1.0f, 0.0f, 0.5012f, 0.5012f },
        { "Mono on L = R",            10, 2, 0.5f, 0.5f, 0.5012f, 0.5012f },
        { "Wide on L = 1, R = 0",     9,  2, 1.0f, 0.0f, (a - b) * 0.6f + a, (b - a) * 0.6f + b },
        { "Wide on L = R (no side)",  9,  2, 0.5f, 0.5f, 0.5f * 0.5012f, 0.5f * 0.5012f },
        { "Mono on one channel",      10, 1, 0.7f, 0.0f, 0.7f, 0.0f },
        { "Wide on one channel",      9,  1, 0.7f, 0.0f, 0.7f, 0.0f },
    };

    for (const auto& c : cases)
    {
        PreparedChain prepared;
        prepared.chain.setPreset (c.preset);
        prepared.chain.getInstance (EffectsChain::limiterSlot)->getParameters()[0]->setValue (0.0f);

        auto block = makeBlock (c.channels, 256);
        juce::FloatVectorOperations::fill (block.getWritePointer (0), c.left, 256);

        if (c.channels > 1)
            juce::FloatVectorOperations::fill (block.getWritePointer (1), c.right, 256);

        juce::MidiBuffer midi;
        prepared.chain.process (block, midi);
        EXPECT_EQ (block.getSample (0, 100), c.expectedLeft) << c.what;

        if (c.channels > 1)
        {
            EXPECT_EQ (block.getSample (1, 100), c.expectedRight) << c.what;
        }
    }
}
