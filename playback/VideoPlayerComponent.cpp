#include "playback/VideoPlayerComponent.h"

#include <cmath>
#include <limits>

using namespace juce::gl;

namespace
{
    // Repaints come a little faster than the pictures: a tenth of a frame sooner.
    constexpr double repaintsPerFrameMs = 1100.0;

    // Before a stream is known, repaint at the pace of a 30-pictures-a-second video.
    constexpr int fallbackRepaintMs = 30;
}

VideoPlayerComponent::VideoPlayerComponent()
{
    openGLContext.setPixelFormat (juce::OpenGLPixelFormat (8, 8, 0, 0));
    openGLContext.setRenderer (this);
    openGLContext.setComponentPaintingEnabled (false);
    openGLContext.attachTo (*this);
    openGLContext.setContinuousRepainting (false);
    setOpaque (true);
}

VideoPlayerComponent::~VideoPlayerComponent()
{
    stopTimer();

    {
        std::lock_guard<std::mutex> hold (resizeLock);
        pendingResize.reset();
    }

    if (resizeThread.joinable())
        resizeThread.join();

    cancelPendingUpdate();
    openGLContext.detach();
    frameBuffer.release();
}

void VideoPlayerComponent::setPlayer (VideoPlayer* newPlayer)
{
    player = newPlayer;
}

VideoPlayerComponent::OutputGeometry VideoPlayerComponent::computeOutputGeometry (int componentWidth, int componentHeight,
                                                                                   double scale, int sourceWidth,
                                                                                   int sourceHeight)
{
    auto w = (double) componentWidth * scale;
    auto h = (double) componentHeight * scale;

    if (sourceWidth > 0 && sourceHeight > 0 && componentHeight > 0)
    {
        auto aspect = (double) sourceWidth / (double) sourceHeight;

        if ((double) componentWidth / (double) componentHeight > aspect)
            w = aspect * h; // bars left and right
        else
            h = w / aspect; // bars above and below
    }

    w -= std::fmod (w, 2.0);
    h -= std::fmod (h, 2.0);

    OutputGeometry geometry;
    geometry.width = (int) w;
    geometry.height = (int) h;
    geometry.x = ((double) componentWidth * scale - geometry.width) * 0.5;
    geometry.y = ((double) componentHeight * scale - geometry.height) * 0.5;
    return geometry;
}

double VideoPlayerComponent::findDisplayScale() const
{
    if (auto* display = juce::Desktop::getInstance().getDisplays().getDisplayForPoint (getScreenBounds().getCentre()))
        return display->scale;

    return 1.0;
}

VideoPlayerComponent::Statistics VideoPlayerComponent::getStatistics() const
{
    Statistics statistics;
    statistics.renders = renders.load();
    statistics.uploads = uploads.load();
    statistics.latePictures = latePictures.load();
    statistics.worstLatenessSeconds = worstLateness.load();
    statistics.lastUploadedPts = lastUploadedPts.load();
    return statistics;
}

std::optional<VideoPlayerComponent::SizeRequest> VideoPlayerComponent::makeSizeRequest() const
{
    auto* p = player.load();

    if (p == nullptr)
        return {};

    auto scale = findDisplayScale();
    int sourceWidth = 0, sourceHeight = 0;

    if (p->isMediaOpen())
    {
        auto info = p->getVideoInfo();
        sourceWidth = info.sourceWidth;
        sourceHeight = info.sourceHeight;
    }

    auto geometry = computeOutputGeometry (getWidth(), getHeight(), scale, sourceWidth, sourceHeight);

    // Nothing to convert to until the component has a real size.
    if (geometry.width < 2 || geometry.height < 2)
        return {};

    return SizeRequest { geometry.width, geometry.height, scale };
}

bool VideoPlayerComponent::applySizeRequest (const SizeRequest& request)
{
    // The render thread must not hold a picture across the player's reconfiguration,
    // and must not upload a picture of the new size into the old frame buffer.
    std::lock_guard<std::mutex> hold (displayLock);
    auto changed = player.load()->setOutputSize (request.width, request.height, request.scale);
    needsRealloc = true;
    return changed;
}

bool VideoPlayerComponent::updateOutputSize()
{
    auto request = makeSizeRequest();
    return request.has_value() && applySizeRequest (*request);
}

void VideoPlayerComponent::startRepaintTimer()
{
    std::int64_t frameDurationUs = 0;

    if (auto* p = player.load())
        frameDurationUs = p->getVideoInfo().frameDurationUs;

    auto periodMs = (int) ((double) frameDurationUs / repaintsPerFrameMs);
    startTimer (periodMs > 0 ? periodMs : fallbackRepaintMs);
}

void VideoPlayerComponent::paint (juce::Graphics&)
{
}

void VideoPlayerComponent::resized()
{
    viewWidth = getWidth();
    viewHeight = getHeight();

    if (lastShownPts.load() != -1)
        return;

    updateOutputSize();
    needsRealloc = true;
    startRepaintTimer();
}

