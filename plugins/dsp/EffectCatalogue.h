// The eight effects by the names the effects chain asks for.
#pragma once

#include "plugins/dsp/Effect.h"

#include <array>
#include <memory>
#include <string_view>

namespace effects
{
    /** Stateless; any thread. */
    struct EffectCatalogue
    {
        /** The names, exact and case-sensitive, in the order of the chain's contract. */
        static constexpr std::array<std::string_view, 8> names
        {
            "Isolator", "Compressor", "Mixer", "limiter", "Analog_Delay", "Room", "Hall", "Plate"
        };

        /** A new effect for one of the names, or null for any other name. */
        static std::unique_ptr<Effect> create (std::string_view name);
    };
}
