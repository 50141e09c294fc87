// The application's command identifiers and its one command manager.
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

/** The identifiers of the application's commands, whose one target is the main
    content component. */
namespace CommandIds
{
    enum : juce::CommandID
    {
        fullscreen     = 0x1100,
        about          = 0x2100,
        preferences    = 0x2101,
        help           = 0x2102,
        properties     = 0x2103,
        setPosterframe = 0x3100,
        rename         = 0x3101,
        exportSnapshot = 0x3102,
        save           = 0x4100
    };
}

/** The process's command manager, created on first use. Message thread. */
juce::ApplicationCommandManager& getCommandManager();

/** Deletes the command manager (the main window does, when it goes); asking for it
    again afterwards gives a fresh, empty one. Message thread. */
void deleteCommandManager();
