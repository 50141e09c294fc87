// How fast the video player decodes ahead and positions, each beside a reference
// measured in the same run: FFmpeg's own tool decoding and converting the same file,
// and the least work a frame-accurate seek can do with the same decoder.
#include "playback/VideoPlayer.h"

#include <juce_events/juce_events.h>

extern "C"
{
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <thread>

namespace
{
    using Clock = std::chrono::steady_clock;

    double secondsSince (Clock::time_point start)
    {
        return std::chrono::duration<double> (Clock::now() - start).count();
    }

    constexpr int outputWidth = 1040, outputHeight = 584;

    // FFmpeg's tool decoding and converting to the player's output, nothing written.
    double ffmpegDecodeSeconds (const juce::File& file)
    {
        auto command = "ffmpeg -hide_banner -loglevel error -nostdin -i \"" + file.getFullPathName()
                       + "\" -an -vf scale=" + juce::String (outputWidth) + ":" + juce::String (outputHeight)
                       + ":flags=neighbor,format=bgra -f null -";
        auto start = Clock::now();
        auto status = std::system (command.toRawUTF8());
        auto seconds = secondsSince (start);
        return status == 0 ? seconds : -1.0;
    }

    // The player's decode-ahead converting every picture, drained as fast as a
    // display could take them.
    double playerDecodeSeconds (const juce::File& file, int& pictures)
    {
        VideoPlayer player;
        player.setOutputSize (outputWidth, outputHeight, 1.0);
        auto start = Clock::now();

        if (! player.open (file, nullptr))
            return -1.0;

        player.prepareToPlay (1024, 48000.0);
        player.playAtSpeed (4);
        pictures = 0;
        std::atomic<bool> done { false };

        std::thread display ([&]
        {
            juce::AudioBuffer<float> block (2, 1024);
            double lastPosition = -1.0;

            while (! done)
            {
                player.getNextVideoFrame();
                player.getNextAudioBlock (juce::AudioSourceChannelInfo (block));

                if (player.getPosition() != lastPosition)
                    lastPosition = player.getPosition();

                if (! player.isPlaying())
                    done = true;

                std::this_thread::sleep_for (std::chrono::milliseconds (1));
            }
        });

        while (! done)
            juce::MessageManager::getInstance()->runDispatchLoopUntil (2);

        display.join();
        auto seconds = secondsSince (start);
        pictures = (int) std::lround (player.getDuration() * 1.0e6 / (double) player.getFrameDurationUs());
        player.close();
        return seconds;
    }

    // The least a frame-accurate seek to t can cost with the same decoder: seek to
    // the key frame before, decode forward to the picture, convert that one.
    double lowerBoundSeekSeconds (const juce::File& file, const std::vector<double>& targets, std::vector<double>& each)
    {
        AVFormatContext* format = nullptr;
        avformat_open_input (&format, file.getFullPathName().toRawUTF8(), nullptr, nullptr);
        avformat_find_stream_info (format, nullptr);
        const AVCodec* decoder = nullptr;
        auto index = av_find_best_stream (format, AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0);
        auto* stream = format->streams[index];
        auto* context = avcodec_alloc_context3 (decoder);
        avcodec_parameters_to_context (context, stream->codecpar);
        context->thread_count = (int) std::max (1u, std::thread::hardware_concurrency());
        avcodec_open2 (context, decoder, nullptr);
        auto* scaler = sws_getContext (context->width, context->height, context->pix_fmt, outputWidth, outputHeight,
                                       AV_PIX_FMT_BGRA, SWS_POINT, nullptr, nullptr, nullptr);
        std::vector<std::uint8_t> pixels ((size_t) outputWidth * outputHeight * 4);
        auto* packet = av_packet_alloc();
        auto* frame = av_frame_alloc();
        auto halfFrameUs = (std::int64_t) (500000.0 * av_q2d (av_inv_q (stream->avg_frame_rate)));
        double total = 0.0;

        for (auto t : targets)
        {
            auto start = Clock::now();
            auto targetUs = (std::int64_t) (t * 1.0e6);
            avcodec_flush_buffers (context);
            av_seek_frame (format, index, av_rescale_q (targetUs, { 1, 1000000 }, stream->time_base), AVSEEK_FLAG_BACKWARD);
            bool found = false, ended = false;

            while (! found && ! ended)
            {
                if (av_read_frame (format, packet) < 0)
                {
                    avcodec_send_packet (context, nullptr);
                    ended = true;
                }
                else if (packet->stream_index != index)
                {
                    av_packet_unref (packet);
                    continue;
                }
                else
                {
                    avcodec_send_packet (context, packet);
                    av_packet_unref (packet);
                }

                while (! found && avcodec_receive_frame (context, frame) == 0)
                {
                    auto pts = av_rescale_q (frame->best_effort_timestamp, stream->time_base, { 1, 1000000 });

                    if (pts >= targetUs - halfFrameUs)
                    {
                        std::uint8_t* planes[4] = { pixels.data() };
                        int strides[4] = { outputWidth * 4 };
                        sws_scale (scaler, frame->data, frame->linesize, 0, context->height, planes, strides);
                        found = true;
                    }

                    av_frame_unref (frame);
                }
            }

            each.push_back (secondsSince (start));
            total += each.back();
        }

        av_frame_free (&frame);
        av_packet_free (&packet);
        sws_freeContext (scaler);
        avcodec_free_context (&context);
        avformat_close_input (&format);
        return total;
    }

    double percentile (std::vector<double> values, double p)
    {
        std::sort (values.begin(), values.end());
        return values.empty() ? 0.0 : values[(size_t) std::min ((double) values.size() - 1, p * (double) values.size())];
    }

    void benchmarkFile (const juce::File& file)
    {
        std::printf ("\n%s\n", file.getFileName().toRawUTF8());

        // Each side runs three times, taking turns, and keeps its best time: a burst of
        // other work on the machine then slows one run rather than the figure.
        int pictures = 0;
        double reference = 1.0e9, ours = 1.0e9;

        for (int run = 0; run < 3; ++run)
        {
            auto referenceRun = ffmpegDecodeSeconds (file);
            auto ourRun = playerDecodeSeconds (file, pictures);

            if (referenceRun < 0.0 || ourRun < 0.0)
            {
                std::printf ("  decode-ahead: %s failed\n", referenceRun < 0.0 ? "the ffmpeg tool" : "the player");
                return;
            }

            reference = std::min (reference, referenceRun);
            ours = std::min (ours, ourRun);
        }

        std::printf ("  decode-ahead to %dx%d: player %.3f s (%.1f pictures/s), ffmpeg %.3f s, ratio ffmpeg/player %.2f (target >= 0.95)\n",
                     outputWidth, outputHeight, ours, pictures / ours, reference, reference / ours);

        VideoPlayer player;
        player.setOutputSize (outputWidth, outputHeight, 1.0);
        player.open (file, nullptr);
        std::mt19937 random (7);
        std::uniform_real_distribution<double> anywhere (0.0, player.getDuration() - 0.5);
        std::vector<double> targets, playerTimes, boundTimes;

        for (int i = 0; i < 40; ++i)
            targets.push_back (anywhere (random));

        for (auto t : targets)
        {
            auto start = Clock::now();
            player.setPosition (t);
            playerTimes.push_back (secondsSince (start));
        }

        player.close();
        lowerBoundSeekSeconds (file, targets, boundTimes);

        auto playerMedian = percentile (playerTimes, 0.5), boundMedian = percentile (boundTimes, 0.5);
        auto player95 = percentile (playerTimes, 0.95), bound95 = percentile (boundTimes, 0.95);
        std::printf ("  frame-accurate seek: player median %.1f ms, p95 %.1f ms; lower bound median %.1f ms, p95 %.1f ms;"
                     " ratio player/bound median %.2f, p95 %.2f (target <= 1.5)\n",
                     playerMedian * 1000, player95 * 1000, boundMedian * 1000, bound95 * 1000,
                     playerMedian / boundMedian, player95 / bound95);
    }

    // Where the time axis starts: the first picture's decode time against its
    // presentation time, with one and with two decoder threads.
    void reportTimeOrigin (const juce::File& file)
    {
        for (int threads : { 1, 2 })
        {
            AVFormatContext* format = nullptr;

            if (avformat_open_input (&format, file.getFullPathName().toRawUTF8(), nullptr, nullptr) < 0)
                return;

            avformat_find_stream_info (format, nullptr);
            const AVCodec* decoder = nullptr;
            auto index = av_find_best_stream (format, AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0);
            auto* context = avcodec_alloc_context3 (decoder);
            avcodec_parameters_to_context (context, format->streams[index]->codecpar);
            context->thread_count = threads;
            avcodec_open2 (context, decoder, nullptr);
            auto* packet = av_packet_alloc();
            auto* frame = av_frame_alloc();
            bool got = false;

            while (! got && av_read_frame (format, packet) >= 0)
            {
                if (packet->stream_index == index)
                    avcodec_send_packet (context, packet);

                av_packet_unref (packet);

                if (avcodec_receive_frame (context, frame) == 0)
                {
                    auto tb = format->streams[index]->time_base;
                    std::printf ("  %-16s %d thread%s: first picture decode time %lld us, presentation time %lld us\n",
                                 file.getFileName().toRawUTF8(), threads, threads == 1 ? " " : "s",
                                 (long long) av_rescale_q (frame->pkt_dts, tb, { 1, 1000000 }),
                                 (long long) av_rescale_q (frame->best_effort_timestamp, tb, { 1, 1000000 }));
                    got = true;
                }
            }

            av_frame_free (&frame);
            av_packet_free (&packet);
            avcodec_free_context (&context);
            avformat_close_input (&format);
        }
    }
}

int main (int argc, char* argv[])
{
    juce::ScopedJuceInitialiser_GUI juce;
    av_log_set_level (AV_LOG_QUIET);

    if (argc < 3)
    {
        std::fprintf (stderr, "usage: playback-bench <bench media folder> <test media folder>\n");
        return 2;
    }

    juce::File benchMedia (juce::String::fromUTF8 (argv[1])), testMedia (juce::String::fromUTF8 (argv[2]));

    std::printf ("Time origin of the test media\n");
    for (auto* name : { "clip-2997.mov", "clip-25.mov", "clip-offset.mov" })
        reportTimeOrigin (testMedia.getChildFile (name));

    for (auto* name : { "bench-2160p.mov", "bench-1080p.mov" })
        benchmarkFile (benchMedia.getChildFile (name));

    return 0;
}
