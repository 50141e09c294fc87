#include "ui/VQLookAndFeel.h"
#include "ui/VQComboBox.h"
#include "shell/AppFonts.h"
#include "shell/Settings.h"

namespace
{
    constexpr float buttonCornerSize = 4.0f;
    constexpr juce::uint32 thumbDiscColour = 0xff212121;
}

const std::vector<VQLookAndFeel::PaletteEntry>& VQLookAndFeel::getPalette()
{
    using namespace juce;

    static const std::vector<PaletteEntry> palette {
        { PopupMenu::backgroundColourId,             0xff262626 },
        { PopupMenu::textColourId,                   0xff8c8c8c },
        { PopupMenu::highlightedTextColourId,        0xffdedede },
        { PopupMenu::highlightedBackgroundColourId,  0xff5273b6 },
        { TextEditor::backgroundColourId,            0xff262626 },
        { TextEditor::outlineColourId,               0xff8c8c8c },
        { TextEditor::textColourId,                  0xff8c8c8c },
        { TextEditor::highlightColourId,             0xff5273b6 },
        { TextEditor::highlightedTextColourId,       0xffdedede },
        { TextEditor::focusedOutlineColourId,        0xff8c8c8c },
        { CaretComponent::caretColourId,             0xff8c8c8c },
        { TextButton::buttonColourId,                0xff262626 },
        { TextButton::textColourOffId,               0xff8c8c8c },
        { ComboBox::buttonColourId,                  0xff262626 },
        { ComboBox::textColourId,                    0xff8c8c8c },
        { ComboBox::arrowColourId,                   0xff8c8c8c },
        { ComboBox::outlineColourId,                 0xff5c5c5c },
        { AlertWindow::backgroundColourId,           0xff1a1a1a },
        { AlertWindow::textColourId,                 0xff8c8c8c },
        { AlertWindow::outlineColourId,              0xff000000 },
        { ProgressBar::backgroundColourId,           0xff262626 },
        { ProgressBar::foregroundColourId,           0xff8c8c8c },
        { BubbleComponent::backgroundColourId,       0xff3d527d },
        { TooltipWindow::textColourId,               0xffe6faff },
    };

    return palette;
}

VQLookAndFeel::VQLookAndFeel()
{
    for (auto& entry : getPalette())
        setColour (entry.colourId, juce::Colour (entry.argb));
}

juce::Typeface::Ptr VQLookAndFeel::getTypefaceForFont (const juce::Font& font)
{
    auto& defaults = getDefaultTypefaceNames();
    auto name = font.getTypefaceName();
    juce::String face;

    if (name == juce::Font::getDefaultSansSerifFontName())
        face = defaults.sansSerif;
    else if (name == juce::Font::getDefaultSerifFontName())
        face = defaults.serif;
    else if (name == juce::Font::getDefaultMonospacedFontName())
        face = defaults.monospaced;
    else
        face = findInstalledTypeface (name, isJapaneseLanguage());

    juce::Font mapped (font);
    mapped.setTypefaceName (face);
    return juce::Typeface::createSystemTypefaceFor (mapped);
}

void VQLookAndFeel::drawButtonBackground (juce::Graphics& g, juce::Button& button, const juce::Colour& backgroundColour,
                                          bool shouldDrawButtonAsHighlighted, bool shouldDrawButtonAsDown)
{
    auto base = backgroundColour.withMultipliedSaturation (button.hasKeyboardFocus (true) ? 1.3f : 0.9f)
                                .withMultipliedAlpha (button.isEnabled() ? 0.9f : 0.5f);

    if (shouldDrawButtonAsDown || shouldDrawButtonAsHighlighted)
        base = base.contrasting (shouldDrawButtonAsDown ? 0.2f : 0.1f);

    auto width = (float) button.getWidth() - 1.0f;
    auto height = (float) button.getHeight() - 1.0f;

    if (width <= 0.0f || height <= 0.0f)
        return;

    auto flatOnLeft = button.isConnectedOnLeft();
    auto flatOnRight = button.isConnectedOnRight();
    auto flatOnTop = button.isConnectedOnTop();
    auto flatOnBottom = button.isConnectedOnBottom();

    juce::Path outline;
    outline.addRoundedRectangle (0.5f, 0.5f, width, height, buttonCornerSize, buttonCornerSize,
                                 ! (flatOnLeft || flatOnTop),
                                 ! (flatOnRight || flatOnTop),
                                 ! (flatOnLeft || flatOnBottom),
                                 ! (flatOnRight || flatOnBottom));

    g.setColour (base);
    g.fillPath (outline);

    g.setColour (button.findColour (juce::TextButton::textColourOffId));
    g.strokePath (outline, juce::PathStrokeType (1.0f));
}

