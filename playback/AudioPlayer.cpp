#include "playback/AudioPlayer.h"

AudioPlayer::AudioPlayer()
{
    formatManager.registerBasicFormats();
    transport.addChangeListener (this);
}

AudioPlayer::~AudioPlayer()
{
    cancelPendingUpdate();
    transport.removeChangeListener (this);
    transport.setSource (nullptr);
}

void AudioPlayer::prepareToPlay (int samplesPerBlockExpected, double sampleRate)
{
    transport.prepareToPlay (samplesPerBlockExpected, sampleRate);
}

void AudioPlayer::releaseResources()
{
    transport.releaseResources();
}

void AudioPlayer::getNextAudioBlock (const juce::AudioSourceChannelInfo& block)
{
    if (! fileOpen.load())
    {
        block.clearActiveBufferRegion();
        return;
    }

    if (endReached.load())
    {
        // Until the message thread has stopped the transport, keep its callback going
        // (its stop waits for one) but let nothing past the end be heard.
        transport.getNextAudioBlock (block);
        block.clearActiveBufferRegion();
        return;
    }

    auto position = transport.getCurrentPosition();

    if (transport.isPlaying() && position > endPosition.load() && ! transport.isLooping())
    {
        endReachedAt = position;
        endReached = true;
        triggerAsyncUpdate();
        return;
    }

    transport.getNextAudioBlock (block);
}

void AudioPlayer::handleAsyncUpdate()
{
    if (! endReached.load())
        return;

    transport.stop();
    transport.setPosition (endReachedAt.load());
    endReached = false;
}

bool AudioPlayer::open (const juce::File& file, std::string* errorMessage)
{
    std::unique_ptr<juce::AudioFormatReader> reader (formatManager.createReaderFor (file));

    if (reader == nullptr)
    {
        if (errorMessage != nullptr)
            *errorMessage = juce::translate ("Error opening audio file.").toStdString();

        return false;
    }

    auto sampleRate = reader->sampleRate;
    auto bitsPerSample = (int) reader->bitsPerSample;
    auto numChannels = (int) reader->numChannels;
    auto source = std::make_unique<juce::AudioFormatReaderSource> (reader.release(), true);

    transport.setSource (source.get(), 0, nullptr, sampleRate, 2);
    readerSource = std::move (source);
    endReached = false;
    fileOpen = true;

    endPosition = getDuration();
    mediaInfo = {};
    mediaInfo.file = file;
    mediaInfo.kind = MediaKind::audio;
    mediaInfo.duration = endPosition.load();
    mediaInfo.widthOrBitDepth = bitsPerSample;
    mediaInfo.heightOrSampleRate = sampleRate;
    mediaInfo.sampleRate = sampleRate;
    mediaInfo.bitsPerSample = bitsPerSample;
    mediaInfo.numChannels = numChannels;
    return true;
}

void AudioPlayer::close()
{
    if (transport.isPlaying())
        transport.stop();

    fileOpen = false;
    endReached = false;
    transport.setSource (nullptr, 0, nullptr, 0, 2);
    readerSource.reset();
}

bool AudioPlayer::canOpen (const juce::File& file)
{
    return formatManager.findFormatForFileExtension (file.getFileExtension()) != nullptr;
}

MediaInfo AudioPlayer::getMediaInfo()  { return mediaInfo; }
int AudioPlayer::getMediaKind()        { return MediaKind::audio; }
void AudioPlayer::play()               { transport.start(); }
void AudioPlayer::stop()               { transport.stop(); }
bool AudioPlayer::isPlaying()          { return transport.isPlaying(); }
void AudioPlayer::playAtSpeed (int)    {}

void AudioPlayer::setStartPosition (double seconds)
{
    if (seconds > endPosition.load())
        return;

    startPosition = seconds;

    if (seconds > transport.getCurrentPosition())
        setPosition (seconds);
}

double AudioPlayer::getStartPosition() { return startPosition; }

void AudioPlayer::setEndPosition (double seconds)
{
    if (seconds < startPosition)
        return;

    endPosition = seconds;

    if (transport.getCurrentPosition() > seconds)
        setPosition (seconds);
}

double AudioPlayer::getEndPosition()          { return endPosition.load(); }
double AudioPlayer::getPosition()             { return transport.getCurrentPosition(); }
void AudioPlayer::setPosition (double seconds) { transport.setPosition (seconds); }
double AudioPlayer::getDuration()             { return transport.getLengthInSeconds(); }
void AudioPlayer::setVolume (float gain)      { transport.setGain (gain); }
float AudioPlayer::getVolume()                { return transport.getGain(); }

void AudioPlayer::changeListenerCallback (juce::ChangeBroadcaster*)
{
    sendSynchronousChangeMessage();
}
