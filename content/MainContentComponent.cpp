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
}

void MainContentComponent::moved()
{
}
