#include "plugins/vst3/EffectPlugin.h"

#include "plugins/dsp/EffectCatalogue.h"
#include "plugins/dsp/ScopedNoDenormals.h"

#include <pluginterfaces/base/ibstream.h>
#include <pluginterfaces/vst/ivstparameterchanges.h>
#include <pluginterfaces/vst/ivstunits.h>
#include <pluginterfaces/vst/vstspeaker.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace Steinberg;

namespace
{
    constexpr uint32 stateMagic = 0x58465156;    // "VQFX"
    constexpr int32 stateVersion = 1;

    void copyText (Vst::String128 destination, const char* text)
    {
        size_t i = 0;

        for (; text[i] != 0 && i < 127; ++i)
            destination[i] = (Vst::TChar) (unsigned char) text[i];

        destination[i] = 0;
    }

    bool readBytes (IBStream* stream, void* destination, int32 size)
    {
        int32 read = 0;
        return stream->read (destination, size, &read) == kResultOk && read == size;
    }

    bool writeBytes (IBStream* stream, const void* source, int32 size)
    {
        int32 written = 0;
        return stream->write (const_cast<void*> (source), size, &written) == kResultOk && written == size;
    }

    // The channels of a bus that carry audio: the leading non-null pointers, at most two.
    template <typename Sample>
    int countChannels (Sample** pointers, int32 numChannels)
    {
        int count = 0;

        if (pointers != nullptr)
            while (count < std::min (numChannels, (int32) 2) && pointers[count] != nullptr)
                ++count;

        return count;
    }
}

EffectPlugin::EffectPlugin (std::string_view name)
    : effect (effects::EffectCatalogue::create (name)),
      descriptor (effects::EffectCatalogue::create (name))
{
    for (int i = 0; i < descriptor->getNumParameters(); ++i)
        controllerValues[(size_t) i] = descriptor->getParameter (i);
}

EffectPlugin::~EffectPlugin()
{
    if (componentHandler != nullptr)
        componentHandler->release();
}

//==============================================================================
tresult PLUGIN_API EffectPlugin::queryInterface (const TUID iid, void** object)
{
    if (object == nullptr)
        return kInvalidArgument;

    void* found = nullptr;

    if (FUnknownPrivate::iidEqual (iid, FUnknown::iid)
        || FUnknownPrivate::iidEqual (iid, IPluginBase::iid)
        || FUnknownPrivate::iidEqual (iid, Vst::IComponent::iid))
        found = static_cast<Vst::IComponent*> (this);
    else if (FUnknownPrivate::iidEqual (iid, Vst::IAudioProcessor::iid))
        found = static_cast<Vst::IAudioProcessor*> (this);
    else if (FUnknownPrivate::iidEqual (iid, Vst::IEditController::iid))
        found = static_cast<Vst::IEditController*> (this);

    *object = found;

    if (found == nullptr)
        return kNoInterface;

    addRef();
    return kResultOk;
}

uint32 PLUGIN_API EffectPlugin::addRef()
{
    return ++referenceCount;
}

uint32 PLUGIN_API EffectPlugin::release()
{
    auto remaining = --referenceCount;

    if (remaining == 0)
        delete this;

    return remaining;
}

tresult PLUGIN_API EffectPlugin::initialize (FUnknown*)
{
    return kResultOk;
}

tresult PLUGIN_API EffectPlugin::terminate()
{
    return kResultOk;
}

//==============================================================================
tresult PLUGIN_API EffectPlugin::getControllerClassId (TUID)
{
    return kNotImplemented;    // the component is its own controller
}

tresult PLUGIN_API EffectPlugin::setIoMode (Vst::IoMode)
{
    return kResultOk;
}

int32 PLUGIN_API EffectPlugin::getBusCount (Vst::MediaType type, Vst::BusDirection)
{
    return type == Vst::kAudio ? 1 : 0;
}

tresult PLUGIN_API EffectPlugin::getBusInfo (Vst::MediaType type, Vst::BusDirection direction, int32 index, Vst::BusInfo& bus)
{
    if (type != Vst::kAudio || index != 0)
        return kInvalidArgument;

    bus.mediaType = Vst::kAudio;
    bus.direction = direction;
    bus.channelCount = 2;
    copyText (bus.name, direction == Vst::kInput ? "Input" : "Output");
    bus.busType = Vst::kMain;
    bus.flags = Vst::BusInfo::kDefaultActive;
    return kResultOk;
}

