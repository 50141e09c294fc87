// The icon combo box: the selected item's icon in the square at the left, and every
// item's icon in the pop-up list.
#include "ui/VQComboBox.h"
#include "ui/VQLookAndFeel.h"

#include "DesktopErrors.h"
#include "MessageLoop.h"
#include "RenderedImages.h"

#include <gtest/gtest.h>

namespace
{
    const juce::Colour iconColours[] = { juce::Colour (0xffe03030), juce::Colour (0xff30e030),
                                         juce::Colour (0xff3030e0), juce::Colour (0xffe0e030) };

    struct IconBox
    {
        IconBox()
        {
            box.setLookAndFeel (&lookAndFeel);

            for (int i = 0; i < 4; ++i)
                box.addItem (solidPicture (62, 62, iconColours[i]), "Item " + juce::String (i + 1), i + 1);

            box.setSize (180, 21);
        }

        ~IconBox()
        {
            box.setLookAndFeel (nullptr);
        }

        VQLookAndFeel lookAndFeel;
        VQComboBox box;
    };

    // The component on the desktop that is a pop-up menu, once it is fully shown.
    juce::Component* findShownMenu (juce::Component* except)
    {
        for (int i = juce::Desktop::getInstance().getNumComponents(); --i >= 0;)
            if (auto* c = juce::Desktop::getInstance().getComponent (i))
                if (c != except && c->isShowing() && c->getAlpha() >= 1.0f && c->getNumChildComponents() > 0)
                    return c;

        return nullptr;
    }
}

TEST (VQComboBox, StartsEmptyWithTheIconSquareAsAVisibleChild)
{
    VQComboBox box;
    EXPECT_TRUE (box.getName().isEmpty());
    EXPECT_EQ (box.getNumItems(), 0);
    box.setSize (180, 21);
    EXPECT_EQ (box.getSelectedIconBounds(), juce::Rectangle<int> (2, 0, 21, 21));
    EXPECT_FALSE (box.getSelectedIcon().isValid());

    bool iconChildVisible = false;
    for (auto* child : box.getChildren())
        if (dynamic_cast<juce::ImageComponent*> (child) != nullptr)
            iconChildVisible = child->isVisible();
    EXPECT_TRUE (iconChildVisible);
}

TEST (VQComboBox, SelectingAnItemShowsItsIconInTheSquareAtTheLeft)
{
    IconBox b;
    EXPECT_EQ (b.box.getNumItems(), 4);
    EXPECT_EQ (b.box.getItemText (2), "Item 3");
    EXPECT_EQ (b.box.getItemId (2), 3);

    for (int id : { 3, 1, 4 })
    {
        b.box.setSelectedId (id, juce::dontSendNotification);
        ASSERT_TRUE (runMessageLoopUntil ([&] { return b.box.getSelectedIcon() == b.box.getItemImage (id); }, 2000))
            << "the icon follows the selection once the selection's value has changed";

        auto image = renderComponent (b.box);
        auto square = boundsOfPixels (image, [&] (juce::Colour c) { return sameColour (c, iconColours[id - 1], 4); });
        EXPECT_EQ (square, juce::Rectangle<int> (2, 0, 21, 21)) << "item " << id;

        // The text is set off to the right of the square.
        auto text = boundsOfPixels (image.getClippedImage ({ 24, 0, 130, 21 }),
                                    [] (juce::Colour c) { return sameColour (c, juce::Colour (0xff8c8c8c), 40); });
        EXPECT_FALSE (text.isEmpty()) << "item " << id << ": its text is drawn";
        EXPECT_GE (text.getX() + 24, 30);
    }

    // An item added without an icon shows an empty square.
    b.box.addItem (juce::Image(), "No icon", 9);
    b.box.addItem ("Plain", 10);
    b.box.setSelectedId (9, juce::dontSendNotification);
    ASSERT_TRUE (runMessageLoopUntil ([&] { return ! b.box.getSelectedIcon().isValid(); }, 2000));
    b.box.setSelectedId (10, juce::dontSendNotification);
    runMessageLoopUntil ([] { return false; }, 100);
    EXPECT_FALSE (b.box.getSelectedIcon().isValid());
    EXPECT_FALSE (b.box.getItemImage (10).isValid());
}

TEST (VQComboBox, ThePopUpListShowsEveryItemWithItsIcon)
{
    IconBox b;
    b.box.addSeparator();
    b.box.addItem ("Plain", 10);

    tolerateXErrorsLikeTheApplication();
    juce::Component window;
    window.setBounds (100, 100, 300, 60);
    window.addAndMakeVisible (b.box);
    b.box.setTopLeftPosition (20, 20);
    window.addToDesktop (juce::ComponentPeer::windowIsTemporary);
    window.setVisible (true);
    ASSERT_TRUE (runMessageLoopUntil ([&] { return b.box.isShowing(); }, 5000));
    // Pop-up menus close when the program is not in front.
    window.toFront (true);
    ASSERT_TRUE (runMessageLoopUntil ([] { return juce::Process::isForegroundProcess(); }, 5000));

    b.box.setSelectedId (2, juce::dontSendNotification);
    b.box.showPopup();

    juce::Component* menu = nullptr;
    ASSERT_TRUE (runMessageLoopUntil ([&] { return (menu = findShownMenu (&window)) != nullptr; }, 5000))
        << "the pop-up list did not appear (is there a display?)";
    runMessageLoopUntil ([] { return false; }, 200);
    menu = findShownMenu (&window);
    ASSERT_NE (menu, nullptr);

    auto image = renderComponent (*menu);
    writeScreenshot (image, "ui/combo-box-pop-up-list");

    // Each item's icon, in item order from the top, at the left of its row.
    int previousBottom = -1;

    for (int i = 0; i < 4; ++i)
    {
        auto icon = boundsOfPixels (image, [&] (juce::Colour c) { return sameColour (c, iconColours[i], 6); });
        ASSERT_FALSE (icon.isEmpty()) << "item " << i + 1 << " shows no icon";
        EXPECT_LT (icon.getX(), 20) << "item " << i + 1 << ": the icon is at the left of its row";
        EXPECT_GE (icon.getWidth(), 8);
        EXPECT_NEAR (icon.getWidth(), icon.getHeight(), 1) << "square icons stay square";
        EXPECT_GT (icon.getY(), previousBottom) << "item " << i + 1 << " is below the one before";
        previousBottom = icon.getBottom();
    }

    juce::PopupMenu::dismissAllActiveMenus();
    runMessageLoopUntil ([&] { return findShownMenu (&window) == nullptr; }, 2000);
    window.removeFromDesktop();
}
