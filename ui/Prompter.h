// Every question or notice the program puts to the user goes through one Prompter,
// so that a test can answer from a script while the rest of the flow runs for real.
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

/** Shows alerts. The installed prompter is JUCE's own alert windows, unless the
    environment variable VORNIQ_PROMPT_SCRIPT names a script of answers (tests). */
class Prompter
{
public:
    virtual ~Prompter() = default;

    /** A non-blocking information box with a single "OK" button, attached to no
        component. Message thread (or any thread holding the MessageManagerLock). */
    virtual void showInfoAsync (const juce::String& title, const juce::String& message) = 0;
};

/** The process's prompter. Message thread. */
Prompter& getPrompter();

/** Replaces the process's prompter (tests). Passing null restores the default. */
void setPrompter (std::unique_ptr<Prompter> replacement);

/**
    A prompter that answers from a script instead of asking a person. Every prompt
    is appended as one line to the log file named by VORNIQ_PROMPT_LOG (or the
    script file's name plus ".log"): "info<TAB>title<TAB>message". Answers for the
    prompts that ask something are read in order from the script, one a line.
*/
class ScriptedPrompter : public Prompter
{
public:
    ScriptedPrompter (const juce::File& script, const juce::File& log);

    void showInfoAsync (const juce::String& title, const juce::String& message) override;

    /** The next answer of the script, or an empty string when it has none left. */
    juce::String nextAnswer();

private:
    void record (const juce::String& kind, const juce::String& title, const juce::String& message);

    juce::StringArray answers;
    int nextAnswerIndex = 0;
    juce::File logFile;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ScriptedPrompter)
};
