// Keeping the video player's workers and consumers out while one operation owns
// its decoder.
#pragma once

#include "playback/VideoPlayer.h"

/**
    For the operations that must get at the decoder while the decode-ahead may run
    (seek, step back, output size, close, audio resources): raises abortRequested and
    waits until the decoder, every worker and every queue consumer is idle; at the end
    abortRequested is either restored or cleared, as the operation wants, also when
    the operation ends with an exception. Holders are serialised by controlLock.
*/
struct DecoderHold
{
    enum class AtEnd { restore, clear, keepRaised };

    DecoderHold (VideoPlayer& owner, AtEnd whatToDoAtEnd)
        : player (owner), control (owner.controlLock), atEnd (whatToDoAtEnd)
    {
        previous = player.abortRequested.exchange (true);
        player.waitForWorkersToIdle();
    }

    ~DecoderHold()
    {
        if (atEnd == AtEnd::restore)
            player.abortRequested = previous;
        else if (atEnd == AtEnd::clear)
            player.abortRequested = false;
    }

    VideoPlayer& player;
    std::unique_lock<std::recursive_mutex> control;
    AtEnd atEnd;
    bool previous = false;

    DecoderHold (const DecoderHold&) = delete;
    DecoderHold& operator= (const DecoderHold&) = delete;
};
