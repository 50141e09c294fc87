// A combo box whose items carry icons.
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <map>

/**
    A combo box whose items each carry an icon: the selected item's icon is shown in
    a square at the left of the box, and the pop-up list shows every item with its
    icon. The look and feel keeps the text clear of the square. Message thread.
*/
class VQComboBox : public juce::ComboBox
{
public:
    /** An empty box with the icon square as a child. */
    VQComboBox();

    using juce::ComboBox::addItem;

    /** Adds an item with its icon (a null icon leaves the item without one). */
    void addItem (const juce::Image& icon, const juce::String& text, int itemId);

    /** The icon stored for an item id; null when it has none. */
    juce::Image getItemImage (int itemId) const;

    /** The icon the square shows now. */
    juce::Image getSelectedIcon() const { return selectedIcon.getImage(); }

    /** Where the icon square is. */
    juce::Rectangle<int> getSelectedIconBounds() const { return selectedIcon.getBounds(); }

    /** The base class's layout, then the icon square at the left, as high as the box. */
    void resized() override;

    /** The base class's handling of a new selection, then the square shows the icon of
        the selected item. Called asynchronously after the selection changed. */
    void valueChanged (juce::Value& value) override;

private:
    std::map<int, juce::Image> itemImages;
    juce::ImageComponent selectedIcon;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (VQComboBox)
};