void VQLookAndFeel::drawComboBox (juce::Graphics& g, int width, int height, bool /*isButtonDown*/,
                                  int buttonX, int buttonY, int buttonW, int buttonH, juce::ComboBox& box)
{
    auto area = juce::Rectangle<int> (0, 0, width, height).toFloat();

    g.setColour (box.findColour (juce::ComboBox::buttonColourId));
    g.fillRoundedRectangle (area, 4.0f);

    g.setColour (box.findColour (juce::ComboBox::outlineColourId));
    g.drawRoundedRectangle (area, 6.0f, 2.0f);

    auto bx = (float) buttonX, by = (float) buttonY, bw = (float) buttonW, bh = (float) buttonH;
    juce::Path arrow;
    arrow.addTriangle (bx + 0.5f * bw, by + 0.7f * bh,
                       bx + 0.7f * bw, by + 0.4f * bh,
                       bx + 0.3f * bw, by + 0.4f * bh);

    g.setColour (box.findColour (juce::ComboBox::arrowColourId).withMultipliedAlpha (box.isEnabled() ? 1.0f : 0.3f));
    g.fillPath (arrow);
}

void VQLookAndFeel::positionComboBoxText (juce::ComboBox& box, juce::Label& label)
{
    if (dynamic_cast<VQComboBox*> (&box) == nullptr)
    {
        LookAndFeel_V3::positionComboBoxText (box, label);
        return;
    }

    // The icon square takes the left of the box.
    label.setBounds (30, 1, box.getWidth() - box.getHeight() - 20, box.getHeight() - 2);
    label.setFont (getComboBoxFont (box));
}

void VQLookAndFeel::drawLinearSliderBackground (juce::Graphics& g, int x, int y, int width, int height,
                                                float /*sliderPos*/, float /*minSliderPos*/, float /*maxSliderPos*/,
                                                juce::Slider::SliderStyle /*style*/, juce::Slider& slider)
{
    auto thickness = (float) (getSliderThumbRadius (slider) - 4);
    juce::Rectangle<float> track;

    if (slider.isHorizontal())
        track = { (float) x - thickness / 2.0f, (float) y + (float) height / 2.0f - thickness / 2.0f,
                  (float) width + thickness, thickness };
    else
        track = { (float) x + (float) width / 2.0f - thickness / 2.0f, (float) y - thickness / 2.0f,
                  thickness, (float) height + thickness };

    g.setColour (slider.findColour (juce::Slider::trackColourId));
    g.fillRoundedRectangle (track, 2.5f);
}

void VQLookAndFeel::drawLinearSliderThumb (juce::Graphics& g, int x, int y, int width, int height,
                                           float sliderPos, float minSliderPos, float maxSliderPos,
                                           juce::Slider::SliderStyle style, juce::Slider& slider)
{
    if (style != juce::Slider::LinearHorizontal && style != juce::Slider::LinearVertical)
    {
        LookAndFeel_V3::drawLinearSliderThumb (g, x, y, width, height, sliderPos, minSliderPos, maxSliderPos, style, slider);
        return;
    }

    auto centre = style == juce::Slider::LinearHorizontal
                      ? juce::Point<float> (sliderPos, (float) y + (float) height / 2.0f)
                      : juce::Point<float> ((float) x + (float) width / 2.0f, sliderPos);
    auto radius = (float) getSliderThumbRadius (slider);

    g.setColour (juce::Colour (thumbDiscColour));
    g.fillEllipse (juce::Rectangle<float> (2.0f * (radius - 1.0f), 2.0f * (radius - 1.0f)).withCentre (centre));

    g.setColour (slider.findColour (juce::Slider::thumbColourId));
    g.drawEllipse (juce::Rectangle<float> (2.0f * (radius - 4.0f), 2.0f * (radius - 4.0f)).withCentre (centre), 4.0f);
}
