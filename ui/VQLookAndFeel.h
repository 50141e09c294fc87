// The application's look and feel: its dark palette, its flat buttons, combo boxes
// and slider tracks, and the typefaces it draws with.
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <vector>

/**
    The program's dark grey look. The constructor sets the palette; buttons, combo
    boxes and linear sliders are drawn flat; everything else is the base class's.
    It also maps the framework's placeholder typefaces to the run's default
    typefaces, falling back to installed faces so that Japanese never draws as empty
    boxes. Message thread.
*/
class VQLookAndFeel : public juce::LookAndFeel_V3
{
public:
    /** Sets the palette. */
    VQLookAndFeel();

    /** The typeface for a font: placeholder names become the run's default faces,
        other names an installed face. */
    juce::Typeface::Ptr getTypefaceForFont (const juce::Font& font) override;

    /** A flat rounded button: the background colour, lighter or darker while the
        mouse is over it or it is down, outlined in the button's text colour. */
    void drawButtonBackground (juce::Graphics& g, juce::Button& button, const juce::Colour& backgroundColour,
                               bool shouldDrawButtonAsHighlighted, bool shouldDrawButtonAsDown) override;

    /** A rounded box with a 2-pixel outline and one downward arrow. */
    void drawComboBox (juce::Graphics& g, int width, int height, bool isButtonDown,
                       int buttonX, int buttonY, int buttonW, int buttonH, juce::ComboBox& box) override;

    /** Places the text of a VQComboBox to the right of its icon; other boxes as the
        base class does. */
    void positionComboBoxText (juce::ComboBox& box, juce::Label& label) override;

    /** A thin rounded track along the slider in its track colour. */
    void drawLinearSliderBackground (juce::Graphics& g, int x, int y, int width, int height,
                                     float sliderPos, float minSliderPos, float maxSliderPos,
                                     juce::Slider::SliderStyle style, juce::Slider& slider) override;

    /** For plain horizontal and vertical sliders a dark disc with a ring in the thumb
        colour; the other styles as the base class draws them. */
    void drawLinearSliderThumb (juce::Graphics& g, int x, int y, int width, int height,
                                float sliderPos, float minSliderPos, float maxSliderPos,
                                juce::Slider::SliderStyle style, juce::Slider& slider) override;

    /** One colour of the palette: a framework colour id and its ARGB value. */
    struct PaletteEntry
    {
        int colourId;
        juce::uint32 argb;
    };

    /** The palette, in the order the constructor sets it. Any thread. */
    static const std::vector<PaletteEntry>& getPalette();

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (VQLookAndFeel)
};
