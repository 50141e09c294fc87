// The application's look and feel.
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

/** The program's look and feel. It maps the framework's placeholder typefaces to the
    run's default typefaces, falling back to installed faces so that Japanese never
    draws as empty boxes. Message thread. */
class VQLookAndFeel : public juce::LookAndFeel_V4
{
public:
    VQLookAndFeel();

    juce::Typeface::Ptr getTypefaceForFont (const juce::Font& font) override;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (VQLookAndFeel)
};
