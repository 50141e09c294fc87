// The factory of the one VST3 module that holds all eight effects, each as a class
// of its own with its own fixed class ID.
#pragma once

#include <pluginterfaces/base/ipluginbase.h>

// The VST3 interfaces have non-virtual destructors by design (COM style): objects
// are destroyed by release(), never deleted through an interface pointer.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

/**
    Lists the eight effects (names and order of effects::EffectCatalogue) and makes
    instances of them. The module keeps one factory for its whole life (a static
    object), so reference counting never deletes it. Any thread.
*/
class EffectPluginFactory final : public Steinberg::IPluginFactory3
{
public:
    Steinberg::tresult PLUGIN_API queryInterface (const Steinberg::TUID iid, void** object) override;
    Steinberg::uint32 PLUGIN_API addRef() override      { return 1; }
    Steinberg::uint32 PLUGIN_API release() override     { return 1; }

    Steinberg::tresult PLUGIN_API getFactoryInfo (Steinberg::PFactoryInfo* info) override;
    Steinberg::int32 PLUGIN_API countClasses() override;
    Steinberg::tresult PLUGIN_API getClassInfo (Steinberg::int32 index, Steinberg::PClassInfo* info) override;
    Steinberg::tresult PLUGIN_API createInstance (Steinberg::FIDString classId, Steinberg::FIDString interfaceId, void** object) override;
    Steinberg::tresult PLUGIN_API getClassInfo2 (Steinberg::int32 index, Steinberg::PClassInfo2* info) override;
    Steinberg::tresult PLUGIN_API getClassInfoUnicode (Steinberg::int32 index, Steinberg::PClassInfoW* info) override;
    Steinberg::tresult PLUGIN_API setHostContext (Steinberg::FUnknown* context) override;
};

#pragma GCC diagnostic pop