tresult PLUGIN_API EffectPlugin::getRoutingInfo (Vst::RoutingInfo&, Vst::RoutingInfo&)
{
    return kNotImplemented;
}

tresult PLUGIN_API EffectPlugin::activateBus (Vst::MediaType type, Vst::BusDirection, int32 index, TBool)
{
    return type == Vst::kAudio && index == 0 ? kResultOk : kInvalidArgument;
}

tresult PLUGIN_API EffectPlugin::setActive (TBool state)
{
    if (state != 0 && ! active)
    {
        auto blockSize = std::max ((int) processSetup.maxSamplesPerBlock, 1);
        effect->prepare (processSetup.sampleRate > 0.0 ? processSetup.sampleRate : 44100.0, blockSize);
        floatScratch.assign ((size_t) blockSize * 2, 0.0);
    }

    active = state != 0;
    return kResultOk;
}

tresult EffectPlugin::readState (IBStream* state, std::array<double, effects::Effect::maxParameters>& values) const
{
    if (state == nullptr)
        return kInvalidArgument;

    uint32 magic = 0;
    int32 version = 0, count = 0;

    if (! readBytes (state, &magic, sizeof (magic)) || magic != stateMagic
        || ! readBytes (state, &version, sizeof (version)) || version != stateVersion
        || ! readBytes (state, &count, sizeof (count)) || count < 0 || count > effects::Effect::maxParameters)
        return kResultFalse;

    values = controllerValues;

    for (int32 i = 0; i < count; ++i)
    {
        double value = 0.0;

        if (! readBytes (state, &value, sizeof (value)))
            return kResultFalse;

        if (i < descriptor->getNumParameters())
            values[(size_t) i] = toStoredValue ((Vst::ParamID) i, value);
    }

    return kResultOk;
}

tresult PLUGIN_API EffectPlugin::setState (IBStream* state)
{
    std::array<double, effects::Effect::maxParameters> values;
    auto result = readState (state, values);

    if (result != kResultOk)
        return result;

    controllerValues = values;

    for (size_t i = 0; i < values.size(); ++i)
    {
        descriptor->setParameter ((int) i, values[i]);
        pendingStateValues[i].store (values[i], std::memory_order_relaxed);
    }

    pendingState.store (true, std::memory_order_release);
    return kResultOk;
}

tresult PLUGIN_API EffectPlugin::getState (IBStream* state)
{
    if (state == nullptr)
        return kInvalidArgument;

    auto count = (int32) descriptor->getNumParameters();

    if (! writeBytes (state, &stateMagic, sizeof (stateMagic))
        || ! writeBytes (state, &stateVersion, sizeof (stateVersion))
        || ! writeBytes (state, &count, sizeof (count)))
        return kResultFalse;

    for (int32 i = 0; i < count; ++i)
        if (! writeBytes (state, &controllerValues[(size_t) i], sizeof (double)))
            return kResultFalse;

    return kResultOk;
}

//==============================================================================
tresult PLUGIN_API EffectPlugin::setBusArrangements (Vst::SpeakerArrangement* inputs, int32 numInputs,
                                                     Vst::SpeakerArrangement* outputs, int32 numOutputs)
{
    if (numInputs == 1 && numOutputs == 1 && inputs != nullptr && outputs != nullptr
        && inputs[0] == Vst::SpeakerArr::kStereo && outputs[0] == Vst::SpeakerArr::kStereo)
        return kResultTrue;

    return kResultFalse;
}

tresult PLUGIN_API EffectPlugin::getBusArrangement (Vst::BusDirection, int32 index, Vst::SpeakerArrangement& arrangement)
{
    if (index != 0)
        return kInvalidArgument;

    arrangement = Vst::SpeakerArr::kStereo;
    return kResultOk;
}

tresult PLUGIN_API EffectPlugin::canProcessSampleSize (int32 symbolicSampleSize)
{
    return symbolicSampleSize == Vst::kSample32 || symbolicSampleSize == Vst::kSample64 ? kResultTrue : kResultFalse;
}

uint32 PLUGIN_API EffectPlugin::getLatencySamples()
{
    return 0;
}

tresult PLUGIN_API EffectPlugin::setupProcessing (Vst::ProcessSetup& setup)
{
    if (setup.symbolicSampleSize != Vst::kSample32 && setup.symbolicSampleSize != Vst::kSample64)
        return kResultFalse;

    processSetup = setup;
    return kResultOk;
}

