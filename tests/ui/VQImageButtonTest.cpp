// The picture button: which picture each state shows, and where it goes.
#include "ui/VQImageButton.h"

#include "RenderedImages.h"

#include <gtest/gtest.h>

namespace
{
    const juce::Colour normalColour (0xff2040c0), overColour (0xff20c040), downColour (0xffc02040),
                       disabledColour (0xff808080);

    // Which of the four solid pictures the button drew at a point; "none" when nothing.
    juce::String shownAt (const juce::Image& image, int x, int y)
    {
        auto pixel = image.getPixelAt (x, y);

        if (pixel.getAlpha() == 0)
            return "none";

        for (auto [name, colour] : { std::pair<const char*, juce::Colour> { "normal", normalColour }, { "over", overColour },
                                     { "down", downColour }, { "disabled", disabledColour } })
            if (sameColour (pixel, colour))
                return name;

        return "other " + pixel.toDisplayString (true);
    }

    juce::Image renderInState (VQImageButton& button, juce::Button::ButtonState state)
    {
        button.setState (state);
        return renderComponent (button);
    }
}

TEST (VQImageButton, StartsWithoutPicturesScaledToFitWithProportionsKept)
{
    VQImageButton button ("Play");
    EXPECT_EQ (button.getName(), "Play");
    EXPECT_EQ (button.getButtonText(), "Play");
    button.setSize (40, 40);
    auto image = renderComponent (button);
    EXPECT_EQ (countPixels (image, [] (juce::Colour c) { return c.getAlpha() > 0; }), 0) << "no pictures: nothing drawn";
    EXPECT_TRUE (button.getImageBounds().isEmpty());
}

TEST (VQImageButton, ChoosesThePictureOfItsState)
{
    struct Pictures { bool normal, over, down, disabled; };
    struct Case
    {
        const char* name;
        Pictures pictures;
        bool enabled, toggledOn;
        juce::Button::ButtonState state;
        const char* expected;
    };

    const Pictures all { true, true, true, true };
    const Case cases[] = {
        { "normal", all, true, false, juce::Button::buttonNormal, "normal" },
        { "mouse over", all, true, false, juce::Button::buttonOver, "over" },
        { "down", all, true, false, juce::Button::buttonDown, "down" },
        { "toggled on", all, true, true, juce::Button::buttonNormal, "down" },
        { "toggled on and hovered", all, true, true, juce::Button::buttonOver, "down" },
        { "disabled", all, false, false, juce::Button::buttonNormal, "disabled" },
        { "disabled and toggled on", all, false, true, juce::Button::buttonNormal, "disabled" },
        { "toggled on without a down picture", { true, true, false, true }, true, true, juce::Button::buttonNormal, "over" },
        { "down without a down picture", { true, true, false, true }, true, false, juce::Button::buttonDown, "over" },
        { "toggled on without down and over", { true, false, false, true }, true, true, juce::Button::buttonNormal, "normal" },
        { "over without an over picture", { true, false, true, true }, true, false, juce::Button::buttonOver, "normal" },
        { "disabled without a disabled picture", { true, true, true, false }, false, false, juce::Button::buttonNormal, "none" },
        { "without a normal picture", { false, true, true, true }, true, false, juce::Button::buttonNormal, "none" },
    };

    for (auto& c : cases)
    {
        VQImageButton button ("Test");
        button.setSize (30, 30);
        auto picture = [] (bool present, juce::Colour colour) { return present ? solidPicture (60, 60, colour) : juce::Image(); };
        button.setStateImages (picture (c.pictures.normal, normalColour), picture (c.pictures.over, overColour),
                               picture (c.pictures.down, downColour), picture (c.pictures.disabled, disabledColour));
        button.setEnabled (c.enabled);
        button.setToggleState (c.toggledOn, juce::dontSendNotification);

        auto image = renderInState (button, c.state);
        EXPECT_EQ (shownAt (image, 15, 15), c.expected) << c.name;

        if (juce::String (c.expected) == "none")
        {
            EXPECT_EQ (countPixels (image, [] (juce::Colour p) { return p.getAlpha() > 0; }), 0) << c.name << ": nothing at all";
        }
    }
}

