// Windows on the test display without a window manager.
#pragma once

/** Makes X errors non-fatal, as the application does for itself: JUCE installs its
    forgiving X error handler only in a JUCE application, and without a window manager
    some of its window-state queries fail harmlessly. Call before adding a window to
    the desktop. Message thread. */
void tolerateXErrorsLikeTheApplication();
