#include "shell/MainWindow.h"
#include "shell/ApplicationCommands.h"
#include "shell/CameraFolder.h"
#include "shell/NativeWindowLimits.h"
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

    // JUCE gives the native window its limits on every configure event, replacing
    // the placement it asked for; before the window manager has placed the window
    // only the placement counts, so the native window has no constrainer until then.
    if (auto* peer = getPeer())
        peer->setConstrainer (nullptr);

    centreWithSize (getWidth(), getHeight());
    openingBounds = getBounds();
    giveWindowManagerHints();
    setVisible (true);
    shown = true;
}

void MainWindow::returnToOpeningPlace()
{
    // Give or take the window manager's frame.
    constexpr int frameAllowance = 64;

    if (std::abs (getX() - openingBounds.getX()) > frameAllowance || std::abs (getY() - openingBounds.getY()) > frameAllowance)
        setBounds (openingBounds);
}

void MainWindow::giveWindowManagerHints()
{
    if (auto* peer = getPeer())
        if (auto* constrainer = getConstrainer())
            giveNativeWindowHints (*peer, *constrainer);
}

void MainWindow::broughtToFront()
{
    juce::DocumentWindow::broughtToFront();

    // The first time after showing (not the call from inside setVisible) is when the
    // window manager has mapped, and so placed, the window: from now on the native
    // window keeps its limits itself.
    if (shown && ! placed)
    {
        if (auto* peer = getPeer(); peer != nullptr && peer->getConstrainer() == nullptr)
            peer->setConstrainer (getConstrainer());

        placed = true;
        giveWindowManagerHints();
        returnToOpeningPlace();
    }
}

void MainWindow::paint (juce::Graphics& g)
{
    juce::DocumentWindow::paint (g);

    // JUCE moves a new window once more just before its first picture, handing over
    // only its placement; the limits go with it again.
    if (! painted)
    {
        painted = true;
        giveWindowManagerHints();

        // Not from inside the paint: moving the window repaints it.
        if (placed)
            juce::MessageManager::callAsync ([window = SafePointer<MainWindow> (this)]
            {
                if (window != nullptr)
                    window->returnToOpeningPlace();
            });
    }
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
