// The placement and size limits of a top-level window with the desktop's own title
// bar, as the window manager reads them.
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

/** Gives the window manager peer's position and size together with the limits of
    constrainer, in one set of hints. JUCE hands over either the limits (when it
    handles a configure event) or the placement (when it moves the window), each
    replacing the other: a window manager that reads the hints at the wrong moment
    then places a new window itself or never learns its limits. Message thread. */
void giveNativeWindowHints (juce::ComponentPeer& peer, const juce::ComponentBoundsConstrainer& constrainer);
