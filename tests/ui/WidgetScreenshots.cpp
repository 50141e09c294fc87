// Screenshots of every widget in every state, at 1x and 2x, for review by eye. They
// are written under the build tree's screenshots folder; the checks here only make
// sure each sheet was written and shows what it claims.
#include "ui/Artwork.h"
#include "ui/AudioPlayerComponent.h"
#include "ui/VQComboBox.h"
#include "ui/VQImageButton.h"
#include "ui/VQImageSlider.h"
#include "ui/VQLookAndFeel.h"

#include "RenderedImages.h"

#include <gtest/gtest.h>

namespace
{
    const juce::Colour toolbarGrey (0xff262626), editorBlack (0xff1a1a1a);

    // A component painted over a backdrop, at a scale.
    juce::Image renderOn (juce::Component& component, juce::Colour backdrop, float scale)
    {
        auto picture = renderComponent (component, scale);
        juce::Image out (juce::Image::ARGB, picture.getWidth(), picture.getHeight(), true);
        juce::Graphics g (out);
        g.fillAll (backdrop);
        g.drawImageAt (picture, 0, 0);
        return out;
    }

    struct ButtonStateShot
    {
        const char* caption;
        bool enabled, toggled;
        juce::Button::ButtonState state;
    };

    const ButtonStateShot buttonStates[] = {
        { "normal", true, false, juce::Button::buttonNormal },
        { "hover", true, false, juce::Button::buttonOver },
        { "pressed", true, false, juce::Button::buttonDown },
        { "on", true, true, juce::Button::buttonNormal },
        { "disabled", false, false, juce::Button::buttonNormal },
    };

    void addButtonRow (ContactSheet& sheet, const juce::String& base, int width, int height, juce::Colour backdrop, float scale)
    {
        sheet.startRow (base + (scale > 1.0f ? " (2x)" : " (1x)"));

        for (auto& shot : buttonStates)
        {
            VQImageButton button (base);
            auto pictures = getButtonPictures (base);
            button.setStateImages (pictures.normal, pictures.over, pictures.down, pictures.disabled);
            button.setSize (width, height);
            button.setEnabled (shot.enabled);
            button.setToggleState (shot.toggled, juce::dontSendNotification);
            button.setState (shot.state);
            sheet.add (shot.caption, renderOn (button, backdrop, scale));
        }
    }

    juce::File writeSheet (const ContactSheet& sheet, const juce::String& name)
    {
        auto file = writeScreenshot (sheet.render(), name);
        EXPECT_TRUE (file.existsAsFile()) << name;
        return file;
    }

    // The top bar as the main window lays it out: the navigation bar pieces at half
    // scale, Back at the left, Add and Settings (browse view) or Edit (player view) at
    // the right.
    struct TopBar : juce::Component
    {
        explicit TopBar (bool playerView)
        {
            auto place = [this] (VQImageButton& button, const char* base)
            {
                auto pictures = getButtonPictures (base);
                button.setStateImages (pictures.normal, pictures.over, pictures.down, pictures.disabled);
                addAndMakeVisible (button);
            };

            place (back, "back");
            place (settings, "settings");
            place (add, "add");
            place (edit, "edit");
            settings.setVisible (! playerView);
            add.setVisible (! playerView);
            edit.setVisible (playerView);
            edit.setToggleState (playerView, juce::dontSendNotification);
        }

        void paint (juce::Graphics& g) override
        {
            g.addTransform (juce::AffineTransform::scale (0.5f));
            g.setTiledImageFill (getArtwork ("navBarFill"), 0, 0, 1.0f);
            g.fillRect (0, 0, getWidth() * 2, getHeight() * 2);
            g.drawImageAt (getArtwork ("navBarLeft"), 0, 0);
            auto right = getArtwork ("navBarRight");
            g.drawImageAt (right, 2 * getWidth() - right.getWidth(), 0);
        }

        void resized() override
        {
            auto w = getWidth();
            back.setBounds (0, 0, 41, 41);
            settings.setBounds (w - 41, 0, 41, 41);
            add.setBounds (w - 81, 0, 41, 41);
            edit.setBounds (w - 41, 0, 41, 41);
        }

