// One effect of the DSP library as a VST3 plug-in: a single object that is at once
// the plug-in's component, its audio processor and its edit controller.
#pragma once

#include "plugins/dsp/Effect.h"

#include <pluginterfaces/vst/ivstaudioprocessor.h>
#include <pluginterfaces/vst/ivstcomponent.h>
#include <pluginterfaces/vst/ivsteditcontroller.h>

#include <array>
#include <atomic>
#include <memory>
#include <string_view>
#include <vector>

// The VST3 interfaces have non-virtual destructors by design (COM style): objects
// are destroyed by release(), never deleted through an interface pointer.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

/**
    Wraps one effects::Effect. Parameter IDs are the effect's parameter indices, so a
    host that lists parameters in order sees them at the documented indices; there
    is no extra bypass parameter (parameter 0, "Enabled", is the switch).

    Threads, as VST3 lays them out:
    - the host's message thread: initialize, terminate, the bus and state calls,
      setupProcessing, setActive, and every edit-controller call. The controller
      side keeps its own copy of the parameter values (controllerValues) and a
      second effect object (descriptor) for the parameter table and the value texts;
      both are touched only here.
    - the audio thread: process. Parameter changes reach the effect only as the
      host's parameter queues inside process, so the effect itself is touched only
      there (and in setActive, which hosts never call while processing).
    - a state loaded by setState is handed to the audio thread through
      pendingStateValues and the pendingState flag (atomics).
    Reports no latency: every effect works without look-ahead.
*/
class EffectPlugin final : public Steinberg::Vst::IComponent,
                           public Steinberg::Vst::IAudioProcessor,
                           public Steinberg::Vst::IEditController
{
public:
    /** name must be one of effects::EffectCatalogue::names. */
    explicit EffectPlugin (std::string_view name);

    // FUnknown
    Steinberg::tresult PLUGIN_API queryInterface (const Steinberg::TUID iid, void** object) override;
    Steinberg::uint32 PLUGIN_API addRef() override;
    Steinberg::uint32 PLUGIN_API release() override;

    // IPluginBase (shared by the component and the controller)
    Steinberg::tresult PLUGIN_API initialize (Steinberg::FUnknown* context) override;
    Steinberg::tresult PLUGIN_API terminate() override;

    // IComponent
    Steinberg::tresult PLUGIN_API getControllerClassId (Steinberg::TUID classId) override;
    Steinberg::tresult PLUGIN_API setIoMode (Steinberg::Vst::IoMode mode) override;
    Steinberg::int32 PLUGIN_API getBusCount (Steinberg::Vst::MediaType type, Steinberg::Vst::BusDirection direction) override;
    Steinberg::tresult PLUGIN_API getBusInfo (Steinberg::Vst::MediaType type, Steinberg::Vst::BusDirection direction,
                                              Steinberg::int32 index, Steinberg::Vst::BusInfo& bus) override;
    Steinberg::tresult PLUGIN_API getRoutingInfo (Steinberg::Vst::RoutingInfo& inInfo, Steinberg::Vst::RoutingInfo& outInfo) override;
    Steinberg::tresult PLUGIN_API activateBus (Steinberg::Vst::MediaType type, Steinberg::Vst::BusDirection direction,
                                               Steinberg::int32 index, Steinberg::TBool state) override;
    Steinberg::tresult PLUGIN_API setActive (Steinberg::TBool state) override;
    Steinberg::tresult PLUGIN_API setState (Steinberg::IBStream* state) override;
    Steinberg::tresult PLUGIN_API getState (Steinberg::IBStream* state) override;

    // IAudioProcessor
    Steinberg::tresult PLUGIN_API setBusArrangements (Steinberg::Vst::SpeakerArrangement* inputs, Steinberg::int32 numInputs,
                                                      Steinberg::Vst::SpeakerArrangement* outputs, Steinberg::int32 numOutputs) override;
    Steinberg::tresult PLUGIN_API getBusArrangement (Steinberg::Vst::BusDirection direction, Steinberg::int32 index,
                                                     Steinberg::Vst::SpeakerArrangement& arrangement) override;
    Steinberg::tresult PLUGIN_API canProcessSampleSize (Steinberg::int32 symbolicSampleSize) override;
    Steinberg::uint32 PLUGIN_API getLatencySamples() override;
    Steinberg::tresult PLUGIN_API setupProcessing (Steinberg::Vst::ProcessSetup& setup) override;
    Steinberg::tresult PLUGIN_API setProcessing (Steinberg::TBool state) override;
    Steinberg::tresult PLUGIN_API process (Steinberg::Vst::ProcessData& data) override;
    Steinberg::uint32 PLUGIN_API getTailSamples() override;

    // IEditController
    Steinberg::tresult PLUGIN_API setComponentState (Steinberg::IBStream* state) override;
    Steinberg::int32 PLUGIN_API getParameterCount() override;
    Steinberg::tresult PLUGIN_API getParameterInfo (Steinberg::int32 index, Steinberg::Vst::ParameterInfo& info) override;
    Steinberg::tresult PLUGIN_API getParamStringByValue (Steinberg::Vst::ParamID id, Steinberg::Vst::ParamValue value,
                                                         Steinberg::Vst::String128 text) override;
    Steinberg::tresult PLUGIN_API getParamValueByString (Steinberg::Vst::ParamID id, Steinberg::Vst::TChar* text,
                                                         Steinberg::Vst::ParamValue& value) override;
    Steinberg::Vst::ParamValue PLUGIN_API normalizedParamToPlain (Steinberg::Vst::ParamID id, Steinberg::Vst::ParamValue value) override;
    Steinberg::Vst::ParamValue PLUGIN_API plainParamToNormalized (Steinberg::Vst::ParamID id, Steinberg::Vst::ParamValue plain) override;
    Steinberg::Vst::ParamValue PLUGIN_API getParamNormalized (Steinberg::Vst::ParamID id) override;
    Steinberg::tresult PLUGIN_API setParamNormalized (Steinberg::Vst::ParamID id, Steinberg::Vst::ParamValue value) override;
    Steinberg::tresult PLUGIN_API setComponentHandler (Steinberg::Vst::IComponentHandler* handler) override;
    Steinberg::IPlugView* PLUGIN_API createView (Steinberg::FIDString name) override;

private:
    ~EffectPlugin();

    bool isParameter (Steinberg::Vst::ParamID id) const noexcept;
    double toStoredValue (Steinberg::Vst::ParamID id, double value) const noexcept;
    Steinberg::tresult readState (Steinberg::IBStream* state, std::array<double, effects::Effect::maxParameters>& values) const;
    void applyParameterChanges (Steinberg::Vst::IParameterChanges* changes);
    void processDoubles (Steinberg::Vst::AudioBusBuffers* inputs, Steinberg::Vst::AudioBusBuffers& outputs, int numSamples);
    void processFloats (Steinberg::Vst::AudioBusBuffers* inputs, Steinberg::Vst::AudioBusBuffers& outputs, int numSamples);

    std::atomic<Steinberg::uint32> referenceCount { 1 };

    std::unique_ptr<effects::Effect> effect;        // audio side
    std::unique_ptr<effects::Effect> descriptor;    // controller side
    std::array<double, effects::Effect::maxParameters> controllerValues {};

    std::array<std::atomic<double>, effects::Effect::maxParameters> pendingStateValues {};
    std::atomic<bool> pendingState { false };

    Steinberg::Vst::IComponentHandler* componentHandler = nullptr;
    Steinberg::Vst::ProcessSetup processSetup {};
    std::vector<double> floatScratch;              // two channels for 32-bit hosts
    bool active = false;
};

#pragma GCC diagnostic pop
