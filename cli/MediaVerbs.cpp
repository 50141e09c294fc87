// vorniq-cli probe, frame and trim: a recording looked at, a picture taken from it and
// a range cut from it, each through the same players the program uses.
#include "cli/JsonText.h"
#include "cli/OpenMedia.h"
#include "cli/Verb.h"

#include "playback/VideoPlayer.h"

#include <juce_graphics/juce_graphics.h>

#include <iostream>

namespace
{
    int runProbe (const juce::StringArray& arguments);
    int runFrame (const juce::StringArray& arguments);
    int runTrim (const juce::StringArray& arguments);

    const Verb::Registration probeRegistration ("probe", { "probe <media file>" }, runProbe);
    const Verb::Registration frameRegistration ("frame", { "frame <media file> <seconds> <out.png|out.jpg>" }, runFrame);
    const Verb::Registration trimRegistration ("trim",
                                               { "trim <in.mov> <start> <end> <out.mov> [--audio <file.wav>] [--print-args]" },
                                               runTrim);

    juce::String number (double value)
    {
        return juce::String (value, 6).trimCharactersAtEnd ("0").trimCharactersAtEnd (".");
    }

    int runProbe (const juce::StringArray& arguments)
    {
        auto& verb = *Verb::find ("probe");

        if (arguments.size() != 1)
            return reportUsageError ("probe takes one media file", verb);

        auto file = fileFromArgument (arguments[0]);
        juce::String playerName;
        std::string error;
        auto player = openInProgramsPlayer (file, error, &playerName);

        if (player == nullptr)
            return reportFailure (file.getFullPathName() + ": " + juce::String (error));

        auto info = player->getMediaInfo();
        juce::MemoryOutputStream out;
        out << "{\n"
            << "  \"file\": " << JsonText::quoted (info.file.getFullPathName()) << ",\n"
            << "  \"player\": " << JsonText::quoted (playerName) << ",\n"
            << "  \"kind\": " << info.kind << ",\n"
            << "  \"duration\": " << number (info.duration) << ",\n"
            << "  \"widthOrBitDepth\": " << number (info.widthOrBitDepth) << ",\n"
            << "  \"heightOrSampleRate\": " << number (info.heightOrSampleRate) << ",\n"
            << "  \"sampleRate\": " << number (info.sampleRate) << ",\n"
            << "  \"bitsPerSample\": " << info.bitsPerSample << ",\n"
            << "  \"numChannels\": " << info.numChannels;

        if (auto* video = dynamic_cast<VideoPlayer*> (player.get()))
            out << ",\n  \"frameDurationUs\": " << (juce::int64) video->getFrameDurationUs() << ",\n"
                << "  \"frameRate\": " << JsonText::quoted (juce::String (video->getFrameRateNumerator()) + "/"
                                                            + juce::String (video->getFrameRateDenominator()));

        out << "\n}\n";
        std::cout << out.toString() << std::flush;
        player->close();
        return ExitStatus::success;
    }

    int runFrame (const juce::StringArray& arguments)
    {
        auto& verb = *Verb::find ("frame");
        double seconds = 0.0;

        if (arguments.size() != 3)
            return reportUsageError ("frame takes a media file, a time and an output picture", verb);

        if (! parseSeconds (arguments[1], seconds))
            return reportUsageError ("not a time in seconds: \"" + arguments[1] + "\"", verb);

        auto input = fileFromArgument (arguments[0]);
        auto output = fileFromArgument (arguments[2]);
        std::unique_ptr<juce::ImageFileFormat> format;

        if (output.hasFileExtension ("png"))
            format = std::make_unique<juce::PNGImageFormat>();
        else if (output.hasFileExtension ("jpg;jpeg"))
            format = std::make_unique<juce::JPEGImageFormat>();
        else
            return reportUsageError ("the picture must be a .png or .jpg file", verb);

        VideoPlayer player;
        std::string error;

        if (! player.canOpen (input))
            return reportFailure (input.getFullPathName() + ": pictures come from .mov files");

        if (! player.open (input, &error))
            return reportFailure (input.getFullPathName() + ": " + juce::String (error));

        player.setPosition (seconds);
        player.getNextVideoFrame(); // as the display would show it
        auto image = player.getCurrentFrameImage();

        if (! image.isValid())
            return reportFailure (input.getFullPathName() + ": no picture at " + arguments[1] + " s");

        output.deleteFile();
        juce::FileOutputStream stream (output);

        if (! stream.openedOk() || ! format->writeImageToStream (image, stream))
            return reportFailure ("cannot write \"" + output.getFullPathName() + "\"");

        stream.flush();
        std::cout << "{ \"position\": " << number (player.getPosition()) << " }\n" << std::flush;
        player.close();
        return ExitStatus::success;
    }

    int runTrim (const juce::StringArray& arguments)
    {
        auto& verb = *Verb::find ("trim");
        juce::StringArray positional;
        juce::File audio;
        bool printArguments = false;

        for (int i = 0; i < arguments.size(); ++i)
        {
            if (arguments[i] == "--print-args")
                printArguments = true;
            else if (arguments[i] == "--audio" && i + 1 < arguments.size())
                audio = fileFromArgument (arguments[++i]);
            else if (arguments[i] == "--audio")
                return reportUsageError ("--audio needs a file", verb);
            else
                positional.add (arguments[i]);
        }

        double start = 0.0, end = 0.0;

        if (positional.size() != 4)
            return reportUsageError ("trim takes an input, a start, an end and an output", verb);

        if (! parseSeconds (positional[1], start) || ! parseSeconds (positional[2], end) || end < start)
            return reportUsageError ("the range must be two times in seconds, the end not before the start", verb);

        if (audio != juce::File() && ! audio.existsAsFile())
            return reportFailure ("no such sound file: \"" + audio.getFullPathName() + "\"");

        auto input = fileFromArgument (positional[0]);
        auto output = fileFromArgument (positional[3]);
        VideoPlayer player;
        std::string error;

        if (! player.canOpen (input))
            return reportFailure (input.getFullPathName() + ": only .mov files are trimmed");

        if (! player.open (input, &error))
            return reportFailure (input.getFullPathName() + ": " + juce::String (error));

        if (start > player.getDuration())
            return reportFailure ("the range starts after the end of the recording");

        player.setEndPosition (juce::jmin (end, player.getDuration()));
        player.setStartPosition (start);

        if (printArguments)
        {
            std::cout << player.getTrimArguments (output.getFullPathName(), audio).joinIntoString ("\n") << "\n" << std::flush;
            return ExitStatus::success;
        }

        if (! player.runTrimCommand (output.getFullPathName(), audio))
            return reportFailure ("cannot start the ffmpeg tool");

        if (! output.existsAsFile() || output.getSize() == 0)
            return reportFailure ("the ffmpeg tool wrote no \"" + output.getFullPathName() + "\"");

        return ExitStatus::success;
    }
}
