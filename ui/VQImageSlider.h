// A horizontal slider drawn from a background picture and a thumb picture.
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <atomic>

/**
    A horizontal slider over the range 0 to 1, drawn from two pictures made at double
    pixel density and shown at half their stored size: the background at the
    slider's origin and the thumb at the value's position. When the track colour is
    opaque, the part of the track left of the thumb is filled with it.

    Message thread, except isUserDragging, which any thread may read.
*/
class VQImageSlider : public juce::Slider
{
public:
    /** A slider without pictures. */
    VQImageSlider();

    /** Stores both pictures and repaints. */
    void setSliderImages (const juce::Image& thumb, const juce::Image& background);

    /** True between a mouse press on the slider and its release, so that the owner
        does not move a slider that the user holds. Any thread. */
    bool isUserDragging() const { return userIsDragging.load(); }

    /** The thumb's left edge for the current value, in the slider's coordinates. */
    float getThumbX();

    /** Draws the background, the filled track and the thumb. */
    void paint (juce::Graphics& g) override;

    /** Marks the slider as held, then the base class's handling. */
    void mouseDown (const juce::MouseEvent& event) override;

    /** Marks the slider as released, then the base class's handling. */
    void mouseUp (const juce::MouseEvent& event) override;

private:
    std::atomic<bool> userIsDragging { false };
    juce::Image backgroundImage, thumbImage;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (VQImageSlider)
};
