#include "editing/EffectsChain.h"

#include "shell/DebugLog.h"
#include "shell/ResourcePaths.h"

namespace
{
    constexpr int numReverbPresets = 5;

    // The REVERB presets, one row per preset (1 to 5), in the units shown; setPreset()
    // turns them into normalised values with the formula of each column.
    //                                           p0    p1     p2 x/10  p3 x/10  p4 x/10  p5
    constexpr float analogDelayRows[numReverbPresets][6] = { { 1.0f, 0.068f, 0.68f,  0.0f,  6.2f,  1.0f },
                                                             { 1.0f, 0.072f, 0.81f,  0.0f,  3.67f, 1.0f },
                                                             { 1.0f, 0.1f,   3.87f,  0.0f,  4.0f,  1.0f },
                                                             { 1.0f, 0.163f, 0.0f,   0.0f,  2.0f,  0.0f },
                                                             { 1.0f, 0.146f, 6.0f,   3.07f, 2.5f,  1.0f } };

    //                                    p0   p1 (x-0.2)/9.8  p2 x/50  p3 x/10  p4 x/10
    constexpr float roomRows[numReverbPresets][5] = { { 1.0f, 0.0f,  2.0f,  5.47f, 1.61f },
                                                      { 1.0f, 3.27f, 27.89f, 5.0f, 7.39f },
                                                      { 0.0f, 0.0f,  0.0f,  0.0f,  0.0f },
                                                      { 0.0f, 0.0f,  0.0f,  0.0f,  0.0f },
                                                      { 0.0f, 0.0f,  0.0f,  0.0f,  0.0f } };

    //                                    p0   p1 x/10  p2 (x-10.5)/80  p3 x/10  p4 x/10
    constexpr float hallRows[numReverbPresets][5] = { { 0.0f, 0.0f,  0.0f,  0.0f,  0.0f },
                                                      { 0.0f, 0.0f,  0.0f,  0.0f,  0.0f },
                                                      { 1.0f, 1.54f, 47.3f, 4.14f, 5.0f },
                                                      { 1.0f, 0.88f, 90.5f, 6.99f, 6.5f },
                                                      { 1.0f, 1.88f, 90.5f, 8.0f,  6.0f } };

    //                                     p0   p1 x/10  p2 (x-10.5)/89.5  p3 x/10  p4 x/10
    constexpr float plateRows[numReverbPresets][5] = { { 0.0f, 0.0f,  0.0f,   0.0f,  0.0f },
                                                       { 1.0f, 0.0f,  21.33f, 5.0f,  3.0f },
                                                       { 1.0f, 0.68f, 41.56f, 1.48f, 7.5f },
                                                       { 1.0f, 1.21f, 75.46f, 5.73f, 4.3f },
                                                       { 1.0f, 1.5f,  100.0f, 8.32f, 5.0f } };

    // The MASTERING presets 6 to 8, sent as they stand.
    struct MasteringPreset
    {
        float splitA, splitB, compression;
        float innerMixers[4], outerMixers[4];    // parameters 1 to 4
    };

    constexpr MasteringPreset masteringPresets[3] =
    {
        { 0.03f, 0.373f, 0.325f, { 0.5f, 0.5f, 0.5f, 0.5f },  { 0.5f, 0.25f, 0.5f, 0.5f } },   // "Maximize"
        { 0.03f, 0.373f, 0.65f,  { 0.5f, 0.5f, 0.5f, 0.5f },  { 0.88f, 0.5f, 0.5f, 0.5f } },   // "Ultra Maximize"
        { 0.06f, 0.45f,  0.325f, { 0.33f, 0.5f, 0.5f, 0.5f }, { 0.5f, 0.18f, 0.5f, 0.5f } },   // "Clear & Power"
    };

    // The STEREO presets 9 and 10: the stereo stage's parameters 0 to 3.
    constexpr float stereoPresets[2][4] =
    {
        { 1.0f, 1.0f, 0.5012f, 0.6f },   // "Wide"
        { 1.0f, 0.0f, 0.5012f, 1.0f },   // "Mono"
    };
}

