#include "ui/VQComboBox.h"

VQComboBox::VQComboBox()
    : juce::ComboBox (juce::String())
{
    // Clicks on the icon open the list like clicks anywhere else on the box.
    selectedIcon.setInterceptsMouseClicks (false, false);
    addAndMakeVisible (selectedIcon);
}

void VQComboBox::addItem (const juce::Image& icon, const juce::String& text, int itemId)
{
    juce::ComboBox::addItem (text, itemId);
    itemImages[itemId] = icon;

    if (! icon.isValid())
        return;

    // The pop-up list is a copy of the box's own menu, so the icon set here shows in
    // the list next to the item's text.
    for (juce::PopupMenu::MenuItemIterator items (*getRootMenu(), true); items.next();)
    {
        auto& item = items.getItem();

        if (item.itemID == itemId && ! item.isSeparator)
        {
            item.image = std::make_unique<juce::DrawableImage> (icon);
            break;
        }
    }
}

juce::Image VQComboBox::getItemImage (int itemId) const
{
    auto found = itemImages.find (itemId);
    return found != itemImages.end() ? found->second : juce::Image();
}

void VQComboBox::resized()
{
    juce::ComboBox::resized();
    selectedIcon.setBounds (2, 0, getHeight(), getHeight());
}

void VQComboBox::valueChanged (juce::Value& value)
{
    juce::ComboBox::valueChanged (value);
    selectedIcon.setImage (getItemImage (getSelectedId()));
}
