#include "shell/ApplicationCommands.h"

namespace
{
    std::unique_ptr<juce::ApplicationCommandManager>& commandManager()
    {
        static std::unique_ptr<juce::ApplicationCommandManager> manager;
        return manager;
    }
}

juce::ApplicationCommandManager& getCommandManager()
{
    auto& manager = commandManager();

    if (manager == nullptr)
        manager = std::make_unique<juce::ApplicationCommandManager>();

    return *manager;
}

void deleteCommandManager()
{
    commandManager().reset();
}
