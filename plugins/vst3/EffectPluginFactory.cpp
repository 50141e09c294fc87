#include "plugins/vst3/EffectPluginFactory.h"

#include "plugins/dsp/EffectCatalogue.h"
#include "plugins/vst3/EffectPlugin.h"

#include <pluginterfaces/vst/ivstaudioprocessor.h>
#include <pluginterfaces/vst/ivstcomponent.h>

#include <cstring>
#include <string>

using namespace Steinberg;

namespace
{
    constexpr const char* vendor = "QUOREL";
    constexpr const char* version = "1.0.0";

    // One class ID per effect, in the catalogue's order. Never change them: hosts
    // remember plug-ins by these IDs.
    const FUID classIds[] =
    {
        FUID (0x2B3627FE, 0x3088441F, 0x87694090, 0x3099A751),    // Isolator
        FUID (0x9FEAE0BC, 0xD87E4664, 0xA1DE8E65, 0x5D3EF196),    // Compressor
        FUID (0x6D6715D3, 0x65614B6A, 0x8E5255E6, 0xF1C504F2),    // Mixer
        FUID (0x5F90F91F, 0xC37442F6, 0x999AF0A7, 0x42946EFD),    // limiter
        FUID (0x4BE17C7B, 0xE9FC47DD, 0x8BADE732, 0x9985B649),    // Analog_Delay
        FUID (0x608C3BF5, 0x05FF4E31, 0xA15A16E0, 0x955A07C4),    // Room
        FUID (0xB9D82841, 0x7F0E4481, 0xB791E499, 0x9E8567DF),    // Hall
        FUID (0x1AD28419, 0xE5884818, 0x9EC9F54E, 0x8A2E2460),    // Plate
    };

    static_assert (std::size (classIds) == effects::EffectCatalogue::names.size());

    template <size_t size>
    void copyText (char8 (&destination)[size], std::string_view text)
    {
        auto n = std::min (text.size(), size - 1);
        std::memcpy (destination, text.data(), n);
        destination[n] = 0;
    }

    template <size_t size>
    void copyText (char16 (&destination)[size], std::string_view text)
    {
        auto n = std::min (text.size(), size - 1);

        for (size_t i = 0; i < n; ++i)
            destination[i] = (char16) (unsigned char) text[i];

        destination[n] = 0;
    }

    bool isClassIndex (int32 index)
    {
        return index >= 0 && (size_t) index < effects::EffectCatalogue::names.size();
    }
}

tresult PLUGIN_API EffectPluginFactory::queryInterface (const TUID iid, void** object)
{
    if (object == nullptr)
        return kInvalidArgument;

    if (FUnknownPrivate::iidEqual (iid, FUnknown::iid) || FUnknownPrivate::iidEqual (iid, IPluginFactory::iid)
        || FUnknownPrivate::iidEqual (iid, IPluginFactory2::iid) || FUnknownPrivate::iidEqual (iid, IPluginFactory3::iid))
    {
        *object = static_cast<IPluginFactory3*> (this);
        return kResultOk;
    }

    *object = nullptr;
    return kNoInterface;
}

tresult PLUGIN_API EffectPluginFactory::getFactoryInfo (PFactoryInfo* info)
{
    if (info == nullptr)
        return kInvalidArgument;

    *info = PFactoryInfo();
    copyText (info->vendor, vendor);
    info->flags = Vst::kDefaultFactoryFlags;
    return kResultOk;
}

int32 PLUGIN_API EffectPluginFactory::countClasses()
{
    return (int32) effects::EffectCatalogue::names.size();
}

tresult PLUGIN_API EffectPluginFactory::getClassInfo (int32 index, PClassInfo* info)
{
    if (info == nullptr || ! isClassIndex (index))
        return kInvalidArgument;

    *info = PClassInfo();
    classIds[index].toTUID (info->cid);
    info->cardinality = PClassInfo::kManyInstances;
    copyText (info->category, kVstAudioEffectClass);
    copyText (info->name, effects::EffectCatalogue::names[(size_t) index]);
    return kResultOk;
}

tresult PLUGIN_API EffectPluginFactory::getClassInfo2 (int32 index, PClassInfo2* info)
{
    if (info == nullptr || ! isClassIndex (index))
        return kInvalidArgument;

    *info = PClassInfo2();
    classIds[index].toTUID (info->cid);
    info->cardinality = PClassInfo::kManyInstances;
    copyText (info->category, kVstAudioEffectClass);
    copyText (info->name, effects::EffectCatalogue::names[(size_t) index]);
    copyText (info->subCategories, Vst::PlugType::kFx);
    copyText (info->vendor, vendor);
    copyText (info->version, version);
    copyText (info->sdkVersion, kVstVersionString);
    return kResultOk;
}

tresult PLUGIN_API EffectPluginFactory::getClassInfoUnicode (int32 index, PClassInfoW* info)
{
    if (info == nullptr || ! isClassIndex (index))
        return kInvalidArgument;

    *info = PClassInfoW();
    classIds[index].toTUID (info->cid);
    info->cardinality = PClassInfo::kManyInstances;
    copyText (info->category, kVstAudioEffectClass);
    copyText (info->name, effects::EffectCatalogue::names[(size_t) index]);
    copyText (info->subCategories, Vst::PlugType::kFx);
    copyText (info->vendor, vendor);
    copyText (info->version, version);
    copyText (info->sdkVersion, kVstVersionString);
    return kResultOk;
}

tresult PLUGIN_API EffectPluginFactory::createInstance (FIDString classId, FIDString interfaceId, void** object)
{
    if (classId == nullptr || interfaceId == nullptr || object == nullptr)
        return kInvalidArgument;

    *object = nullptr;

    for (size_t i = 0; i < effects::EffectCatalogue::names.size(); ++i)
    {
        if (! FUnknownPrivate::iidEqual (classId, classIds[i].toTUID()))
            continue;

        auto* plugin = new EffectPlugin (effects::EffectCatalogue::names[i]);
        auto result = plugin->queryInterface (interfaceId, object);
        plugin->release();    // the caller holds the reference queryInterface added
        return result;
    }

    return kNoInterface;
}

tresult PLUGIN_API EffectPluginFactory::setHostContext (FUnknown*)
{
    return kResultOk;
}
