// The picture shown in place of video while an audio file is open.
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

/** A black panel showing the program's audio picture inside a one-pixel margin.
    Message thread. */
class AudioPlayerComponent : public juce::Component
{
public:
    /** The panel with its picture. */
    AudioPlayerComponent();

    /** The picture the panel shows. */
    juce::Image getImage() const { return picture.getImage(); }

    /** Fills black. */
    void paint (juce::Graphics& g) override;

    /** The picture inside a one-pixel margin. */
    void resized() override;

private:
    juce::ImageComponent picture;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (AudioPlayerComponent)
};