        VQImageButton back { "Back" }, settings { "Settings" }, add { "Add" }, edit { "Edit" };
    };
}

TEST (WidgetScreenshots, ButtonsInEveryState)
{
    ContactSheet toolbar (toolbarGrey);

    for (auto scale : { 1.0f, 2.0f })
    {
        for (auto* base : { "info", "previous", "rewind", "forward", "next", "fullscreen" })
            addButtonRow (toolbar, base, 39, 39, toolbarGrey, scale);

        addButtonRow (toolbar, "play", 49, 39, toolbarGrey, scale);
    }

    writeSheet (toolbar, "ui/toolbar-buttons");

    ContactSheet top (juce::Colour (0xff2c2c2c));
    for (auto scale : { 1.0f, 2.0f })
        for (auto* base : { "back", "settings", "add", "import", "edit" })
            addButtonRow (top, base, 41, 41, juce::Colour (0xff2c2c2c), scale);
    writeSheet (top, "ui/top-bar-buttons");

    ContactSheet editor (editorBlack);
    for (auto scale : { 1.0f, 2.0f })
    {
        for (auto* base : { "trim", "mix", "snapshot" })
            addButtonRow (editor, base, 81, 31, editorBlack, scale);
        for (auto* base : { "cancel", "save", "trimStart", "trimEnd" })
            addButtonRow (editor, base, 61, 31, editorBlack, scale);
    }
    writeSheet (editor, "ui/editor-buttons");

    // Check boxes: the two pictures given as unchecked, unchecked, checked, checked.
    ContactSheet checks (editorBlack);
    for (auto scale : { 1.0f, 2.0f })
    {
        checks.startRow (scale > 1.0f ? "check boxes (2x)" : "check boxes (1x)");
        for (auto& shot : buttonStates)
        {
            VQImageButton box ("Check");
            auto unchecked = getArtwork ("checkBoxUnchecked"), checked = getArtwork ("checkBoxChecked");
            box.setStateImages (unchecked, unchecked, checked, checked);
            box.setSize (18, 18);
            box.setEnabled (shot.enabled);
            box.setToggleState (shot.toggled, juce::dontSendNotification);
            box.setState (shot.state);
            checks.add (shot.caption, renderOn (box, editorBlack, scale));
        }
    }
    writeSheet (checks, "ui/check-boxes");
}

