// The picture slider: background and thumb at half size, the filled track left of
// the thumb, and the held flag its owner reads.
#include "ui/VQImageSlider.h"

#include "RenderedImages.h"

#include <gtest/gtest.h>

namespace
{
    const juce::Colour backgroundColour (0xff303030), thumbColour (0xffe0e0e0), trackColour (0xffbdcfd4);

    // A slider like the toolbar's position slider: 371 x 31, a 742 x 62 background and
    // a 40 x 62 thumb, both made at double density.
    struct PositionSlider
    {
        PositionSlider()
        {
            slider.setRange (0.0, 1.0);
            slider.setSliderStyle (juce::Slider::LinearHorizontal);
            slider.setTextBoxStyle (juce::Slider::NoTextBox, true, 0, 0);
            slider.setSliderImages (solidPicture (40, 62, thumbColour), solidPicture (742, 62, backgroundColour));
            slider.setColour (juce::Slider::trackColourId, trackColour);
            slider.setSize (371, 31);
        }

        VQImageSlider slider;
    };

    juce::MouseEvent mouseAt (juce::Component& component, juce::Point<float> position, bool buttonDown)
    {
        auto now = juce::Time::getCurrentTime();
        return { juce::Desktop::getInstance().getMainMouseSource(), position,
                 buttonDown ? juce::ModifierKeys (juce::ModifierKeys::leftButtonModifier) : juce::ModifierKeys(),
                 juce::MouseInputSource::defaultPressure, 0.0f, 0.0f, 0.0f, 0.0f,
                 &component, &component, now, position, now, 1, false };
    }
}

TEST (VQImageSlider, AtZeroTheThumbIsAtTheLeftAndNoTrackIsFilled)
{
    PositionSlider p;
    p.slider.setValue (0.0, juce::dontSendNotification);
    auto image = renderComponent (p.slider);

    // The background, halved, covers the whole slider.
    EXPECT_TRUE (sameColour (image.getPixelAt (200, 2), backgroundColour));
    EXPECT_TRUE (sameColour (image.getPixelAt (370, 30), backgroundColour));
    // The thumb, halved to 20 x 31, at x = 0.
    EXPECT_EQ (boundsOfPixels (image, [] (juce::Colour c) { return sameColour (c, thumbColour); }),
               juce::Rectangle<int> (0, 0, 20, 31));
    EXPECT_FLOAT_EQ (p.slider.getThumbX(), 0.0f);
    EXPECT_EQ (countPixels (image, [] (juce::Colour c) { return sameColour (c, trackColour, 16); }), 0) << "no filled track";
}

TEST (VQImageSlider, AtOneTheThumbTouchesTheRightEdgeAndTheTrackRunsToIt)
{
    PositionSlider p;
    p.slider.setValue (1.0, juce::dontSendNotification);
    auto image = renderComponent (p.slider);

    auto thumb = boundsOfPixels (image, [] (juce::Colour c) { return sameColour (c, thumbColour); });
    EXPECT_EQ (thumb.getRight(), 371) << "the thumb's visible right edge is the slider's";
    EXPECT_EQ (thumb.getX(), 351);

    // The filled track: from (10, 13), value x (371 - 20) wide and 5 high, under the thumb at its end.
    auto track = boundsOfPixels (image, [] (juce::Colour c) { return sameColour (c, trackColour, 16); });
    EXPECT_EQ (track.getX(), 10);
    EXPECT_EQ (track.getY(), 13);
    EXPECT_EQ (track.getHeight(), 5);
    EXPECT_EQ (track.getRight(), 351) << "hidden from the thumb's left edge on";
}

TEST (VQImageSlider, TheTrackGrowsWithTheValueOnlyWhenItsColourIsOpaque)
{
    PositionSlider p;
    p.slider.setValue (0.5, juce::dontSendNotification);
    auto image = renderComponent (p.slider);
    auto x = 0.5f * (371.0f - 20.0f);
    EXPECT_FLOAT_EQ (p.slider.getThumbX(), x);
    EXPECT_TRUE (sameColour (image.getPixelAt (100, 15), trackColour, 10));
    EXPECT_EQ (boundsOfPixels (image, [] (juce::Colour c) { return sameColour (c, thumbColour); }).getX(), juce::roundToInt (x));

    for (auto colour : { juce::Colours::transparentBlack, trackColour.withAlpha (0.99f) })
    {
        p.slider.setColour (juce::Slider::trackColourId, colour);
        auto unfilled = renderComponent (p.slider);
        EXPECT_TRUE (sameColour (unfilled.getPixelAt (100, 15), backgroundColour))
            << "track colour " << colour.toDisplayString (true) << " is not opaque: no fill";
    }
}

TEST (VQImageSlider, IsHeldBetweenMousePressAndRelease)
{
    PositionSlider p;

    struct Drags : juce::Slider::Listener
    {
        void sliderValueChanged (juce::Slider*) override { ++changes; }
        void sliderDragStarted (juce::Slider* s) override { heldAtStart = dynamic_cast<VQImageSlider*> (s)->isUserDragging(); ++starts; }
        void sliderDragEnded (juce::Slider* s) override { heldAtEnd = dynamic_cast<VQImageSlider*> (s)->isUserDragging(); ++ends; }
        int changes = 0, starts = 0, ends = 0;
        bool heldAtStart = false, heldAtEnd = true;
    } drags;

    p.slider.addListener (&drags);
    EXPECT_FALSE (p.slider.isUserDragging());

    p.slider.mouseDown (mouseAt (p.slider, { 100.0f, 15.0f }, true));
    EXPECT_TRUE (p.slider.isUserDragging());
    EXPECT_EQ (drags.starts, 1) << "the base class's handling follows";
    EXPECT_TRUE (drags.heldAtStart) << "held before the base class reports the drag";

    p.slider.mouseDrag (mouseAt (p.slider, { 250.0f, 15.0f }, true));
    EXPECT_TRUE (p.slider.isUserDragging());
    EXPECT_GT (drags.changes, 0);

    p.slider.mouseUp (mouseAt (p.slider, { 250.0f, 15.0f }, false));
    EXPECT_FALSE (p.slider.isUserDragging());
    EXPECT_EQ (drags.ends, 1);
    EXPECT_FALSE (drags.heldAtEnd);
    p.slider.removeListener (&drags);
}
