#include "content/MainContentComponent.h"
#include "shell/CameraFolder.h"
#include "shell/DebugLog.h"

MainContentComponent::MainContentComponent()
{
    setSize (1040, 600);
}

MainContentComponent::~MainContentComponent() = default;

void MainContentComponent::setMainWindow (juce::DocumentWindow* window)
{
    mainWindow = window;
}

void MainContentComponent::cameraFolderChanged()
{
    debugLog ("camera folder: \"%s\"", cameraFolder.getFullPathName().toRawUTF8());
    repaint();
}

void MainContentComponent::paint (juce::Graphics& g)
{
    g.fillAll (juce::Colour (0xff1e1f22));

    auto area = getLocalBounds().toFloat();
    g.setColour (juce::Colour (0xffe6e6e6));
    g.setFont (juce::Font (juce::Font::getDefaultSansSerifFontName(), 44.0f, juce::Font::bold));
    g.drawText ("Vorniq", area.withTrimmedBottom (40.0f), juce::Justification::centred);
    g.setColour (juce::Colour (0xff8a8d93));
    g.setFont (juce::Font (juce::Font::getDefaultSansSerifFontName(), 16.0f, juce::Font::plain));
    g.drawText (juce::translate ("Connect a camera or add recordings to begin."), area.withTrimmedTop (50.0f),
                juce::Justification::centred);
}

void MainContentComponent::moved()
{
}
