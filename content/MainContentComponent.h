// The main window's content: for now the empty stage that the browser, the players
// and the editor will fill, with the window's size limits.
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

class MainContentComponent : public juce::Component,
                             public juce::ComponentBoundsConstrainer
{
public:
    MainContentComponent();
    ~MainContentComponent() override;

    /** The window this content lives in; it outlives the content. Message thread. */
    void setMainWindow (juce::DocumentWindow* window);

    /** The camera folder has changed (see cameraFolder). Message thread. */
    void cameraFolderChanged();

    void paint (juce::Graphics& g) override;
    void moved() override;

private:
    juce::DocumentWindow* mainWindow = nullptr; // owns this component

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MainContentComponent)
};
