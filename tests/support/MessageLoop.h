// Running the message thread's loop from a test until something has happened.
#pragma once

#include <chrono>
#include <functional>
#include <juce_events/juce_events.h>

/** Dispatches messages until done() is true or timeoutMs has passed; returns done(). */
inline bool runMessageLoopUntil (const std::function<bool()>& done, int timeoutMs = 10000)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds (timeoutMs);

    while (! done())
    {
        if (std::chrono::steady_clock::now() > deadline)
            return done();

        juce::MessageManager::getInstance()->runDispatchLoopUntil (10);
    }

    return true;
}
