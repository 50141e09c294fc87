// The X11 declarations of JUCE's window system, in this file only: the X headers
// define names (None, Bool, Status) that the rest of the program must not see.
#define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1
#include "shell/NativeWindowLimits.h"

void giveNativeWindowHints (juce::ComponentPeer& peer, const juce::ComponentBoundsConstrainer& constrainer)
{
    auto* windows = juce::XWindowSystem::getInstanceWithoutCreating();
    auto* x11 = juce::X11Symbols::getInstance();

    if (windows == nullptr || windows->getDisplay() == nullptr)
        return;

    // The same numbers JUCE gives: physical pixels, the limits less the frame.
    auto bounds = juce::Desktop::getInstance().getDisplays().logicalToPhysical (peer.getBounds());
    juce::BorderSize<int> frame;

    if (const auto& known = peer.getFrameSizeIfPresent())
        frame = *known;

    auto factor = peer.getPlatformScaleFactor();

    juce::XWindowSystemUtilities::ScopedXLock lock;

    if (auto* hints = x11->xAllocSizeHints())
    {
        hints->flags = USPosition | USSize | PMinSize | PMaxSize;
        hints->x = bounds.getX();
        hints->y = bounds.getY();
        hints->width = bounds.getWidth();
        hints->height = bounds.getHeight();
        hints->min_width  = juce::jmax (1, (int) (factor * constrainer.getMinimumWidth())  - frame.getLeftAndRight());
        hints->max_width  = juce::jmax (1, (int) (factor * constrainer.getMaximumWidth())  - frame.getLeftAndRight());
        hints->min_height = juce::jmax (1, (int) (factor * constrainer.getMinimumHeight()) - frame.getTopAndBottom());
        hints->max_height = juce::jmax (1, (int) (factor * constrainer.getMaximumHeight()) - frame.getTopAndBottom());
        x11->xSetWMNormalHints (windows->getDisplay(), (::Window) peer.getNativeHandle(), hints);
        x11->xFree (hints);
    }
}
