// The program's one document window: its look, size limits and title bar, and the
// relay of the camera folder to the content component.
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

class MainContentComponent;

class MainWindow : public juce::DocumentWindow
{
public:
    /** Builds, centres and shows the window with its content. Message thread. */
    explicit MainWindow (const juce::String& name);

    ~MainWindow() override;

    /** Stores folder as the camera folder and tells the content component. Message thread. */
    void setCameraFolder (const juce::File& folder);

    /** Remembers the position and tells the content component, which children are
        not told by the framework when only the top-level window moves. */
    void moved() override;

    /** The first time after the window is shown, lets the native window keep its
        size limits from then on. */
    void broughtToFront() override;

    /** Paints the background; the first time, gives the window manager the window's
        placement and limits once more. */
    void paint (juce::Graphics& g) override;

    /** Asks the application to quit (which may first close modal windows). */
    void closeButtonPressed() override;

    /** The content component, which lives as long as the window. */
    MainContentComponent* getContent() const;

private:
    // Placement and size limits, together, for the window manager.
    void giveWindowManagerHints();

    // A window that has just appeared elsewhere than it asked to be (placed by a
    // window manager that read the hints too early, or moved by JUCE to a position it
    // read while the window was being set up) goes where it asked. Called only as the
    // window first appears, never after the user can have moved it.
    void returnToOpeningPlace();

    juce::Rectangle<int> openingBounds;

    bool shown = false, placed = false, painted = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MainWindow)
};
