#include "ui/AudioPlayerComponent.h"
#include "ui/Artwork.h"

AudioPlayerComponent::AudioPlayerComponent()
{
    picture.setImage (getArtwork ("audioPlayerPicture"));
    addAndMakeVisible (picture);
}

void AudioPlayerComponent::paint (juce::Graphics& g)
{
    g.fillAll (juce::Colour (0xff000000));
}

void AudioPlayerComponent::resized()
{
    picture.setBounds (1, 1, getWidth() - 2, getHeight() - 2);
}
