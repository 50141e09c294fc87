#include "ui/VQImageButton.h"

VQImageButton::VQImageButton (const juce::String& name)
    : juce::ImageButton (name)
{
}

void VQImageButton::setStateImages (const juce::Image& normal, const juce::Image& over,
                                    const juce::Image& down, const juce::Image& disabled)
{
    normalImage = normal;
    overImage = over;
    downImage = down;
    disabledImage = disabled;
    repaint();
}

void VQImageButton::setImagePlacement (bool shouldScaleToFit, bool shouldKeepProportions)
{
    scaleToFit = shouldScaleToFit;
    keepProportions = shouldKeepProportions;
    repaint();
}

juce::Image VQImageButton::chooseImage (bool shouldDrawButtonAsHighlighted, bool shouldDrawButtonAsDown) const
{
    if (! isEnabled())
        return disabledImage;

    if (shouldDrawButtonAsDown || getToggleState())
    {
        if (downImage.isValid())
            return downImage;

        return overImage.isValid() ? overImage : normalImage;
    }

    if (shouldDrawButtonAsHighlighted && overImage.isValid())
        return overImage;

    return normalImage;
}

juce::Rectangle<int> VQImageButton::placeImage (int imageWidth, int imageHeight, int buttonWidth, int buttonHeight,
                                                bool scaleToFit, bool keepProportions)
{
    if (! scaleToFit)
        return { (buttonWidth - imageWidth) / 2, (buttonHeight - imageHeight) / 2, imageWidth, imageHeight };

    if (! keepProportions)
        return { 0, 0, buttonWidth, buttonHeight };

    if (imageWidth <= 0 || imageHeight <= 0 || buttonWidth <= 0 || buttonHeight <= 0)
        return { buttonWidth / 2, buttonHeight / 2, 0, 0 };

    auto aspect = (double) imageHeight / (double) imageWidth;
    int width, height;

    if (aspect > (double) buttonHeight / (double) buttonWidth)
    {
        height = buttonHeight;
        width = juce::roundToInt ((double) buttonHeight / aspect);
    }
    else
    {
        width = buttonWidth;
        height = juce::roundToInt (aspect * (double) buttonWidth);
    }

    return { (buttonWidth - width) / 2, (buttonHeight - height) / 2, width, height };
}

void VQImageButton::paintButton (juce::Graphics& g, bool shouldDrawButtonAsHighlighted, bool shouldDrawButtonAsDown)
{
    auto image = chooseImage (shouldDrawButtonAsHighlighted, shouldDrawButtonAsDown);

    if (! image.isValid())
        return;

    imageBounds = placeImage (image.getWidth(), image.getHeight(), getWidth(), getHeight(), scaleToFit, keepProportions);

    g.setImageResamplingQuality (juce::Graphics::highResamplingQuality);
    g.drawImage (image, imageBounds.getX(), imageBounds.getY(), imageBounds.getWidth(), imageBounds.getHeight(),
                 0, 0, image.getWidth(), image.getHeight());
}