//==============================================================================
void EffectsChain::StereoStage::setParameter (int index, float value) noexcept
{
    switch (index)
    {
        case 0:  enabled.store (value >= 0.5f ? 1 : 0, std::memory_order_relaxed); break;
        case 1:  wideMode.store (value >= 0.5f ? 1 : 0, std::memory_order_relaxed); break;
        case 2:  gain.store (value, std::memory_order_relaxed); break;
        case 3:  amount.store (value, std::memory_order_relaxed); break;
        default: break;
    }
}

float EffectsChain::StereoStage::getParameter (int index) const noexcept
{
    switch (index)
    {
        case 0:  return enabled.load (std::memory_order_relaxed) != 0 ? 1.0f : 0.0f;
        case 1:  return wideMode.load (std::memory_order_relaxed) != 0 ? 1.0f : 0.0f;
        case 2:  return gain.load (std::memory_order_relaxed);
        case 3:  return amount.load (std::memory_order_relaxed);
        default: return 0.0f;
    }
}

void EffectsChain::StereoStage::process (juce::AudioBuffer<float>& buffer) const noexcept
{
    if (enabled.load (std::memory_order_relaxed) == 0 || buffer.getNumChannels() != 2)
        return;

    // One reading of the values for the whole block.
    auto wide = wideMode.load (std::memory_order_relaxed) != 0;
    auto g = gain.load (std::memory_order_relaxed);
    auto k = amount.load (std::memory_order_relaxed);
    auto* left = buffer.getWritePointer (0);
    auto* right = buffer.getWritePointer (1);
    auto n = buffer.getNumSamples();

    if (wide)
    {
        for (int i = 0; i < n; ++i)
        {
            auto a = left[i] * g;
            auto b = right[i] * g;
            left[i] = (a - b) * k + a;
            right[i] = (b - a) * k + b;
        }
    }
    else
    {
        for (int i = 0; i < n; ++i)
        {
            auto l = left[i], r = right[i];
            left[i] = g * l + g * r * k;
            right[i] = g * l * k + g * r;
        }
    }
}

//==============================================================================
EffectsChain::EffectsChain()
    : EffectsChain (juce::File (getPluginsPath()))
{
}

EffectsChain::EffectsChain (const juce::File& pluginFolder)
{
    juce::VST3PluginFormat format;
    juce::FileSearchPath searchPath (pluginFolder.getFullPathName());

    for (const auto& file : format.searchPathsForPlugins (searchPath, false, false))
    {
        juce::OwnedArray<juce::PluginDescription> found;
        format.findAllTypesForFile (found, file);

        while (! found.isEmpty())
            descriptions.add (found.removeAndReturn (0));
    }

    for (auto* description : descriptions)
        debugLog ("Name: %s, UID: %d", description->name.toRawUTF8(), description->uniqueId);
}

EffectsChain::~EffectsChain() = default;

std::array<std::unique_ptr<juce::AudioPluginInstance>*, EffectsChain::numSlots> EffectsChain::slots() noexcept
{
    return { &isolator1, &isolator2, &isolator3, &isolator4,
             &compressor1, &compressor2, &compressor3,
             &mixer1, &mixer2, &mixer3, &mixer4,
             &limiter, &analogDelay, &room, &hall, &plate };
}

juce::AudioPluginInstance* EffectsChain::getInstance (Slot slot) const noexcept
{
    auto& self = const_cast<EffectsChain&> (*this);
    return slot >= 0 && slot < numSlots ? self.slots()[(size_t) slot]->get() : nullptr;
}

std::unique_ptr<juce::AudioPluginInstance> EffectsChain::createPlugin (const juce::String& name) const
{
    for (auto* description : descriptions)
    {
        if (description->name != name)    // exact and case-sensitive
            continue;

        juce::VST3PluginFormat format;
        juce::String error;
        auto instance = format.createInstanceFromDescription (*description, 44100.0, 512, error);

        if (instance != nullptr)
            instance->setProcessingPrecision (juce::AudioProcessor::doublePrecision);

        return instance;
    }

    return {};
}

