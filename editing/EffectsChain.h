// The effects chain: the eight effect plug-ins from the resources folder wired into
// the fixed graph behind the editor's REVERB, MASTERING and STEREO presets, plus the
// stereo stage computed here.
#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

#include <array>
#include <atomic>
#include <memory>

/** The three groups of presets, as the editor passes them to setCategoryEnabled(). */
namespace EffectCategory
{
    inline constexpr int reverb = 0;
    inline constexpr int mastering = 1;
    inline constexpr int stereo = 2;
}

/**
    Hosts sixteen instances of the eight plug-ins (all double precision) and runs them
    over every block after the player has filled it.

    Threads and what guards what:
    - process() runs on the audio device thread (or the thread of an offline render
      while no device runs). prepare() and release() come from the device's start and
      stop, or from the offline render; they never run at the same time as process().
    - setPreset() and setCategoryEnabled() run on the message thread while process()
      runs. The chain takes no lock of its own: plug-in parameter writes and reads go
      through JUCE's VST3 host, which passes them to the processing side atomically,
      and the stereo stage's four values are relaxed atomics, so the audio thread may
      see a preset change between two blocks.
    - After prepare(), process() allocates nothing as long as the block size does not
      grow beyond the prepared one: the scratch and work buffers are sized in
      prepare(), and the compressor and mixer calls (also the compressors' silent
      blocks while MASTERING is off) use buffers that only refer to existing channel
      memory.

    With any plug-in missing the chain stays uninitialised: process() passes audio
    unchanged, the preset calls do nothing and isActive() is false. Every prepare()
    tries the whole load again.
*/
class EffectsChain
{
public:
    /** Computed inline: widening ("Wide") or folding to mono ("Mono"). */
    class StereoStage
    {
    public:
        /** Index 0 enabled (value >= 0.5), 1 wide mode (value >= 0.5), 2 gain,
            3 amount (both stored unchanged); other indices are ignored. Any thread. */
        void setParameter (int index, float value) noexcept;

        /** Indices 0 and 1 read 1.0 or 0.0; 2 and 3 the stored value; others 0.0. Any thread. */
        float getParameter (int index) const noexcept;

        /** Runs on a two-channel block while enabled (in place, single precision); any
            other block is left as it is. Audio thread. */
        void process (juce::AudioBuffer<float>& buffer) const noexcept;

    private:
        std::atomic<int> enabled { 1 }, wideMode { 0 };
        std::atomic<float> amount { 1.0f }, gain { 1.0f };
    };

    /** The slots in the order every step that visits all instances follows. */
    enum Slot
    {
        isolator1Slot, isolator2Slot, isolator3Slot, isolator4Slot,
        compressor1Slot, compressor2Slot, compressor3Slot,
        mixer1Slot, mixer2Slot, mixer3Slot, mixer4Slot,
        limiterSlot, analogDelaySlot, roomSlot, hallSlot, plateSlot,
        numSlots
    };

    /** Scans the program's plug-in folder (getPluginsPath()); loads nothing yet.
        Message thread. */
    EffectsChain();

    /** Scans the given plug-in folder instead. Message thread. */
    explicit EffectsChain (const juce::File& pluginFolder);

    /** Deletes the instances. Not while process() runs. */
    ~EffectsChain();

    /** Loads the sixteen instances on the first call (and on every call until that
        succeeds), then prepares them and sizes the buffers. The thread that starts
        the device, or the offline render's; the message thread must be free to run
        (JUCE creates and prepares VST3 plug-ins there). */
    void prepare (int samplesPerBlockExpected, double sampleRate);

    /** Releases the instances and the scratch memory. Same threads as prepare(). */
    void release();

    /** Runs the stereo stage, the mastering band graph, the limiter and the reverbs
        over the whole block, in place. Every plug-in the presets switch off is
        processed on every block, so each sees its switch go off and restarts from
        silence when switched on again. Audio thread. */
    void process (juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midiMessages);

    /** Selects preset 1 to 10 (the editor's item IDs); anything else is ignored.
        Message thread. */
    void setPreset (int preset);

    /** Switches a category (EffectCategory) on or off. Message thread. */
    void setCategoryEnabled (int category, bool on);

    /** True when any effect would change the sound. Any thread. */
    bool isActive() const;

    /** True once all sixteen instances are loaded. */
    bool isInitialised() const noexcept                    { return initialised; }

    /** The plug-ins found by the scan, in scan order. */
    const juce::OwnedArray<juce::PluginDescription>& getDescriptions() const noexcept   { return descriptions; }

    /** One loaded instance (null until loaded), for inspection. */
    juce::AudioPluginInstance* getInstance (Slot slot) const noexcept;

    /** The stereo stage. */
    const StereoStage& getStereoStage() const noexcept      { return stereo; }

private:
    std::unique_ptr<juce::AudioPluginInstance> createPlugin (const juce::String& name) const;
    std::array<std::unique_ptr<juce::AudioPluginInstance>*, numSlots> slots() noexcept;
    void applyLimiterSettings();
    void runBandGraph (int numSamples, juce::MidiBuffer& midiMessages);
    void runCompressorsOnSilence (int numSamples, juce::MidiBuffer& midiMessages);

    static void setParameter (juce::AudioPluginInstance* instance, int index, float value);
    static float getParameter (const juce::AudioPluginInstance* instance, int index);

    juce::OwnedArray<juce::PluginDescription> descriptions;
    StereoStage stereo;

    std::unique_ptr<juce::AudioPluginInstance> isolator1, isolator2, isolator3, isolator4,
                                               compressor1, compressor2, compressor3,
                                               mixer1, mixer2, mixer3, mixer4,
                                               limiter, analogDelay, room, hall, plate;

    juce::AudioBuffer<double> bufferA, bufferB, bufferC, bufferD, workBuffer;
    bool initialised = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (EffectsChain)
};