tresult PLUGIN_API EffectPlugin::setProcessing (TBool)
{
    return kResultOk;
}

uint32 PLUGIN_API EffectPlugin::getTailSamples()
{
    auto seconds = descriptor->getTailSeconds();
    return seconds > 0.0 ? (uint32) (seconds * (processSetup.sampleRate > 0.0 ? processSetup.sampleRate : 44100.0))
                         : Vst::kNoTail;
}

void EffectPlugin::applyParameterChanges (Vst::IParameterChanges* changes)
{
    if (pendingState.exchange (false, std::memory_order_acquire))
        for (int i = 0; i < effect->getNumParameters(); ++i)
            effect->setParameter (i, pendingStateValues[(size_t) i].load (std::memory_order_relaxed));

    if (changes == nullptr)
        return;

    for (int32 i = 0, n = changes->getParameterCount(); i < n; ++i)
    {
        auto* queue = changes->getParameterData (i);

        if (queue == nullptr || queue->getPointCount() <= 0)
            continue;

        int32 offset = 0;
        Vst::ParamValue value = 0.0;

        // The effects take parameters per block: the last point wins.
        if (queue->getPoint (queue->getPointCount() - 1, offset, value) == kResultOk)
            effect->setParameter ((int) queue->getParameterId(), value);
    }
}

tresult PLUGIN_API EffectPlugin::process (Vst::ProcessData& data)
{
    effects::ScopedNoDenormals noDenormals;

    applyParameterChanges (data.inputParameterChanges);

    if (! active || data.numSamples <= 0 || data.numOutputs < 1 || data.outputs == nullptr)
        return kResultOk;

    auto* inputs = data.numInputs > 0 ? data.inputs : nullptr;

    if (data.symbolicSampleSize == Vst::kSample64)
        processDoubles (inputs, data.outputs[0], data.numSamples);
    else
        processFloats (inputs, data.outputs[0], data.numSamples);

    data.outputs[0].silenceFlags = 0;
    return kResultOk;
}

void EffectPlugin::processDoubles (Vst::AudioBusBuffers* inputs, Vst::AudioBusBuffers& outputs, int numSamples)
{
    auto** out = outputs.channelBuffers64;
    auto numChannels = countChannels (out, outputs.numChannels);

    if (inputs != nullptr)
    {
        auto** in = inputs->channelBuffers64;
        auto numInputChannels = countChannels (in, inputs->numChannels);

        for (int c = 0; c < numChannels; ++c)
        {
            if (c >= numInputChannels)
                std::fill (out[c], out[c] + numSamples, 0.0);
            else if (in[c] != out[c])
                std::copy (in[c], in[c] + numSamples, out[c]);
        }
    }

    effect->process (out, numChannels, numSamples);
}

void EffectPlugin::processFloats (Vst::AudioBusBuffers* inputs, Vst::AudioBusBuffers& outputs, int numSamples)
{
    auto** out = outputs.channelBuffers32;
    auto numChannels = countChannels (out, outputs.numChannels);
    auto** in = inputs != nullptr ? inputs->channelBuffers32 : nullptr;
    auto numInputChannels = inputs != nullptr ? countChannels (in, inputs->numChannels) : numChannels;

    if (in == nullptr)
        in = out;

    auto chunkSize = (int) (floatScratch.size() / 2);
    double* scratch[2] = { floatScratch.data(), floatScratch.data() + chunkSize };

    for (int start = 0; start < numSamples; start += chunkSize)
    {
        auto n = std::min (chunkSize, numSamples - start);

        for (int c = 0; c < numChannels; ++c)
            for (int i = 0; i < n; ++i)
                scratch[c][i] = c < numInputChannels ? (double) in[c][start + i] : 0.0;

        effect->process (scratch, numChannels, n);

        for (int c = 0; c < numChannels; ++c)
            for (int i = 0; i < n; ++i)
                out[c][start + i] = (float) scratch[c][i];
    }
}

//==============================================================================
bool EffectPlugin::isParameter (Vst::ParamID id) const noexcept
{
    return id < (Vst::ParamID) descriptor->getNumParameters();
}

double EffectPlugin::toStoredValue (Vst::ParamID id, double value) const noexcept
{
    auto clamped = value == value ? std::clamp (value, 0.0, 1.0) : 0.0;
    return descriptor->getParameterInfo ((int) id).isSwitch ? (clamped >= 0.5 ? 1.0 : 0.0) : clamped;
}

