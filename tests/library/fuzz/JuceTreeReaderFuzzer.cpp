// libFuzzer target: JUCE's ValueTree::readFromData on any bytes, with nothing in
// front of it. It shows what the library's stream check protects against; the
// inputs it trips on become regression inputs for the library's reader.
#include "FuzzerSetup.h"

extern "C" int LLVMFuzzerInitialize (int*, char***)
{
    // JUCE's reader asserts on much of what it meets; past the assertions lie the
    // findings that matter (memory, recursion, time).
    FuzzerSetup::start (false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput (const juce::uint8* data, size_t size)
{
    auto tree = juce::ValueTree::readFromData (data, size);
    return tree.isValid() ? 0 : 0;
}