void EffectsChain::setParameter (juce::AudioPluginInstance* instance, int index, float value)
{
    if (instance == nullptr)
        return;

    auto& parameters = instance->getParameters();

    if (juce::isPositiveAndBelow (index, parameters.size()))
        parameters.getUnchecked (index)->setValue (value);
}

float EffectsChain::getParameter (const juce::AudioPluginInstance* instance, int index)
{
    if (instance == nullptr)
        return 0.0f;

    auto& parameters = instance->getParameters();
    return juce::isPositiveAndBelow (index, parameters.size()) ? parameters.getUnchecked (index)->getValue() : 0.0f;
}

//==============================================================================
void EffectsChain::prepare (int samplesPerBlockExpected, double sampleRate)
{
    if (! initialised)
    {
        static const char* const names[numSlots] = { "Isolator", "Isolator", "Isolator", "Isolator",
                                                     "Compressor", "Compressor", "Compressor",
                                                     "Mixer", "Mixer", "Mixer", "Mixer",
                                                     "limiter", "Analog_Delay", "Room", "Hall", "Plate" };
        auto all = slots();

        isolator1 = createPlugin (names[0]);

        if (isolator1 == nullptr)
            return;

        for (size_t i = 1; i < all.size(); ++i)
            *all[i] = createPlugin (names[i]);

        for (auto* slot : all)
            if (*slot == nullptr)
                return;

        initialised = true;
        setCategoryEnabled (EffectCategory::reverb, false);
        setCategoryEnabled (EffectCategory::mastering, false);
        setCategoryEnabled (EffectCategory::stereo, false);
    }

    auto blockSize = juce::jmax (0, samplesPerBlockExpected);

    for (auto* slot : slots())
        (*slot)->prepareToPlay (sampleRate, blockSize);

    bufferA.setSize (2, blockSize);
    bufferB.setSize (2, blockSize);
    bufferC.setSize (2, blockSize);
    bufferD.setSize (2, blockSize);
    workBuffer.setSize (2, blockSize);

    // JUCE's VST3 host builds its channel tables on an instance's first block; one
    // empty block here keeps that allocation out of the audio thread.
    juce::AudioBuffer<double> empty (2, 0);
    juce::MidiBuffer noMidi;

    for (auto* slot : slots())
        (*slot)->processBlock (empty, noMidi);
}

void EffectsChain::release()
{
    if (! initialised)
        return;

    for (auto* slot : slots())
        (*slot)->releaseResources();

    bufferA.setSize (2, 0);
    bufferB.setSize (2, 0);
    bufferC.setSize (2, 0);
    bufferD.setSize (2, 0);
}

//==============================================================================
void EffectsChain::setCategoryEnabled (int category, bool on)
{
    if (! initialised)
        return;

    auto v = on ? 1.0f : 0.0f;

    switch (category)
    {
        case EffectCategory::reverb:
            setParameter (analogDelay.get(), 0, v);
            setParameter (room.get(), 0, v);
            setParameter (hall.get(), 0, v);
            setParameter (plate.get(), 0, v);
            break;

        case EffectCategory::mastering:
            setParameter (compressor1.get(), 0, v);
            setParameter (compressor2.get(), 0, v);
            setParameter (compressor3.get(), 0, v);

            // The limiter is shared with STEREO: it stays on while that is on.
            if (on || stereo.getParameter (0) == 0.0f)
                setParameter (limiter.get(), 0, v);

            break;

        case EffectCategory::stereo:
            stereo.setParameter (0, v);

            // ...and with MASTERING, whose flag is compressor1's switch.
            if (on || getParameter (compressor1.get(), 0) == 0.0f)
                setParameter (limiter.get(), 0, v);

            break;

        default:
            break;
    }
}

void EffectsChain::applyLimiterSettings()
{
    setParameter (limiter.get(), 0, 1.0f);
    setParameter (limiter.get(), 1, 0.015f);
    setParameter (limiter.get(), 2, 0.9f);
    setParameter (limiter.get(), 3, 0.63f);
}