tresult PLUGIN_API EffectPlugin::setComponentState (IBStream* state)
{
    std::array<double, effects::Effect::maxParameters> values;
    auto result = readState (state, values);

    if (result == kResultOk)
    {
        controllerValues = values;

        for (size_t i = 0; i < values.size(); ++i)
            descriptor->setParameter ((int) i, values[i]);
    }

    return result;
}

int32 PLUGIN_API EffectPlugin::getParameterCount()
{
    return descriptor->getNumParameters();
}

tresult PLUGIN_API EffectPlugin::getParameterInfo (int32 index, Vst::ParameterInfo& info)
{
    if (index < 0 || ! isParameter ((Vst::ParamID) index))
        return kInvalidArgument;

    const auto& parameter = descriptor->getParameterInfo (index);
    info.id = (Vst::ParamID) index;
    copyText (info.title, parameter.name);
    copyText (info.shortTitle, parameter.name);
    copyText (info.units, parameter.units);
    info.stepCount = parameter.isSwitch ? 1 : 0;
    info.defaultNormalizedValue = parameter.defaultValue;
    info.unitId = Vst::kRootUnitId;
    info.flags = Vst::ParameterInfo::kCanAutomate;
    return kResultOk;
}

tresult PLUGIN_API EffectPlugin::getParamStringByValue (Vst::ParamID id, Vst::ParamValue value, Vst::String128 text)
{
    if (! isParameter (id))
        return kInvalidArgument;

    const auto& parameter = descriptor->getParameterInfo ((int) id);
    char buffer[64];

    if (parameter.isSwitch)
        std::snprintf (buffer, sizeof (buffer), "%s", toStoredValue (id, value) > 0.5 ? "On" : "Off");
    else
        std::snprintf (buffer, sizeof (buffer), "%.4g%s%s", descriptor->toPlainValue ((int) id, toStoredValue (id, value)),
                       parameter.units[0] != 0 ? " " : "", parameter.units);

    copyText (text, buffer);
    return kResultOk;
}

tresult PLUGIN_API EffectPlugin::getParamValueByString (Vst::ParamID id, Vst::TChar* text, Vst::ParamValue& value)
{
    if (! isParameter (id) || text == nullptr)
        return kInvalidArgument;

    // Accepts a normalised number; plain units are not parsed.
    char buffer[64];
    size_t i = 0;

    for (; text[i] != 0 && i < sizeof (buffer) - 1; ++i)
        buffer[i] = text[i] < 128 ? (char) text[i] : '?';

    buffer[i] = 0;
    char* end = nullptr;
    auto parsed = std::strtod (buffer, &end);

    if (end == buffer)
        return kResultFalse;

    value = toStoredValue (id, parsed);
    return kResultOk;
}

Vst::ParamValue PLUGIN_API EffectPlugin::normalizedParamToPlain (Vst::ParamID id, Vst::ParamValue value)
{
    return isParameter (id) ? descriptor->toPlainValue ((int) id, toStoredValue (id, value)) : value;
}

Vst::ParamValue PLUGIN_API EffectPlugin::plainParamToNormalized (Vst::ParamID id, Vst::ParamValue plain)
{
    // Only the switches have a plain value that is their normalised value.
    return isParameter (id) ? toStoredValue (id, plain) : plain;
}

Vst::ParamValue PLUGIN_API EffectPlugin::getParamNormalized (Vst::ParamID id)
{
    return isParameter (id) ? controllerValues[id] : 0.0;
}

tresult PLUGIN_API EffectPlugin::setParamNormalized (Vst::ParamID id, Vst::ParamValue value)
{
    if (! isParameter (id))
        return kInvalidArgument;

    controllerValues[id] = toStoredValue (id, value);
    descriptor->setParameter ((int) id, value);
    return kResultOk;
}

tresult PLUGIN_API EffectPlugin::setComponentHandler (Vst::IComponentHandler* handler)
{
    if (handler == componentHandler)
        return kResultOk;

    if (componentHandler != nullptr)
        componentHandler->release();

    componentHandler = handler;

    if (componentHandler != nullptr)
        componentHandler->addRef();

    return kResultOk;
}

IPlugView* PLUGIN_API EffectPlugin::createView (FIDString)
{
    return nullptr;    // no editor: the program has no user interface for the effects
}
