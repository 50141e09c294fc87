// A button drawn from one picture per state.
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

/**
    A button that draws one of its four pictures (normal, mouse over, down, disabled)
    instead of asking the look and feel. A toggled-on button shows its down picture.
    It keeps its own pictures; the base class's are not used. Message thread.
*/
class VQImageButton : public juce::ImageButton
{
public:
    /** A button named and labelled name, with no pictures, drawing them scaled to fit
        with their proportions kept. */
    explicit VQImageButton (const juce::String& name);

    /** Stores the four pictures (any may be null) and repaints. */
    void setStateImages (const juce::Image& normal, const juce::Image& over,
                         const juce::Image& down, const juce::Image& disabled);

    /** How the picture fills the button: scaled to the button (keeping its aspect
        ratio or not), or at its own size, centred. Both are true to begin with. */
    void setImagePlacement (bool shouldScaleToFit, bool shouldKeepProportions);

    /** Where the picture was drawn last; empty before the first picture is drawn. */
    juce::Rectangle<int> getImageBounds() const { return imageBounds; }

    /** The picture for a state: see paintButton. */
    juce::Image chooseImage (bool shouldDrawButtonAsHighlighted, bool shouldDrawButtonAsDown) const;

    /** Where a picture of the given size goes in a button of the given size. */
    static juce::Rectangle<int> placeImage (int imageWidth, int imageHeight, int buttonWidth, int buttonHeight,
                                            bool scaleToFit, bool keepProportions);

protected:
    /** Draws the picture of the current state, or nothing when that picture is null. */
    void paintButton (juce::Graphics& g, bool shouldDrawButtonAsHighlighted, bool shouldDrawButtonAsDown) override;

private:
    bool scaleToFit = true;
    bool keepProportions = true;
    juce::Rectangle<int> imageBounds;
    juce::Image normalImage, overImage, downImage, disabledImage;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (VQImageButton)
};
