#include "ui/Prompter.h"

namespace
{
    class AlertWindowPrompter : public Prompter
    {
    public:
        void showInfoAsync (const juce::String& title, const juce::String& message) override
        {
            juce::AlertWindow::showMessageBoxAsync (juce::MessageBoxIconType::InfoIcon, title, message,
                                                    juce::translate ("OK"), nullptr);
        }
    };

    std::unique_ptr<Prompter> makeDefaultPrompter()
    {
        auto script = juce::SystemStats::getEnvironmentVariable ("VORNIQ_PROMPT_SCRIPT", {});

        if (script.isEmpty())
            return std::make_unique<AlertWindowPrompter>();

        auto log = juce::SystemStats::getEnvironmentVariable ("VORNIQ_PROMPT_LOG", script + ".log");
        return std::make_unique<ScriptedPrompter> (juce::File (script), juce::File (log));
    }

    std::unique_ptr<Prompter>& currentPrompter()
    {
        static std::unique_ptr<Prompter> prompter;
        return prompter;
    }
}

Prompter& getPrompter()
{
    auto& prompter = currentPrompter();

    if (prompter == nullptr)
        prompter = makeDefaultPrompter();

    return *prompter;
}

void setPrompter (std::unique_ptr<Prompter> replacement)
{
    currentPrompter() = std::move (replacement);
}

ScriptedPrompter::ScriptedPrompter (const juce::File& script, const juce::File& log)
    : logFile (log)
{
    if (script.existsAsFile())
        answers.addLines (script.loadFileAsString());
}

void ScriptedPrompter::showInfoAsync (const juce::String& title, const juce::String& message)
{
    record ("info", title, message);
}

juce::String ScriptedPrompter::nextAnswer()
{
    return nextAnswerIndex < answers.size() ? answers[nextAnswerIndex++] : juce::String();
}

void ScriptedPrompter::record (const juce::String& kind, const juce::String& title, const juce::String& message)
{
    auto escape = [] (const juce::String& text)
    {
        return text.replace ("\\", "\\\\").replace ("\t", "\\t").replace ("\n", "\\n").replace ("\r", "\\r");
    };

    logFile.appendText (kind + "\t" + escape (title) + "\t" + escape (message) + "\n", false, false, "\n");
}
