// The mounted camera volume, as the application last learned it.
#pragma once

#include <juce_core/juce_core.h>

/** The folder where the connected camera's storage is mounted, or a nonexistent
    file when there is none. Written by MainWindow::setCameraFolder and read by the
    main content component, both on the message thread. */
extern juce::File cameraFolder;