void EffectsChain::setPreset (int preset)
{
    if (! initialised)
        return;

    debugLog ("Setting preset %d", preset);

    if (preset < 1 || preset > 10)
        return;

    if (preset <= 5)
    {
        auto row = (size_t) (preset - 1);
        const auto* d = analogDelayRows[row];
        setParameter (analogDelay.get(), 0, d[0]);
        setParameter (analogDelay.get(), 1, d[1]);
        setParameter (analogDelay.get(), 2, d[2] / 10.0f);
        setParameter (analogDelay.get(), 3, d[3] / 10.0f);
        setParameter (analogDelay.get(), 4, d[4] / 10.0f);
        setParameter (analogDelay.get(), 5, d[5]);

        const auto* r = roomRows[row];
        setParameter (room.get(), 0, r[0]);
        setParameter (room.get(), 1, (r[1] - 0.2f) / 9.8f);
        setParameter (room.get(), 2, r[2] / 50.0f);
        setParameter (room.get(), 3, r[3] / 10.0f);
        setParameter (room.get(), 4, r[4] / 10.0f);

        const auto* h = hallRows[row];
        setParameter (hall.get(), 0, h[0]);
        setParameter (hall.get(), 1, h[1] / 10.0f);
        setParameter (hall.get(), 2, (h[2] - 10.5f) / 80.0f);
        setParameter (hall.get(), 3, h[3] / 10.0f);
        setParameter (hall.get(), 4, h[4] / 10.0f);

        const auto* p = plateRows[row];
        setParameter (plate.get(), 0, p[0]);
        setParameter (plate.get(), 1, p[1] / 10.0f);
        setParameter (plate.get(), 2, (p[2] - 10.5f) / 89.5f);
        setParameter (plate.get(), 3, p[3] / 10.0f);
        setParameter (plate.get(), 4, p[4] / 10.0f);
        return;
    }

    if (preset <= 8)
    {
        const auto& m = masteringPresets[preset - 6];
        setParameter (compressor1.get(), 0, 1.0f);
        setParameter (isolator3.get(), 1, m.splitA);
        setParameter (isolator4.get(), 1, m.splitA);
        setParameter (isolator1.get(), 1, m.splitB);
        setParameter (isolator2.get(), 1, m.splitB);

        for (auto* compressor : { compressor1.get(), compressor2.get(), compressor3.get() })
        {
            setParameter (compressor, 0, 1.0f);
            setParameter (compressor, 1, 1.0f);
            setParameter (compressor, 2, m.compression);
            setParameter (compressor, 3, 0.0f);
            setParameter (compressor, 4, 0.5f);
        }

        for (int index = 1; index <= 4; ++index)
        {
            auto inner = m.innerMixers[index - 1], outer = m.outerMixers[index - 1];
            setParameter (mixer1.get(), index, inner);
            setParameter (mixer2.get(), index, inner);
            setParameter (mixer3.get(), index, outer);
            setParameter (mixer4.get(), index, outer);
        }

        applyLimiterSettings();
        return;
    }

    const auto* s = stereoPresets[preset - 9];

    for (int index = 0; index < 4; ++index)
        stereo.setParameter (index, s[index]);

    applyLimiterSettings();
}

bool EffectsChain::isActive() const
{
    if (! initialised)
        return false;

    if (stereo.getParameter (0) > 0.0f || getParameter (compressor1.get(), 0) > 0.0f)
        return true;

    for (auto* instance : { limiter.get(), analogDelay.get(), room.get(), hall.get(), plate.get() })
        if (getParameter (instance, 0) == 1.0f)
            return true;

    return false;
}

