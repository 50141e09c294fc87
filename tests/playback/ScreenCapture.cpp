#include "ScreenCapture.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace
{
    int ignoreError (Display*, XErrorEvent*)
    {
        return 0;
    }

    int shiftOf (unsigned long mask)
    {
        int shift = 0;

        while (mask != 0 && (mask & 1) == 0)
        {
            mask >>= 1;
            ++shift;
        }

        return shift;
    }
}

void tolerateXErrorsLikeTheApplication()
{
    XSetErrorHandler (ignoreError);
}

juce::Image captureScreenArea (juce::Rectangle<int> area)
{
    auto* display = XOpenDisplay (nullptr);

    if (display == nullptr)
        return {};

    XSync (display, False);
    auto root = DefaultRootWindow (display);
    auto* ximage = XGetImage (display, root, area.getX(), area.getY(), (unsigned) area.getWidth(),
                              (unsigned) area.getHeight(), AllPlanes, ZPixmap);
    juce::Image image;

    if (ximage != nullptr)
    {
        image = juce::Image (juce::Image::RGB, area.getWidth(), area.getHeight(), false);
        juce::Image::BitmapData pixels (image, juce::Image::BitmapData::writeOnly);
        auto redShift = shiftOf (ximage->red_mask), greenShift = shiftOf (ximage->green_mask),
             blueShift = shiftOf (ximage->blue_mask);

        for (int y = 0; y < area.getHeight(); ++y)
            for (int x = 0; x < area.getWidth(); ++x)
            {
                auto value = XGetPixel (ximage, x, y);
                pixels.setPixelColour (x, y, juce::Colour ((juce::uint8) ((value & ximage->red_mask) >> redShift),
                                                           (juce::uint8) ((value & ximage->green_mask) >> greenShift),
                                                           (juce::uint8) ((value & ximage->blue_mask) >> blueShift)));
            }

        XDestroyImage (ximage);
    }

    XCloseDisplay (display);
    return image;
}
