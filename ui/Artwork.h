// The program's pictures, compiled in from resources/artwork and shared through the
// image cache.
#pragma once

#include <juce_graphics/juce_graphics.h>

/** The compiled-in picture of that artwork name ("playNormal"), decoded once and
    shared through the image cache; a null image when there is no such picture.
    Message thread. */
juce::Image getArtwork (const juce::String& name);

/** The four state pictures of a button, named <base>Normal, <base>Over, <base>Down
    and <base>Disabled in the artwork. */
struct ButtonPictures
{
    juce::Image normal, over, down, disabled;
};

/** The four state pictures of a button's artwork ("play" gives playNormal and its
    siblings). Message thread. */
ButtonPictures getButtonPictures (const juce::String& baseName);