//==============================================================================
void EffectsChain::process (juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midiMessages)
{
    if (! initialised)
        return;

    auto n = buffer.getNumSamples();
    stereo.process (buffer);

    // Every plug-in takes a stereo pair, and the band graph reads both channels of
    // the work buffer: a block of another shape (never given by the program, whose
    // device and render buffer have two channels) passes the plug-ins by.
    if (buffer.getNumChannels() != 2)
        return;

    workBuffer.makeCopyOf (buffer, true);

    if (getParameter (compressor1.get(), 0) > 0.0f)
        runBandGraph (n, midiMessages);
    else
        runCompressorsOnSilence (n, midiMessages);

    // These run on every block, on or off (off, they pass the block through as it
    // is). JUCE's VST3 host hands a plug-in only the latest value of a switch when
    // it processes, so one left out while off would take off-then-on for plain on,
    // skip its restart from silence and bring the old tail back.
    for (auto* instance : { limiter.get(), analogDelay.get(), room.get(), hall.get(), plate.get() })
        instance->processBlock (workBuffer, midiMessages);

    if (! workBuffer.hasBeenCleared())
        buffer.makeCopyOf (workBuffer, true);
}

void EffectsChain::runBandGraph (int n, juce::MidiBuffer& midiMessages)
{
    auto channels = juce::jmax (1, workBuffer.getNumChannels());

    // Each side is split twice: the first split's channel 1 is the bass band, the
    // second split of its channel 0 gives the middle band (channel 1) and the top
    // band (channel 0).
    bufferC.setSize (channels, n, false, false, true);
    bufferC.copyFrom (0, 0, workBuffer, 0, 0, n);
    isolator3->processBlock (bufferC, midiMessages);

    bufferD.setSize (channels, n, false, false, true);
    bufferD.copyFrom (0, 0, workBuffer, 1, 0, n);
    isolator4->processBlock (bufferD, midiMessages);

    bufferA.setSize (bufferC.getNumChannels(), bufferC.getNumSamples(), false, false, true);
    bufferA.copyFrom (0, 0, bufferC, 0, 0, n);
    isolator1->processBlock (bufferA, midiMessages);

    bufferB.setSize (bufferD.getNumChannels(), bufferD.getNumSamples(), false, false, true);
    bufferB.copyFrom (0, 0, bufferD, 0, 0, n);
    isolator2->processBlock (bufferB, midiMessages);

    // Each band is compressed as a left/right pair, then the mixers rebuild left in
    // bufferA channel 0 and right in bufferB channel 0. The pairs only refer to the
    // scratch buffers' channel memory.
    auto runOnPair = [n, &midiMessages] (juce::AudioPluginInstance& instance, double* first, double* second)
    {
        double* pair[] = { first, second };
        juce::AudioBuffer<double> view (pair, 2, n);
        instance.processBlock (view, midiMessages);
    };

    runOnPair (*compressor1, bufferC.getWritePointer (1), bufferD.getWritePointer (1));
    runOnPair (*compressor2, bufferA.getWritePointer (1), bufferB.getWritePointer (1));
    runOnPair (*compressor3, bufferA.getWritePointer (0), bufferB.getWritePointer (0));
    runOnPair (*mixer1, bufferA.getWritePointer (0), bufferA.getWritePointer (1));
    runOnPair (*mixer3, bufferA.getWritePointer (0), bufferC.getWritePointer (1));
    runOnPair (*mixer2, bufferB.getWritePointer (0), bufferB.getWritePointer (1));
    runOnPair (*mixer4, bufferB.getWritePointer (0), bufferD.getWritePointer (1));

    if (n > 0)
    {
        workBuffer.copyFrom (0, 0, bufferA, 0, 0, n);
        workBuffer.copyFrom (1, 0, bufferB, 0, 0, n);
    }
}

void EffectsChain::runCompressorsOnSilence (int n, juce::MidiBuffer& midiMessages)
{
    // While MASTERING is off the compressors still see every block's switch values,
    // so switching it on again starts them from rest; a silent pair nobody listens
    // to stands in for the bands. One switched on since process() read the switch
    // compresses silence for a block.
    bufferC.setSize (2, n, false, false, true);
    double* pair[] = { bufferC.getWritePointer (0), bufferC.getWritePointer (1) };
    juce::AudioBuffer<double> silence (pair, 2, n);

    for (auto* compressor : { compressor1.get(), compressor2.get(), compressor3.get() })
    {
        juce::FloatVectorOperations::clear (pair[0], n);
        juce::FloatVectorOperations::clear (pair[1], n);
        compressor->processBlock (silence, midiMessages);
    }
}