void VideoPlayerComponent::moved()
{
    auto* p = player.load();

    if (p == nullptr)
        return;

    if (findDisplayScale() == p->getDisplayScale())
        return;

    // Another pixel density: convert again at the size this screen needs.
    refreshOutputSize();
}

void VideoPlayerComponent::refreshOutputSize()
{
    auto* p = player.load();

    if (p == nullptr)
        return;

    p->setPlaying (false);
    stopTimer();
    updateOutputSize();
    needsRealloc = true;
    startRepaintTimer();
}

void VideoPlayerComponent::beginLiveResize()
{
    if (auto* p = player.load())
        p->setPlaying (false);

    stopTimer();
}

void VideoPlayerComponent::endLiveResize()
{
    auto request = makeSizeRequest();

    if (! request.has_value())
    {
        startRepaintTimer();
        return;
    }

    {
        std::lock_guard<std::mutex> hold (resizeLock);
        pendingResize = request;

        if (resizeThreadRunning)
            return; // the running thread takes the newest request next

        resizeThreadRunning = true;
    }

    // A thread that ran before has given up its requests and is ending.
    if (resizeThread.joinable())
        resizeThread.join();

    resizeThread = std::thread ([this] { runResizeRequests(); });
}

void VideoPlayerComponent::runResizeRequests()
{
    juce::Thread::setCurrentThreadName ("Video display resize");

    for (;;)
    {
        SizeRequest request;

        {
            std::lock_guard<std::mutex> hold (resizeLock);

            if (! pendingResize.has_value())
            {
                resizeThreadRunning = false;
                return;
            }

            request = *pendingResize;
            pendingResize.reset();
        }

        applySizeRequest (request);
        triggerAsyncUpdate(); // the repaint timer starts again on the message thread
    }
}

void VideoPlayerComponent::handleAsyncUpdate()
{
    startRepaintTimer();
}

void VideoPlayerComponent::timerCallback()
{
    if (auto* p = player.load(); p != nullptr && p->isMediaOpen())
        openGLContext.triggerRepaint();
}

void VideoPlayerComponent::newOpenGLContextCreated()
{
}

void VideoPlayerComponent::renderOpenGL()
{
    ++renders;

    auto* p = player.load();
    auto scale = p != nullptr ? p->getDisplayScale() : 0.0;

    if (scale <= 0.0)
        scale = openGLContext.getRenderingScale();

    auto viewportWidth = (int) (viewWidth.load() * scale);
    auto viewportHeight = (int) (viewHeight.load() * scale);

    glViewport (0, 0, viewportWidth, viewportHeight);
    juce::OpenGLHelpers::clear (juce::Colours::black);

    if (p == nullptr)
        return;

    {
        std::lock_guard<std::mutex> hold (displayLock);

        // Valid until the player's next getNextVideoFrame or setOutputSize, both of
        // which wait for displayLock.
        auto* frame = p->getNextVideoFrame();
        auto clockWhenTaken = p->getAudioClock();

        if (frame != nullptr && (frame->pts != lastShownPts.load() || needsRealloc.load()))
        {
            lastShownPts = frame->pts;

            if (needsRealloc.exchange (false)
                || frameBuffer.getWidth() != frame->width || frameBuffer.getHeight() != frame->height)
                frameBuffer.initialise (openGLContext, frame->width, frame->height);

            frameBuffer.writePixels (reinterpret_cast<const juce::PixelARGB*> (frame->data),
                                     juce::Rectangle<int> (0, 0, frame->width, frame->height));

            ++uploads;
            lastUploadedPts = frame->pts;

            if (p->isPlaying())
            {
                auto startPts = p->getStartPts();
                auto origin = startPts == std::numeric_limits<std::int64_t>::min() ? 0 : startPts;
                auto lateness = clockWhenTaken - (double) (origin + frame->pts) / 1000000.0;

                if (lateness > worstLateness.load())
                    worstLateness = lateness;

                if (lateness > (double) p->getVideoInfo().frameDurationUs / 1000000.0)
                    ++latePictures;
            }
        }
    }

    if (frameBuffer.getTextureID() == 0)
        return;

    // The last uploaded picture, centred; the picture keeps the size it was converted to.
    auto area = juce::Rectangle<int> (juce::roundToInt ((viewportWidth - frameBuffer.getWidth()) * 0.5),
                                      juce::roundToInt ((viewportHeight - frameBuffer.getHeight()) * 0.5),
                                      frameBuffer.getWidth(), frameBuffer.getHeight());
    glActiveTexture (GL_TEXTURE0);
    glBindTexture (GL_TEXTURE_2D, frameBuffer.getTextureID());
    openGLContext.copyTexture (area, area, viewportWidth, viewportHeight, false);
    glBindTexture (GL_TEXTURE_2D, 0);
}

void VideoPlayerComponent::openGLContextClosing()
{
    lastShownPts = -1;

    // The frame buffer belongs to the context that is going; a new context needs a
    // new one.
    frameBuffer.release();
    needsRealloc = true;
}
