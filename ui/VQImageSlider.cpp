#include "ui/VQImageSlider.h"

namespace
{
    // Where the background pictures put the groove that the filled track lies in.
    constexpr float trackX = 10.0f, trackY = 13.0f, trackHeight = 5.0f, trackCornerSize = 2.5f;
}

VQImageSlider::VQImageSlider() = default;

void VQImageSlider::setSliderImages (const juce::Image& thumb, const juce::Image& background)
{
    thumbImage = thumb;
    backgroundImage = background;
    repaint();
}

float VQImageSlider::getThumbX()
{
    auto travel = (float) getWidth() - (float) thumbImage.getWidth() * 0.5f;
    return (float) valueToProportionOfLength (getValue()) * travel;
}

void VQImageSlider::paint (juce::Graphics& g)
{
    g.setImageResamplingQuality (juce::Graphics::highResamplingQuality);

    if (backgroundImage.isValid())
        g.drawImageTransformed (backgroundImage, juce::AffineTransform::scale (0.5f));

    auto x = getThumbX();
    auto track = findColour (juce::Slider::trackColourId);

    if (track.isOpaque())
    {
        g.setColour (track);
        g.fillRoundedRectangle (trackX, trackY, x, trackHeight, trackCornerSize);
    }

    if (thumbImage.isValid())
        g.drawImageTransformed (thumbImage, juce::AffineTransform::scale (0.5f).translated (x, 0.0f));
}

void VQImageSlider::mouseDown (const juce::MouseEvent& event)
{
    userIsDragging = true;
    juce::Slider::mouseDown (event);
}

void VQImageSlider::mouseUp (const juce::MouseEvent& event)
{
    userIsDragging = false;
    juce::Slider::mouseUp (event);
}
