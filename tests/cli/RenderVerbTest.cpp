// vorniq-cli render run as a person would run it: a recording without sound is
// refused before anything is written, and a render that fails leaves no file behind.
#include "ChildProgram.h"

#include <gtest/gtest.h>

#include <juce_core/juce_core.h>

namespace
{
    struct Run
    {
        int status;
        std::string out, err;
    };

    Run runProgram (const std::string& program, const std::vector<std::string>& arguments)
    {
        ChildProgram::Options options;
        options.arguments = arguments;
        ChildProgram child (program, options);
        auto status = child.waitForExit (120000);
        return { status.value_or (-1), child.standardOutput(), child.standardError() };
    }

    Run runCli (const std::vector<std::string>& arguments)
    {
        return runProgram (std::string (VORNIQ_BIN_DIR) + "/vorniq-cli", arguments);
    }

    // The tool under a shell that limits the size of files it may write, with the
    // signal for that ignored, so that writing past the limit fails with EFBIG.
    Run runCliWithFileSizeLimit (int limitKiB, const std::vector<std::string>& arguments)
    {
        std::string command = "trap '' XFSZ; ulimit -f " + std::to_string (limitKiB) + "; exec \"$0\" \"$@\"";
        std::vector<std::string> shellArguments { "-c", command, std::string (VORNIQ_BIN_DIR) + "/vorniq-cli" };
        shellArguments.insert (shellArguments.end(), arguments.begin(), arguments.end());
        return runProgram ("/bin/sh", shellArguments);
    }

    std::string testMedia (const char* name)
    {
        return juce::File (VORNIQ_TEST_MEDIA_DIR).getChildFile (name).getFullPathName().toStdString();
    }

    class RenderVerbTest : public ::testing::Test
    {
    protected:
        ScratchFolder scratch;
        juce::File folder { juce::String (scratch.path()) };
    };
}

TEST_F (RenderVerbTest, ARecordingWithoutSoundIsRefusedBeforeTheOutputIsTouched)
{
    auto fresh = folder.getChildFile ("fresh.wav");
    auto earlier = folder.getChildFile ("earlier.wav");
    ASSERT_TRUE (earlier.replaceWithText ("an earlier render"));

    for (const auto& output : { fresh, earlier })
    {
        auto run = runCli ({ "render", testMedia ("silent.mov"), output.getFullPathName().toStdString() });
        EXPECT_NE (run.status, 0) << output.getFileName();
        EXPECT_NE (run.err.find ("has no sound"), std::string::npos) << run.err;
        EXPECT_EQ (run.err.find ("cannot write"), std::string::npos) << run.err;
        EXPECT_TRUE (run.out.empty()) << run.out;
    }

    EXPECT_FALSE (fresh.exists()) << "no output is created for a recording without sound";
    EXPECT_EQ (earlier.loadFileAsString(), "an earlier render") << "an existing output is left as it was";
}

TEST_F (RenderVerbTest, ARenderThatFailsPartWayLeavesNoOutput)
{
    auto output = folder.getChildFile ("clip.wav");
    const std::vector<std::string> arguments { "render", testMedia ("clip-25.mov"), output.getFullPathName().toStdString() };

    // Eight seconds of 48 kHz stereo are about 1.5 MB; ulimit -f counts blocks of 512
    // or 1024 bytes, depending on the shell: at most 64 KiB get written.
    auto limited = runCliWithFileSizeLimit (64, arguments);
    EXPECT_NE (limited.status, 0);
    EXPECT_NE (limited.err.find ("cannot write"), std::string::npos) << limited.err;
    EXPECT_FALSE (output.exists()) << "the part written before the failure is removed";

    // The same render without the limit: the failure above came from the limit alone.
    auto whole = runCli (arguments);
    ASSERT_EQ (whole.status, 0) << whole.err;
    auto printed = juce::JSON::parse (juce::String (whole.out));
    EXPECT_EQ (static_cast<juce::int64> (printed["samples"]), 8 * 48000) << whole.out;
    EXPECT_GT (output.getSize(), 1000000);
}
