#include "shell/MainWindow.h"
#include "shell/ApplicationCommands.h"
#include "shell/CameraFolder.h"
#include "content/MainContentComponent.h"
#include "ui/VQLookAndFeel.h"

juce::File cameraFolder;

namespace
{
    VQLookAndFeel& getApplicationLookAndFeel()
    {
        static VQLookAndFeel lookAndFeel;
        return lookAndFeel;
    }
}

MainWindow::MainWindow (const juce::String& name)
    : juce::DocumentWindow (name, juce::Colour (0xffd3d3d3), juce::DocumentWindow::allButtons, true)
{
    auto& lookAndFeel = getApplicationLookAndFeel();
    lookAndFeel.setUsingNativeAlertWindows (true);
    juce::LookAndFeel::setDefaultLookAndFeel (&lookAndFeel);

    setUsingNativeTitleBar (true);

    auto* content = new MainContentComponent();
    content->setMainWindow (this);
    setContentOwned (content, true);

    setResizable (true, true);
    content->setSizeLimits (1040, 400, 32768, 32768);
    setConstrainer (content);

    centreWithSize (getWidth(), getHeight());
    setVisible (true);
}

MainWindow::~MainWindow()
{
    setConstrainer (nullptr);
    clearContentComponent();
    deleteCommandManager();
}

MainContentComponent* MainWindow::getContent() const
{
    return dynamic_cast<MainContentComponent*> (getContentComponent());
}

void MainWindow::setCameraFolder (const juce::File& folder)
{
    cameraFolder = folder;

    if (auto* content = getContent())
        content->cameraFolderChanged();
}

void MainWindow::moved()
{
    juce::DocumentWindow::moved();

    if (auto* child = getContentComponent())
        child->moved();
}

void MainWindow::closeButtonPressed()
{
    if (auto* app = juce::JUCEApplicationBase::getInstance())
        app->systemRequestedQuit();
}
