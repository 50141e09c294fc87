// The build's picture maker: renders one SVG source of the program's artwork to a PNG
// of a given size, which the build then compiles into the program.
//
//   vorniq_artwork_renderer <source.svg> <out.png> <width> <height>
#include <juce_gui_basics/juce_gui_basics.h>

#include <iostream>

namespace
{
    int fail (const juce::String& message)
    {
        std::cerr << "vorniq_artwork_renderer: " << message << std::endl;
        return 1;
    }
}

int main (int argc, char* argv[])
{
    if (argc != 5)
        return fail ("usage: vorniq_artwork_renderer <source.svg> <out.png> <width> <height>");

    // Drawables are components; JUCE wants its message manager around them.
    const juce::ScopedJuceInitialiser_GUI juceInitialiser;

    const juce::File source (juce::File::getCurrentWorkingDirectory().getChildFile (argv[1]));
    const juce::File target (juce::File::getCurrentWorkingDirectory().getChildFile (argv[2]));
    const auto width = juce::String (argv[3]).getIntValue();
    const auto height = juce::String (argv[4]).getIntValue();

    if (width <= 0 || height <= 0 || width > 16384 || height > 16384)
        return fail ("the size must be between 1 and 16384 pixels each way");

    auto svg = juce::XmlDocument::parse (source);

    if (svg == nullptr)
        return fail ("cannot read " + source.getFullPathName() + " as SVG");

    auto drawable = juce::Drawable::createFromSVG (*svg);

    if (drawable == nullptr)
        return fail (source.getFullPathName() + " holds no picture");

    juce::Image picture (juce::Image::ARGB, width, height, true);

    {
        juce::Graphics g (picture);
        drawable->drawWithin (g, juce::Rectangle<float> (0.0f, 0.0f, (float) width, (float) height),
                              juce::RectanglePlacement::stretchToFit, 1.0f);
    }

    // Written beside the target first, so an interrupted build never leaves half a PNG.
    const auto partial = target.getSiblingFile (target.getFileName() + ".part");
    partial.deleteFile();

    {
        juce::FileOutputStream out (partial);
        juce::PNGImageFormat png;

        if (out.failedToOpen() || ! png.writeImageToStream (picture, out))
            return fail ("cannot write " + partial.getFullPathName());
    }

    if (! partial.moveFileTo (target))
        return fail ("cannot write " + target.getFullPathName());

    return 0;
}
