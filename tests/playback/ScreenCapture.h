// Reading back what the test display shows, the way a screenshot tool would.
#pragma once

#include <juce_graphics/juce_graphics.h>

/** Makes X errors non-fatal, as the application does for itself: JUCE installs its
    forgiving X error handler only in a JUCE application, and without a window manager
    some of its window-state queries fail harmlessly. Call before adding a window to
    the desktop. Message thread. */
void tolerateXErrorsLikeTheApplication();

/** The pixels the X server shows in an area of the screen (physical pixels), read
    from the root window so that OpenGL child windows are included; a null image when
    there is no display. Any thread. */
juce::Image captureScreenArea (juce::Rectangle<int> area);