TEST (VQImageButton, ASquarePictureOnA41By30ButtonIsDrawn30By30AtXFive)
{
    VQImageButton button ("Info");
    button.setStateImages (solidPicture (78, 78, normalColour), {}, {}, {});
    button.setSize (41, 30);

    auto image = renderComponent (button);
    EXPECT_EQ (button.getImageBounds(), juce::Rectangle<int> (5, 0, 30, 30));
    EXPECT_EQ (boundsOfPixels (image, [] (juce::Colour c) { return sameColour (c, normalColour); }),
               juce::Rectangle<int> (5, 0, 30, 30));
    EXPECT_EQ (shownAt (image, 4, 15), "none");
    EXPECT_EQ (shownAt (image, 35, 15), "none");
}

TEST (VQImageButton, PlacesPicturesByItsTwoFlags)
{
    struct Case
    {
        int imageWidth, imageHeight, buttonWidth, buttonHeight;
        bool scaleToFit, keepProportions;
        juce::Rectangle<int> expected;
    };

    const Case cases[] = {
        // Scaled, proportions kept: as high as the button, or as wide, centred.
        { 78, 78, 41, 30, true, true, { 5, 0, 30, 30 } },
        { 78, 78, 30, 41, true, true, { 0, 5, 30, 30 } },
        { 98, 78, 49, 39, true, true, { 0, 0, 49, 39 } },
        { 100, 50, 40, 40, true, true, { 0, 10, 40, 20 } },
        { 36, 36, 18, 18, true, true, { 0, 0, 18, 18 } },
        { 162, 62, 81, 31, true, true, { 0, 0, 81, 31 } },
        { 3, 2, 10, 10, true, true, { 0, 1, 10, 7 } },   // 6.67 rounds to 7; the leftover 3 leaves 1 above
        // Stretched over the whole button.
        { 78, 78, 41, 30, true, false, { 0, 0, 41, 30 } },
        // At its own size, centred by integer division.
        { 20, 10, 41, 30, false, true, { 10, 10, 20, 10 } },
        { 60, 60, 41, 30, false, false, { -9, -15, 60, 60 } },
    };

    for (auto& c : cases)
        EXPECT_EQ (VQImageButton::placeImage (c.imageWidth, c.imageHeight, c.buttonWidth, c.buttonHeight,
                                              c.scaleToFit, c.keepProportions),
                   c.expected)
            << c.imageWidth << " x " << c.imageHeight << " in " << c.buttonWidth << " x " << c.buttonHeight
            << (c.scaleToFit ? " scaled" : " unscaled") << (c.keepProportions ? ", proportional" : "");

    // The button draws where it says.
    VQImageButton button ("Test");
    button.setStateImages (solidPicture (20, 10, normalColour), {}, {}, {});
    button.setImagePlacement (false, true);
    button.setSize (41, 30);
    auto image = renderComponent (button);
    EXPECT_EQ (button.getImageBounds(), juce::Rectangle<int> (10, 10, 20, 10));
    EXPECT_EQ (boundsOfPixels (image, [] (juce::Colour c) { return c.getAlpha() > 0; }), juce::Rectangle<int> (10, 10, 20, 10));
}

TEST (VQImageButton, NewPicturesRepaintAndClicksStillReachListeners)
{
    VQImageButton button ("Toggle");
    button.setSize (30, 30);
    button.setClickingTogglesState (true);
    button.setStateImages (solidPicture (30, 30, normalColour), solidPicture (30, 30, overColour), {}, {});

    struct Counter : juce::Button::Listener
    {
        void buttonClicked (juce::Button*) override { ++clicks; }
        int clicks = 0;
    } counter;

    button.addListener (&counter);
    button.setToggleState (true, juce::sendNotification);
    EXPECT_EQ (counter.clicks, 1);
    EXPECT_EQ (shownAt (renderComponent (button), 15, 15), "over");

    button.setStateImages (solidPicture (30, 30, normalColour), {}, solidPicture (30, 30, downColour), {});
    EXPECT_EQ (shownAt (renderComponent (button), 15, 15), "down");
    button.removeListener (&counter);
}