TEST (WidgetScreenshots, SlidersComboBoxesAndTheLookAndFeel)
{
    VQLookAndFeel lookAndFeel;
    ContactSheet sheet (toolbarGrey);

    for (auto scale : { 1.0f, 2.0f })
    {
        sheet.startRow (scale > 1.0f ? "position slider (2x)" : "position slider (1x)");
        for (auto value : { 0.0, 0.35, 1.0 })
        {
            VQImageSlider slider;
            slider.setRange (0.0, 1.0);
            slider.setSliderImages (getArtwork ("positionSliderThumb"), getArtwork ("positionSliderBackground"));
            slider.setColour (juce::Slider::trackColourId, juce::Colour (0xffbdcfd4));
            slider.setSliderStyle (juce::Slider::LinearHorizontal);
            slider.setTextBoxStyle (juce::Slider::NoTextBox, true, 0, 0);
            slider.setValue (value, juce::dontSendNotification);
            slider.setSize (371, 31);
            sheet.add ("value " + juce::String (value), renderOn (slider, toolbarGrey, scale));
        }

        sheet.startRow (scale > 1.0f ? "volume slider (2x)" : "volume slider (1x)");
        for (auto value : { 0.0, 0.6, 1.0 })
        {
            VQImageSlider slider;
            slider.setRange (0.0, 1.0, 0.0);
            slider.setSliderImages (getArtwork ("volumeSliderThumb"), getArtwork ("volumeSliderBackground"));
            slider.setColour (juce::Slider::trackColourId, juce::Colours::transparentBlack);
            slider.setSliderStyle (juce::Slider::LinearBar);
            slider.setTextBoxStyle (juce::Slider::NoTextBox, true, 0, 0);
            slider.setValue (value, juce::dontSendNotification);
            slider.setSize (171, 20);
            sheet.add ("value " + juce::String (value), renderOn (slider, toolbarGrey, scale));
        }

        sheet.startRow (scale > 1.0f ? "look and feel: text buttons (2x)" : "look and feel: text buttons (1x)");
        for (auto& shot : buttonStates)
        {
            juce::TextButton button ("Change...");
            button.setLookAndFeel (&lookAndFeel);
            button.setSize (92, 21);
            button.setEnabled (shot.enabled);
            button.setToggleState (shot.toggled, juce::dontSendNotification);
            button.setState (shot.state);
            sheet.add (shot.caption, renderOn (button, editorBlack, scale));
            button.setLookAndFeel (nullptr);
        }

        sheet.startRow (scale > 1.0f ? "look and feel: combo boxes and a 20-pixel slider (2x)" : "look and feel: combo boxes and a 20-pixel slider (1x)");
        for (auto enabled : { true, false })
        {
            juce::ComboBox box;
            box.setLookAndFeel (&lookAndFeel);
            box.addItem ("Off", 1000);
            box.setSelectedId (1000, juce::dontSendNotification);
            box.setEnabled (enabled);
            box.setSize (180, 21);
            sheet.add (enabled ? "enabled" : "disabled", renderOn (box, editorBlack, scale));
            box.setLookAndFeel (nullptr);
        }

        {
            VQComboBox modes;
            modes.setLookAndFeel (&lookAndFeel);
            modes.addItem (getArtwork ("modeAllMedia"), "All Media", 1);
            modes.addItem (getArtwork ("modeCamera"), "Camera", 4);
            modes.setSize (180, 21);
            modes.setSelectedId (4, juce::dontSendNotification);
            modes.valueChanged (modes.getSelectedIdAsValue());
            sheet.add ("icon box", renderOn (modes, editorBlack, scale));
            modes.setLookAndFeel (nullptr);
        }

        {
            juce::Slider slider (juce::Slider::LinearHorizontal, juce::Slider::NoTextBox);
            slider.setLookAndFeel (&lookAndFeel);
            slider.setColour (juce::Slider::trackColourId, juce::Colour (0xff5c5c5c));
            slider.setColour (juce::Slider::thumbColourId, juce::Colour (0xffd95c36));
            slider.setValue (0.4);
            slider.setRange (0.0, 1.0);
            slider.setValue (0.4);
            slider.setSize (160, 20);
            sheet.add ("slider", renderOn (slider, editorBlack, scale));
            slider.setLookAndFeel (nullptr);
        }
    }

    writeSheet (sheet, "ui/sliders-and-look-and-feel");
}

TEST (WidgetScreenshots, BarsIconsAndPictures)
{
    ContactSheet bars (editorBlack);

    for (auto scale : { 1.0f, 2.0f })
    {
        bars.startRow (scale > 1.0f ? "top bar, browse and player views (2x)" : "top bar, browse and player views (1x)");
        for (auto playerView : { false, true })
        {
            TopBar bar (playerView);
            bar.setSize (scale > 1.0f ? 520 : 1040, 41);
            bars.add (playerView ? "player view" : "browse view", renderOn (bar, editorBlack, scale));
        }
    }

    bars.startRow ("mode icons (62 x 62, and as the mode box shows them)");
    for (auto* name : { "modeAllMedia", "modeRecentlyAdded", "modeAlbums", "modeCamera" })
    {
        auto icon = getArtwork (name);
        bars.add (name, icon);
        juce::Image small (juce::Image::ARGB, 21, 21, true);
        juce::Graphics g (small);
        g.setImageResamplingQuality (juce::Graphics::highResamplingQuality);
        g.drawImage (icon, 0, 0, 21, 21, 0, 0, icon.getWidth(), icon.getHeight());
        bars.add ("21 x 21", small);
    }

    writeSheet (bars, "ui/bars-and-icons");

    AudioPlayerComponent audio;
    audio.setSize (520, 292);
    writeScreenshot (renderComponent (audio), "ui/audio-player-520x292");
    writeScreenshot (getArtwork ("aboutBackground"), "ui/about-background");
}
