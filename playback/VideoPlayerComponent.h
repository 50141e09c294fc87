// The video display: a VideoPlayer's pictures drawn through OpenGL, fitted to the
// component at the pixel density of its screen.
#pragma once

#include "playback/VideoPlayer.h"

#include <juce_opengl/juce_opengl.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <thread>

/**
    Shows the pictures of a VideoPlayer. Every repaint asks the player for the picture
    due now and draws it centred on black; a picture is uploaded to the frame buffer
    only when the player moved on to another one. The component also tells the player
    the pixel size to convert pictures to, so that they fit it with bars.

    Threads and what guards what:
    - The message thread runs the repaint timer, resized, moved, refreshOutputSize and
      the live-resize pair, and sets the player once.
    - The context's render thread runs renderOpenGL and openGLContextClosing; it alone
      touches frameBuffer.
    - A resize thread of the display's own runs the player's setOutputSize at the end
      of a live resize, so that the message thread stays free meanwhile.
    - displayLock: the picture the player hands out lives only until its next
      setOutputSize. renderOpenGL holds displayLock from getNextVideoFrame until the
      upload is done, and every setOutputSize this display asks for (message thread
      or resize thread) is made under it, together with raising needsRealloc. The
      player never takes it.
    - player, lastShownPts, needsRealloc, the component size seen by the render thread
      and the statistics are atomics.
*/
class VideoPlayerComponent : public juce::Component,
                             public juce::OpenGLRenderer,
                             private juce::Timer,
                             private juce::AsyncUpdater
{
public:
    /** Attaches an OpenGL context (8-bit colour and alpha, no depth or stencil) that
        repaints only when asked. Message thread. */
    VideoPlayerComponent();

    /** Stops the resize thread, then detaches the context; the player is not touched.
        Message thread. */
    ~VideoPlayerComponent() override;

    /** The player to show (not owned; the owner keeps it alive longer than this
        display). Set once, right after construction. Message thread. */
    void setPlayer (VideoPlayer* newPlayer);

    /** Pauses, converts to the size the new layout gives and repaints; for the owner
        after its layout changed. Message thread. */
    void refreshOutputSize();

    /** At the start of a live window resize: pauses and stops repainting; the picture
        stays as it is during the drag. Message thread. */
    void beginLiveResize();

    /** At the end of a live window resize: the resize thread converts to the new size,
        then repainting resumes. Returns at once. Message thread. */
    void endLiveResize();

    /** The picture's size in physical pixels and where it goes in the physical
        viewport. */
    struct OutputGeometry
    {
        int width = 0, height = 0;
        double x = 0.0, y = 0.0;
    };

    /** Output size and placement for a picture of the source size in a component at a
        display scale: the largest even size of the source's aspect ratio that fits,
        with bars left and right or above and below. Without a source size (a closed
        player) the picture fills the component. Any thread. */
    static OutputGeometry computeOutputGeometry (int componentWidth, int componentHeight, double scale,
                                                 int sourceWidth, int sourceHeight);

    /** The scale of the display under the component's centre (1 without displays).
        Message thread. */
    double findDisplayScale() const;

    /** What the render thread did since the display was made: render passes, uploads,
        and, for the pictures uploaded while playing, how late the latest-shown one was
        and how many were more than a picture's duration late, against the player's
        clock when the display took them. Any thread. */
    struct Statistics
    {
        std::int64_t renders = 0, uploads = 0, latePictures = 0;
        double worstLatenessSeconds = 0.0;
        std::int64_t lastUploadedPts = -1;
    };

    Statistics getStatistics() const;

    //==============================================================================
    /** Draws nothing: the OpenGL context covers the component. */
    void paint (juce::Graphics& g) override;

    /** Until the first picture is shown, fixes the output size and starts repainting. */
    void resized() override;

    /** Reconverts when the component is now on a screen of another pixel density. */
    void moved() override;

    /** Nothing to prepare: the frame buffer is made with the first picture. Render thread. */
    void newOpenGLContextCreated() override;

    /** Takes the picture due now from the player, uploads it when it is a new one, and
        draws the last uploaded picture centred on black. Render thread. */
    void renderOpenGL() override;

    /** Forgets the uploaded picture and its frame buffer, which go with the context.
        Render thread. */
    void openGLContextClosing() override;

private:
    struct SizeRequest
    {
        int width, height;
        double scale;
    };

    void timerCallback() override;
    void handleAsyncUpdate() override;

    void startRepaintTimer();
    std::optional<SizeRequest> makeSizeRequest() const;
    bool updateOutputSize();
    bool applySizeRequest (const SizeRequest& request);
    void runResizeRequests();

    juce::OpenGLContext openGLContext;
    // Not owned: the owner keeps the player alive longer than this display.
    std::atomic<VideoPlayer*> player { nullptr };
    std::atomic<std::int64_t> lastShownPts { -1 };
    juce::OpenGLFrameBuffer frameBuffer;
    std::atomic<bool> needsRealloc { true };

    std::mutex displayLock;
    std::atomic<int> viewWidth { 0 }, viewHeight { 0 };

    // The resize thread: resizeLock guards pendingResize and resizeThreadRunning.
    std::mutex resizeLock;
    std::optional<SizeRequest> pendingResize;
    bool resizeThreadRunning = false;
    std::thread resizeThread;

    std::atomic<std::int64_t> renders { 0 }, uploads { 0 }, latePictures { 0 }, lastUploadedPts { -1 };
    std::atomic<double> worstLateness { 0.0 };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (VideoPlayerComponent)
};
