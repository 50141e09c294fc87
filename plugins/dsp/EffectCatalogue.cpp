#include "plugins/dsp/EffectCatalogue.h"

#include "plugins/dsp/AnalogDelay.h"
#include "plugins/dsp/Compressor.h"
#include "plugins/dsp/HallReverb.h"
#include "plugins/dsp/Isolator.h"
#include "plugins/dsp/Limiter.h"
#include "plugins/dsp/Mixer.h"
#include "plugins/dsp/PlateReverb.h"
#include "plugins/dsp/RoomReverb.h"

namespace effects
{
    std::unique_ptr<Effect> EffectCatalogue::create (std::string_view name)
    {
        if (name == "Isolator")      return std::make_unique<Isolator>();
        if (name == "Compressor")    return std::make_unique<Compressor>();
        if (name == "Mixer")         return std::make_unique<Mixer>();
        if (name == "limiter")       return std::make_unique<Limiter>();
        if (name == "Analog_Delay")  return std::make_unique<AnalogDelay>();
        if (name == "Room")          return std::make_unique<RoomReverb>();
        if (name == "Hall")          return std::make_unique<HallReverb>();
        if (name == "Plate")         return std::make_unique<PlateReverb>();
        return {};
    }
}
