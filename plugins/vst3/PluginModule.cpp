// The entry points of the VST3 module that holds the eight effects.
#include "plugins/vst3/EffectPluginFactory.h"

#include <pluginterfaces/base/fplatform.h>

extern "C"
{
    /** The host loads the module and asks for its factory. */
    SMTG_EXPORT_SYMBOL Steinberg::IPluginFactory* PLUGIN_API GetPluginFactory()
    {
        static EffectPluginFactory factory;
        return &factory;
    }

    /** Called once after the module is loaded; nothing to set up. */
    SMTG_EXPORT_SYMBOL bool ModuleEntry (void*)
    {
        return true;
    }

    /** Called once before the module is unloaded. */
    SMTG_EXPORT_SYMBOL bool ModuleExit()
    {
        return true;
    }
}
